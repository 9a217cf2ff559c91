// `mix OUT A[:fraction] B[:fraction] ...`: the mixture profile of the structures given, written
// as a profile file.
#include "Probe.h"

#include "DiffractionSettings.h"
#include "FileTypes.h"
#include "QLMixturePattern.h"

#include <cstdio>

namespace qlwprobe {
bool LoadPatterns(const std::string& path, CQLPatternList& list);
bool WritePatterns(uint32_t type, const std::string& path, CQLPatternList& list, CDiffractionSettings& settings);
}  // namespace qlwprobe

namespace {
int MixUsage() {
  std::fprintf(stderr, "usage: qlwprobe mix OUT A[:fraction] B[:fraction] ...\n");
  return 2;
}

// "path:0.3" gives the path and 0.3; a path whose last colon is not followed by a number is
// taken whole, with no fraction (-1).
void SplitFraction(const std::string& arg, std::string& path, double& fraction) {
  path = arg;
  fraction = -1;
  const size_t colon = arg.rfind(':');
  if (colon == std::string::npos) return;
  double value;
  if (!qlw::TryParseDouble(std::string_view(arg).substr(colon + 1), value)) return;
  path = arg.substr(0, colon);
  fraction = value;
}

int RunMix(const std::vector<std::string>& args) {
  if (args.size() < 2) return MixUsage();
  CDiffractionSettings settings(true);
  auto mixture = std::make_shared<CQLMixturePattern>(true);
  double given = 0;
  int unset = 0;
  std::vector<double> fractions;
  for (size_t i = 1; i < args.size(); ++i) {
    std::string path;
    double fraction;
    SplitFraction(args[i], path, fraction);
    if (fraction != -1 && !(fraction >= 0 && fraction <= 1)) {
      std::fprintf(stderr, "qlwprobe: %s: a fraction lies between 0 and 1\n", args[i].c_str());
      return 1;
    }
    CQLPatternList list;
    if (!qlwprobe::LoadPatterns(path, list)) return 1;
    if (list.empty()) {
      std::fprintf(stderr, "qlwprobe: %s holds no structure\n", path.c_str());
      return 1;
    }
    mixture->m_components.push_back(list.front());
    fractions.push_back(fraction);
    if (fraction < 0)
      ++unset;
    else
      given += fraction;
  }
  if (given > 1 + 1e-9) {
    std::fprintf(stderr, "qlwprobe: the fractions given add up to more than 1\n");
    return 1;
  }
  // Components without a fraction share what the others leave.
  auto component = mixture->m_components.begin();
  for (double fraction : fractions) (*component++)->m_fraction = fraction >= 0 ? fraction : (1 - given) / unset;
  mixture->ApplySettings(settings);
  mixture->GetComputedProfile(settings);
  CQLPatternList source{mixture};
  return qlwprobe::WritePatterns(kFileTypeProfile, args[0], source, settings) ? 0 : 1;
}
}  // namespace

QLW_PROBE_COMMAND(mix, "mix", "OUT A[:fraction] B[:fraction] ...", RunMix);
