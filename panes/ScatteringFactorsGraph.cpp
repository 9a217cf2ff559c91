// The scattering-factors palette's graph: f against d* of the selected rows drawn by the graph
// renderer, its cursor and mouse, and the copies of it on the clipboard and in files.
#include "ScatteringFactors.h"

#include "GraphRenderer.h"
#include "ToolDrawing.h"
#include "GraphicsExportDialog.h"
#include "LXAlphaButton.h"
#include "LXCursors.h"
#include "LXFileDialog.h"
#include "LXGraphicsErrors.h"
#include "LXImages.h"
#include "QLObservedPattern.h"
#include "Paint.h"
#include "Status.h"
#include "VectorMath.h"

#include <cmath>
#include <limits>

BEGIN_MESSAGE_MAP(CScatteringFactors::CGraphArea, CWnd)
  ON_WM_PAINT()
  ON_WM_ERASEBKGND()
  ON_WM_LBUTTONDOWN()
  ON_WM_MOUSEMOVE()
  ON_WM_LBUTTONUP()
  ON_WM_SETCURSOR()
  ON_WM_CONTEXTMENU()
END_MESSAGE_MAP()

namespace {
// Curve colours and line styles, taken in turn.
constexpr std::uint32_t kCurveColours[] = {0xFF0000, 0x0000FF, 0x004400, 0x000000, 0xFF9900, 0xBB22BB, 0x804000};
constexpr std::uint32_t kCurveLineStyles[] = {1, 2, 3, 4};
// Symbols the title names before it gives up with "...".
constexpr size_t kMaxTitleSymbols = 8;
constexpr UINT kPlotCursorId = 2105;
constexpr UINT kFileTypeSvg = 45;

// Samples between which the exponentials are taken afresh rather than stepped on.
constexpr int kResync = 64;
// Below this a term is nothing: stepping on would only make slow subnormal numbers.
constexpr double kNegligible = 1e-290;

CString LoadText(UINT id) {
  CString text;
  text.LoadString(id);
  return text;
}
}  // namespace

// With E_k = exp(−b·s_k²), E_k+1 = E_k·R_k and R_k+1 = R_k·Q: two multiplications a term in
// place of an exponential, which was the drawing's dearest part; every kResync samples both come
// from exp again, so rounding cannot pile up.
void CScatteringFactors::SampleFormFactor(const CLXASF& record, double x0, double h, int n, double* out) {
  const double* c = record.m_coefficients;
  for (int k = 0; k < n; ++k) out[k] = c[8];
  for (int term = 0; term < 4; ++term) {
    const double a = c[2 * term], b = c[2 * term + 1];
    const double q = std::exp(-b * h * h / 2.0);
    double e = 0.0, r = 0.0;
    for (int k = 0; k < n; ++k) {
      if (k % kResync == 0) {
        const double x = x0 + k * h;
        e = std::exp(-b * x * x / 4.0);
        r = std::exp(-b * (2.0 * x * h + h * h) / 4.0);
      }
      if (b > 0 && x0 >= 0 && h > 0 && e < kNegligible) break;  // only smaller from here on
      out[k] += a * e;
      e *= r;
      r *= q;
    }
  }
}

// ---- The graph window ----------------------------------------------------------------------
void CScatteringFactors::CGraphArea::OnPaint() {
  CPaintDC dc(this);
  if (!m_palette) return;
  CRect client;
  GetClientRect(&client);
  Gdiplus::Graphics graphics(dc.m_hDC);
  m_palette->DrawGraph(&graphics, client, RenderRequest(), true);
}

void CScatteringFactors::CGraphArea::OnLButtonDown(UINT, CPoint point) {
  SetCapture();
  if (m_palette) m_palette->GraphButtonDown(point);
}

void CScatteringFactors::CGraphArea::OnMouseMove(UINT flags, CPoint point) {
  if (m_palette) m_palette->GraphMouseMove(point, (flags & MK_LBUTTON) != 0);
}

void CScatteringFactors::CGraphArea::OnLButtonUp(UINT, CPoint point) {
  if (::GetCapture() == m_hWnd) ::ReleaseCapture();
  if (m_palette) m_palette->GraphButtonUp(point);
}

BOOL CScatteringFactors::CGraphArea::OnSetCursor(CWnd* window, UINT hitTest, UINT message) {
  if (m_palette && hitTest == HTCLIENT && m_palette->GraphSetCursor()) return TRUE;
  return CWnd::OnSetCursor(window, hitTest, message);
}

