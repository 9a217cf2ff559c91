// The Qt side of window objects, for platform code only: the widget of a window, where its client
// area starts, the painter of a paint in progress, and drawing kept for the next paint.
#pragma once
#include <QPoint>

#include "WindowLayer.h"

class QWidget;
class QPainter;
class QPicture;
class QRect;

namespace qlw {
// The window's widget; null for message-only windows and windows made off the UI thread.
QWidget* WidgetOf(HWND hwnd);
// The window a widget belongs to: the widget itself or its nearest ancestor that is a window.
HWND HwndOf(const QWidget* widget);
// Where the client area starts inside the widget (a menu bar sits above it).
QPoint ClientOrigin(HWND hwnd);
// During WM_PAINT: a painter on the widget in client coordinates, clipped to the update region;
// null outside a paint of that window.
QPainter* PaintPainter(HWND hwnd);
// The part of the client area being painted (client coordinates); empty outside a paint.
QRect PaintRect(HWND hwnd);
// Drawing done outside a paint (client coordinates): drawn at the end of the window's next paint.
void QueuePaintPicture(HWND hwnd, const QPicture& picture);
// True while the calling thread may own widgets (a QApplication exists and this is its thread).
bool OnWidgetThread();

// Keyboard messages are offered here before they reach their window (the class library's
// pre-translation, accelerators, dialog keys); true means consumed.
using PreTranslateHook = bool (*)(MSG* msg);
void SetPreTranslateHook(PreTranslateHook hook);
}  // namespace qlw

namespace qlw {
// Device contexts over a painter (for controls' custom draw) come from the GDI layer, which
// installs the maker when it is linked in; without one, custom draw gets a null DC.
using PainterDCMaker = HDC (*)(QPainter* painter, const RECT& bounds);
using PainterDCRelease = void (*)(HDC dc);
void SetPainterDCMaker(PainterDCMaker make, PainterDCRelease release);
HDC MakePainterDC(QPainter* painter, const RECT& bounds);
void ReleasePainterDC(HDC dc);
}  // namespace qlw

class QCursor;
namespace qlw {
// Image cursors come from the GDI layer: it answers the Qt cursor of a handle it made.
using CursorResolver = bool (*)(HCURSOR cursor, QCursor& out);
void SetCursorResolver(CursorResolver resolver);
// The Qt cursor of a system or image cursor handle; false for an unknown handle.
bool CursorOf(HCURSOR cursor, QCursor& out);
}  // namespace qlw
