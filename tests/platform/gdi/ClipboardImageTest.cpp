// Images on the clipboard: packed DIBs in and out, another program's PNG, malformed blocks.
#include "Clipboard.h"
#include "Gdi.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

#include <cstring>

namespace {
HGLOBAL Block(const QByteArray& bytes) {
  HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, SIZE_T(bytes.size()));
  std::memcpy(GlobalLock(mem), bytes.constData(), size_t(bytes.size()));
  GlobalUnlock(mem);
  return mem;
}
QByteArray PackedDib(int w, int h, const std::vector<uint32_t>& rowsBottomUp) {
  BITMAPINFOHEADER header{sizeof(BITMAPINFOHEADER), w, h, 1, 32, BI_RGB, DWORD(w * h * 4), 3779, 3779, 0, 0};
  QByteArray bytes(reinterpret_cast<const char*>(&header), sizeof header);
  bytes.append(reinterpret_cast<const char*>(rowsBottomUp.data()), qsizetype(rowsBottomUp.size() * 4));
  return bytes;
}
}  // namespace

TEST(ClipboardImages, PackedDibGoesOutAsPngAndComesBackUnchanged) {
  ASSERT_TRUE(qobject_cast<QGuiApplication*>(QCoreApplication::instance()));
  const QByteArray dib = PackedDib(2, 2, {0xFF0000FFu, 0xFF00FF00u, 0xFFFF0000u, 0x80FFFFFFu});
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  ASSERT_TRUE(SetClipboardData(CF_DIB, Block(dib)));
  CloseClipboard();
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  QImage png = QImage::fromData(data->data(QStringLiteral("image/png")));
  ASSERT_EQ(png.size(), QSize(2, 2));
  EXPECT_EQ(png.pixel(0, 0), 0xFFFF0000u);  // the top row is the last in a bottom-up DIB
  EXPECT_EQ(png.pixel(0, 1), 0xFF0000FFu);
  EXPECT_EQ(data->data(QStringLiteral("application/x-qlw-dib")), dib);
  ASSERT_TRUE(OpenClipboard(nullptr));
  HANDLE back = GetClipboardData(CF_DIB);
  ASSERT_TRUE(back);
  EXPECT_EQ(QByteArray(static_cast<const char*>(GlobalLock(back)), qsizetype(GlobalSize(back))), dib);
  GlobalUnlock(back);
  CloseClipboard();
}

TEST(ClipboardImages, AnotherProgramsPngReadsAsPackedDib) {
  QImage image(3, 2, QImage::Format_ARGB32);
  image.fill(0xFF102030u);
  image.setPixel(0, 0, 0xFFFFFFFFu);
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  auto* data = new QMimeData;
  data->setData(QStringLiteral("image/png"), png);
  QGuiApplication::clipboard()->setMimeData(data);
  ASSERT_TRUE(OpenClipboard(nullptr));
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_DIB));
  HANDLE mem = GetClipboardData(CF_DIB);
  ASSERT_TRUE(mem);
  ASSERT_EQ(GlobalSize(mem), 40u + 24u);
  const auto* h = static_cast<const BITMAPINFOHEADER*>(GlobalLock(mem));
  EXPECT_EQ(h->biWidth, 3);
  EXPECT_EQ(h->biHeight, 2);
  EXPECT_EQ(h->biBitCount, 32);
  const auto* rows = reinterpret_cast<const uint32_t*>(reinterpret_cast<const char*>(h) + 40);
  EXPECT_EQ(rows[3], 0xFFFFFFFFu);  // top-left pixel, in the last row
  EXPECT_EQ(rows[0], 0xFF102030u);
  GlobalUnlock(mem);
  CloseClipboard();
}

TEST(ClipboardImages, MalformedDibIsRefused) {
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  QByteArray tooShort = PackedDib(4, 4, {1, 2, 3});
  HGLOBAL mem = Block(tooShort);
  EXPECT_EQ(SetClipboardData(CF_DIB, mem), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_DATA));
  GlobalFree(mem);  // refused: still the caller's
  QByteArray header = PackedDib(1, 1, {0});
  header[14] = 24;  // 24 bits per pixel: not a 32-bit DIB
  mem = Block(header);
  EXPECT_EQ(SetClipboardData(CF_DIB, mem), nullptr);
  GlobalFree(mem);
  CloseClipboard();
}
