// GDI+ bitmaps made with one retry after a memory shortage, conversions to and from GDI bitmaps,
// clipboard images, image files and the codec filters of the file dialogs.
#pragma once
#include <vector>
#include "CString.h"
#include "GdiPlus.h"

namespace Gdiplus {
class GdiplusBase;
}

// Takes the object's last status and clears it: a memory shortage asks for a retry on the first
// try and throws CLXXAllocationFailed on the last; any other failure throws CLXXGDIPlus.
bool CheckGdiplusStatus(Gdiplus::GdiplusBase* object, bool lastTry);
// A 32-bit ARGB bitmap owned by the caller; throws when it cannot be made.
Gdiplus::Bitmap* CreateBitmap(UINT width, UINT height, Gdiplus::PixelFormat format = Gdiplus::PixelFormat32bppARGB);
// The pixels of a 32-bit DIB section, alpha included; null when it is none.
Gdiplus::Bitmap* BitmapFromHBITMAP(HBITMAP bitmap);
Gdiplus::Bitmap* LoadBitmapResource(UINT resourceId);
// grey = 0.2126 R + 0.7152 G + 0.0722 B, alpha kept.
Gdiplus::Bitmap* MakeGrayscaleBitmap(Gdiplus::Bitmap* bitmap);
// A movable block: BITMAPINFOHEADER and bottom-up 32-bit rows; null when no GDI bitmap could be
// made. Throws CLXXNull when the block cannot be allocated, locked or grown.
HGLOBAL BitmapToPackedDIB(Gdiplus::Bitmap* bitmap);
// False when the clipboard is held or refuses the data; a metafile is left invalid for drawing.
bool CopyImageToClipboard(Gdiplus::Image* image, HWND owner);
// Several renderings of one picture at once (a bitmap and a metafile), so that each program that
// pastes takes the form it reads; true when the clipboard took every one.
bool CopyImagesToClipboard(const std::vector<Gdiplus::Image*>& images, HWND owner);
bool FindEncoderByExtension(const CString& extension, CLSID* encoder, GUID* format);
// Bitmaps by the path's extension (JPEG at quality 95, TIFF with LZW); metafiles as SVG.
bool SaveImageToFile(Gdiplus::Image* image, const CString& path);
// "Description (*.x)|*.x|" for each codec; decoders end with "All Picture Files". Returns the count.
int BuildImageCodecFilter(bool decoders, CString& filter, bool addAllFiles);
