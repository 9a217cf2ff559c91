// Bitmaps with retries, GDI bitmap conversions, grayscale, clipboard images, image files, codec
// filters and cursors.
#include "GraphicsTestSupport.h"
#include "GdiQt.h"
#include "LXCursors.h"
#include "LXGraphicsErrors.h"
#include "LXImages.h"
#include "Win.h"
#include "testing/ClipboardSeam.h"
#include "testing/GdiPlusSeams.h"

#include <gtest/gtest.h>

#include <QBitmap>
#include <QClipboard>
#include <QCursor>
#include <QPixmap>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QMimeData>
#include <QSvgRenderer>
#include <QTemporaryDir>

using namespace Gdiplus;
using namespace graphicstest;

namespace {
std::unique_ptr<Bitmap> Sample(int w = 4, int h = 3) {
  EnsureApp();
  auto b = std::make_unique<Bitmap>(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b->SetPixel(x, y, Color(255, BYTE(40 * x), BYTE(60 * y), 200));
  return b;
}
}  // namespace

TEST(CreateBitmap, RetriesOnceAfterAMemoryShortage) {
  EnsureApp();
  qlw::testing::FailNextBitmapAllocations(1);
  std::unique_ptr<Bitmap> retried(CreateBitmap(8, 8));
  ASSERT_TRUE(retried);
  EXPECT_EQ(retried->GetWidth(), 8u);
  qlw::testing::FailNextBitmapAllocations(2);
  EXPECT_THROW(CreateBitmap(8, 8), CLXXAllocationFailed);
  qlw::testing::FailNextBitmapAllocations(1, InsufficientBuffer);
  EXPECT_NO_THROW(delete CreateBitmap(8, 8));
  // Any other failure is reported at once, never passed off as an empty bitmap.
  qlw::testing::FailNextBitmapAllocations(1, GenericError);
  try {
    CreateBitmap(8, 8);
    FAIL() << "no exception";
  } catch (const CLXXGDIPlus& e) {
    SUCCEED();
  }
  qlw::testing::FailNextBitmapAllocations(0);
}

TEST(BitmapFromHBITMAP, CopiesTheSectionsBytesAlphaIncluded) {
  EnsureApp();
  BITMAPINFO info{};
  info.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), 2, 2, 1, 32, BI_RGB, 0, 7874, 0, 0, 0};
  HBITMAP section = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, nullptr, nullptr, 0);
  ASSERT_TRUE(section);
  // Rows bottom-up: the first row in memory is the bottom row.
  const uint32_t rows[4] = {0x10203040u, 0x80FF0000u, 0x01020304u, 0xFFFFFFFFu};
  ASSERT_EQ(SetDIBits(nullptr, section, 0, 2, rows, &info, DIB_RGB_COLORS), 2);
  std::unique_ptr<Bitmap> b(BitmapFromHBITMAP(section));
  ASSERT_TRUE(b);
  EXPECT_EQ(Pixel(*b, 0, 1), 0x10203040u);
  EXPECT_EQ(Pixel(*b, 1, 1), 0x80FF0000u);
  EXPECT_EQ(Pixel(*b, 0, 0), 0x01020304u);
  EXPECT_NEAR(b->GetHorizontalResolution(), 200.0, 0.01);  // 7874 per metre
  EXPECT_EQ(b->GetVerticalResolution(), 96.0f);            // none given: the bitmap's own
  DeleteObject(section);
  HBITMAP mono = ::CreateBitmap(2, 2, 1, 1, nullptr);
  EXPECT_EQ(BitmapFromHBITMAP(mono), nullptr);
  DeleteObject(mono);
  std::unique_ptr<Bitmap> resource(LoadBitmapResource(2104));
  ASSERT_TRUE(resource);
  EXPECT_EQ(resource->GetWidth(), 28u);
  EXPECT_EQ(LoadBitmapResource(9999), nullptr);
}

