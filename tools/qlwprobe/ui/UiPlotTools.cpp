// The plot and its tools in scripts: `plot` (the renderer's geometry as last painted), `mouse`
// (gestures on the canvas or the loupe, as a user's hand gives them), `tool` (switching the cursor,
// ruler and loupe by their commands) and `tools` (what each tool shows).
#include "UiApi.h"
#include "UiRunnerState.h"

#include <QApplication>
#include <QTest>
#include <QWheelEvent>
#include <QWidget>
#include <QWindow>

#include <cmath>
#include <cstdio>
#include <optional>

#include "DiffractWnd.h"
#include "DiffractionSettings.h"
#include "GraphRenderer.h"
#include "ImagingPane.h"
#include "Loupe.h"
#include "ToolRecords.h"
#include "WndQt.h"

namespace qlwui {
namespace {
constexpr UINT kCmdCursor = 33582, kCmdRuler = 33590, kCmdLoupe = 33585;
constexpr int kDefaultDragSteps = 10;

CImagingPane& Canvas() {
  CGraphicsPane* pane = MainWindow()->GetGraphicsPane();
  if (!pane || !pane->GetCanvas().m_hWnd) throw Failure("the window has no plot");
  return pane->GetCanvas();
}

QWidget* CanvasWidget() {
  QWidget* widget = qlw::WidgetOf(Canvas().m_hWnd);
  if (!widget) throw Failure("the plot has no widget");
  return widget;
}

// The renderer of the last paint, after any paint that is waiting; null before the first.
const std::shared_ptr<CGraphRenderer>& PaintedRenderer() {
  CImagingPane& canvas = Canvas();
  canvas.UpdateWindow();
  return canvas.GetRenderer();
}

std::string Format(const char* format, double a) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, a);
  return buffer;
}

std::string G9(double v) { return Format("%.9g", v); }
std::string F2(double v) { return Format("%.2f", v); }

// ---- plot ----

void RunPlot(const Line&) {
  const std::shared_ptr<CGraphRenderer>& renderer = PaintedRenderer();
  if (!renderer) {
    Print("plot: none");
    return;
  }
  const auto& r = renderer->GetPlotRect().m_float;
  Print("plot: " + G9(r.X) + " " + G9(r.Y) + " " + G9(r.Width) + " " + G9(r.Height));
  Print("x: " + G9(renderer->GetXMin()) + " " + G9(renderer->GetXMax()) + " " + G9(renderer->GetXPixelsPerUnit()));
  Print("y: " + G9(renderer->GetYMin()) + " " + G9(renderer->GetYMax()) + " " + G9(renderer->GetYPixelsPerUnit()) +
        (renderer->GetSettings().m_logarithmicYAxis ? " log" : " linear"));
}

// ---- mouse ----

// A press held by `mouse press` until `mouse release`: the loupe's place when it began.
struct HeldGesture {
  bool held = false;
  QPoint loupeOrigin;
};
HeldGesture g_held;

QWidget* LoupeWidget() {
  const std::shared_ptr<CLoupe>& loupe = MainWindow()->GetLoupe();
  QWidget* widget = loupe && loupe->m_hWnd ? qlw::WidgetOf(loupe->m_hWnd) : nullptr;
  if (!widget || !widget->isVisible()) throw Failure("the loupe is not shown");
  return widget;
}

// One coordinate: a data value, or whole pixels from the plot's left or top with "px".
struct Coordinate {
  double value = 0;
  bool pixels = false;
};

Coordinate ParseCoordinate(const std::string& word, const char* what) {
  Coordinate c;
  if (word.size() > 2 && word.compare(word.size() - 2, 2, "px") == 0) {
    c.pixels = true;
    c.value = ParseInt(word.substr(0, word.size() - 2), what);
  } else {
    c.value = ParseNumber(word, what);
  }
  return c;
}

// Where a gesture's points are measured from and how they become global screen points.
class Place {
 public:
  explicit Place(bool loupe) : m_loupe(loupe) {
    if (m_loupe) {
      QWidget* widget = LoupeWidget();
      m_origin = g_held.held ? g_held.loupeOrigin : widget->mapToGlobal(QPoint(0, 0));
      return;
    }
    m_renderer = PaintedRenderer();
    if (!m_renderer) throw Failure("the plot has not been painted");
    m_canvas = CanvasWidget();
  }

