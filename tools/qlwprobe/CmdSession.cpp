// `session-save OUT IN… [--radiation …] [--lambda Å]` and `session-read PATH`: a session written
// from structure and data files with factory settings, and a session's settings and pattern tree.
#include "Probe.h"
#include "ProbeOptions.h"

#include "DiffractionSettings.h"
#include "QLCrystal.h"
#include "QLSessionFile.h"

#include <cstdio>
#include <cstdlib>

namespace {
const char* const kRadiations[] = {"?", "xray", "neutron", "edx", "tof", "electron"};
const char* const kAxes[] = {"?", "2theta", "d", "1/d", "tof", "energy", "2pi/d"};

int SaveUsage() {
  std::fprintf(stderr, "usage: qlwprobe session-save OUT IN... [--radiation xray|neutron|electron] [--lambda A]\n");
  return 2;
}

int RunSessionSave(const std::vector<std::string>& args) {
  if (args.size() < 2) return SaveUsage();
  CDiffractionSettings settings(true);
  CQlwDocWindowState state;
  std::vector<std::string> inputs;
  double lambda = 0;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--radiation" && i + 1 < args.size()) {
      if (!qlwprobe::SetRadiation(args[++i], settings)) return SaveUsage();
    } else if (a == "--lambda" && i + 1 < args.size()) {
      lambda = std::strtod(args[++i].c_str(), nullptr);
      if (!(lambda > 0)) return SaveUsage();
    } else if (a.rfind("--", 0) == 0) {
      return SaveUsage();
    } else {
      inputs.push_back(a);
    }
  }
  if (inputs.empty()) return SaveUsage();
  qlwprobe::SetLambda(lambda, settings);
  CQLPatternList patterns;
  for (const std::string& in : inputs)
    if (!qlwprobe::LoadPatterns(in, patterns)) return 1;
  for (auto& p : patterns) {
    // As the document takes patterns in: its settings applied, then a recompute.
    p->ApplySettings(settings);
    p->m_settingsPending = 0;
    p->Recompute(settings);
  }
  CQLSessionFile file;
  if (!file.Open(CString(args[0].c_str()).GetString(), CLXFile::modeReadWrite | CLXFile::modeCreate)) {
    std::fprintf(stderr, "qlwprobe: %s cannot be written\n", args[0].c_str());
    return 1;
  }
  const bool written = file.WriteFile(&patterns, &settings, &state);
  file.Close();
  return written ? 0 : 1;
}

void PrintTree(const CQLPatternList& list, int depth) {
  for (const auto& p : list) {
    const char* kind = p->GetPatternType() == kPatternCrystal   ? "crystal"
                       : p->GetPatternType() == kPatternMixture ? "mixture"
                       : p->GetPatternType() == kPatternObserved ? "observed"
                                                                 : "pattern";
    std::printf("%d %s %s", depth, kind, qlw::ToUtf8(p->m_title.GetString()).c_str());
    if (const CQLCrystal* c = p->GetCrystal())
      std::printf(" | %.6f %.6f %.6f %.4f %.4f %.4f | %s", c->m_a, c->m_b, c->m_c, c->m_alpha, c->m_beta, c->m_gamma,
                  qlw::ToUtf8(c->m_spaceGroupSymbol.GetString()).c_str());
    std::printf("\n");
    if (const CQLPatternList* components = p->GetComponents()) PrintTree(*components, depth + 1);
  }
}

int RunSessionRead(const std::vector<std::string>& args) {
  if (args.size() != 1) {
    std::fprintf(stderr, "usage: qlwprobe session-read PATH\n");
    return 2;
  }
  CQLSessionFile file;
  CQLPatternList patterns;
  CDiffractionSettings settings(true);
  CQlwDocWindowState state;
  // A file that does not open is reported by ReadFile itself.
  file.Open(CString(args[0].c_str()).GetString(), CLXFile::modeRead | CLXFile::shareDenyWrite);
  if (!file.ReadFile(&patterns, &settings, &state)) return 1;
  const unsigned sim = settings.m_simulationType, axis = settings.m_axisType;
  std::printf("radiation: %s\n", sim < 6 ? kRadiations[sim] : "?");
  std::printf("wavelengths: %.6f %.6f ratio %.6f electron %.6f\n", settings.m_lambda, settings.m_lambda2,
              settings.m_lambdaRatio, settings.m_lambdaTEM);
  std::printf("x axis: %s\n", axis < 7 ? kAxes[axis] : "?");
  PrintTree(patterns, 0);
  return 0;
}
}  // namespace

QLW_PROBE_COMMAND(sessionsave, "session-save", "OUT IN... [--radiation xray|neutron|electron] [--lambda A]", RunSessionSave);
QLW_PROBE_COMMAND(sessionread, "session-read", "PATH", RunSessionRead);