void CScatteringFactors::CGraphArea::OnContextMenu(CWnd*, CPoint point) {
  if (!m_palette) return;
  if (point.x == -1 && point.y == -1) {
    // From the keyboard: the middle of the graph.
    CRect client;
    GetClientRect(&client);
    point = client.CenterPoint();
    ClientToScreen(&point);
  }
  m_palette->GraphContextMenu(point);
}

// ---- Drawing -------------------------------------------------------------------------------
CString CScatteringFactors::GraphTitle(const std::vector<CLXASF>& records) {
  if (records.empty()) return CString();
  CString title = LoadText(records.size() > 1 ? 3618 : 3619);
  const size_t named = std::min(records.size(), kMaxTitleSymbols);
  for (size_t i = 0; i < named; ++i) {
    const bool last = i + 1 == records.size();
    if (i > 0) {
      if (last) {
        if (records.size() > 2) title += L",";
        title += LoadText(3620);
      } else {
        title += L", ";
      }
    }
    title += records[i].GetSymbol();
  }
  if (records.size() > kMaxTitleSymbols) title += LoadText(1087);
  return title;
}

void CScatteringFactors::DrawGraph(Gdiplus::Graphics* graphics, const RECT& rect, const RenderRequest& request,
                                   bool screen) {
  DrawRecords(graphics, rect, request, screen, CollectSelected());
}

void CScatteringFactors::DrawRecords(Gdiplus::Graphics* graphics, const RECT& rect, const RenderRequest& request,
                                     bool screen, const std::vector<CLXASF>& records) {
  if (!graphics) return;
  CDiffractionSettings& s = m_graphSettings;
  const int samples = std::max(0, static_cast<int>(rect.right - rect.left));
  const double step = samples > 0 ? (s.m_visibleXMax - s.m_visibleXMin) / samples : 0.0;
  double largest = -std::numeric_limits<double>::infinity();
  CQLPatternList curves;
  std::vector<GraphCurve> described;
  std::vector<double> values;
  // The toolkit's drawing leaves the wide registers in use: each exp below would stall.
  ClearUpperVectorState();
  for (size_t i = 0; i < records.size(); ++i) {
    const CLXASF& record = records[i];
    CQLProfile points(static_cast<size_t>(samples));
    GraphCurve curve;
    curve.title = record.GetSymbol();
    curve.points.reserve(points.size());
    values.resize(static_cast<size_t>(samples));
    SampleFormFactor(record, s.m_visibleXMin, step, samples, values.data());
    for (int k = 0; k < samples; ++k) {
      const double x = s.m_visibleXMin + k * step;
      const double f = values[static_cast<size_t>(k)];
      if (f > largest) largest = f;
      points[static_cast<size_t>(k)] = CQLProfilePoint{x, f};
      curve.points.emplace_back(x, f);
    }
    auto pattern = std::make_shared<CQLObservedPattern>(std::move(points), true);
    pattern->m_title = record.GetSymbol();
    pattern->SetShown(true);
    pattern->m_color = 0xFF000000u | kCurveColours[i % std::size(kCurveColours)];
    pattern->m_lineStyle = kCurveLineStyles[i % std::size(kCurveLineStyles)];
    curves.push_back(pattern);
    described.push_back(std::move(curve));
  }
  s.m_fourthText = GraphTitle(records);
  // The renderer names an empty title "Untitled": with nothing selected there is none.
  s.m_showPlotTitle = !s.m_fourthText.IsEmpty();
  // Nothing drawn, or nothing positive to scale by: the axes still need a span.
  s.m_visibleYMin = 0.0;
  s.m_visibleYMax = std::isfinite(largest) && largest > 0 ? largest : 1.0;
  m_lastCurves = std::move(described);

  const LXGraphics::CSyncRect whole(static_cast<float>(rect.left), static_cast<float>(rect.top),
                                    static_cast<float>(rect.right), static_cast<float>(rect.bottom));
  CStatusDisabler quiet;
  m_renderer = std::make_shared<CGraphRenderer>(curves, s, whole, !screen);
  // On screen the cursor's d readout stands above the plot, under the title and never over it;
  // kept whether the cursor is on or not, so that switching it does not move the plot.
  if (screen) m_renderer->SetTitleClearance(CursorReadoutExtent(s));
  const Gdiplus::GraphicsState saved = graphics->Save();
  if (request.kind == 1 && request.scale != 1.0)
    graphics->ScaleTransform(static_cast<float>(request.scale), static_cast<float>(request.scale));
  graphics->Clear(Gdiplus::Color(request.transparent ? 0x00FFFFFFu : 0xFFFFFFFFu));
  m_renderer->DrawFrame(graphics, false);
  m_renderer->DrawPlot(graphics);
  if (screen) m_renderer->DrawTools(graphics);
  graphics->Restore(saved);
}

