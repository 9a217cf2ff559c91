// GDI+ over QPainter, QPainterPath and QImage: paths, regions, pens, brushes, fonts, string
// formats, images (bitmaps and recorded metafiles), image attributes, codecs and the Graphics
// that draws them. Value types are in GdiPlusTypes.h. Drawing calls record a failed status in
// the object (GetLastStatus) and go on; pixel convention as in Gdi.h.
#pragma once
#include "GdiPlusTypes.h"

#include <QBrush>
#include <QFont>
#include <QImage>
#include <QPainterPath>
#include <QPainter>
#include <QPen>
#include <QPicture>

#include <functional>
#include <memory>
#include <vector>

namespace Gdiplus {

class Graphics;
class Image;

// Objects remember the first failure since the last GetLastStatus.
class GdiplusBase {
 public:
  Status GetLastStatus() { return std::exchange(m_lastStatus, Ok); }
  Status SetStatus(Status s) {
    if (s != Ok && m_lastStatus == Ok) m_lastStatus = s;
    return s;
  }
  Status PeekStatus() const { return m_lastStatus; }

 protected:
  Status m_lastStatus = Ok;
};

class GraphicsPath : public GdiplusBase {
 public:
  explicit GraphicsPath(FillMode mode = FillModeAlternate);
  GraphicsPath(const GraphicsPath&) = delete;
  GraphicsPath& operator=(const GraphicsPath&) = delete;
  GraphicsPath* Clone() const;
  Status Reset();
  Status StartFigure();
  Status CloseFigure();
  Status CloseAllFigures();
  Status SetFillMode(FillMode mode);
  FillMode GetFillMode() const { return m_fillMode; }
  Status AddLine(REAL x1, REAL y1, REAL x2, REAL y2);
  Status AddLine(const PointF& a, const PointF& b) { return AddLine(a.X, a.Y, b.X, b.Y); }
  Status AddLines(const PointF* points, INT count);
  // Angles in degrees, clockwise from +x; a figure in progress is joined to the arc's start.
  Status AddArc(REAL x, REAL y, REAL width, REAL height, REAL startAngle, REAL sweepAngle);
  Status AddArc(const RectF& r, REAL startAngle, REAL sweepAngle) { return AddArc(r.X, r.Y, r.Width, r.Height, startAngle, sweepAngle); }
  Status AddBezier(const PointF& p1, const PointF& p2, const PointF& p3, const PointF& p4);
  Status AddRectangle(const RectF& r);
  Status AddEllipse(REAL x, REAL y, REAL width, REAL height);
  Status AddEllipse(const RectF& r) { return AddEllipse(r.X, r.Y, r.Width, r.Height); }
  Status AddPolygon(const PointF* points, INT count);
  Status AddPie(REAL x, REAL y, REAL width, REAL height, REAL startAngle, REAL sweepAngle);
  // emSize in world units; the layout rectangle's origin is the top-left of the first line.
  Status AddString(const WCHAR* text, INT length, const class FontFamily* family, INT style, REAL emSize,
                   const PointF& origin, const class StringFormat* format);
  Status AddString(const WCHAR* text, INT length, const class FontFamily* family, INT style, REAL emSize,
                   const RectF& layout, const class StringFormat* format);
  // connect: join the first figure of `path` to the open figure of this one.
  Status AddPath(const GraphicsPath* path, BOOL connect);
  Status Transform(const Matrix* matrix);
  Status GetBounds(RectF* bounds, const Matrix* matrix = nullptr, const class Pen* pen = nullptr) const;
  Status GetLastPoint(PointF* point) const;
  INT GetPointCount() const;
  BOOL IsVisible(REAL x, REAL y, const Graphics* g = nullptr) const;
  BOOL IsVisible(const PointF& p, const Graphics* g = nullptr) const { return IsVisible(p.X, p.Y, g); }
  BOOL IsOutlineVisible(REAL x, REAL y, const class Pen* pen, const Graphics* g = nullptr) const;
  Status Widen(const class Pen* pen, const Matrix* matrix = nullptr, REAL flatness = 0.25f);
  Status Flatten(const Matrix* matrix = nullptr, REAL flatness = 0.25f);

  // The path with its fill rule, in world coordinates.
  QPainterPath Q() const;

 private:
  void LineOrMove(const QPointF& p);
  QPainterPath m_path;
  FillMode m_fillMode;
  bool m_figureOpen = false;
};

class Region : public GdiplusBase {
 public:
  Region();  // infinite
  explicit Region(const RectF& rect);
  explicit Region(const Rect& rect);
  explicit Region(const GraphicsPath* path);
  Region(const Region&) = delete;
  Region& operator=(const Region&) = delete;
  Region* Clone() const;
  Status MakeInfinite();
  Status MakeEmpty();
  Status Intersect(const RectF& r);
  Status Intersect(const GraphicsPath* p);
  Status Intersect(const Region* r);
  Status Union(const RectF& r);
  Status Union(const GraphicsPath* p);
  Status Union(const Region* r);
  Status Exclude(const RectF& r);
  Status Exclude(const GraphicsPath* p);
  Status Exclude(const Region* r);
  Status Xor(const Region* r);
  Status Complement(const Region* r);
  Status Translate(REAL dx, REAL dy);
  Status Transform(const Matrix* m);
  Status GetBounds(RectF* rect, const Graphics* g) const;
  BOOL IsEmpty(const Graphics* g) const;
  BOOL IsInfinite(const Graphics* g) const;
  BOOL IsVisible(REAL x, REAL y, const Graphics* g = nullptr) const;
  BOOL IsVisible(const PointF& p, const Graphics* g = nullptr) const { return IsVisible(p.X, p.Y, g); }
  BOOL Equals(const Region* r, const Graphics* g) const;
  HRGN GetHRGN(const Graphics* g) const;

