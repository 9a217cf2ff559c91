// Drop shadows: kernel, render, blur and the cached bitmap's placement.
#include "LXShadow.h"

#include <algorithm>
#include <cmath>

#include <QPainterPath>

#include "LXImages.h"

using namespace Gdiplus;

namespace LXGraphics {

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr double kTinySine = 1.1368683772161603e-13;

std::unique_ptr<GraphicsPath> Translated(const GraphicsPath* path, REAL dx, REAL dy) {
  std::unique_ptr<GraphicsPath> copy(path->Clone());
  Matrix m;
  m.Translate(dx, dy);
  copy->Transform(&m);
  return copy;
}
std::unique_ptr<Region> Translated(const Region* region, REAL dx, REAL dy) {
  std::unique_ptr<Region> copy(region->Clone());
  copy->Translate(dx, dy);
  return copy;
}
}  // namespace

GraphicsStateScope::GraphicsStateScope(Graphics* graphics, bool ownsGraphics)
    : m_graphics(graphics), m_ownsGraphics(ownsGraphics) {
  if (m_graphics) m_state = m_graphics->Save();
}
GraphicsStateScope::~GraphicsStateScope() {
  if (m_graphics) Restore();
}
void GraphicsStateScope::Restore() {
  if (!m_graphics) return;
  m_graphics->Flush();
  if (m_graphics->Restore(m_state) != Ok) m_graphics->SetStatus(GenericError);
  if (m_ownsGraphics) delete m_graphics;
  m_graphics = nullptr;
  m_state = 0;
}

CShadow::CShadow(unsigned radius, float opacity)
    : m_radius(radius), m_extent(static_cast<int>(radius) + 1), m_opacity(opacity) {
  BuildKernel();
}
CShadow::~CShadow() = default;

Gdiplus::PointF CShadow::Offset(unsigned radius) {
  const double angle = 135.0 * kPi / 180.0;
  return PointF(static_cast<REAL>(-double(radius) * std::cos(angle)), static_cast<REAL>(double(radius) * std::sin(angle)));
}

void CShadow::BuildKernel() {
  m_kernel.clear();
  m_kernelLength = 0;
  m_kernelSum = 0;
  if (m_extent <= 0) return;
  const int L = 4 * m_extent + 1;
  m_kernel.assign(L, 0);
  for (int i = 0; i <= 2 * m_extent; ++i) {
    double x = ((i + 1) * kPi / 2 - double(L) / 255) / L;
    double s = std::sin(x);
    if (std::fabs(s) < kTinySine) s = 0;
    int k = static_cast<int>(std::lround(s * s * 255));
    m_kernel[i] = k;
    m_kernel[L - 1 - i] = k;
  }
  m_kernelLength = L;
  for (int k : m_kernel) m_kernelSum += k;
  m_work.assign(size_t(std::max(0, m_bitmapRect.Width)) * size_t(std::max(0, m_bitmapRect.Height)), 0);
}

void CShadow::SetShapeSize(float width, float height) {
  m_shapeRect = RectF(0, 0, width, height);
  // Grown by twice the blur extent plus one on every side, never less: a limit to half the
  // shape would cut the shadows of small markers.
  const int grow = 2 * m_extent + 1;
  m_bitmapRect = Rect(0, 0, int(std::ceil(width)) + 2 * grow, int(std::ceil(height)) + 2 * grow);
  m_work.assign(size_t(m_bitmapRect.Width) * size_t(m_bitmapRect.Height), 0);
}

PointF CShadow::CentringOffset() const {
  return PointF(m_bitmapRect.X + (m_bitmapRect.Width - m_shapeRect.Width) * 0.5f,
                m_bitmapRect.Y + (m_bitmapRect.Height - m_shapeRect.Height) * 0.5f);
}

Color CShadow::ShadowColour() const {
  float a = std::clamp(m_opacity * 2 * 0.8f, 0.0f, 1.0f) * 255;
  return Color(static_cast<BYTE>(std::lround(a)), 0, 0, 0);
}

bool CShadow::IsEqual(const CShadow& other) const {
  return std::ceil(m_shapeRect.Width) == std::ceil(other.m_shapeRect.Width) &&
         std::ceil(m_shapeRect.Height) == std::ceil(other.m_shapeRect.Height) && m_radius == other.m_radius &&
         m_opacity == other.m_opacity;
}

