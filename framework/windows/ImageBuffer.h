// The off-screen GDI+ bitmap the plot is drawn into: reused while the requested area changes
// little, grown with spare room, wiped to transparent on request.
#pragma once
#include "GdiPlus.h"
#include "LXSyncRect.h"

class CImageBuffer {
 public:
  CImageBuffer() = default;
  CImageBuffer(const CImageBuffer&) = delete;
  CImageBuffer& operator=(const CImageBuffer&) = delete;
  virtual ~CImageBuffer();

  // dpiX, dpiY: the bitmap's resolution in dots per inch. Throws when no bitmap can be made.
  void Prepare(const LXGraphics::CSyncRect& area, float dpiX, float dpiY);
  bool NeedsRealloc(const LXGraphics::CSyncRect& area) const;
  // A Graphics on the bitmap whose origin is the area's top-left; the caller owns it.
  Gdiplus::Graphics* CreateGraphics();
  void Clear();

  Gdiplus::Bitmap* m_pBitmap = nullptr;
  LXGraphics::CSyncRect m_rect;
  Gdiplus::Matrix m_matrix;
  bool m_bClearPending = false;
  bool m_bLocked = false;
  // Set by the drawer when nothing was drawn since the last wipe: another wipe has nothing to do.
  bool m_bBlank = false;
};