  bool Infinite() const { return m_infinite; }
  const QPainterPath& Q() const { return m_path; }
  void SetQ(const QPainterPath& p, bool infinite) { m_path = p, m_infinite = infinite; }

 private:
  Status Combine(const QPainterPath& other, bool otherInfinite, CombineMode mode);
  QPainterPath m_path;
  bool m_infinite = true;
};

class Brush : public GdiplusBase {
 public:
  virtual ~Brush() = default;
  virtual Brush* Clone() const = 0;
  BrushType GetType() const { return m_type; }
  // The brush for a painter whose world transform is `world`; `bounds` is the filled shape's.
  virtual QBrush Q(const QTransform& world, const QRectF& bounds) const = 0;
  // A path-gradient brush paints only inside its path (world coordinates); empty for others.
  virtual QPainterPath Coverage() const { return {}; }

 protected:
  explicit Brush(BrushType t) : m_type(t) {}
  BrushType m_type;
};

class SolidBrush : public Brush {
 public:
  explicit SolidBrush(const Color& c) : Brush(BrushTypeSolidColor), m_colour(c) {}
  Brush* Clone() const override { return new SolidBrush(m_colour); }
  Status GetColor(Color* c) const { *c = m_colour; return Ok; }
  Status SetColor(const Color& c) { m_colour = c; return Ok; }
  QBrush Q(const QTransform&, const QRectF&) const override;

 private:
  Color m_colour;
};

class HatchBrush : public Brush {
 public:
  HatchBrush(HatchStyle style, const Color& fore, const Color& back = Color());
  Brush* Clone() const override { return new HatchBrush(m_style, m_fore, m_back); }
  HatchStyle GetHatchStyle() const { return m_style; }
  Status GetForegroundColor(Color* c) const { *c = m_fore; return Ok; }
  Status GetBackgroundColor(Color* c) const { *c = m_back; return Ok; }
  QBrush Q(const QTransform&, const QRectF&) const override;

 private:
  HatchStyle m_style;
  Color m_fore, m_back;
};

class TextureBrush : public Brush {
 public:
  explicit TextureBrush(Image* image, WrapMode mode = WrapModeTile);
  Brush* Clone() const override;
  QBrush Q(const QTransform& world, const QRectF&) const override;

 private:
  TextureBrush() : Brush(BrushTypeTextureFill) {}
  QImage m_image;
};

class LinearGradientBrush : public Brush {
 public:
  LinearGradientBrush(const PointF& p1, const PointF& p2, const Color& c1, const Color& c2);
  LinearGradientBrush(const RectF& rect, const Color& c1, const Color& c2, LinearGradientMode mode);
  // angle in degrees, clockwise from +x, across the rectangle.
  LinearGradientBrush(const RectF& rect, const Color& c1, const Color& c2, REAL angle, BOOL isAngleScalable = FALSE);
  Brush* Clone() const override;
  Status SetInterpolationColors(const Color* colours, const REAL* positions, INT count);
  Status SetBlend(const REAL* factors, const REAL* positions, INT count);
  Status SetWrapMode(WrapMode mode) { m_wrap = mode; return Ok; }
  Status SetGammaCorrection(BOOL) { return Ok; }
  Status GetLinearColors(Color* colours) const;
  QBrush Q(const QTransform& world, const QRectF&) const override;

 private:
  LinearGradientBrush() : Brush(BrushTypeLinearGradient) {}
  QPointF m_start, m_end;
  QGradientStops m_stops;
  WrapMode m_wrap = WrapModeTile;
};

class PathGradientBrush : public Brush {
 public:
  explicit PathGradientBrush(const GraphicsPath* path);
  PathGradientBrush(const PointF* points, INT count);
  Brush* Clone() const override;
  Status SetCenterColor(const Color& c) { m_centre = c; return Ok; }
  Status GetCenterColor(Color* c) const { *c = m_centre; return Ok; }
  Status SetCenterPoint(const PointF& p) { m_centrePoint = QPointF(p.X, p.Y); return Ok; }
  Status GetCenterPoint(PointF* p) const;
  Status SetSurroundColors(const Color* colours, INT* count);
  Status SetFocusScales(REAL sx, REAL sy) { m_focusX = sx, m_focusY = sy; return Ok; }
  Status SetWrapMode(WrapMode) { return Ok; }
  QBrush Q(const QTransform& world, const QRectF&) const override;
  QPainterPath Coverage() const override { return m_path; }