void CShadow::CopyFrom(const CShadow& other) {
  m_bitmapRect = other.m_bitmapRect;
  m_shapeRect = other.m_shapeRect;
  m_radius = other.m_radius;
  m_extent = other.m_extent;
  m_opacity = other.m_opacity;
  m_bitmap.reset();
  BuildKernel();
}

void CShadow::ExcludeShape(Graphics*, const RectF&) {}

PointF CShadow::BitmapOrigin(const RectF& target) const {
  PointF off = Offset(m_radius);
  return PointF(std::floor(target.X + (m_shapeRect.Width - m_bitmapRect.Width) * 0.5f) + off.X,
                std::floor(target.Y + (m_shapeRect.Height - m_bitmapRect.Height) * 0.5f) + off.Y);
}

void CShadow::Draw(Graphics* graphics, const RectF& target) {
  if (!graphics || m_extent <= 0 || m_bitmapRect.IsEmptyArea()) return;
  if (!m_bitmap) {
    m_bitmap.reset(CreateBitmap(UINT(m_bitmapRect.Width), UINT(m_bitmapRect.Height)));
    Render();
    Blur();
  }
  GraphicsStateScope state(graphics);
  PointF at = BitmapOrigin(target);
  Matrix world;
  graphics->GetTransform(&world);
  REAL m[6] = {};
  world.GetElements(m);
  if (m[0] == 1 && m[1] == 0 && m[2] == 0 && m[3] == 1) {
    // First kept to whole pixels around the bitmap: the shape taken out of an open clip leaves a
    // clip over the whole picture, which the engine rasterizes row by row at every drawing.
    graphics->SetClip(RectF(std::floor(at.X + m[4]) - m[4] - 2, std::floor(at.Y + m[5]) - m[5] - 2,
                            REAL(m_bitmapRect.Width + 5), REAL(m_bitmapRect.Height + 5)),
                      CombineModeIntersect);
  }
  ExcludeShape(graphics, target);
  graphics->SetCompositingMode(CompositingModeSourceOver);
  graphics->DrawImage(m_bitmap.get(), at.X, at.Y, REAL(m_bitmapRect.Width), REAL(m_bitmapRect.Height));
  graphics->Flush();
}

void CShadow::Blur() {
  const int w = m_bitmapRect.Width, h = m_bitmapRect.Height;
  if (!m_bitmap || m_kernelSum <= 0 || w <= 0 || h <= 0) return;
  BitmapData data{};
  Rect all(0, 0, w, h);
  if (m_bitmap->LockBits(&all, ImageLockModeRead | ImageLockModeWrite, PixelFormat32bppARGB, &data) != Ok) return;
  m_work.assign(size_t(w) * size_t(h), 0);
  const int reach = 2 * m_extent;
  auto row = [&](int y) { return reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(data.Scan0) + ptrdiff_t(y) * data.Stride); };
  // The running value starts from the work buffer's pixel (zero) and gains each tap's share.
  auto accumulate = [&](uint32_t running, uint32_t source, int tap) {
    if (running == 0 && source == 0) return running;
    int a = int(((source >> 24) * uint32_t(m_kernel[tap + reach])) / uint32_t(m_kernelSum));
    a = std::clamp(a, 0, 255);
    int total = std::min(int(running >> 24) + a, 255);
    return (uint32_t(total) << 24) | (running & 0xFFFFFFu);
  };
  for (int y = 0; y < h; ++y) {
    const uint32_t* src = row(y);
    for (int x = 0; x < w; ++x) {
      uint32_t run = m_work[size_t(y) * w + x];
      for (int j = -reach; j <= reach; ++j) {
        int sx = x + j;
        run = accumulate(run, src[(sx < 0 || sx >= w) ? x : sx], j);
      }
      m_work[size_t(y) * w + x] = run;
    }
  }
  for (int y = 0; y < h; ++y) {
    uint32_t* dst = row(y);
    for (int x = 0; x < w; ++x) {
      uint32_t run = 0;
      for (int j = -reach; j <= reach; ++j) {
        int sy = y + j;
        run = accumulate(run, m_work[size_t((sy < 0 || sy >= h) ? y : sy) * w + x], j);
      }
      dst[x] = run & 0xFF000000u;
    }
  }
  if (m_bitmap->UnlockBits(&data) != Ok) m_bitmap->SetStatus(GenericError);
}

