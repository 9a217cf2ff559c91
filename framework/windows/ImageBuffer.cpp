#include "ImageBuffer.h"

#include "LXImages.h"

#include <cmath>

using namespace Gdiplus;

namespace {
constexpr float kEpsilon = 1.1920929e-7f;
}

CImageBuffer::~CImageBuffer() { delete m_pBitmap; }

bool CImageBuffer::NeedsRealloc(const LXGraphics::CSyncRect& area) const {
  if (!m_pBitmap) return true;
  const double w = area.m_float.Width, h = area.m_float.Height;
  if (w <= kEpsilon || h <= kEpsilon) return true;
  // In double precision: 0.6f x 400 would come out above 240 and refuse a size that fits.
  const double bw = m_pBitmap->GetWidth(), bh = m_pBitmap->GetHeight();
  return w > bw || h > bh || w < 0.6 * bw || h < 0.6 * bh;
}

void CImageBuffer::Prepare(const LXGraphics::CSyncRect& area, float dpiX, float dpiY) {
  if (m_pBitmap && m_bLocked) return;
  Clear();
  LXGraphics::CSyncRect request = area;
  request.Normalize();
  // The integer form: position rounded up, size rounded down.
  const LXGraphics::CSyncFloatRect& f = request.m_float;
  request.m_int = LXGraphics::CSyncIntRect{int32_t(std::ceil(f.X)), int32_t(std::ceil(f.Y)), int32_t(std::floor(f.Width)),
                                           int32_t(std::floor(f.Height))};
  request.m_rect = RECT{request.m_int.X, request.m_int.Y, request.m_int.X + request.m_int.Width,
                        request.m_int.Y + request.m_int.Height};
  request.m_dirty = LXGraphics::CSyncRect::kInSync;
  if (f.Width <= kEpsilon || f.Height <= kEpsilon) {
    delete m_pBitmap;
    m_pBitmap = nullptr;
    m_rect = LXGraphics::CSyncRect();
    return;
  }
  UINT width = 0, height = 0;
  if (m_pBitmap && NeedsRealloc(request)) {
    delete m_pBitmap;
    m_pBitmap = nullptr;
    width = UINT(double(f.Width) * 1.2);
    height = UINT(double(f.Height) * 1.2);
  } else if (!m_pBitmap) {
    width = UINT(request.m_int.Width);
    height = UINT(request.m_int.Height);
  }
  if (!m_pBitmap) {
    try {
      // A layer is drawn and copied, never read back byte for byte: premultiplied pixels are
      // what the raster engine composes, about twice as fast as straight ones.
      m_pBitmap = CreateBitmap(std::max(width, 1u), std::max(height, 1u), Gdiplus::PixelFormat32bppPARGB);
    } catch (...) {
      m_pBitmap = nullptr;
      m_rect = LXGraphics::CSyncRect();
      throw;
    }
  }
  if (m_pBitmap->GetHorizontalResolution() != dpiX || m_pBitmap->GetVerticalResolution() != dpiY)
    m_pBitmap->SetResolution(dpiX, dpiY);
  m_rect = request;
}

Graphics* CImageBuffer::CreateGraphics() {
  if (!m_pBitmap) return nullptr;
  auto* g = new Graphics(m_pBitmap);
  m_matrix.Reset();
  m_matrix.Translate(-m_rect.m_float.X, -m_rect.m_float.Y, MatrixOrderPrepend);
  g->SetTransform(&m_matrix);
  return g;
}

void CImageBuffer::Clear() {
  if (m_pBitmap && m_bClearPending && !m_bBlank) {
    Graphics g(m_pBitmap);
    g.Clear(Color(0));
  }
  m_bClearPending = false;
  m_bBlank = false;
}
