// `refl PATH [options]`: the reflexion list of a structure file as CSV, in the engine's order.
#include "Probe.h"
#include "ProbeOptions.h"

#include "DiffractionSettings.h"
#include "FileTypes.h"
#include "QLCrystal.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>

static int ReflUsage() {
  std::fprintf(stderr,
               "usage: qlwprobe refl PATH [--block N] [--radiation xray|neutron|electron] [--lambda A] [--dmin A] "
               "[--max N] [--no-adp]\n");
  return 2;
}

namespace {
void AppendNumber(std::string& text, int value, char after) {
  char buffer[16];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
  text.append(buffer, end);
  text += after;
}

// Six digits after the point (fixed) or six significant digits (general), as printf's %.6f and %.6g.
void AppendNumber(std::string& text, double value, char after, std::chars_format format) {
  char buffer[400];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, value, format, 6).ptr;
  text.append(buffer, end);
  text += after;
}
}  // namespace

static int RunRefl(const std::vector<std::string>& args) {
  if (args.empty()) return ReflUsage();
  CDiffractionSettings settings(true);
  size_t block = 1;
  bool noAdp = false;
  double lambda = 0;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "--no-adp") {
      noAdp = true;
    } else if (a == "--block" && hasValue) {
      block = std::strtoul(args[++i].c_str(), nullptr, 10);
    } else if (a == "--radiation" && hasValue) {
      if (!qlwprobe::SetRadiation(args[++i], settings)) return ReflUsage();
    } else if (a == "--lambda" && hasValue) {
      lambda = std::strtod(args[++i].c_str(), nullptr);
    } else if (a == "--dmin" && hasValue) {
      settings.m_dMin = std::strtod(args[++i].c_str(), nullptr);
    } else if (a == "--max" && hasValue) {
      const unsigned long n = std::strtoul(args[++i].c_str(), nullptr, 10);
      settings.m_restrictMaxNumRefs = n != 0;
      settings.m_maxNumRefs = static_cast<uint32_t>(n);
    } else {
      return ReflUsage();
    }
  }
  qlwprobe::SetLambda(lambda, settings);
  const CQLPatternPtr pattern = qlwprobe::LoadBlock(args[0], block);
  if (!pattern) return 1;
  CQLCrystal* crystal = pattern->GetCrystal();
  if (!crystal) return 1;
  if (noAdp) crystal->m_useThermalEllipsoids = false;
  // One computation; a failure has been reported by the engine (on standard error here).
  if (!crystal->Recompute(settings) || crystal->m_reflexions.empty()) {
    std::fprintf(stderr, "qlwprobe: %s: no reflexion list could be computed\n", args[0].c_str());
    return 1;
  }
  // As printf's "%d,%d,%d,%.6f,%d,%.6g,%.6f,%.6g,%.6g", written in one piece: printf took longer
  // than the structure factors' last step on a large cell.
  std::string text = "h,k,l,d,mult,F2,position,intensity,relative\n";
  text.reserve(text.size() + crystal->m_reflexions.size() * 96);
  for (const auto& r : crystal->m_reflexions) {
    AppendNumber(text, r->h, ',');
    AppendNumber(text, r->k, ',');
    AppendNumber(text, r->l, ',');
    AppendNumber(text, r->d, ',', std::chars_format::fixed);
    AppendNumber(text, r->multiplicity, ',');
    AppendNumber(text, r->A * r->A + r->B * r->B, ',', std::chars_format::general);
    AppendNumber(text, r->x, ',', std::chars_format::fixed);
    AppendNumber(text, r->intensity, ',', std::chars_format::general);
    AppendNumber(text, r->relativeIntensity, '\n', std::chars_format::general);
  }
  std::fwrite(text.data(), 1, text.size(), stdout);
  qlwprobe::KeepUntilExit(CQLPatternPtr(pattern));
  return 0;
}

QLW_PROBE_COMMAND(refl, "refl", "PATH [--block N] [--radiation xray|neutron|electron] [--lambda A] [--dmin A] [--max N] [--no-adp]",
                  RunRefl);