 private:
  PathGradientBrush() : Brush(BrushTypePathGradient) {}
  QPainterPath m_path;
  QPointF m_centrePoint;
  Color m_centre{0xFF000000u}, m_surround{0xFFFFFFFFu};
  REAL m_focusX = 0, m_focusY = 0;
};

class Pen : public GdiplusBase {
 public:
  Pen(const Color& colour, REAL width = 1.0f);
  Pen(const Brush* brush, REAL width = 1.0f);
  Pen(const Pen&) = delete;
  Pen& operator=(const Pen&) = delete;
  virtual ~Pen();
  Pen* Clone() const;
  Status SetWidth(REAL width) { m_width = width; return Ok; }
  REAL GetWidth() const { return m_width; }
  Status SetColor(const Color& c);
  Status GetColor(Color* c) const;
  Status SetBrush(const Brush* brush);
  Status SetAlignment(PenAlignment a) { m_alignment = a; return Ok; }
  PenAlignment GetAlignment() const { return m_alignment; }
  Status SetDashStyle(DashStyle s) { m_dash = s; return Ok; }
  DashStyle GetDashStyle() const { return m_dash; }
  Status SetDashPattern(const REAL* pattern, INT count);
  Status SetDashOffset(REAL offset) { m_dashOffset = offset; return Ok; }
  Status SetDashCap(DashCap) { return Ok; }
  Status SetLineCap(LineCap start, LineCap end, DashCap dash);
  Status SetStartCap(LineCap c) { m_startCap = c; return Ok; }
  Status SetEndCap(LineCap c) { m_endCap = c; return Ok; }
  Status SetLineJoin(LineJoin j) { m_join = j; return Ok; }
  LineJoin GetLineJoin() const { return m_join; }
  Status SetMiterLimit(REAL l) { m_miterLimit = l; return Ok; }

  // The Qt pen; `world` scales nothing here (GDI+ pens are in world units, as Qt's).
  QPen Q(const QTransform& world, const QRectF& bounds) const;
  const Brush* GetBrushObject() const { return m_brush.get(); }

 private:
  REAL m_width;
  std::unique_ptr<Brush> m_brush;
  PenAlignment m_alignment = PenAlignmentCenter;
  DashStyle m_dash = DashStyleSolid;
  std::vector<REAL> m_pattern;
  REAL m_dashOffset = 0;
  LineCap m_startCap = LineCapFlat, m_endCap = LineCapFlat;
  LineJoin m_join = LineJoinMiter;
  REAL m_miterLimit = 10;
};

class FontFamily : public GdiplusBase {
 public:
  FontFamily() { m_lastStatus = InvalidParameter; }
  // Windows names are mapped to installed families; a family that is not installed leaves the
  // object with FontFamilyNotFound (IsAvailable false).
  explicit FontFamily(const WCHAR* name, void* collection = nullptr);
  FontFamily(const FontFamily&) = delete;
  FontFamily& operator=(const FontFamily&) = delete;
  FontFamily* Clone() const;
  BOOL IsAvailable() const { return m_available; }
  Status GetFamilyName(WCHAR name[LF_FACESIZE], LANGID language = 0) const;
  UINT16 GetEmHeight(INT style) const;
  UINT16 GetCellAscent(INT style) const;
  UINT16 GetCellDescent(INT style) const;
  UINT16 GetLineSpacing(INT style) const;
  BOOL IsStyleAvailable(INT) const { return m_available; }
  static const FontFamily* GenericSansSerif();
  static const FontFamily* GenericSerif();
  static const FontFamily* GenericMonospace();

  const QString& Installed() const { return m_installed; }
  const QString& Requested() const { return m_requested; }
  void Assign(const QString& requested);

 private:
  QString m_requested, m_installed;
  bool m_available = false;
};

class Font : public GdiplusBase {
 public:
  Font(const FontFamily* family, REAL emSize, INT style = FontStyleRegular, Unit unit = UnitPoint);
  Font(const WCHAR* familyName, REAL emSize, INT style = FontStyleRegular, Unit unit = UnitPoint);
  Font(HDC dc, const LOGFONTW* logFont);
  Font(HDC dc, HFONT font);
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;
  Font* Clone() const;
  BOOL IsAvailable() const { return m_lastStatus == Ok || m_family.IsAvailable(); }
  REAL GetSize() const { return m_size; }
  INT GetStyle() const { return m_style; }
  Unit GetUnit() const { return m_unit; }
  Status GetFamily(FontFamily* family) const;
  REAL GetHeight(const Graphics* g) const;
  REAL GetHeight(REAL dpi) const;
  Status GetLogFontW(const Graphics* g, LOGFONTW* logFont) const;

  // The Qt font whose em is EmPixels(dpiY) world units on `device`.
  QFont Q(REAL dpiY, QPaintDevice* device) const;
  REAL EmPixels(REAL dpiY) const;

