// The objects behind GDI handles, shared by the GDI and GDI+ sources of this folder only.
#pragma once
#include "GdiQt.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRegion>

#include <memory>
#include <vector>

namespace qlw::gdi {

enum class Kind { Pen, Brush, Font, Bitmap, Region };

struct Object {
  explicit Object(Kind k) : kind(k) {}
  virtual ~Object() = default;
  Kind kind;
  bool stock = false;
  unsigned selections = 0;  // DCs that have it selected; DeleteObject refuses then
};
struct Pen : Object {
  Pen() : Object(Kind::Pen) {}
  LOGPEN log{PS_SOLID, {1, 0}, 0};
  bool dcPen = false;  // the stock DC_PEN: colour from the DC
};
struct Brush : Object {
  Brush() : Object(Kind::Brush) {}
  LOGBRUSH log{BS_SOLID, 0xFFFFFF, 0};
  bool dcBrush = false;
};
struct Font : Object {
  Font() : Object(Kind::Font) {}
  LOGFONTW log{};
};
struct Bitmap : Object {
  Bitmap() : Object(Kind::Bitmap) {}
  QImage image;  // ARGB32; a monochrome bitmap keeps black and white pixels
  bool monochrome = false;
  bool dibSection = false;
  bool topDown = false;
  LONG xPelsPerMeter = 0, yPelsPerMeter = 0;
  HDC selectedInto = nullptr;
};
struct Region : Object {
  Region() : Object(Kind::Region) {}
  QRegion region;
};

Object* FromHandle(HGDIOBJ handle);
template <typename T>
T* As(HGDIOBJ handle, Kind kind) {
  Object* o = FromHandle(handle);
  return o && o->kind == kind ? static_cast<T*>(o) : nullptr;
}
HGDIOBJ Register(Object* object);

QColor ToQColor(COLORREF colour);
COLORREF FromQColor(const QColor& colour);
// The default GUI font of a fresh DC (8 points of the dialog family, 11 pixels at 96 DPI).
HFONT DefaultFont();

}  // namespace qlw::gdi

// A device context. Drawing goes through `painter`: the caller's (paint DC), or one the DC owns on
// the selected bitmap's image (memory DC) or on a scratch image (screen and window DCs without a
// provider).
struct HDC__ {
  enum class Kind { Painter, Memory, Scratch };
  Kind kind = Kind::Scratch;
  QPainter* painter = nullptr;
  std::unique_ptr<QPainter> ownPainter;
  QImage scratch;
  std::unique_ptr<QPicture> picture;
  QTransform base;  // the painter's transform when the DC was made
  RECT deviceBounds{0, 0, 1, 1};
  int dpi = 96;
  qreal pixelRatio = 1;  // device pixels per unit: compatible bitmaps are made that much finer
  HBITMAP defaultBitmap = nullptr;  // the 1 x 1 monochrome bitmap of a fresh memory DC

  struct State {
    HPEN pen = nullptr;
    HBRUSH brush = nullptr;
    HFONT font = nullptr;
    HBITMAP bitmap = nullptr;
    COLORREF textColour = 0;
    COLORREF bkColour = 0xFFFFFF;
    int bkMode = OPAQUE;
    UINT textAlign = 0;
    COLORREF dcBrushColour = 0xFFFFFF;
    COLORREF dcPenColour = 0;
    POINT current{0, 0};
    POINT viewportOrg{0, 0};
    bool clipped = false;
    QRegion clip;  // device coordinates (before the viewport origin)
  };
  State s;
  std::vector<State> saved;
  QRect drawnBounds;  // device coordinates, for GetBoundsRect
};

namespace qlw::gdi {
bool ValidDC(HDC dc);

// Paints with the DC's transform and clip; restores the painter afterwards.
class Scope {
 public:
  explicit Scope(HDC dc) : m_dc(dc), m_p(dc->painter) {
    m_p->save();
    m_p->setTransform(dc->base);
    if (dc->s.clipped) m_p->setClipRegion(dc->s.clip, Qt::IntersectClip);
    m_p->translate(dc->s.viewportOrg.x, dc->s.viewportOrg.y);
    m_p->setRenderHint(QPainter::Antialiasing, false);
  }
  ~Scope() { m_p->restore(); }
  QPainter* operator->() { return m_p; }
  QPainter& operator*() { return *m_p; }
  // Records what was drawn, in device coordinates, for GetBoundsRect.
  void Touch(const QRectF& logical) {
    QRect r = logical.toAlignedRect().translated(m_dc->s.viewportOrg.x, m_dc->s.viewportOrg.y);
    m_dc->drawnBounds = m_dc->drawnBounds.isNull() ? r : m_dc->drawnBounds.united(r);
  }

 private:
  HDC m_dc;
  QPainter* m_p;
};
}  // namespace qlw::gdi
