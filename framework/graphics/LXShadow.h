// Soft drop shadows under rectangles, ellipses, paths and regions: the shape is rendered once
// into a bitmap, its alpha blurred with a sine-squared kernel, and the cached bitmap drawn offset
// down and to the right with the shape itself clipped out.
#pragma once
#include <memory>
#include <vector>

#include "GdiPlus.h"

namespace LXGraphics {

// Restores a saved graphics state when it goes (and deletes the graphics object when owned).
class GraphicsStateScope {
 public:
  explicit GraphicsStateScope(Gdiplus::Graphics* graphics, bool ownsGraphics = false);
  GraphicsStateScope(const GraphicsStateScope&) = delete;
  GraphicsStateScope& operator=(const GraphicsStateScope&) = delete;
  ~GraphicsStateScope();
  void Restore();

 private:
  Gdiplus::Graphics* m_graphics;
  bool m_ownsGraphics;
  Gdiplus::GraphicsState m_state = 0;
};

class CShadow {
 public:
  CShadow(unsigned radius, float opacity);
  CShadow(const CShadow&) = delete;
  CShadow& operator=(const CShadow&) = delete;
  virtual ~CShadow();

  virtual bool IsEqual(const CShadow& other) const;
  virtual void Render() = 0;
  // Takes the shape, placed at the target rectangle's position, out of the clip.
  virtual void ExcludeShape(Gdiplus::Graphics* graphics, const Gdiplus::RectF& target);
  // Paints the shadow of the shape placed at the target rectangle's position.
  void Draw(Gdiplus::Graphics* graphics, const Gdiplus::RectF& target);
  virtual void CopyFrom(const CShadow& other);

  // The offset of the shadow from its shape, along 135 degrees.
  static Gdiplus::PointF Offset(unsigned radius);
  unsigned GetRadius() const { return m_radius; }
  int GetExtent() const { return m_extent; }
  float GetOpacity() const { return m_opacity; }
  const std::vector<int>& GetKernel() const { return m_kernel; }
  int GetKernelSum() const { return m_kernelSum; }
  // Null until the first Draw; the same bitmap until the shape changes.
  Gdiplus::Bitmap* GetBitmap() const { return m_bitmap.get(); }
  const Gdiplus::Rect& GetBitmapRect() const { return m_bitmapRect; }
  const Gdiplus::RectF& GetShapeRect() const { return m_shapeRect; }
  // Where Draw puts the bitmap's top left for a target rectangle.
  Gdiplus::PointF BitmapOrigin(const Gdiplus::RectF& target) const;

 protected:
  // The shape's bounds: sets the shape rectangle (at the origin) and the bitmap rectangle.
  void SetShapeSize(float width, float height);
  // Top left of the shape inside the bitmap.
  Gdiplus::PointF CentringOffset() const;
  Gdiplus::Color ShadowColour() const;
  void BuildKernel();
  void Blur();

  std::unique_ptr<Gdiplus::Bitmap> m_bitmap;
  Gdiplus::Rect m_bitmapRect;
  Gdiplus::RectF m_shapeRect;
  unsigned m_radius;
  int m_extent;
  float m_opacity;
  std::vector<int> m_kernel;
  std::vector<uint32_t> m_work;
  int m_kernelLength = 0;
  int m_kernelSum = 0;
};

class CShadowRect : public CShadow {
 public:
  CShadowRect(const Gdiplus::RectF& rect, unsigned radius, float opacity);
  // True when the shape changed (the cached bitmap is then dropped).
  bool Create(const Gdiplus::RectF& rect, unsigned radius, float opacity);
  void Render() override;
  void ExcludeShape(Gdiplus::Graphics* graphics, const Gdiplus::RectF& target) override;
};

class CShadowEllipse : public CShadowRect {
 public:
  CShadowEllipse(const Gdiplus::RectF& rect, unsigned radius, float opacity);
  bool Create(const Gdiplus::RectF& rect, unsigned radius, float opacity);
  void Render() override;
  void ExcludeShape(Gdiplus::Graphics* graphics, const Gdiplus::RectF& target) override;
  void CopyFrom(const CShadow& other) override;

 private:
  std::unique_ptr<Gdiplus::Region> m_region;
};

class CShadowPath : public CShadow {
 public:
  // The path is filled when `fill` is set, else stroked with the pen. Both are cloned.
  CShadowPath(const Gdiplus::GraphicsPath* path, const Gdiplus::Pen* pen, bool fill, unsigned radius, float opacity,
              bool flag = false);
  // True when the shape changed; the shape before it is kept with its bitmap and comes back
  // without a new render (a label's width goes back and forth as its digits change).
  bool Create(const Gdiplus::GraphicsPath* path, const Gdiplus::Pen* pen, bool fill, unsigned radius, float opacity);
  bool IsEqual(const CShadow& other) const override;
  void Render() override;
  void ExcludeShape(Gdiplus::Graphics* graphics, const Gdiplus::RectF& target) override;
  void CopyFrom(const CShadow& other) override;

 private:
  void SwapShape(CShadowPath& other);

  std::unique_ptr<Gdiplus::GraphicsPath> m_path;
  std::unique_ptr<Gdiplus::Pen> m_pen;
  bool m_fill;
  bool m_flag;
  std::unique_ptr<CShadowPath> m_previous;
};

class CShadowRgn : public CShadow {
 public:
  CShadowRgn(const Gdiplus::Region* region, unsigned radius, float opacity);
  bool Create(const Gdiplus::Region* region, unsigned radius, float opacity);
  bool IsEqual(const CShadow& other) const override;
  void Render() override;
  void ExcludeShape(Gdiplus::Graphics* graphics, const Gdiplus::RectF& target) override;
  void CopyFrom(const CShadow& other) override;

 private:
  std::unique_ptr<Gdiplus::Region> m_region;
};

}  // namespace LXGraphics