 private:
  void Init(const QString& family, REAL size, INT style, Unit unit);
  void InitFromLogFont(const LOGFONTW* logFont);
  FontFamily m_family;
  REAL m_size = 0;
  INT m_style = 0;
  Unit m_unit = UnitPoint;
};

class StringFormat : public GdiplusBase {
 public:
  explicit StringFormat(INT flags = 0, LANGID language = 0);
  StringFormat(const StringFormat* format);
  StringFormat* Clone() const { return new StringFormat(this); }
  // The shared typographic format: no padding, no fitting, line limit, no clip.
  static const StringFormat* GenericTypographic();
  static const StringFormat* GenericDefault();
  Status SetFormatFlags(INT flags) { m_flags = flags; return Ok; }
  INT GetFormatFlags() const { return m_flags; }
  Status SetAlignment(StringAlignment a) { m_align = a; return Ok; }
  StringAlignment GetAlignment() const { return m_align; }
  Status SetLineAlignment(StringAlignment a) { m_lineAlign = a; return Ok; }
  StringAlignment GetLineAlignment() const { return m_lineAlign; }
  Status SetTrimming(StringTrimming t) { m_trimming = t; return Ok; }
  StringTrimming GetTrimming() const { return m_trimming; }
  Status SetHotkeyPrefix(HotkeyPrefix p) { m_hotkey = p; return Ok; }
  Status SetTabStops(REAL first, INT count, const REAL* stops);
  bool Typographic() const { return m_typographic; }
  const std::vector<REAL>& TabStops() const { return m_tabs; }

 private:
  INT m_flags = 0;
  StringAlignment m_align = StringAlignmentNear, m_lineAlign = StringAlignmentNear;
  StringTrimming m_trimming = StringTrimmingCharacter;
  HotkeyPrefix m_hotkey = HotkeyPrefixNone;
  std::vector<REAL> m_tabs;
  bool m_typographic = false;
};

class ImageAttributes : public GdiplusBase {
 public:
  ImageAttributes() = default;
  ImageAttributes* Clone() const { return new ImageAttributes(*this); }
  Status SetColorMatrix(const ColorMatrix* matrix, ColorMatrixFlags = ColorMatrixFlagsDefault,
                        ColorAdjustType = ColorAdjustTypeDefault);
  Status ClearColorMatrix(ColorAdjustType = ColorAdjustTypeDefault) { m_hasMatrix = false; return Ok; }
  Status SetColorKey(const Color& low, const Color& high, ColorAdjustType = ColorAdjustTypeDefault);
  Status ClearColorKey(ColorAdjustType = ColorAdjustTypeDefault) { m_hasKey = false; return Ok; }
  Status SetWrapMode(WrapMode mode, const Color& = Color(), BOOL = FALSE) { m_wrap = mode; return Ok; }
  Status Reset(ColorAdjustType = ColorAdjustTypeDefault);
  // The image with the colour matrix and key applied (non-premultiplied ARGB32).
  QImage Apply(const QImage& image) const;

 private:
  bool m_hasMatrix = false;
  ColorMatrix m_matrix{};
  bool m_hasKey = false;
  Color m_keyLow, m_keyHigh;
  WrapMode m_wrap = WrapModeClamp;
};

struct EncoderParameter {
  GUID Guid;
  ULONG NumberOfValues;
  ULONG Type;
  void* Value;
};
struct EncoderParameters {
  UINT Count;
  EncoderParameter Parameter[1];
};
enum EncoderParameterValueType { EncoderParameterValueTypeLong = 4 };
enum EncoderValue { EncoderValueCompressionLZW = 2, EncoderValueCompressionNone = 6 };
extern const GUID EncoderQuality;
extern const GUID EncoderCompression;
extern const GUID ImageFormatBMP;
extern const GUID ImageFormatJPEG;
extern const GUID ImageFormatGIF;
extern const GUID ImageFormatTIFF;
extern const GUID ImageFormatPNG;
extern const GUID ImageFormatEMF;

struct ImageCodecInfo {
  CLSID Clsid;
  GUID FormatID;
  const WCHAR* CodecName;
  const WCHAR* DllName;
  const WCHAR* FormatDescription;
  const WCHAR* FilenameExtension;
  const WCHAR* MimeType;
  DWORD Flags;
  DWORD Version;
  DWORD SigCount;
  DWORD SigSize;
  const BYTE* SigPattern;
  const BYTE* SigMask;
};
// The list is copied into `codecs`, whose `size` bytes must hold `count` entries (strings point
// into the library's own storage).
Status GetImageEncodersSize(UINT* count, UINT* size);
Status GetImageEncoders(UINT count, UINT size, ImageCodecInfo* codecs);
Status GetImageDecodersSize(UINT* count, UINT* size);
Status GetImageDecoders(UINT count, UINT size, ImageCodecInfo* codecs);

// An image: a bitmap (pixels, ARGB32 not premultiplied) or a metafile (recorded drawing).
class Image : public GdiplusBase {
 public:
  virtual ~Image();
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;
  static Image* FromFile(const WCHAR* path, BOOL useEmbeddedColorManagement = FALSE);
  virtual Image* Clone() const;
  ImageType GetType() const { return m_type; }
  UINT GetWidth() const;
  UINT GetHeight() const;
  REAL GetHorizontalResolution() const { return m_dpiX; }
  REAL GetVerticalResolution() const { return m_dpiY; }
  Status GetBounds(RectF* bounds, Unit* unit) const;
  Status GetRawFormat(GUID* format) const { *format = m_rawFormat; return Ok; }
  // Bitmaps only: writes the image with the encoder `clsid`; metafiles are written as SVG.
  Status Save(const WCHAR* path, const CLSID* clsid, const EncoderParameters* params = nullptr);

