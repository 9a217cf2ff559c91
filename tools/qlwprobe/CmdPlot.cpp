// `plot OUT IN… [options]`: the plot of the structures and data files IN as the canvas draws it
// for output (frame, then plot body), into OUT: PNG, or SVG by extension.
#include "Probe.h"

#include "FileTypes.h"
#include "GraphRenderer.h"
#include "LXGdiplus.h"
#include "LXImages.h"
#include "QlwDoc.h"

#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
int PlotUsage() {
  std::fprintf(stderr,
               "usage: qlwprobe plot OUT IN... [--width W] [--height H] [--dpi D] "
               "[--radiation xray|neutron|edx|tof|electron] [--lambda A] [--unit 2theta|d|1/d|tof|energy|2pi/d] "
               "[--film]\n");
  return 2;
}

bool EndsWith(const std::string& text, const char* tail) {
  const size_t n = std::strlen(tail);
  if (text.size() < n) return false;
  for (size_t i = 0; i < n; ++i)
    if (std::tolower(static_cast<unsigned char>(text[text.size() - n + i])) != tail[i]) return false;
  return true;
}

int RunPlot(const std::vector<std::string>& args) {
  if (args.size() < 2) return PlotUsage();
  const std::string out = args[0];
  std::vector<CString> inputs;
  int width = 780, height = 570, dpi = 96;
  int radiation = 0, unit = 0;
  double lambda = 0;
  bool film = false;
  static const char* const kRadiations[] = {"", "xray", "neutron", "edx", "tof", "electron"};
  static const char* const kUnits[] = {"", "2theta", "d", "1/d", "tof", "energy", "2pi/d"};
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "--film") {
      film = true;
    } else if ((a == "--width" || a == "--height" || a == "--dpi") && hasValue) {
      const long v = std::strtol(args[++i].c_str(), nullptr, 10);
      if (v < 1 || v > 20000) return PlotUsage();
      (a == "--width" ? width : a == "--height" ? height : dpi) = int(v);
    } else if (a == "--lambda" && hasValue) {
      lambda = std::strtod(args[++i].c_str(), nullptr);
      if (!(lambda > 0)) return PlotUsage();
    } else if (a == "--radiation" && hasValue) {
      const std::string& r = args[++i];
      for (int k = 1; k <= 5; ++k)
        if (r == kRadiations[k]) radiation = k;
      if (!radiation) return PlotUsage();
    } else if (a == "--unit" && hasValue) {
      const std::string& u = args[++i];
      for (int k = 1; k <= 6; ++k)
        if (u == kUnits[k]) unit = k;
      if (!unit) return PlotUsage();
    } else if (a.rfind("--", 0) == 0) {
      return PlotUsage();
    } else {
      inputs.emplace_back(a.c_str());
    }
  }
  if (inputs.empty()) return PlotUsage();

  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  int argc = 1;
  char name[] = "qlwprobe";
  char* argv[] = {name, nullptr};
  QGuiApplication app(argc, argv);
  StartGdiplus();
  InstallFileTypeRecogniser();

  CQlwDoc doc;
  doc.OnNewDocument();
  CDiffractionSettings& settings = *doc.GetSettings();
  if (radiation) settings.m_simulationType = LXTypes::QLSimulationType(radiation);
  if (lambda > 0) (radiation == LXTypes::kSimElectrons ? settings.m_lambdaTEM : settings.m_lambda) = lambda;
  settings.UpdateTOFFactor();
  doc.AddFilesFromDrop(inputs);
  if (doc.GetPatterns().empty()) {
    std::fprintf(stderr, "qlwprobe: nothing to plot\n");
    return 1;
  }
  if (unit) doc.SetAxisType(LXTypes::QLAxisType(unit));
  settings.m_filmMode = film ? 1 : 0;
  doc.RecomputeAllPatterns(true, true, false);

  // Output at D dpi: the screen layout scaled by D / 96, as an export at that magnification.
  const double scale = dpi / 96.0;
  const int pixelWidth = int(width * scale), pixelHeight = int(height * scale);
  g_screenDpi = 96;
  g_drawDpi = dpi;
  g_textScale = float(scale);
  LXGraphics::CSyncRect whole;
  whole.SetXYWH(0, 0, float(pixelWidth), float(pixelHeight));
  CGraphRenderer renderer(doc.GetPatterns(), settings, whole, true);
  auto draw = [&](Gdiplus::Graphics& graphics) {
    Gdiplus::SolidBrush paper{Gdiplus::Color(0xFFFFFFFFu)};
    graphics.FillRectangle(&paper, 0.0f, 0.0f, float(pixelWidth), float(pixelHeight));
    renderer.DrawFrame(&graphics, false);
    renderer.DrawPlot(&graphics);
  };
  bool ok;
  if (EndsWith(out, ".svg")) {
    Gdiplus::Metafile meta(static_cast<HDC>(nullptr));
    {
      Gdiplus::Graphics graphics(&meta);
      draw(graphics);
    }
    ok = SaveImageToFile(&meta, CString(out.c_str()));
  } else {
    Gdiplus::Bitmap bitmap(pixelWidth, pixelHeight);
    {
      Gdiplus::Graphics graphics(&bitmap);
      draw(graphics);
    }
    ok = SaveImageToFile(&bitmap, CString(out.c_str()));
  }
  StopGdiplus();
  if (!ok) {
    std::fprintf(stderr, "qlwprobe: cannot write %s\n", out.c_str());
    return 1;
  }
  const CDiffractionSettings& s = renderer.GetSettings();
  std::printf("%s: %d x %d, %zu pattern(s), x %.4f to %.4f, y %.4f to %.4f\n", out.c_str(), pixelWidth, pixelHeight,
              renderer.GetDrawingList().size(), s.m_visibleXMin, s.m_visibleXMax, s.m_visibleYMin, s.m_visibleYMax);
  return 0;
}
}  // namespace

QLW_PROBE_COMMAND(plot, "plot", "OUT IN... [--width W] [--height H] [--dpi D] [--radiation R] [--lambda A] [--unit U] [--film]",
                  RunPlot);
