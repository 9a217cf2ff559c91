// The Qt side of the GDI stand-in, for the window layer and the GDI+ layer only: device contexts
// over a QPainter or a picture, the images behind bitmaps, fonts, image cursors. Parts never
// include this header.
#pragma once
#include "Gdi.h"

#include <QCursor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPicture>

namespace qlw {

// A DC that draws with `painter` (not owned; it must outlive the DC). `bounds` is the device's
// area in the painter's coordinates (the clip box when nothing else clips); dpi is the logical
// resolution GetDeviceCaps reports. Free it with DeletePainterDC.
HDC CreatePainterDC(QPainter* painter, const RECT& bounds, int dpi = 96);
void DeletePainterDC(HDC dc);
// The painter of a DC (of the selected bitmap for a memory DC); null for a bad handle.
QPainter* PainterOf(HDC dc);

// A DC that records into a picture (drawing outside a paint, replayed at the next one); bounds in
// client coordinates. FinishPictureDC hands out the picture and deletes the DC.
HDC CreatePictureDC(const RECT& bounds, int dpi = 96);
bool FinishPictureDC(HDC dc, QPicture& picture);
// A DC for the screen (GetDC(null)): measures text and makes compatible objects at 96 DPI; what
// is drawn into it goes nowhere.
HDC CreateScreenDC();

// The image behind a bitmap handle (ARGB32, not premultiplied), or null.
QImage* ImageOf(HBITMAP bitmap);
// A new bitmap handle that owns a copy of `image` (converted to ARGB32).
HBITMAP CreateBitmapFromImage(const QImage& image);

// The Qt font for a LOGFONT: the face mapped to an installed family (MapFontFamily), pixel size
// from lfHeight (negative: character height; positive: cell height).
QFont FontFromLogFont(const LOGFONTW& logFont);
// The installed family for a Windows face name ("Arial" -> "Liberation Sans", "MS Shell Dlg 2" ->
// "DejaVu Sans", "Arial Bold" -> the family of "Arial"); the name itself when Qt's font database
// has it; empty when neither.
QString MapFontFamily(const QString& windowsName);
// True when Qt's font database has the family (Qt substitutes silently otherwise); a family is
// installed by its own name as well as by the foundry-tagged names Qt lists.
bool FontFamilyInstalled(const QString& family);
// The family name without the foundry tag Qt adds where foundries share it ("C059 [urw]" -> "C059").
QString FamilyWithoutFoundry(const QString& family);

// Image cursors made by CreateIconIndirect: the Qt cursor behind such a handle (the window layer's
// CursorOf asks this through its resolver, installed when the first image cursor is made).
bool ImageCursorOf(HCURSOR cursor, QCursor& out);

}  // namespace qlw