 protected:
  explicit Image(ImageType t) : m_type(t) {}
  friend class Graphics;
  ImageType m_type;
  REAL m_dpiX = 96, m_dpiY = 96;
  GUID m_rawFormat{};
  QImage m_image;  // bitmaps
};

class Bitmap : public Image {
 public:
  Bitmap(INT width, INT height, PixelFormat format = PixelFormat32bppARGB);
  Bitmap(INT width, INT height, INT stride, PixelFormat format, BYTE* scan0);
  explicit Bitmap(const WCHAR* path, BOOL useIcm = FALSE);
  Bitmap(HBITMAP bitmap, void* palette);
  static Bitmap* FromFile(const WCHAR* path, BOOL useIcm = FALSE) { return new Bitmap(path, useIcm); }
  static Bitmap* FromHBITMAP(HBITMAP bitmap, void* palette) { return new Bitmap(bitmap, palette); }
  Image* Clone() const override;
  Bitmap* Clone(const RectF& rect, PixelFormat format) const;
  Bitmap* Clone(const Rect& rect, PixelFormat format) const;
  Status SetResolution(REAL dpiX, REAL dpiY);
  Status GetPixel(INT x, INT y, Color* colour) const;
  Status SetPixel(INT x, INT y, const Color& colour);
  // 32bppARGB locks the pixels in place; other formats go through a copy written back on unlock.
  Status LockBits(const Rect* rect, UINT flags, PixelFormat format, BitmapData* data);
  Status UnlockBits(BitmapData* data);
  // A GDI bitmap of the pixels composited over `background`.
  Status GetHBITMAP(const Color& background, HBITMAP* out);

  // The pixels; never keep a shallow copy while a Graphics draws into them (use copy()).
  const QImage& Q() const { return m_image; }
  QImage& Q() { return m_image; }
  explicit Bitmap(const QImage& image);
  // One painter shared by every Graphics on this bitmap (Qt allows one per device).
  QPainter* AcquirePainter();
  void ReleasePainter();
  bool Premultiplied() const { return m_image.format() == QImage::Format_ARGB32_Premultiplied; }
  // A lock in the format the pixels are kept in hands out the pixels themselves.
  bool DirectLock(PixelFormat format) const {
    return format == (Premultiplied() ? PixelFormat32bppPARGB : PixelFormat32bppARGB);
  }

 private:
  struct Lock {
    QRect rect;
    UINT flags;
    PixelFormat format;
    std::vector<uint8_t> copy;
  };
  std::unique_ptr<Lock> m_lock;
  std::unique_ptr<QPainter> m_painter;
  int m_painterUsers = 0;
};

// Recorded vector drawing. Recording ends when the Graphics on it is deleted; then it can be
// drawn, saved as SVG (clipping written into the geometry) or put on the clipboard.
class Metafile : public Image {
 public:
  // In memory, or (path) written as SVG when the recording ends; the reference DC gives the DPI.
  Metafile(HDC referenceDc, EmfType type = EmfTypeEmfPlusDual, const WCHAR* description = nullptr);
  Metafile(const WCHAR* path, HDC referenceDc, EmfType type = EmfTypeEmfPlusDual,
           const WCHAR* description = nullptr);
  Metafile(const WCHAR* path, HDC referenceDc, const RectF& frame, MetafileFrameUnit unit = MetafileFrameUnitGdi,
           EmfType type = EmfTypeEmfPlusDual, const WCHAR* description = nullptr);
  // In memory with a frame (in `unit`, at the reference DC's resolution).
  Metafile(HDC referenceDc, const RectF& frame, MetafileFrameUnit unit = MetafileFrameUnitGdi,
           EmfType type = EmfTypeEmfPlusDual, const WCHAR* description = nullptr);
  explicit Metafile(HENHMETAFILE emf, BOOL deleteEmf = FALSE);
  ~Metafile() override;
  Image* Clone() const override;
  // Hands the recording out as a handle; this object is left invalid for drawing.
  HENHMETAFILE GetHENHMETAFILE();

  bool Recording() const { return m_recording; }
  void BeginRecording();
  void EndRecording();
  QPicture& Picture() { return m_picture; }
  const QPicture& Picture() const { return m_picture; }
  QRectF Frame() const;
  bool SaveSvg(const QString& path) const;
  QByteArray SvgBytes() const;
  QImage Render(const QColor& background = Qt::transparent) const;

