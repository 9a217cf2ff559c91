// Window DCs: GetDC and ReleaseDC on the window layer's paint painter or a recorded picture.
#include "GdiInternal.h"
#include "WndGeometry.h"
#include "WndQt.h"

HDC GetDC(HWND hwnd) {
  if (!hwnd) return qlw::CreateScreenDC();
  if (!IsWindow(hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  RECT client{};
  GetClientRect(hwnd, &client);
  HDC dc = nullptr;
  // Inside the window's paint the drawing goes straight to it; outside, it waits for the next one.
  if (QPainter* painter = qlw::PaintPainter(hwnd)) dc = qlw::CreatePainterDC(painter, client);
  else dc = qlw::CreatePictureDC(client);
  if (dc) dc->window = hwnd;
  return dc;
}

int ReleaseDC(HWND hwnd, HDC dc) {
  if (!dc || !qlw::PainterOf(dc)) return 0;
  if (dc->window != hwnd) return 0;
  if (!hwnd) return DeleteDC(dc) ? 1 : 0;
  if (dc->picture) {
    QPicture picture;
    if (!qlw::FinishPictureDC(dc, picture)) return 0;
    if (IsWindow(hwnd) && !picture.isNull()) qlw::QueuePaintPicture(hwnd, picture);
    return 1;
  }
  return DeleteDC(dc) ? 1 : 0;
}
