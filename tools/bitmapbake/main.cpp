// qlwbitmapbake: draws each of the program's SVG bitmaps at its own size, as the program would on
// first use, and writes them all into one file that the program carries uncompressed. Drawing
// them took a tenth of the program's start. Runs at build time, offscreen.
//
//   qlwbitmapbake OUT SVG...
//
// OUT: "QLWBAKE1", a count, then for each bitmap its file name's length and name, its width and
// height, and its ARGB32 rows (all numbers 32-bit, this machine's order). An SVG that does not
// parse is left out: the program then tries it itself, and passes over it as before.
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdint>
#include <cstdio>

namespace {
void PutNumber(QByteArray& out, uint32_t value) { out.append(reinterpret_cast<const char*>(&value), sizeof value); }
}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: qlwbitmapbake OUT SVG...\n");
    return 2;
  }
  QByteArray body;
  uint32_t count = 0;
  for (int i = 2; i < argc; ++i) {
    const QString path = QString::fromLocal8Bit(argv[i]);
    QSvgRenderer svg(path);
    if (!svg.isValid()) continue;
    QImage image(svg.defaultSize(), QImage::Format_ARGB32);
    image.fill(0u);
    {
      QPainter p(&image);
      svg.render(&p);
    }
    const QByteArray name = QFileInfo(path).fileName().toUtf8();
    PutNumber(body, static_cast<uint32_t>(name.size()));
    body.append(name);
    PutNumber(body, static_cast<uint32_t>(image.width()));
    PutNumber(body, static_cast<uint32_t>(image.height()));
    for (int y = 0; y < image.height(); ++y)
      body.append(reinterpret_cast<const char*>(image.constScanLine(y)), image.width() * 4);
    ++count;
  }
  QByteArray out("QLWBAKE1");
  PutNumber(out, count);
  out.append(body);
  QFile file(QString::fromLocal8Bit(argv[1]));
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(out) != out.size() || !file.flush()) {
    std::fprintf(stderr, "qlwbitmapbake: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
