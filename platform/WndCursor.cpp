// Cursors on widgets: SetCursor puts the cursor on the widget under the mouse (or the one holding
// it), never on Qt's application-wide override stack, which would grow with every call.
#include <QApplication>
#include <QCursor>
#include <QWidget>

#include "WndGeometry.h"
#include "WndQt.h"
#include "WndState.h"

namespace {
qlw::CursorResolver g_resolver = nullptr;

bool SystemShape(HCURSOR cursor, Qt::CursorShape& shape) {
  switch (reinterpret_cast<uintptr_t>(cursor)) {
    case 32512: shape = Qt::ArrowCursor; return true;
    case 32513: shape = Qt::IBeamCursor; return true;
    case 32514: shape = Qt::WaitCursor; return true;
    case 32515: shape = Qt::CrossCursor; return true;
    case 32516: shape = Qt::UpArrowCursor; return true;
    case 32642: shape = Qt::SizeFDiagCursor; return true;
    case 32643: shape = Qt::SizeBDiagCursor; return true;
    case 32644: shape = Qt::SizeHorCursor; return true;
    case 32645: shape = Qt::SizeVerCursor; return true;
    case 32646: shape = Qt::SizeAllCursor; return true;
    case 32648: shape = Qt::ForbiddenCursor; return true;
    case 32649: shape = Qt::PointingHandCursor; return true;
    case 32650: shape = Qt::BusyCursor; return true;
    case 32651: shape = Qt::WhatsThisCursor; return true;
    default: return false;
  }
}
}  // namespace

namespace qlw {
void SetCursorResolver(CursorResolver resolver) { g_resolver = resolver; }

bool CursorOf(HCURSOR cursor, QCursor& out) {
  Qt::CursorShape shape;
  if (SystemShape(cursor, shape)) {
    out = QCursor(shape);
    return true;
  }
  return g_resolver && g_resolver(cursor, out);
}
}  // namespace qlw

HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name) {
  Qt::CursorShape shape;
  if (!instance && SystemShape(reinterpret_cast<HCURSOR>(const_cast<wchar_t*>(name)), shape))
    return reinterpret_cast<HCURSOR>(const_cast<wchar_t*>(name));
  SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
  return nullptr;
}

HCURSOR SetCursor(HCURSOR cursor) {
  auto& state = qlw::wnd::Focus();
  HCURSOR old = std::exchange(state.cursor, cursor);
  if (!qlw::OnWidgetThread()) return old;
  QWidget* target = qlw::wnd::MouseWidget();
  if (!target)
    if (HWND capture = GetCapture()) target = qlw::WidgetOf(capture);
  if (!target) target = QApplication::widgetAt(QCursor::pos());
  if (!target) return old;
  QCursor c;
  if (!cursor) target->setCursor(Qt::BlankCursor);
  else if (qlw::CursorOf(cursor, c)) target->setCursor(c);
  return old;
}

HCURSOR GetCursor() { return qlw::wnd::Focus().cursor; }
