// `richedit (--text T | --file P) [--click] [--shot PNG]`: fills the rich-edit viewer and prints
// what it shows: the result, the format, the paragraphs joined by " | " and each link; --click
// clicks every link (a launch prints instead of running), --shot saves the viewer as PNG.
#include "Probe.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "LXRichEdit.h"
#include "Process.h"
#include "Utf16.h"
#include "WndQt.h"

namespace {
int Usage() {
  std::fprintf(stderr, "usage: qlwprobe richedit (--text T | --file P) [--click] [--shot PNG]\n");
  return 2;
}

std::string Utf8(const std::wstring& text) { return qlw::ToUtf8(text); }

// The anchors of the shown text, in order, with the point at their middle.
struct Anchor {
  QString href;
  QPoint at;
};
std::vector<Anchor> Anchors(QTextEdit* text) {
  std::vector<Anchor> found;
  QTextDocument* document = text->document();
  for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      if (!fragment.charFormat().isAnchor()) continue;
      QTextCursor cursor(document);
      cursor.setPosition(fragment.position() + fragment.length() / 2);
      text->setTextCursor(cursor);
      text->ensureCursorVisible();
      found.push_back({fragment.charFormat().anchorHref(), text->cursorRect(cursor).center()});
    }
  }
  return found;
}

int RunRichEdit(const std::vector<std::string>& args) {
  std::string textArg, fileArg, shot;
  bool haveText = false, haveFile = false, click = false;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--text" && i + 1 < args.size()) {
      textArg = args[++i];
      haveText = true;
    } else if (args[i] == "--file" && i + 1 < args.size()) {
      fileArg = args[++i];
      haveFile = true;
    } else if (args[i] == "--click") {
      click = true;
    } else if (args[i] == "--shot" && i + 1 < args.size()) {
      shot = args[++i];
    } else {
      return Usage();
    }
  }
  if (haveText == haveFile) return Usage();
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  setenv("QLW_QUIET", "1", 0);
  static int argc = 1;
  static char name[] = "qlwprobe";
  static char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  qlw::SetLaunchRecorder([](const qlw::LaunchRecord& record) {
    std::string line = "launch: " + Utf8(record.program);
    for (const std::wstring& a : record.arguments) line += " \"" + Utf8(a) + "\"";
    std::printf("%s\n", line.c_str());
    return true;
  });

  CWnd host;
  host.CreateEx(0, nullptr, L"Rich Edit", WS_OVERLAPPED | WS_CAPTION, RECT{0, 0, 480, 320}, nullptr, 0);
  CLXRichEdit edit;
  edit.Create(WS_VISIBLE | WS_VSCROLL | ES_MULTILINE, RECT{0, 0, 480, 320}, &host, 100);
  edit.Initialise();
  const bool ok = haveText ? edit.SetText(CString(qlw::FromUtf8(textArg).c_str())) : edit.LoadFile(CString(fileArg.c_str()));
  std::printf("result: %s\n", ok ? "true" : "false");
  std::printf("format: %s\n", edit.IsRtf() ? "rtf" : "plain");
  std::printf("text: %s\n", Utf8(edit.GetDocument().Text(L" | ")).c_str());
  auto* text = qobject_cast<QTextEdit*>(qlw::WidgetOf(edit.m_hWnd));
  if (QWidget* window = qlw::WidgetOf(host.m_hWnd)) window->show();
  QApplication::processEvents();
  const std::vector<Anchor> anchors = text ? Anchors(text) : std::vector<Anchor>{};
  for (const Anchor& a : anchors) std::printf("link: %s\n", a.href.toStdString().c_str());
  if (click && text)
    for (const Anchor& a : anchors) {
      const QPointF local(a.at), global(text->viewport()->mapToGlobal(a.at));
      QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
      QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
      QApplication::sendEvent(text->viewport(), &press);
      QApplication::sendEvent(text->viewport(), &release);
    }
  if (text) text->moveCursor(QTextCursor::Start);
  if (!shot.empty()) {
    QWidget* window = qlw::WidgetOf(host.m_hWnd);
    if (!window || !window->grab().save(QString::fromStdString(shot), "PNG")) {
      std::fprintf(stderr, "qlwprobe: cannot write %s\n", shot.c_str());
      return 1;
    }
  }
  qlw::SetLaunchRecorder(nullptr);
  edit.DestroyWindow();
  host.DestroyWindow();
  return ok ? 0 : 1;
}
}  // namespace

QLW_PROBE_COMMAND(richedit, "richedit", "(--text T | --file P) [--click] [--shot PNG]", RunRichEdit);
