// `export KIND IN OUT [options]`: a structure's profile, reflexion listing or structure-factor
// listing written by the program's own text-file writers.
#include "Probe.h"
#include "ProbeOptions.h"

#include "DiffractionSettings.h"
#include "FileTypes.h"
#include "QLCrystal.h"

#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <memory>

namespace qlwprobe {
// Writes the patterns to path as a file of the type code, the way the document saves one;
// false (the error shown on standard error) when it fails.
bool WritePatterns(uint32_t type, const std::string& path, CQLPatternList& list, CDiffractionSettings& settings) {
  std::unique_ptr<CQlwFile> file(CreateFileForType(type));
  if (!file) return false;
  const CString widePath(path.c_str());
  LXFileOpenError error;
  try {
    if (!file->Open(widePath.GetString(), CLXFile::modeWrite | CLXFile::modeCreate, &error)) {
      CLXXFileNotOpen(kLXSeverityMessage, error.m_lOsError, __LINE__).Report();
      return false;
    }
    if (!file->WriteFile(&list, &settings, nullptr)) return false;
    file->Close();
  } catch (CLXException& e) {
    e.Report();
    return false;
  }
  return true;
}
}  // namespace qlwprobe

namespace {
constexpr const char* kUsage =
    "KIND IN OUT [--block N] [--radiation xray|neutron|electron] [--lambda A] [--dmin A] "
    "[--shape delta|lorentz|gauss|pvoigt] [--fwhm W]";

int ExportUsage() {
  std::fprintf(stderr, "usage: qlwprobe export %s\n  KIND: profile, listing or sf\n", kUsage);
  return 2;
}

int RunExport(const std::vector<std::string>& args) {
  if (args.size() < 3) return ExportUsage();
  const std::string& kind = args[0];
  const uint32_t type = kind == "profile" ? kFileTypeProfile : kind == "listing" ? kFileTypeListing
                        : kind == "sf"    ? kFileTypeStructFac : 0;
  if (type == 0) return ExportUsage();
  CDiffractionSettings settings(true);
  size_t block = 1;
  double lambda = 0, fwhm = 0;
  for (size_t i = 3; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (i + 1 >= args.size()) return ExportUsage();
    const std::string& v = args[++i];
    if (a == "--block") {
      block = std::strtoul(v.c_str(), nullptr, 10);
    } else if (a == "--radiation") {
      if (!qlwprobe::SetRadiation(v, settings)) return ExportUsage();
    } else if (a == "--lambda") {
      lambda = qlw::StringToDouble(v.c_str());
    } else if (a == "--dmin") {
      settings.m_dMin = qlw::StringToDouble(v.c_str());
    } else if (a == "--shape") {
      if (v == "delta")
        settings.m_profileType = LXTypes::kProfileDelta;
      else if (v == "lorentz")
        settings.m_profileType = LXTypes::kProfileLorentzian;
      else if (v == "gauss")
        settings.m_profileType = LXTypes::kProfileGaussian;
      else if (v == "pvoigt")
        settings.m_profileType = LXTypes::kProfilePseudoVoigt;
      else
        return ExportUsage();
    } else if (a == "--fwhm") {
      fwhm = qlw::StringToDouble(v.c_str());
      if (!(fwhm > 0)) return ExportUsage();
    } else {
      return ExportUsage();
    }
  }
  qlwprobe::SetLambda(lambda, settings);
  if (fwhm > 0)
    (settings.m_simulationType == LXTypes::kSimElectrons ? settings.m_peakWidthTEM : settings.m_tthPeakWidth) = fwhm;

  const CQLPatternPtr pattern = qlwprobe::LoadBlock(args[1], block);
  if (!pattern) return 1;
  pattern->ApplySettings(settings);
  if (type == kFileTypeProfile) pattern->GetComputedProfile(settings);
  CQLPatternList source{pattern};
  return qlwprobe::WritePatterns(type, args[2], source, settings) ? 0 : 1;
}
}  // namespace

QLW_PROBE_COMMAND(export, "export", kUsage, RunExport);