 private:
  void Init(HDC referenceDc, const QString& path, const QRectF& frame);
  void SetFrame(const RectF& frame, MetafileFrameUnit unit, const WCHAR* description);
  QPicture m_picture;
  QString m_path;
  QString m_description;
  QRectF m_frame;
  bool m_recording = false;
  bool m_valid = true;
};

class CachedBitmap;

class Graphics : public GdiplusBase {
 public:
  explicit Graphics(HDC dc);
  Graphics(HDC dc, HANDLE device);
  explicit Graphics(Image* image);
  explicit Graphics(HWND hwnd, BOOL icm = FALSE);
  static Graphics* FromHDC(HDC dc) { return new Graphics(dc); }
  static Graphics* FromImage(Image* image) { return new Graphics(image); }
  static Graphics* FromHWND(HWND hwnd, BOOL icm = FALSE) { return new Graphics(hwnd, icm); }
  Graphics(const Graphics&) = delete;
  Graphics& operator=(const Graphics&) = delete;
  ~Graphics();

  HDC GetHDC();
  void ReleaseHDC(HDC dc);
  void Flush(INT intention = 0);

  Status SetTransform(const Matrix* m);
  Status GetTransform(Matrix* m) const;
  Status ResetTransform();
  Status MultiplyTransform(const Matrix* m, MatrixOrder order = MatrixOrderPrepend);
  Status TranslateTransform(REAL dx, REAL dy, MatrixOrder order = MatrixOrderPrepend);
  Status ScaleTransform(REAL sx, REAL sy, MatrixOrder order = MatrixOrderPrepend);
  Status RotateTransform(REAL degrees, MatrixOrder order = MatrixOrderPrepend);
  Status SetPageUnit(Unit unit);
  Unit GetPageUnit() const { return UnitPixel; }
  REAL GetDpiX() const { return m_dpiX; }
  REAL GetDpiY() const { return m_dpiY; }

  Status SetSmoothingMode(SmoothingMode m);
  SmoothingMode GetSmoothingMode() const { return m_st.smoothing; }
  Status SetTextRenderingHint(TextRenderingHint h) { m_st.textHint = h; return Ok; }
  TextRenderingHint GetTextRenderingHint() const { return m_st.textHint; }
  Status SetCompositingMode(CompositingMode m) { m_st.compositing = m; return Ok; }
  CompositingMode GetCompositingMode() const { return m_st.compositing; }
  Status SetCompositingQuality(CompositingQuality) { return Ok; }
  Status SetInterpolationMode(InterpolationMode m) { m_st.interpolation = m; return Ok; }
  InterpolationMode GetInterpolationMode() const { return m_st.interpolation; }
  Status SetPixelOffsetMode(PixelOffsetMode m) { m_st.pixelOffset = m; return Ok; }
  PixelOffsetMode GetPixelOffsetMode() const { return m_st.pixelOffset; }
  Status SetTextContrast(UINT) { return Ok; }

  GraphicsState Save();
  Status Restore(GraphicsState state);

  Status SetClip(const Graphics* g, CombineMode mode = CombineModeReplace);
  Status SetClip(const RectF& rect, CombineMode mode = CombineModeReplace);
  Status SetClip(const Rect& rect, CombineMode mode = CombineModeReplace) { return SetClip(RectF(rect), mode); }
  Status SetClip(const GraphicsPath* path, CombineMode mode = CombineModeReplace);
  Status SetClip(const Region* region, CombineMode mode = CombineModeReplace);
  Status SetClip(HRGN rgn, CombineMode mode = CombineModeReplace);
  Status IntersectClip(const RectF& rect) { return SetClip(rect, CombineModeIntersect); }
  Status IntersectClip(const Region* region) { return SetClip(region, CombineModeIntersect); }
  Status ExcludeClip(const RectF& rect) { return SetClip(rect, CombineModeExclude); }
  Status ExcludeClip(const Region* region) { return SetClip(region, CombineModeExclude); }
  Status ResetClip();
  Status TranslateClip(REAL dx, REAL dy);
  Status GetClip(Region* region) const;
  Status GetClipBounds(RectF* rect) const;
  Status GetVisibleClipBounds(RectF* rect) const;
  BOOL IsClipEmpty() const;
  BOOL IsVisible(REAL x, REAL y) const;
  BOOL IsVisible(const RectF& rect) const;

