// GDI+ value types: status codes, colours, points, rectangles, matrices and the enumerations.
// Pixel convention as in Gdi.h: integer coordinates are pixel edges.
#pragma once
#include "Gdi.h"
#include "Uuid.h"

#include <QTransform>

#include <cmath>
#include <utility>

namespace Gdiplus {

typedef float REAL;
typedef DWORD ARGB;
typedef UINT GraphicsState;
typedef UINT GraphicsContainer;
typedef uint16_t UINT16;
typedef WORD LANGID;

enum Status {
  Ok = 0,
  GenericError = 1,
  InvalidParameter = 2,
  OutOfMemory = 3,
  ObjectBusy = 4,
  InsufficientBuffer = 5,
  NotImplemented = 6,
  Win32Error = 7,
  WrongState = 8,
  Aborted = 9,
  FileNotFound = 10,
  ValueOverflow = 11,
  AccessDenied = 12,
  UnknownImageFormat = 13,
  FontFamilyNotFound = 14,
  FontStyleNotFound = 15,
  NotTrueTypeFont = 16,
  UnsupportedGdiplusVersion = 17,
  GdiplusNotInitialized = 18,
  PropertyNotFound = 19,
  PropertyNotSupported = 20
};

class Color {
 public:
  Color() = default;
  Color(BYTE r, BYTE g, BYTE b) : m_argb(MakeARGB(255, r, g, b)) {}
  Color(BYTE a, BYTE r, BYTE g, BYTE b) : m_argb(MakeARGB(a, r, g, b)) {}
  Color(ARGB argb) : m_argb(argb) {}
  BYTE GetA() const { return BYTE(m_argb >> 24); }
  BYTE GetR() const { return BYTE(m_argb >> 16); }
  BYTE GetG() const { return BYTE(m_argb >> 8); }
  BYTE GetB() const { return BYTE(m_argb); }
  BYTE GetAlpha() const { return GetA(); }
  BYTE GetRed() const { return GetR(); }
  BYTE GetGreen() const { return GetG(); }
  BYTE GetBlue() const { return GetB(); }
  ARGB GetValue() const { return m_argb; }
  void SetValue(ARGB argb) { m_argb = argb; }
  void SetFromCOLORREF(COLORREF c) { m_argb = MakeARGB(255, GetRValue(c), GetGValue(c), GetBValue(c)); }
  COLORREF ToCOLORREF() const { return RGB(GetR(), GetG(), GetB()); }
  static ARGB MakeARGB(BYTE a, BYTE r, BYTE g, BYTE b) {
    return ARGB(a) << 24 | ARGB(r) << 16 | ARGB(g) << 8 | ARGB(b);
  }
  enum : ARGB { Black = 0xFF000000u, White = 0xFFFFFFFFu, Transparent = 0x00FFFFFFu };