Gdiplus::Image* CScatteringFactors::RenderGraphImage(const RenderRequest& request) {
  if (!m_graph.m_hWnd) return nullptr;
  CRect client;
  m_graph.GetClientRect(&client);
  std::unique_ptr<Gdiplus::Image> image;
  std::unique_ptr<Gdiplus::Graphics> g;
  if (request.kind == 2) {
    CString text;
    GetWindowText(text);
    HDC screen = ::GetDC(nullptr);
    auto metafile = std::make_unique<Gdiplus::Metafile>(
        screen, Gdiplus::RectF(0, 0, static_cast<float>(client.Width()), static_cast<float>(client.Height())),
        Gdiplus::MetafileFrameUnitPixel, Gdiplus::EmfTypeEmfPlusDual, text.GetString());
    ::ReleaseDC(nullptr, screen);
    if (metafile->GetLastStatus() != Gdiplus::Ok) return nullptr;
    g = std::make_unique<Gdiplus::Graphics>(metafile.get());
    image = std::move(metafile);
  } else {
    const double w = std::floor(client.Width() * request.scale), h = std::floor(client.Height() * request.scale);
    if (!(w >= 1 && h >= 1 && w < 32768 && h < 32768)) return nullptr;
    auto bitmap = std::make_unique<Gdiplus::Bitmap>(static_cast<INT>(w), static_cast<INT>(h), Gdiplus::PixelFormat32bppARGB);
    if (bitmap->GetLastStatus() != Gdiplus::Ok) return nullptr;
    g = std::make_unique<Gdiplus::Graphics>(bitmap.get());
    image = std::move(bitmap);
  }
  if (g->GetLastStatus() != Gdiplus::Ok) return nullptr;
  DrawGraph(g.get(), client, request, false);
  g->Flush();
  g.reset();
  // The screen's renderer again, so the cursor and the plot rectangle match the window.
  m_graph.Invalidate(FALSE);
  return image.release();
}

void CScatteringFactors::RepaintGraph() {
  if (m_graph.m_hWnd) m_graph.Invalidate(FALSE);
}

// ---- Copy and export -----------------------------------------------------------------------
void CScatteringFactors::OnCopyGraphics() {
  RenderRequest request;
  std::unique_ptr<Gdiplus::Image> image(RenderGraphImage(request));
  if (!image || !CopyImageToClipboard(image.get(), m_hWnd))
    throw CLXXCopyGrfxNoBitmap(kLXSeverityMessage, 0, __LINE__);
}

void CScatteringFactors::OnExportGraphics() {
  CRect client;
  m_graph.GetClientRect(&client);
  GraphicsExportDialog dialog;
  dialog.m_baseWidth = client.Width();
  dialog.m_baseHeight = client.Height();
  dialog.SetTransientParent(this);
  if (dialog.DoModal() != IDOK) return;
  RenderRequest request;
  request.transparent = dialog.m_transparent;
  request.scale = dialog.m_magnification;
  UINT fileType = static_cast<UINT>(dialog.m_formatCode);
  request.kind = fileType == kFileTypeSvg ? 2 : 1;
  CString path;
  if (!CLXFileDialog::PromptExportFile(this, CString(), CString(), CString(), false, &fileType, &path)) return;
  request.kind = fileType == kFileTypeSvg ? 2 : 1;
  // BMP and JPEG keep no transparency: a transparent white would save as black.
  request.transparent = request.transparent && GraphicsExportDialog::AllowsTransparency(static_cast<int>(fileType));
  std::unique_ptr<Gdiplus::Image> image(RenderGraphImage(request));
  if (!image) throw CLXXCopyGrfxNoBitmap(kLXSeverityMessage, 0, __LINE__);
  if (!SaveImageToFile(image.get(), path)) throw CLXXFile(kLXSeverityMessage, ERROR_WRITE_FAULT, __LINE__);
}

// ---- The mouse on the graph ----------------------------------------------------------------
void CScatteringFactors::GraphButtonDown(const POINT& point) {
  m_buttonDown = true;
  m_dragging = false;
  m_lastPoint = m_currentPoint = point;
  CCursor* cursor = GetGraphCursor();
  cursor->m_target = m_hWnd;
  m_pressOnCursor = cursor->IsActive() && cursor->HitTest(point);
  if (m_pressOnCursor) cursor->OnLButtonDown(point, true);
  GraphSetCursor();
}