  QPoint Global(const Coordinate& x, const Coordinate& y) const {
    if (m_loupe) {
      if (!x.pixels && !y.pixels) return m_origin + QPoint(int(std::lround(x.value)), int(std::lround(y.value)));
      throw Failure("loupe points are plain pixels of its window");
    }
    const auto& plot = m_renderer->GetPlotRect().m_float;
    const Gdiplus::PointF data =
        m_renderer->DataToPixel(x.pixels ? m_renderer->GetXMin() : x.value, y.pixels ? m_renderer->GetYMin() : y.value);
    const long px = x.pixels ? std::lround(plot.X) + long(x.value) : std::lround(data.X);
    const long py = y.pixels ? std::lround(plot.Y) + long(y.value) : std::lround(data.Y);
    return m_canvas->mapToGlobal(QPoint(int(px), int(py)));
  }

  QPoint Origin() const { return m_origin; }

 private:
  bool m_loupe;
  QPoint m_origin;
  std::shared_ptr<CGraphRenderer> m_renderer;
  QWidget* m_canvas = nullptr;
};

// The top-level window under a screen point, as the window system would pick it.
QWindow* WindowAt(const QPoint& global) {
  QWidget* top = QApplication::topLevelAt(global);
  if (!top) top = qlw::WidgetOf(MainWindow()->m_hWnd);
  QWindow* window = top ? top->windowHandle() : nullptr;
  if (!window) throw Failure("no window under the point");
  return window;
}

enum class Act { Move, Press, Release, Click, DClick };

void Send(Act act, const QPoint& global, Qt::MouseButton button, Qt::KeyboardModifiers modifiers) {
  QWindow* window = WindowAt(global);
  const QPoint local = window->mapFromGlobal(global);
  if (QWidget* top = QApplication::topLevelAt(global)) ActivateWindowOf(top);
  switch (act) {
    // Through mouseEvent: QTest's mouseMove would drop the keys held.
    case Act::Move: QTest::mouseEvent(QTest::MouseMove, window, Qt::NoButton, modifiers, local); break;
    case Act::Press: QTest::mousePress(window, button, modifiers, local); break;
    case Act::Release: QTest::mouseRelease(window, button, modifiers, local); break;
    case Act::Click: QTest::mouseClick(window, button, modifiers, local); break;
    case Act::DClick: QTest::mouseDClick(window, button, modifiers, local); break;
  }
}

void Wheel(const QPoint& global, int delta, Qt::KeyboardModifiers modifiers) {
  QWidget* target = QApplication::widgetAt(global);
  if (!target) throw Failure("no window under the point");
  QWheelEvent event(QPointF(target->mapFromGlobal(global)), QPointF(global), QPoint(), QPoint(0, delta),
                    Qt::NoButton, modifiers, Qt::NoScrollPhase, false);
  QApplication::sendEvent(target, &event);
}

Qt::KeyboardModifiers ParseModifiers(const std::string& word) {
  if (word == "shift") return Qt::ShiftModifier;
  if (word == "ctrl") return Qt::ControlModifier;
  if (word == "shift+ctrl" || word == "ctrl+shift") return Qt::ShiftModifier | Qt::ControlModifier;
  throw Failure("bad keys \"" + word + "\"");
}