TEST(MakeGrayscaleBitmap, UsesTheLuminanceWeightsAndKeepsAlpha) {
  EnsureApp();
  Bitmap source(5, 1);
  source.SetPixel(0, 0, Color(255, 255, 0, 0));
  source.SetPixel(1, 0, Color(255, 0, 255, 0));
  source.SetPixel(2, 0, Color(255, 0, 0, 255));
  source.SetPixel(3, 0, Color(128, 100, 150, 200));
  source.SetPixel(4, 0, Color(255, 255, 255, 255));
  std::unique_ptr<Bitmap> grey(MakeGrayscaleBitmap(&source));
  const ARGB expected[5] = {0xFF363636u, 0xFFB6B6B6u, 0xFF121212u, 0x808F8F8Fu, 0xFFFFFFFFu};
  for (int x = 0; x < 5; ++x) EXPECT_EQ(Pixel(*grey, x, 0), expected[x]) << x;
  EXPECT_EQ(Pixel(source, 0, 0), 0xFFFF0000u);  // the source is left alone
}

TEST(BitmapToPackedDIB, HeaderAndBottomUpRows) {
  auto b = Sample();
  b->SetResolution(96, 96);
  b->SetPixel(0, 0, Color(0, 255, 255, 255));  // transparent: over opaque black
  HGLOBAL block = BitmapToPackedDIB(b.get());
  ASSERT_TRUE(block);
  ASSERT_EQ(GlobalSize(block), 40u + 4 * 3 * 4);
  const auto* h = static_cast<const BITMAPINFOHEADER*>(GlobalLock(block));
  EXPECT_EQ(h->biSize, 40u);
  EXPECT_EQ(h->biWidth, 4);
  EXPECT_EQ(h->biHeight, 3);
  EXPECT_EQ(h->biBitCount, 32);
  EXPECT_EQ(h->biCompression, DWORD(BI_RGB));
  EXPECT_EQ(h->biXPelsPerMeter, 3779);
  EXPECT_EQ(h->biSizeImage, 48u);
  const auto* rows = reinterpret_cast<const uint32_t*>(reinterpret_cast<const uint8_t*>(h) + 40);
  EXPECT_EQ(rows[2 * 4 + 0] & 0xFFFFFF, 0u);           // top-left, now black, is in the last row
  EXPECT_EQ(rows[0 * 4 + 1] & 0xFFFFFF, 0x2878C8u);    // bottom row, x 1: (40, 120, 200)
  GlobalUnlock(block);
  GlobalFree(block);
}

TEST(BitmapToPackedDIB, AllocationFailuresAreReported) {
  auto b = Sample();
  // The header block, then its growth: each failure throws, never a block called success.
  for (int after : {0, 1}) {
    qlw::testing::FailNextGlobalAllocations(1, after);
    EXPECT_THROW(BitmapToPackedDIB(b.get()), CLXXNull) << after;
  }
  qlw::testing::FailNextGlobalAllocations(0);
  HGLOBAL fine = BitmapToPackedDIB(b.get());
  EXPECT_TRUE(fine);
  GlobalFree(fine);
}

TEST(CopyImageToClipboard, BitmapAsPngAndPackedDib) {
  auto b = Sample();
  ASSERT_TRUE(CopyImageToClipboard(b.get(), nullptr));
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  ASSERT_TRUE(data);
  EXPECT_TRUE(data->hasFormat(QStringLiteral("image/png")));
  QImage png = QImage::fromData(data->data(QStringLiteral("image/png")));
  EXPECT_EQ(png.size(), QSize(4, 3));
  EXPECT_EQ(png.pixel(1, 2) & 0xFFFFFF, 0x2878C8u);
  QByteArray dib = data->data(QStringLiteral("application/x-qlw-dib"));
  ASSERT_EQ(dib.size(), 40 + 48);
  ASSERT_TRUE(OpenClipboard(nullptr));
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_DIB));
  HANDLE mem = GetClipboardData(CF_DIB);
  EXPECT_EQ(GlobalSize(mem), 88u);
  CloseClipboard();
}

TEST(CopyImageToClipboard, MetafileAsSvgWithAPng) {
  EnsureApp();
  Metafile meta(static_cast<HDC>(nullptr));
  {
    Graphics g(&meta);
    SolidBrush red(Color(0xFFFF0000u));
    g.FillRectangle(&red, 0.0f, 0.0f, 30.0f, 20.0f);
  }
  ASSERT_TRUE(CopyImageToClipboard(&meta, nullptr));
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  ASSERT_TRUE(data->hasFormat(QStringLiteral("image/svg+xml")));
  EXPECT_TRUE(QSvgRenderer(data->data(QStringLiteral("image/svg+xml"))).isValid());
  QImage png = QImage::fromData(data->data(QStringLiteral("image/png")));
  EXPECT_EQ(png.size(), QSize(30, 20));
  EXPECT_EQ(png.pixel(10, 10), 0xFFFF0000u);
  for (const QString& f : data->formats()) EXPECT_FALSE(f.contains(QStringLiteral("emf"), Qt::CaseInsensitive)) << f.toStdString();
}

