// qlwdocbuild: lays out one of the program's HTML documents (resources/docs) on A4 pages and
// writes it as PDF with Qt's own writer. Runs at build time, offscreen.
//
//   qlwdocbuild SOURCE.html OUT.pdf
//
// Pictures are found beside SOURCE. A picture the page names but the folder lacks fails the run,
// so a document never ships with holes in it.
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QAbstractTextDocumentLayout>
#include <QColor>
#include <QPainter>
#include <QTextBlock>
#include <QTextFrame>
#include <QTextLayout>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTextDocument>
#include <QUrl>

#include <algorithm>
#include <cstdio>

namespace {
// A document whose pictures come from its own folder only.
class LocalDocument : public QTextDocument {
 public:
  explicit LocalDocument(const QString& folder) : m_folder(folder) {}
  QStringList missing;

 protected:
  QVariant loadResource(int type, const QUrl& name) override {
    if (type != QTextDocument::ImageResource) return QTextDocument::loadResource(type, name);
    const QString path = m_folder + QLatin1Char('/') + name.path();
    QImage image(path);
    if (image.isNull()) {
      missing << name.toString();
      return QVariant();
    }
    return image;
  }

 private:
  QString m_folder;
};
}  // namespace

// Draws the lines on `onPage` of a paragraph of the main flow that began on an earlier page;
// returns where the rest of the page starts (its top when no paragraph runs into it).
double DrawContinuedParagraph(QTextDocument& document, QPainter& painter, const QRectF& onPage) {
  QAbstractTextDocumentLayout* layout = document.documentLayout();
  for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
    if (document.frameAt(block.position()) != document.rootFrame()) continue;
    const QRectF r = layout->blockBoundingRect(block);
    if (r.top() >= onPage.top()) break;
    if (r.bottom() <= onPage.top()) continue;
    const QTextLayout* lines = block.layout();
    const QPointF origin = r.topLeft() - lines->boundingRect().topLeft();
    for (int i = 0; i < lines->lineCount(); ++i) {
      const QTextLine line = lines->lineAt(i);
      const double top = origin.y() + line.y();
      if (top >= onPage.top() && top < onPage.bottom()) line.draw(&painter, origin);
    }
    return std::min(r.bottom(), onPage.bottom());
  }
  return onPage.top();
}

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: qlwdocbuild SOURCE.html OUT.pdf\n");
    return 2;
  }
  const QString source = QString::fromLocal8Bit(argv[1]);
  const QString output = QString::fromLocal8Bit(argv[2]);
  QFile in(source);
  if (!in.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "qlwdocbuild: cannot read %s\n", argv[1]);
    return 1;
  }
  const QString html = QString::fromUtf8(in.readAll());

  LocalDocument document(QFileInfo(source).absolutePath());
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPointSizeF(9.5);
  document.setDefaultFont(font);
  document.setDefaultStyleSheet(QStringLiteral(
      "h1 { font-size: 20pt; color: #1d3f6e; }"
      "h2 { font-size: 14pt; color: #1d3f6e; margin-top: 14px; }"
      "h3 { font-size: 11pt; color: #1d3f6e; margin-top: 10px; }"
      "p, li { line-height: 125%; }"
      "table { border-collapse: collapse; }"
      "th { background-color: #e4ebf4; text-align: left; }"
      "td, th { padding: 3px; }"
      ".caption { font-size: 8pt; color: #444444; }"
      ".key { font-family: 'DejaVu Sans Mono'; }"
      ".step { font-weight: bold; color: #1d3f6e; }"
      "table.figure { margin-top: 6px; margin-bottom: 8px; }"));
  document.setHtml(html);
  const QRegularExpression title(QStringLiteral("<title>([^<]*)</title>"));
  const QString name = title.match(html).captured(1);

  QPdfWriter pdf(output);
  pdf.setTitle(name);
  pdf.setCreator(QStringLiteral("Quillonographic"));
  pdf.setResolution(300);
  pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(20, 18, 20, 14),
                                QPageLayout::Millimeter));
  // The document is laid out in 96-dpi units on pages of the paint area less a footer line, and
  // drawn page by page scaled to the writer's resolution, with the page number in the footer.
  const double scale = pdf.resolution() / 96.0;
  const QRectF area = pdf.pageLayout().paintRectPixels(pdf.resolution());
  const double footer = 24.0;
  const QSizeF page(area.width() / scale, area.height() / scale - footer);
  document.setPageSize(page);
  const int pages = document.pageCount();
  QPainter painter(&pdf);
  QFont small = font;
  small.setPixelSize(11);  // in the 96-dpi units the painter is scaled to
  for (int p = 0; p < pages; ++p) {
    if (p > 0) pdf.newPage();
    painter.save();
    painter.scale(scale, scale);
    painter.translate(0, -p * page.height());
    QAbstractTextDocumentLayout::PaintContext context;
    const QRectF onPage(0, p * page.height(), page.width(), page.height());
    // The layout draws whole every block the clip touches: without the painter's own clip, a
    // paragraph across a page break shows its lines in the margins of both pages.
    painter.setClipRect(onPage);
    // It also writes the text of the last line above its clip, hidden by the painter's clip but
    // still found by a search or a copy: a paragraph begun on the page before has its lines on
    // this page drawn here one by one, and the layout draws only what comes after it.
    const double below = DrawContinuedParagraph(document, painter, onPage);
    context.clip = QRectF(0, below, page.width(), onPage.bottom() - below);
    document.documentLayout()->draw(&painter, context);
    painter.restore();
    painter.save();
    painter.scale(scale, scale);
    painter.setFont(small);
    painter.setPen(QColor(0x55, 0x55, 0x55));
    const QRectF foot(0, page.height() + 6, page.width(), footer - 6);
    painter.drawText(foot, Qt::AlignLeft | Qt::AlignVCenter, name);
    painter.drawText(foot, Qt::AlignRight | Qt::AlignVCenter, QString::number(p + 1) + QStringLiteral(" / ") +
                                                                   QString::number(pages));
    painter.restore();
  }
  painter.end();
  if (!document.missing.isEmpty()) {
    std::fprintf(stderr, "qlwdocbuild: %s names pictures that are missing: %s\n", argv[1],
                 qPrintable(document.missing.join(QStringLiteral(", "))));
    QFile::remove(output);
    return 1;
  }
  std::printf("%s: %d pages\n", argv[2], pages);
  return 0;
}
