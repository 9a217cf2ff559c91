#include "Paint.h"

#include <QPainter>
#include <QPicture>
#include <QWidget>

#include <map>

#include "GdiQt.h"
#include "WndQt.h"

namespace {
// DCs handed out by GetDC that record for the next paint, by handle.
std::map<HDC, HWND>& Recording() {
  static std::map<HDC, HWND> m;
  return m;
}
}  // namespace

HDC BeginPaint(HWND hwnd, LPPAINTSTRUCT ps) {
  if (!ps) return nullptr;
  *ps = PAINTSTRUCT{};
  QPainter* painter = qlw::PaintPainter(hwnd);
  RECT client{};
  ::GetClientRect(hwnd, &client);
  if (!painter) {
    // Outside a paint: what is drawn waits for the next one.
    ps->hdc = GetDC(hwnd);
    ps->rcPaint = client;
    return ps->hdc;
  }
  const QRect r = qlw::PaintRect(hwnd);
  ps->rcPaint = RECT{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
  ps->hdc = qlw::CreatePainterDC(painter, client);
  // The window's own background first, unless its handler says it erased.
  ps->fErase = ::SendMessageW(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(ps->hdc), 0) == 0;
  if (ps->fErase) {
    QWidget* w = qlw::WidgetOf(hwnd);
    if (w) painter->fillRect(r, w->palette().window());
  }
  return ps->hdc;
}

BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* ps) {
  if (!ps || !ps->hdc) return FALSE;
  if (Recording().count(ps->hdc)) return ReleaseDC(hwnd, ps->hdc);
  qlw::DeletePainterDC(ps->hdc);
  return TRUE;
}

HDC GetDC(HWND hwnd) {
  if (!hwnd) return qlw::CreateScreenDC();
  if (!::IsWindow(hwnd)) return nullptr;
  RECT client{};
  ::GetClientRect(hwnd, &client);
  HDC dc = qlw::CreatePictureDC(client);
  if (dc) Recording()[dc] = hwnd;
  return dc;
}

HDC GetWindowDC(HWND hwnd) { return GetDC(hwnd); }

int ReleaseDC(HWND hwnd, HDC dc) {
  if (!dc) return 0;
  auto it = Recording().find(dc);
  if (it == Recording().end()) {
    if (!hwnd) ::DeleteDC(dc);
    return hwnd ? 0 : 1;
  }
  HWND target = it->second;
  Recording().erase(it);
  QPicture picture;
  if (!qlw::FinishPictureDC(dc, picture)) return 0;
  if (!picture.isNull()) qlw::QueuePaintPicture(target, picture);
  return 1;
}

CPaintDC::CPaintDC(CWnd* wnd) : m_hWnd(wnd->m_hWnd) { Attach(::BeginPaint(m_hWnd, &m_ps)); }

CPaintDC::~CPaintDC() {
  Detach();
  ::EndPaint(m_hWnd, &m_ps);
}

CClientDC::CClientDC(CWnd* wnd) : m_hWnd(wnd ? wnd->m_hWnd : nullptr) { Attach(::GetDC(m_hWnd)); }

CClientDC::~CClientDC() { ::ReleaseDC(m_hWnd, Detach()); }