  Status Clear(const Color& colour);
  Status DrawLine(const Pen* pen, REAL x1, REAL y1, REAL x2, REAL y2);
  Status DrawLine(const Pen* pen, const PointF& a, const PointF& b) { return DrawLine(pen, a.X, a.Y, b.X, b.Y); }
  Status DrawLines(const Pen* pen, const PointF* points, INT count);
  Status DrawRectangle(const Pen* pen, REAL x, REAL y, REAL width, REAL height);
  Status DrawRectangle(const Pen* pen, const RectF& r) { return DrawRectangle(pen, r.X, r.Y, r.Width, r.Height); }
  Status DrawEllipse(const Pen* pen, REAL x, REAL y, REAL width, REAL height);
  Status DrawEllipse(const Pen* pen, const RectF& r) { return DrawEllipse(pen, r.X, r.Y, r.Width, r.Height); }
  Status DrawArc(const Pen* pen, REAL x, REAL y, REAL width, REAL height, REAL start, REAL sweep);
  Status DrawBezier(const Pen* pen, const PointF& p1, const PointF& p2, const PointF& p3, const PointF& p4);
  Status DrawPolygon(const Pen* pen, const PointF* points, INT count);
  Status DrawPath(const Pen* pen, const GraphicsPath* path);
  Status FillRectangle(const Brush* brush, REAL x, REAL y, REAL width, REAL height);
  Status FillRectangle(const Brush* brush, const RectF& r) { return FillRectangle(brush, r.X, r.Y, r.Width, r.Height); }
  Status FillRectangles(const Brush* brush, const RectF* rects, INT count);
  // Each rectangle filled with its own solid colour, one after another as FillRectangle would;
  // on an image many of them are shared out among threads by rows.
  Status FillRectanglesEach(const RectF* rects, const ARGB* colours, INT count);
  // Each polyline stroked with its own pen, one after another as DrawLines would; on an image many
  // thin ones on an opaque image are drawn without converting its pixels for each span.
  Status DrawLinesEach(const Pen* const* pens, const PointF* const* points, const INT* counts, INT count);
  Status FillEllipse(const Brush* brush, REAL x, REAL y, REAL width, REAL height);
  Status FillEllipse(const Brush* brush, const RectF& r) { return FillEllipse(brush, r.X, r.Y, r.Width, r.Height); }
  Status FillPolygon(const Brush* brush, const PointF* points, INT count, FillMode mode = FillModeAlternate);
  Status FillPath(const Brush* brush, const GraphicsPath* path);
  Status FillRegion(const Brush* brush, const Region* region);

  Status DrawImage(Image* image, REAL x, REAL y);
  Status DrawImage(Image* image, const RectF& dest);
  Status DrawImage(Image* image, REAL x, REAL y, REAL width, REAL height);
  Status DrawImage(Image* image, const RectF& dest, REAL srcX, REAL srcY, REAL srcWidth, REAL srcHeight,
                   Unit srcUnit, const ImageAttributes* attributes = nullptr);

  Status DrawString(const WCHAR* text, INT length, const Font* font, const PointF& origin, const Brush* brush);
  Status DrawString(const WCHAR* text, INT length, const Font* font, const PointF& origin,
                    const StringFormat* format, const Brush* brush);
  Status DrawString(const WCHAR* text, INT length, const Font* font, const RectF& layout,
                    const StringFormat* format, const Brush* brush);
  Status MeasureString(const WCHAR* text, INT length, const Font* font, const PointF& origin,
                       const StringFormat* format, RectF* bounds) const;
  Status MeasureString(const WCHAR* text, INT length, const Font* font, const RectF& layout,
                       const StringFormat* format, RectF* bounds, INT* charsFitted = nullptr,
                       INT* linesFilled = nullptr) const;

  // The painter under this Graphics (for the framework's own Qt-side helpers).
  QPainter* Painter() const { return m_painter; }
  // True when world units are the pixels of an image, offset by whole pixels (no recording,
  // printer, scaling or device pixel ratio): a caller may then compose drawing in bitmaps of
  // its own and blit them without changing what lands in any pixel.
  bool DrawsWholePixels() const;
  // True when that image is premultiplied: a premultiplied copy blended over it then gives each
  // pixel exactly what one blend of the same coverage drawn there gives, translucent pixels too.
  bool DrawsOnPremultiplied() const;
  // False while nothing has been drawn through this Graphics: a layer that stayed empty need not
  // be wiped or composed.
  bool HasDrawn() const { return m_drawn; }