 private:
  ARGB m_argb = 0xFF000000u;
};

struct PointF {
  PointF() = default;
  PointF(REAL x, REAL y) : X(x), Y(y) {}
  PointF operator+(const PointF& p) const { return PointF(X + p.X, Y + p.Y); }
  PointF operator-(const PointF& p) const { return PointF(X - p.X, Y - p.Y); }
  bool Equals(const PointF& p) const { return X == p.X && Y == p.Y; }
  REAL X = 0, Y = 0;
};
struct Point {
  Point() = default;
  Point(INT x, INT y) : X(x), Y(y) {}
  INT X = 0, Y = 0;
};
struct SizeF {
  SizeF() = default;
  SizeF(REAL w, REAL h) : Width(w), Height(h) {}
  REAL Width = 0, Height = 0;
};
struct Size {
  Size() = default;
  Size(INT w, INT h) : Width(w), Height(h) {}
  INT Width = 0, Height = 0;
};

struct RectF {
  RectF() = default;
  RectF(REAL x, REAL y, REAL w, REAL h) : X(x), Y(y), Width(w), Height(h) {}
  RectF(const PointF& p, const SizeF& s) : X(p.X), Y(p.Y), Width(s.Width), Height(s.Height) {}
  REAL GetLeft() const { return X; }
  REAL GetTop() const { return Y; }
  REAL GetRight() const { return X + Width; }
  REAL GetBottom() const { return Y + Height; }
  void GetLocation(PointF* p) const { *p = PointF(X, Y); }
  void GetSize(SizeF* s) const { *s = SizeF(Width, Height); }
  void GetBounds(RectF* r) const { *r = *this; }
  BOOL IsEmptyArea() const { return Width <= 1.1920929e-7f || Height <= 1.1920929e-7f; }
  BOOL Contains(REAL x, REAL y) const { return x >= X && x < X + Width && y >= Y && y < Y + Height; }
  BOOL Contains(const PointF& p) const { return Contains(p.X, p.Y); }
  BOOL Contains(const RectF& r) const {
    return X <= r.X && r.GetRight() <= GetRight() && Y <= r.Y && r.GetBottom() <= GetBottom();
  }
  BOOL IntersectsWith(const RectF& r) const {
    return X < r.GetRight() && Y < r.GetBottom() && GetRight() > r.X && GetBottom() > r.Y;
  }
  void Inflate(REAL dx, REAL dy) { X -= dx, Y -= dy, Width += 2 * dx, Height += 2 * dy; }
  void Offset(REAL dx, REAL dy) { X += dx, Y += dy; }
  BOOL Equals(const RectF& r) const { return X == r.X && Y == r.Y && Width == r.Width && Height == r.Height; }
  BOOL Intersect(const RectF& r) { return Intersect(*this, *this, r); }
  static BOOL Intersect(RectF& out, const RectF& a, const RectF& b);
  static BOOL Union(RectF& out, const RectF& a, const RectF& b);
  RectF* Clone() const { return new RectF(*this); }
  REAL X = 0, Y = 0, Width = 0, Height = 0;
};

struct Rect {
  Rect() = default;
  Rect(INT x, INT y, INT w, INT h) : X(x), Y(y), Width(w), Height(h) {}
  INT GetLeft() const { return X; }
  INT GetTop() const { return Y; }
  INT GetRight() const { return X + Width; }
  INT GetBottom() const { return Y + Height; }
  BOOL IsEmptyArea() const { return Width <= 0 || Height <= 0; }
  BOOL Contains(INT x, INT y) const { return x >= X && x < X + Width && y >= Y && y < Y + Height; }
  void Inflate(INT dx, INT dy) { X -= dx, Y -= dy, Width += 2 * dx, Height += 2 * dy; }
  void Offset(INT dx, INT dy) { X += dx, Y += dy; }
  operator RectF() const { return RectF(REAL(X), REAL(Y), REAL(Width), REAL(Height)); }
  INT X = 0, Y = 0, Width = 0, Height = 0;
};

enum Unit { UnitWorld = 0, UnitDisplay = 1, UnitPixel = 2, UnitPoint = 3, UnitInch = 4, UnitDocument = 5, UnitMillimeter = 6 };
enum MatrixOrder { MatrixOrderPrepend = 0, MatrixOrderAppend = 1 };
enum FillMode { FillModeAlternate = 0, FillModeWinding = 1 };
enum CombineMode {
  CombineModeReplace = 0,
  CombineModeIntersect = 1,
  CombineModeUnion = 2,
  CombineModeXor = 3,
  CombineModeExclude = 4,
  CombineModeComplement = 5
};
enum SmoothingMode {
  SmoothingModeInvalid = -1,
  SmoothingModeDefault = 0,
  SmoothingModeHighSpeed = 1,
  SmoothingModeHighQuality = 2,
  SmoothingModeNone = 3,
  SmoothingModeAntiAlias = 4
};
enum PixelOffsetMode {
  PixelOffsetModeDefault = 0,
  PixelOffsetModeHighSpeed = 1,
  PixelOffsetModeHighQuality = 2,
  PixelOffsetModeNone = 3,
  PixelOffsetModeHalf = 4
};
enum TextRenderingHint {
  TextRenderingHintSystemDefault = 0,
  TextRenderingHintSingleBitPerPixelGridFit = 1,
  TextRenderingHintSingleBitPerPixel = 2,
  TextRenderingHintAntiAliasGridFit = 3,
  TextRenderingHintAntiAlias = 4,
  TextRenderingHintClearTypeGridFit = 5
};
enum CompositingMode { CompositingModeSourceOver = 0, CompositingModeSourceCopy = 1 };
enum CompositingQuality { CompositingQualityDefault = 0, CompositingQualityHighSpeed = 1, CompositingQualityHighQuality = 2 };
enum InterpolationMode {
  InterpolationModeDefault = 0,
  InterpolationModeLowQuality = 1,
  InterpolationModeHighQuality = 2,
  InterpolationModeBilinear = 3,
  InterpolationModeBicubic = 4,
  InterpolationModeNearestNeighbor = 5,
  InterpolationModeHighQualityBilinear = 6,
  InterpolationModeHighQualityBicubic = 7
};
enum PenAlignment { PenAlignmentCenter = 0, PenAlignmentInset = 1 };
enum DashStyle { DashStyleSolid = 0, DashStyleDash = 1, DashStyleDot = 2, DashStyleDashDot = 3, DashStyleDashDotDot = 4, DashStyleCustom = 5 };
enum DashCap { DashCapFlat = 0, DashCapRound = 2, DashCapTriangle = 3 };
enum LineCap { LineCapFlat = 0, LineCapSquare = 1, LineCapRound = 2, LineCapTriangle = 3 };
enum LineJoin { LineJoinMiter = 0, LineJoinBevel = 1, LineJoinRound = 2, LineJoinMiterClipped = 3 };
enum FontStyle { FontStyleRegular = 0, FontStyleBold = 1, FontStyleItalic = 2, FontStyleBoldItalic = 3, FontStyleUnderline = 4, FontStyleStrikeout = 8 };
enum StringAlignment { StringAlignmentNear = 0, StringAlignmentCenter = 1, StringAlignmentFar = 2 };
enum StringTrimming {
  StringTrimmingNone = 0,
  StringTrimmingCharacter = 1,
  StringTrimmingWord = 2,
  StringTrimmingEllipsisCharacter = 3,
  StringTrimmingEllipsisWord = 4,
  StringTrimmingEllipsisPath = 5
};
enum StringFormatFlags {
  StringFormatFlagsDirectionRightToLeft = 0x1,
  StringFormatFlagsDirectionVertical = 0x2,
  StringFormatFlagsNoFitBlackBox = 0x4,
  StringFormatFlagsDisplayFormatControl = 0x20,
  StringFormatFlagsNoFontFallback = 0x400,
  StringFormatFlagsMeasureTrailingSpaces = 0x800,
  StringFormatFlagsNoWrap = 0x1000,
  StringFormatFlagsLineLimit = 0x2000,
  StringFormatFlagsNoClip = 0x4000
};
enum HotkeyPrefix { HotkeyPrefixNone = 0, HotkeyPrefixShow = 1, HotkeyPrefixHide = 2 };
enum WrapMode { WrapModeTile = 0, WrapModeTileFlipX = 1, WrapModeTileFlipY = 2, WrapModeTileFlipXY = 3, WrapModeClamp = 4 };
enum LinearGradientMode {
  LinearGradientModeHorizontal = 0,
  LinearGradientModeVertical = 1,
  LinearGradientModeForwardDiagonal = 2,
  LinearGradientModeBackwardDiagonal = 3
};
enum HatchStyle {
  HatchStyleHorizontal = 0,
  HatchStyleVertical = 1,
  HatchStyleForwardDiagonal = 2,
  HatchStyleBackwardDiagonal = 3,
  HatchStyleCross = 4,
  HatchStyleDiagonalCross = 5,
  HatchStyle05Percent = 6,
  HatchStyle10Percent = 7,
  HatchStyle20Percent = 8,
  HatchStyle25Percent = 9,
  HatchStyle30Percent = 10,
  HatchStyle40Percent = 11,
  HatchStyle50Percent = 12,
  HatchStyle60Percent = 13,
  HatchStyle70Percent = 14,
  HatchStyle75Percent = 15,
  HatchStyle80Percent = 16,
  HatchStyle90Percent = 17
};
enum BrushType { BrushTypeSolidColor = 0, BrushTypeHatchFill = 1, BrushTypeTextureFill = 2, BrushTypePathGradient = 3, BrushTypeLinearGradient = 4 };
enum ImageType { ImageTypeUnknown = 0, ImageTypeBitmap = 1, ImageTypeMetafile = 2 };
enum ImageLockMode { ImageLockModeRead = 1, ImageLockModeWrite = 2, ImageLockModeUserInputBuf = 4 };
enum ColorAdjustType { ColorAdjustTypeDefault = 0, ColorAdjustTypeBitmap = 1 };
enum ColorMatrixFlags { ColorMatrixFlagsDefault = 0 };
enum EmfType { EmfTypeEmfOnly = 3, EmfTypeEmfPlusOnly = 4, EmfTypeEmfPlusDual = 5 };
enum MetafileFrameUnit { MetafileFrameUnitPixel = 2, MetafileFrameUnitPoint = 3, MetafileFrameUnitInch = 4, MetafileFrameUnitDocument = 5, MetafileFrameUnitMillimeter = 6, MetafileFrameUnitGdi = 7 };

typedef INT PixelFormat;
constexpr PixelFormat PixelFormat24bppRGB = 0x00021808;
constexpr PixelFormat PixelFormat32bppRGB = 0x00022009;
constexpr PixelFormat PixelFormat32bppARGB = 0x0026200A;
constexpr PixelFormat PixelFormat32bppPARGB = 0x000E200B;

struct BitmapData {
  UINT Width;
  UINT Height;
  INT Stride;
  Gdiplus::PixelFormat PixelFormat;
  void* Scan0;
  UINT_PTR Reserved;
};

struct ColorMatrix {
  REAL m[5][5];
};

// A 2-D affine transform in the row-vector convention: [x y 1] times the matrix.
class Matrix {
 public:
  Matrix() = default;
  Matrix(REAL m11, REAL m12, REAL m21, REAL m22, REAL dx, REAL dy) : m_t(m11, m12, m21, m22, dx, dy) {}
  Matrix(const Matrix&) = delete;
  Matrix& operator=(const Matrix&) = delete;
  Matrix* Clone() const;
  Status GetElements(REAL* m) const;
  Status SetElements(REAL m11, REAL m12, REAL m21, REAL m22, REAL dx, REAL dy);
  REAL OffsetX() const { return REAL(m_t.dx()); }
  REAL OffsetY() const { return REAL(m_t.dy()); }
  Status Reset();
  Status Multiply(const Matrix* m, MatrixOrder order = MatrixOrderPrepend);
  Status Translate(REAL dx, REAL dy, MatrixOrder order = MatrixOrderPrepend);
  Status Scale(REAL sx, REAL sy, MatrixOrder order = MatrixOrderPrepend);
  Status Rotate(REAL degrees, MatrixOrder order = MatrixOrderPrepend);
  Status RotateAt(REAL degrees, const PointF& centre, MatrixOrder order = MatrixOrderPrepend);
  Status Shear(REAL sx, REAL sy, MatrixOrder order = MatrixOrderPrepend);
  Status Invert();
  Status TransformPoints(PointF* points, INT count = 1) const;
  Status TransformVectors(PointF* points, INT count = 1) const;
  BOOL IsIdentity() const { return m_t.isIdentity(); }
  BOOL IsInvertible() const { return m_t.isInvertible(); }
  BOOL Equals(const Matrix* m) const { return m && m_t == m->m_t; }
  Status GetLastStatus() { return std::exchange(m_status, Ok); }

  const QTransform& Q() const { return m_t; }
  void SetQ(const QTransform& t) { m_t = t; }

 private:
  Status Combine(const QTransform& t, MatrixOrder order);
  QTransform m_t;
  Status m_status = Ok;
};

// Start-up of the library: nothing to start, but the calls and their tokens behave.
struct GdiplusStartupInput {
  UINT32 GdiplusVersion = 1;
  void* DebugEventCallback = nullptr;
  BOOL SuppressBackgroundThread = FALSE;
  BOOL SuppressExternalCodecs = FALSE;
};
typedef Status(WINAPI* NotificationHookProc)(ULONG_PTR* token);
typedef void(WINAPI* NotificationUnhookProc)(ULONG_PTR token);
struct GdiplusStartupOutput {
  NotificationHookProc NotificationHook = nullptr;
  NotificationUnhookProc NotificationUnhook = nullptr;
};
Status GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input, GdiplusStartupOutput* output);
void GdiplusShutdown(ULONG_PTR token);

}  // namespace Gdiplus