// Rectangles.
CShadowRect::CShadowRect(const RectF& rect, unsigned radius, float opacity) : CShadow(radius, opacity) {
  SetShapeSize(rect.Width, rect.Height);
}
bool CShadowRect::Create(const RectF& rect, unsigned radius, float opacity) {
  CShadowRect fresh(rect, radius, opacity);
  if (IsEqual(fresh)) return false;
  CopyFrom(fresh);
  return true;
}
void CShadowRect::Render() {
  Graphics g(m_bitmap.get());
  g.Clear(Color(0));
  g.SetCompositingMode(CompositingModeSourceCopy);
  SolidBrush brush(ShadowColour());
  PointF at = CentringOffset();
  g.FillRectangle(&brush, at.X, at.Y, m_shapeRect.Width, m_shapeRect.Height);
}
void CShadowRect::ExcludeShape(Graphics* graphics, const RectF& target) {
  graphics->SetClip(RectF(target.X, target.Y, m_shapeRect.Width, m_shapeRect.Height), CombineModeExclude);
}

// Ellipses.
CShadowEllipse::CShadowEllipse(const RectF& rect, unsigned radius, float opacity) : CShadowRect(rect, radius, opacity) {}
bool CShadowEllipse::Create(const RectF& rect, unsigned radius, float opacity) {
  CShadowEllipse fresh(rect, radius, opacity);
  if (IsEqual(fresh)) return false;
  CopyFrom(fresh);
  return true;
}
void CShadowEllipse::CopyFrom(const CShadow& other) {
  CShadow::CopyFrom(other);
  m_region.reset();
}
void CShadowEllipse::Render() {
  Graphics g(m_bitmap.get());
  g.Clear(Color(0));
  g.SetCompositingMode(CompositingModeSourceCopy);
  g.SetSmoothingMode(SmoothingModeAntiAlias);
  SolidBrush brush(ShadowColour());
  PointF at = CentringOffset();
  g.FillEllipse(&brush, at.X, at.Y, m_shapeRect.Width, m_shapeRect.Height);
}
void CShadowEllipse::ExcludeShape(Graphics* graphics, const RectF& target) {
  if (!m_region) {
    GraphicsPath ellipse;
    ellipse.AddEllipse(0, 0, m_shapeRect.Width, m_shapeRect.Height);
    m_region = std::make_unique<Region>(&ellipse);
  }
  graphics->SetClip(Translated(m_region.get(), target.X, target.Y).get(), CombineModeExclude);
}