void RunMouse(const Line& line) {
  std::vector<std::string> words(line.words.begin() + 1, line.words.end());
  const bool loupe = !words.empty() && words.front() == "loupe";
  if (loupe) words.erase(words.begin());
  if (words.empty()) throw Failure("missing action");
  const std::string action = words.front();
  words.erase(words.begin());
  Qt::KeyboardModifiers modifiers = Qt::NoModifier;
  if (!words.empty() && (words.back() == "shift" || words.back() == "ctrl" || words.back() == "shift+ctrl" ||
                         words.back() == "ctrl+shift")) {
    modifiers = ParseModifiers(words.back());
    words.pop_back();
  }
  auto need = [&](size_t n) {
    if (words.size() < n) throw Failure("missing coordinates");
  };
  const Place place(loupe);
  auto point = [&](size_t i) {
    return place.Global(ParseCoordinate(words[i], "x"), ParseCoordinate(words[i + 1], "y"));
  };

  if (action == "move") {
    need(2);
    Send(Act::Move, point(0), Qt::NoButton, modifiers);
  } else if (action == "press") {
    need(2);
    const QPoint at = point(0);
    g_held = HeldGesture{true, place.Origin()};
    Send(Act::Press, at, Qt::LeftButton, modifiers);
  } else if (action == "release") {
    need(2);
    const QPoint at = point(0);
    g_held = HeldGesture{};
    Send(Act::Release, at, Qt::LeftButton, modifiers);
  } else if (action == "click") {
    need(2);
    Send(Act::Click, point(0), Qt::LeftButton, modifiers);
  } else if (action == "dclick") {
    need(2);
    Send(Act::DClick, point(0), Qt::LeftButton, modifiers);
  } else if (action == "rclick") {
    need(2);
    Send(Act::Click, point(0), Qt::RightButton, modifiers);
  } else if (action == "wheel") {
    need(3);
    Wheel(point(0), ParseInt(words[2], "delta"), modifiers);
  } else if (action == "drag") {
    need(4);
    const int steps = words.size() > 4 ? ParseInt(words[4], "steps") : kDefaultDragSteps;
    if (steps < 1) throw Failure("bad steps \"" + words[4] + "\"");
    const QPoint from = point(0), to = point(2);
    g_held = HeldGesture{true, place.Origin()};
    Send(Act::Press, from, Qt::LeftButton, modifiers);
    for (int k = 1; k <= steps; ++k) {
      const double t = double(k) / steps;
      const QPoint at(from.x() + int(std::lround((to.x() - from.x()) * t)),
                      from.y() + int(std::lround((to.y() - from.y()) * t)));
      Send(Act::Move, at, Qt::NoButton, modifiers);
    }
    g_held = HeldGesture{};
    Send(Act::Release, to, Qt::LeftButton, modifiers);
  } else {
    throw Failure("unknown mouse action \"" + action + "\"");
  }
}

// ---- tool ----

void RunTool(const Line& line) {
  const std::string& name = line.Word(1, "tool");
  const std::string& state = line.Word(2, "on|off");
  if (state != "on" && state != "off") throw Failure("bad state \"" + state + "\"");
  const bool wanted = state == "on";
  CDiffractionSettings* settings = Document()->GetSettings();
  bool now = false;
  UINT command = 0;
  if (name == "cursor") {
    CCursor* cursor = settings ? settings->GetCursor(false) : nullptr;
    now = cursor && cursor->IsActive();
    command = kCmdCursor;
  } else if (name == "ruler") {
    CRuler* ruler = settings ? settings->GetRuler(false) : nullptr;
    now = ruler && ruler->IsActive();
    command = kCmdRuler;
  } else if (name == "loupe") {
    now = MainWindow()->IsLoupeVisible();
    command = kCmdLoupe;
  } else {
    throw Failure("unknown tool \"" + name + "\"");
  }
  if (now != wanted && !SendMenuCommand(command)) Print("disabled");
}

// ---- tools ----

// A tool converting through a renderer for a moment, as it does while it draws.
class Attached {
 public:
  Attached(CTool& tool, CGraphRenderer* renderer)
      : m_tool(tool), m_renderer(tool.m_renderer), m_plot(tool.m_rendererPlot), m_axes(tool.m_axes) {
    if (renderer) tool.AttachRenderer(renderer);
  }
  ~Attached() {
    m_tool.m_renderer = m_renderer;
    m_tool.m_rendererPlot = m_plot;
    m_tool.m_axes = m_axes;
  }

 private:
  CTool& m_tool;
  CGraphRenderer* m_renderer;
  LXGraphics::CSyncRect m_plot;
  CToolAxes m_axes;
};

std::string Quoted(const CString& text) { return "\"" + Utf8(text.GetString()) + "\""; }