 private:
  struct State {
    QTransform world;
    bool clipped = false;
    QPainterPath clip;  // device coordinates
    SmoothingMode smoothing = SmoothingModeNone;
    TextRenderingHint textHint = TextRenderingHintSystemDefault;
    CompositingMode compositing = CompositingModeSourceOver;
    InterpolationMode interpolation = InterpolationModeBilinear;
    PixelOffsetMode pixelOffset = PixelOffsetModeDefault;
  };
  void Init(QPainter* painter, const QRectF& deviceBounds, REAL dpiX, REAL dpiY);
  Status Fill(const QPainterPath& worldPath, const Brush* brush);
  Status Stroke(const QPainterPath& worldPath, const Pen* pen, bool closedShape);
  bool StrokeSmall(const QPainterPath& worldPath, const QPen& pen) const;
  // What StrokeSmall fills: the pen's outline, its placing on the device and its device bounds;
  // false when the stroke does not qualify.
  bool SmallStrokeOutline(const QPainterPath& worldPath, const QPen& pen, QPainterPath& outline, QTransform& placed,
                          QRectF& box) const;
  // A long open polyline reaching far outside an image, cut to the runs of segments that can
  // touch it; false when nothing was cut.
  bool CutToImage(const QPainterPath& worldPath, const QPen& pen, QPainterPath& cut) const;
  // A long anti-aliased polyline wider than a pixel, stroked a few segments at a time (its caps
  // rounded, as its joins are): the engine's coverage of one outline that crosses itself at every
  // column grows far faster than its length. False when the path is not such a line.
  bool StrokeInPieces(QPainter& painter, const QPainterPath& path, const QPen& pen) const;
  // The pieces in bands of rows on the pool, each band stroking in order those that reach it.
  bool StrokePiecesInBands(const std::vector<QPainterPath>& pieces, const QPen& pen) const;
  // A long thin line on an image, stroked in horizontal bands on several threads at once: the same
  // pixels as one stroke. False when the line or the target does not qualify.
  bool StrokeInBands(const QPainterPath& path, const QPen& pen, const QRectF& deviceBounds) const;
  // Such a line with its pen and the rows [top, bottom) its stroke is drawn in.
  struct BandLine {
    std::vector<QPointF> points;
    QPen pen;
    int top, bottom;
  };
  // The bitmap's own image when drawing goes straight to its pixels, one to one (no metafile, no
  // device context handed out); null otherwise. The paths that share out rows need it.
  QImage* OwnImage() const;
  // Whether StrokeInBands may stroke the line, and the rows it then draws in.
  // The checks of BandsCanStroke that need no points.
  bool BandsMayStroke(const QPen& pen, size_t pointCount) const;
  bool BandsCanStroke(const std::vector<QPointF>& points, const QPen& pen, const QRectF& deviceBounds, int& top,
                      int& bottom) const;
  // Such lines in one set of bands of about equal work, each band stroking them in their order.
  bool StrokeLinesInBands(const BandLine* lines, size_t count) const;
  // A large fill on an image, in horizontal bands on several threads: the same pixels as one fill.
  bool FillInBands(const QPainterPath& shape, const QBrush& brush, const QRectF& deviceBounds) const;
  void SetUpBandPainter(QPainter& painter, const QRect& band, const QTransform& toDevice, bool antialias) const;
  Status Combine(const QPainterPath& deviceShape, bool infinite, CombineMode mode);
  void Begin() const;
  void End() const;
  QPainterPath TextPath(const QString& text, const Font* font, const QRectF& layout, bool hasLayout,
                        const StringFormat* format, QRectF* measured) const;
  QRectF MeasureText(const QString& text, const Font* font, const QRectF& layout, bool hasLayout,
                     const StringFormat* format) const;
  Status DrawText(const QString& text, const Font* font, const QRectF& layout, bool hasLayout,
                  const StringFormat* format, const Brush* brush);
  Status DrawImageRect(Image* image, const QRectF& dest, const QRectF& source, const ImageAttributes* attributes);

  QPainter* m_painter = nullptr;
  std::unique_ptr<QPainter> m_ownPainter;
  QTransform m_base;
  mutable bool m_drawn = false;
  QRectF m_deviceBounds;
  REAL m_dpiX = 96, m_dpiY = 96;
  State m_st;
  std::vector<std::pair<GraphicsState, State>> m_saved;
  GraphicsState m_nextState = 1;
  Metafile* m_metafile = nullptr;  // a recording: clipping goes into the geometry
  Bitmap* m_bitmap = nullptr;      // shares the bitmap's painter
  HDC m_dc = nullptr;
  HWND m_hwnd = nullptr;
  HDC m_handedOutDc = nullptr;
  friend class BandedDrawing;
};

// Runs drawing onto bitmaps on one thread of the engine's pool while the caller waits. From the
// caller's thread the engine shares every drawing of a hundred rows and more out among that
// pool and waits for the pieces; from inside the pool it draws each whole. For a picture of a
// few such drawings, one hand-off costs less than theirs. Nothing else may use the bitmaps or
// windows meanwhile.
void DrawOnOneThread(const std::function<void()>& draw);

// Drawing onto an image in vertical strips of columns, on several threads at once. Run calls
// `draw` once for each strip, each on a thread of its own; a strip's calls draw only into its
// columns and leave every pixel there as the same calls on the Graphics would. Only while
// Available() and while the Graphics' state stays as it is: it draws onto a premultiplied image,
// clipped to a rectangle or not at all, source over, offset by whole pixels.
class BandedDrawing {
 public:
  class Strip {
   public:
    int Left() const { return m_from; }
    int Right() const { return m_to; }  // the first column after the strip
    Status DrawPath(const Pen* pen, const GraphicsPath* path);
    Status FillPath(const Brush* brush, const GraphicsPath* path);
    // Bitmaps only.
    Status DrawImage(Image* image, const RectF& dest, REAL srcX, REAL srcY, REAL srcWidth, REAL srcHeight,
                     Unit srcUnit);

   private:
    friend class BandedDrawing;
    Strip(const Graphics& graphics, uchar* bits, int from, int to);
    QPainter& Painter();
    const Graphics& m_graphics;
    QImage m_view;  // the image's pixels; a painter is never shared across threads
    std::unique_ptr<QPainter> m_painter;
    int m_from, m_to;
  };
  explicit BandedDrawing(Graphics* graphics);
  bool Available() const;
  // The columns [left, right) shared out; returns when every strip is drawn.
  void Run(int left, int right, const std::function<void(Strip&)>& draw);

 private:
  Graphics* m_graphics;
};

}  // namespace Gdiplus

// Metafile handles (the clipboard's CF_ENHMETAFILE).
BOOL DeleteEnhMetaFile(HENHMETAFILE emf);

namespace qlw {
// The recording behind a metafile handle, as SVG and as a PNG-ready image; false for a bad handle.
bool EnhMetaFileToSvg(HENHMETAFILE emf, QByteArray* svg, QImage* image);
}  // namespace qlw
