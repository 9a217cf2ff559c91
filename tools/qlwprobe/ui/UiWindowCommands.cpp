// Line commands on the window and the program: `dump`, `shot`, `wait`, `resize`, `clipboard` and
// `answer`.
#include "UiApi.h"
#include "UiRunnerState.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QPixmap>
#include <QSvgRenderer>
#include <QWidget>

#include <filesystem>

#include "DiffractWnd.h"
#include "Probe.h"
#include "WndQt.h"

namespace qlwui {
namespace {
void RunDump(const Line&) {
  for (const std::string& line : qlwprobe::DocumentLines(*Document(), true)) Print(line);
}

void RunShot(const Line& line) {
  std::filesystem::path path = line.Word(1, "file");
  if (!ShotsFolder().empty() && path.is_relative()) path = std::filesystem::path(ShotsFolder()) / path;
  QWidget* window = nullptr;
  if (line.words.size() > 2 && line.words[2] == "loupe") {
    window = LoupeWindow();
  } else if (line.words.size() > 2) {
    if (line.words[2] != "dialog") throw Failure("bad shot target \"" + line.words[2] + "\"");
    window = TopmostDialog();
    if (!window) window = FrontPalette();
    if (!window) throw Failure("no dialog is up");
  } else {
    window = qlw::WidgetOf(MainWindow()->m_hWnd);
    if (!window) throw Failure("the main window has no widget");
  }
  if (!window->grab().save(QString::fromStdString(path.string()), "PNG"))
    throw Failure("cannot write " + path.string());
}

void RunWait(const Line& line) {
  const int ms = ParseInt(line.Word(1, "milliseconds"), "milliseconds");
  if (ms < 0) throw Failure("bad milliseconds \"" + line.words[1] + "\"");
  WaitBeforeNextLine(ms);
}

void RunResize(const Line& line) {
  if (line.Word(1, "width") == "dialog") {
    const int width = ParseInt(line.Word(2, "width"), "width");
    const int height = ParseInt(line.Word(3, "height"), "height");
    if (width <= 0 || height <= 0) throw Failure("bad size");
    ResizeDialog(width, height);
    return;
  }
  const int width = ParseInt(line.Word(1, "width"), "width");
  const int height = ParseInt(line.Word(2, "height"), "height");
  if (width <= 0 || height <= 0) throw Failure("bad size");
  QWidget* window = qlw::WidgetOf(MainWindow()->m_hWnd);
  if (!window) throw Failure("the main window has no widget");
  window->resize(width, height);
}

std::string OneLine(const QString& text) {
  QString out = text;
  out.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\n'), QStringLiteral(" | "));
  return out.toStdString();
}

void RunClipboard(const Line&) {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  if (data && data->hasImage()) {
    const QImage image = qvariant_cast<QImage>(data->imageData());
    Print("clipboard: image " + std::to_string(image.width()) + " x " + std::to_string(image.height()));
  } else if (data && data->hasFormat(QStringLiteral("image/png")) && !data->hasFormat(QStringLiteral("image/svg+xml"))) {
    // A bitmap copied by the program itself travels as PNG.
    const QImage image = QImage::fromData(data->data(QStringLiteral("image/png")));
    Print("clipboard: image " + std::to_string(image.width()) + " x " + std::to_string(image.height()));
  } else if (data && data->hasFormat(QStringLiteral("image/svg+xml"))) {
    QSvgRenderer svg(data->data(QStringLiteral("image/svg+xml")));
    const QSize size = svg.defaultSize();
    Print("clipboard: image " + std::to_string(size.width()) + " x " + std::to_string(size.height()));
  } else if (data && data->hasText()) {
    Print("clipboard: text \"" + OneLine(data->text()) + "\"");
  } else {
    Print("clipboard: empty");
  }
}

void RunAnswer(const Line& line) {
  const std::string& word = line.Word(1, "answer");
  if (word == "font") return SetFontAnswer(line);
  if (word != "yes" && word != "no" && word != "ok" && word != "cancel") throw Failure("bad answer \"" + word + "\"");
  State().answer = word;
}
}  // namespace
}  // namespace qlwui

QLW_UI_COMMAND(dump, "dump", "", qlwui::RunDump);
QLW_UI_COMMAND(shot, "shot", "FILE [dialog|loupe]", qlwui::RunShot);
QLW_UI_COMMAND(wait, "wait", "MS", qlwui::RunWait);
QLW_UI_COMMAND(resize, "resize", "[dialog] W H", qlwui::RunResize);
QLW_UI_COMMAND(clipboard, "clipboard", "", qlwui::RunClipboard);
QLW_UI_COMMAND(answer, "answer", "yes|no|ok|cancel|font FAMILY... POINTS [bold] [italic]|font cancel", qlwui::RunAnswer);