void PrintCursor(CCursor& cursor, CGraphRenderer* renderer, const CDiffractionSettings& settings) {
  const Attached attached(cursor, renderer);
  const double x = cursor.m_xSet ? cursor.m_x : cursor.GetDataX();
  const CString d = cursor.IsActive() && cursor.m_showDSpacing ? CCursor::FormatDReadout(settings.ConvertToDSpacing(x)) : CString();
  Print(std::string("cursor: ") + (cursor.IsActive() ? "on" : "off") + ", " + (cursor.IsShown() ? "selected" : "unselected") +
        ", x " + Format("%.6f", x) + ", readout " + Quoted(CCursor::FormatXReadout(x, settings.m_unitSymbol, settings.m_axisType)) +
        ", d " + (d.IsEmpty() ? std::string("\"-\"") : Quoted(d)));
  if (!cursor.IsActive() || !renderer) return;
  for (const CQLPatternPtr& pattern : renderer->GetDrawingList()) {
    if (!pattern) continue;
    // The film draws the cursor's line alone, and a curve above the plot gets no mark: no label
    // there.
    const bool marked = !settings.m_filmMode && pattern->GetIntensityAt(x) <= renderer->GetYMax();
    const CString label = marked ? CCursor::FormatIntensityLabel(pattern->GetReadoutIntensityAt(x), renderer->GetYMax()) : CString();
    Print("cursor mark: " + Utf8(pattern->m_title.GetString()) + " | " + (label.IsEmpty() ? "-" : Utf8(label.GetString())));
  }
}

void PrintRuler(CRuler& ruler, CGraphRenderer* renderer, const CDiffractionSettings& settings) {
  const Attached attached(ruler, renderer);
  LXGraphics::CSyncRect plot;
  ruler.GetPlotGeometry(plot);
  float cx = 0, cy = 0, lx = 0, ly = 0, rx = 0, ry = 0;
  ruler.GetCentreF(cx, cy);
  ruler.GetEndPoint(1, lx, ly);
  ruler.GetEndPoint(0, rx, ry);
  Print(std::string("ruler: ") + (ruler.IsActive() ? "on" : "off") + ", " + (ruler.IsShown() ? "selected" : "unselected") +
        ", centre " + F2(cx - plot.m_float.X) + " " + F2(cy - plot.m_float.Y) + ", length " + F2(ruler.m_length) +
        ", left " + Quoted(CRuler::FormatPointX(ruler.PixelToDataX(lx), settings.m_unitSymbol)) +
        ", right " + Quoted(CRuler::FormatPointX(ruler.PixelToDataX(rx), settings.m_unitSymbol)) +
        ", delta " + Quoted(CRuler::FormatDeltaX(ruler.GetDeltaX(), settings.m_unitSymbol)) +
        ", level " + Quoted(CRuler::FormatIntensity(ruler.GetIntensityAtLevel())));
}

void PrintLoupe(CGraphRenderer* renderer) {
  const std::shared_ptr<CLoupe>& loupe = MainWindow()->GetLoupe();
  if (!loupe || !loupe->m_hWnd) {
    Print("loupe: none");
    return;
  }
  POINT centre{CLoupe::kCentre, CLoupe::kCentre};
  loupe->ClientToScreen(&centre);
  Canvas().ScreenToClient(&centre);
  float left = 0, top = 0;
  if (renderer) {
    left = renderer->GetPlotRect().m_float.X;
    top = renderer->GetPlotRect().m_float.Y;
  }
  char buffer[160];
  std::snprintf(buffer, sizeof buffer, "loupe: %s, %d%%, %s, lens %d, centre %ld %ld, renders %d",
                loupe->IsLoupeVisible() ? "shown" : "off", int(loupe->GetZoom()), loupe->IsCircle() ? "circle" : "square",
                loupe->GetLensSize(), centre.x - std::lround(left), centre.y - std::lround(top), loupe->GetRenderCount());
  Print(buffer);
}

void RunTools(const Line&) {
  const std::shared_ptr<CGraphRenderer> renderer = PaintedRenderer();
  CDiffractionSettings* settings = Document()->GetSettings();
  if (!settings) throw Failure("the document has no settings");
  if (CCursor* cursor = settings->GetCursor(false)) PrintCursor(*cursor, renderer.get(), *settings);
  if (CRuler* ruler = settings->GetRuler(false)) PrintRuler(*ruler, renderer.get(), *settings);
  PrintLoupe(renderer.get());
}
}  // namespace

QWidget* LoupeWindow() { return LoupeWidget(); }
}  // namespace qlwui

QLW_UI_COMMAND(plot, "plot", "", qlwui::RunPlot);
QLW_UI_COMMAND(mouse, "mouse", "[loupe] move|press|release|click|dclick|rclick X Y | wheel X Y DELTA | drag X1 Y1 X2 Y2 [STEPS] [shift|ctrl|shift+ctrl]", qlwui::RunMouse);
QLW_UI_COMMAND(tool, "tool", "cursor|ruler|loupe on|off", qlwui::RunTool);
QLW_UI_COMMAND(tools, "tools", "", qlwui::RunTools);