// Paths.
CShadowPath::CShadowPath(const GraphicsPath* path, const Pen* pen, bool fill, unsigned radius, float opacity, bool flag)
    : CShadow(radius, opacity), m_fill(fill), m_flag(flag) {
  m_pen.reset(pen ? pen->Clone() : new Pen(Color(0xFF000000u), 1));
  RectF bounds;
  if (path) path->GetBounds(&bounds, nullptr, m_fill ? nullptr : m_pen.get());
  m_path = path ? Translated(path, -bounds.X, -bounds.Y) : std::make_unique<GraphicsPath>();
  SetShapeSize(bounds.Width, bounds.Height);
}
bool CShadowPath::Create(const GraphicsPath* path, const Pen* pen, bool fill, unsigned radius, float opacity) {
  CShadowPath fresh(path, pen, fill, radius, opacity, m_flag);
  if (IsEqual(fresh)) return false;
  if (!m_previous) m_previous = std::make_unique<CShadowPath>(nullptr, nullptr, false, m_radius, m_opacity, m_flag);
  const bool before = m_previous->IsEqual(fresh);
  SwapShape(*m_previous);
  if (!before) CopyFrom(fresh);
  return true;
}
void CShadowPath::SwapShape(CShadowPath& other) {
  std::swap(m_bitmap, other.m_bitmap);
  std::swap(m_bitmapRect, other.m_bitmapRect);
  std::swap(m_shapeRect, other.m_shapeRect);
  std::swap(m_radius, other.m_radius);
  std::swap(m_extent, other.m_extent);
  std::swap(m_opacity, other.m_opacity);
  std::swap(m_kernel, other.m_kernel);
  std::swap(m_work, other.m_work);
  std::swap(m_kernelLength, other.m_kernelLength);
  std::swap(m_kernelSum, other.m_kernelSum);
  std::swap(m_path, other.m_path);
  std::swap(m_pen, other.m_pen);
  std::swap(m_fill, other.m_fill);
  std::swap(m_flag, other.m_flag);
}
bool CShadowPath::IsEqual(const CShadow& other) const {
  auto* o = dynamic_cast<const CShadowPath*>(&other);
  if (!o || !CShadow::IsEqual(other)) return false;
  // Every point, the fill flag and the pen width: two paths of one size and point count but
  // another shape must not share the cached shadow.
  return m_fill == o->m_fill && m_pen->GetWidth() == o->m_pen->GetWidth() && m_path->Q() == o->m_path->Q();
}
void CShadowPath::CopyFrom(const CShadow& other) {
  CShadow::CopyFrom(other);
  if (auto* o = dynamic_cast<const CShadowPath*>(&other)) {
    m_fill = o->m_fill;
    m_flag = o->m_flag;
    m_path.reset(o->m_path->Clone());
    m_pen.reset(o->m_pen->Clone());
  }
}
void CShadowPath::Render() {
  Graphics g(m_bitmap.get());
  g.Clear(Color(0));
  g.SetCompositingMode(CompositingModeSourceCopy);
  g.SetSmoothingMode(SmoothingModeAntiAlias);
  PointF at = CentringOffset();
  auto placed = Translated(m_path.get(), at.X, at.Y);
  if (m_fill) {
    SolidBrush brush(ShadowColour());
    g.FillPath(&brush, placed.get());
  } else {
    m_pen->SetColor(ShadowColour());
    m_pen->SetAlignment(PenAlignmentCenter);
    g.DrawPath(m_pen.get(), placed.get());
  }
}
void CShadowPath::ExcludeShape(Graphics* graphics, const RectF& target) {
  // A single segment (a stroked line) encloses nothing: there is nothing to take out, and a clip
  // with it would still cost every drawing a pass over the whole picture.
  if (m_path->Q().elementCount() == 2 && m_path->Q().elementAt(1).isLineTo()) return;
  graphics->SetClip(Translated(m_path.get(), target.X, target.Y).get(), CombineModeExclude);
}

// Regions.
CShadowRgn::CShadowRgn(const Region* region, unsigned radius, float opacity) : CShadow(radius, opacity) {
  RectF bounds;
  if (region) region->GetBounds(&bounds, nullptr);
  m_region = region ? Translated(region, -bounds.X, -bounds.Y) : std::make_unique<Region>();
  if (!region) m_region->MakeEmpty();
  SetShapeSize(bounds.Width, bounds.Height);
}
bool CShadowRgn::Create(const Region* region, unsigned radius, float opacity) {
  CShadowRgn fresh(region, radius, opacity);
  if (IsEqual(fresh)) return false;
  CopyFrom(fresh);
  return true;
}
bool CShadowRgn::IsEqual(const CShadow& other) const {
  auto* o = dynamic_cast<const CShadowRgn*>(&other);
  return o && CShadow::IsEqual(other) && m_region->Equals(o->m_region.get(), nullptr);
}
void CShadowRgn::CopyFrom(const CShadow& other) {
  CShadow::CopyFrom(other);
  if (auto* o = dynamic_cast<const CShadowRgn*>(&other)) m_region.reset(o->m_region->Clone());
}
void CShadowRgn::Render() {
  Graphics g(m_bitmap.get());
  g.Clear(Color(0));
  g.SetCompositingMode(CompositingModeSourceCopy);
  SolidBrush brush(ShadowColour());
  PointF at = CentringOffset();
  g.FillRegion(&brush, Translated(m_region.get(), at.X, at.Y).get());
}
void CShadowRgn::ExcludeShape(Graphics* graphics, const RectF& target) {
  // Where the shape is drawn, not at its origin: otherwise the shadow darkens the shape.
  graphics->SetClip(Translated(m_region.get(), target.X, target.Y).get(), CombineModeExclude);
}

}  // namespace LXGraphics