void CScatteringFactors::GraphMouseMove(const POINT& point, bool buttonDown) {
  if (m_buttonDown && !buttonDown) m_buttonDown = m_dragging = false;
  m_lastPoint = m_currentPoint;
  m_currentPoint = point;
  if (m_buttonDown && (point.x != m_lastPoint.x || point.y != m_lastPoint.y)) {
    m_dragging = true;
    CCursor* cursor = GetGraphCursor();
    if (m_pressOnCursor && cursor->IsActive()) {
      cursor->DragBy(point, static_cast<float>(point.x - m_lastPoint.x), static_cast<float>(point.y - m_lastPoint.y));
      RepaintGraph();
    }
  }
  GraphSetCursor();
}

void CScatteringFactors::GraphButtonUp(const POINT& point) {
  if (!m_buttonDown) return;
  m_buttonDown = false;
  CCursor* cursor = GetGraphCursor();
  cursor->m_target = m_hWnd;
  if (m_pressOnCursor) cursor->OnLButtonDown(point, false);
  if (!m_dragging) {
    // A click switches the cursor: on at the point, or off.
    if (!cursor->IsActive()) {
      cursor->MoveTo(static_cast<float>(point.x), static_cast<float>(point.y));
      cursor->ToggleActive();
    } else {
      cursor->Hide();
      cursor->ToggleActive();
    }
  }
  m_dragging = false;
  m_pressOnCursor = false;
  RepaintGraph();
  GraphSetCursor();
}

bool CScatteringFactors::GraphSetCursor() {
  CCursor* cursor = GetGraphCursor();
  POINT at{};
  ::GetCursorPos(&at);
  if (m_graph.m_hWnd) ::ScreenToClient(m_graph.m_hWnd, &at);
  UINT id = kPlotCursorId;
  if (cursor->IsActive() && (m_dragging || cursor->HitTest(at))) {
    const UINT own = cursor->GetCursorIdAt(at, m_dragging);
    if (own != 0xFFFFFFFFu) id = own;
  }
  SetCursorById(id);
  return true;
}

void CScatteringFactors::GraphContextMenu(const POINT& screen) {
  CCursor* cursor = GetGraphCursor();
  cursor->m_target = m_hWnd;
  POINT client = screen;
  ::ScreenToClient(m_graph.m_hWnd, &client);
  if (cursor->IsActive() && cursor->HitTest(client) && cursor->ShowContextMenu(m_hWnd, screen)) return;
  CMenu menu;
  if (!menu.LoadMenu(kGraphMenuId)) throw CLXXCantLoadResource(kLXSeverityMessage, 0, __LINE__);
  CMenu* popup = menu.GetSubMenu(0);
  if (!popup) throw CLXXCantLoadResource(kLXSeverityMessage, 0, __LINE__);
  popup->TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON, screen.x, screen.y, this);
}

LRESULT CScatteringFactors::OnToolGetPlotRect(WPARAM, LPARAM lParam) {
  auto* rect = reinterpret_cast<RECT*>(lParam);
  if (rect) *rect = RECT{0, 0, 0, 0};
  // Before the first drawing there is no plot to place a tool on.
  if (!m_renderer) return FALSE;
  const LXGraphics::CSyncRect& plot = m_renderer->GetPlotRect();
  if (rect) *rect = plot.m_rect;
  return plot.m_float.Width > 0 && plot.m_float.Height > 0;
}

LRESULT CScatteringFactors::OnToolUpdateRequest(WPARAM, LPARAM) {
  RepaintGraph();
  return TRUE;
}

LRESULT CScatteringFactors::OnCursorColour(WPARAM colour, LPARAM) {
  const auto ref = static_cast<COLORREF>(colour);
  // COLORREF is 0x00BBGGRR; the tool keeps opaque ARGB.
  const std::uint32_t argb = 0xFF000000u | (std::uint32_t(GetRValue(ref)) << 16) |
                             (std::uint32_t(GetGValue(ref)) << 8) | GetBValue(ref);
  CCursor* cursor = GetGraphCursor();
  if (cursor->m_rec.color == argb) return 0;
  cursor->m_rec.color = argb;
  cursor->m_target = m_hWnd;
  cursor->Notify(4, 0);
  return 0;
}