TEST(CopyImageToClipboard, HeldByAnotherProgramAnswersFalseAndChangesNothing) {
  auto b = Sample();
  QGuiApplication::clipboard()->setText(QStringLiteral("kept"));
  qlw::testing::SetClipboardHeldElsewhere(true);
  EXPECT_FALSE(CopyImageToClipboard(b.get(), nullptr));
  qlw::testing::SetClipboardHeldElsewhere(false);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("kept"));
  EXPECT_FALSE(QGuiApplication::clipboard()->mimeData()->hasFormat(QStringLiteral("image/png")));
}

TEST(SaveImageToFile, EncoderParametersByExtension) {
  auto b = Sample(40, 30);
  QTemporaryDir dir;
  auto path = [&](const char* name) { return CString(dir.filePath(QString::fromLatin1(name)).toStdWString().c_str()); };
  ASSERT_TRUE(SaveImageToFile(b.get(), path("a.jpg")));
  ASSERT_TRUE(SaveImageToFile(b.get(), path("a.TIF")));
  ASSERT_TRUE(SaveImageToFile(b.get(), path("a.png")));
  ASSERT_TRUE(SaveImageToFile(b.get(), path("a.gif")));
  ASSERT_TRUE(SaveImageToFile(b.get(), path("a.bmp")));
  // JPEG quality 95: the first luminance quantiser is 2 (16 at 50, 8 at 75).
  QFile jpg(dir.filePath(QStringLiteral("a.jpg")));
  ASSERT_TRUE(jpg.open(QIODevice::ReadOnly));
  QByteArray bytes = jpg.readAll();
  int dqt = bytes.indexOf(QByteArray("\xFF\xDB", 2));
  ASSERT_GE(dqt, 0);
  EXPECT_EQ(uint8_t(bytes[dqt + 5]), 2);
  // TIFF: the compression tag (259) says LZW (5).
  QFile tif(dir.filePath(QStringLiteral("a.TIF")));
  ASSERT_TRUE(tif.open(QIODevice::ReadOnly));
  QByteArray t = tif.readAll();
  ASSERT_TRUE(t.startsWith("II"));
  uint32_t ifd;
  std::memcpy(&ifd, t.constData() + 4, 4);
  uint16_t entries;
  std::memcpy(&entries, t.constData() + ifd, 2);
  int compression = -1;
  for (int i = 0; i < entries; ++i) {
    uint16_t tag, value;
    std::memcpy(&tag, t.constData() + ifd + 2 + 12 * i, 2);
    std::memcpy(&value, t.constData() + ifd + 2 + 12 * i + 8, 2);
    if (tag == 259) compression = value;
  }
  EXPECT_EQ(compression, 5);
  for (const char* name : {"a.jpg", "a.TIF", "a.png", "a.gif", "a.bmp"}) {
    QImageReader reader(dir.filePath(QString::fromLatin1(name)));
    QImage back = reader.read();
    EXPECT_EQ(back.size(), QSize(40, 30)) << name;
  }
  QImage png(dir.filePath(QStringLiteral("a.png")));
  EXPECT_EQ(png.pixel(3, 2), Pixel(*b, 3, 2));  // lossless
  // Few colours keep an exact palette in a GIF.
  auto few = Sample(4, 3);
  ASSERT_TRUE(SaveImageToFile(few.get(), path("few.gif")));
  QImage gif(dir.filePath(QStringLiteral("few.gif")));
  for (int x = 0; x < 4; ++x) EXPECT_EQ(gif.pixel(x, 2), Pixel(*few, x, 2)) << x;
  // No encoder lists these: nothing is written.
  EXPECT_FALSE(SaveImageToFile(b.get(), path("a.xyz")));
  EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("a.xyz"))));
  QDir().mkpath(dir.filePath(QStringLiteral("v1.png")));
  EXPECT_FALSE(SaveImageToFile(b.get(), path("v1.png/data")));
}

