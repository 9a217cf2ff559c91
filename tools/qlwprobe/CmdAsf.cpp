// `asf NAME`: the scattering-factor record that a species of that name receives.
#include <cstdio>

#include "LXASF.h"
#include "Probe.h"

static int RunAsf(const std::vector<std::string>& args) {
  if (args.size() != 1) {
    std::fprintf(stderr, "usage: qlwprobe asf NAME\n");
    return 2;
  }
  const CSiteSpecies species(CString(args[0].c_str()), 1.0);
  const CLXASF& r = species.m_asf;
  static const char* const kNames[9] = {"a1", "b1", "a2", "b2", "a3", "b3", "a4", "b4", "c"};
  std::printf("symbol %s\n", CString(r.m_symbol).ToUtf8().c_str());
  std::printf("Z %d\n", r.m_Z);
  std::printf("weight %.17g\n", r.m_weight);
  for (int i = 0; i < 9; ++i) std::printf("%s %.17g\n", kNames[i], r.m_coefficients[i]);
  std::printf("b %.17g\n", r.m_neutronLength);
  std::printf("note %s\n", r.m_note.ToUtf8().c_str());
  return 0;
}

QLW_PROBE_COMMAND(asf, "asf", "NAME", RunAsf);