TEST(SaveImageToFile, MetafileAsSvgAndUnwritablePathThrows) {
  EnsureApp();
  Metafile meta(static_cast<HDC>(nullptr));
  {
    Graphics g(&meta);
    SolidBrush blue(Color(0xFF0000FFu));
    g.FillEllipse(&blue, 0.0f, 0.0f, 40.0f, 40.0f);
  }
  QTemporaryDir dir;
  QString file = dir.filePath(QStringLiteral("m.svg"));
  ASSERT_TRUE(SaveImageToFile(&meta, CString(file.toStdWString().c_str())));
  QSvgRenderer svg(file);
  EXPECT_TRUE(svg.isValid());
  EXPECT_EQ(svg.defaultSize(), QSize(40, 40));
  EXPECT_THROW(SaveImageToFile(&meta, CString(L"/nonexistent-folder/m.svg")), CLXXGDIPlus);
}

TEST(BuildImageCodecFilter, EncodersDecodersAndAllFiles) {
  EnsureApp();
  CString filter;
  int encoders = BuildImageCodecFilter(false, filter, false);
  EXPECT_EQ(encoders, 5);
  EXPECT_NE(filter.Find(L"JPEG (*.JPG;*.JPEG;*.JPE;*.JFIF)|*.JPG;*.JPEG;*.JPE;*.JFIF|"), -1);
  EXPECT_EQ(filter.Find(L"All Picture Files"), -1);
  EXPECT_EQ(filter.Right(2), CString(L"||"));
  int decoders = BuildImageCodecFilter(true, filter, true);
  EXPECT_EQ(decoders, 7);
  int all = filter.Find(L"All Picture Files|");
  ASSERT_GT(all, 0);
  EXPECT_GT(all, filter.Find(L"PNG (*.PNG)|*.PNG|"));
  EXPECT_EQ(filter.Mid(all), CString(L"All Picture Files|*.BMP;*.DIB;*.RLE;*.JPG;*.JPEG;*.JPE;*.JFIF;*.GIF;*.TIF;*.TIFF;*.PNG|All Files|*.*||"));
  CLSID clsid{};
  GUID format{};
  EXPECT_TRUE(FindEncoderByExtension(CString(L".tiff"), &clsid, &format));
  EXPECT_EQ(format, ImageFormatTIFF);
  EXPECT_FALSE(FindEncoderByExtension(CString(L""), &clsid, &format));
}

TEST(Cursors, CacheHoldsTheProgramsAndTheSystemsCursors) {
  EnsureApp();
  g_cursorCache.clear();
  LoadCursorCache();
  for (UINT id = 2100; id <= 2110; ++id) EXPECT_TRUE(g_cursorCache.count(id)) << id;
  EXPECT_FALSE(g_cursorCache.count(2111));
  EXPECT_FALSE(g_cursorCache.count(2500));
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(g_cursorCache[2104], &info));
  EXPECT_EQ(info.xHotspot, 13u);
  EXPECT_EQ(info.yHotspot, 13u);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  EXPECT_EQ(g_cursorCache[2107], LoadCursorW(nullptr, IDC_IBEAM));  // the system I-beam, not bitmap 2107
  QCursor cursor;
  ASSERT_TRUE(qlw::ImageCursorOf(g_cursorCache[2100], cursor));
  EXPECT_EQ(cursor.hotSpot(), QPoint(7, 7));
  EXPECT_EQ(cursor.pixmap().size(), QSize(32, 32));
  // A transparent pixel of the bitmap stays transparent in the cursor.
  EXPECT_EQ(qAlpha(cursor.pixmap().toImage().pixel(31, 0)), 0);
}

TEST(Cursors, SetByIdentifierUnderTheLock) {
  EnsureApp();
  if (g_cursorCache.empty()) LoadCursorCache();
  HCURSOR before = GetCursor();
  EXPECT_EQ(SetCursorById(4242), nullptr);
  EXPECT_EQ(GetCursor(), before);
  SetCursorById(2105);
  int shown = ShowCursor(FALSE) + 1;
  ShowCursor(TRUE);
  EXPECT_EQ(SetCursorById(2105), nullptr);  // already shown: nothing, ShowCursor not called
  EXPECT_EQ(ShowCursor(FALSE) + 1, shown);
  ShowCursor(TRUE);
  EXPECT_EQ(SetCursorById(2100), g_cursorCache[2105]);
  EXPECT_EQ(GetCursor(), g_cursorCache[2100]);
}
