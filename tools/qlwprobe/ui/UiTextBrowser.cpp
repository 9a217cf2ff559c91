// Text browsers (the help viewer's page): `print` gives the page's address, `link ID TEXT` clicks
// the anchor whose text is TEXT, as the user would; and a running update check keeps a line open.
#include "UiApi.h"
#include "UpdateCheck.h"

#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QUrl>

namespace qlwui {
namespace {
QTextBrowser* BrowserIn(QWidget* widget) {
  if (auto* browser = qobject_cast<QTextBrowser*>(widget)) return browser;
  return widget ? widget->findChild<QTextBrowser*>() : nullptr;
}

bool DescribeTextBrowser(HWND, QWidget* widget, std::string& text) {
  QTextBrowser* browser = BrowserIn(widget);
  if (!browser) return false;
  text = browser->source().toString(QUrl::FullyEncoded).toStdString();
  return true;
}

bool UpdateCheckSettled() { return !CUpdateCheck::IsRunning(); }

struct Registration {
  Registration() {
    AddPriorityDescriber(&DescribeTextBrowser);
    // A check for updates waits for its server in a loop of its own: the line is not over yet.
    AddSettledCheck(&UpdateCheckSettled);
  }
} g_registration;

void RunLink(const Line& line) {
  const std::string idText = line.Word(1, "control id");
  if (line.words.size() < 3) throw Failure("missing link text");
  const QString wanted = QString::fromStdString(line.Rest(2));
  QTextBrowser* browser = BrowserIn(WidgetOfControl(FindControl(idText), idText));
  if (!browser) throw Failure("control " + idText + " is no text browser");
  QTextDocument* document = browser->document();
  for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      if (!fragment.charFormat().isAnchor() || fragment.text().trimmed() != wanted) continue;
      QTextCursor cursor(document);
      cursor.setPosition(fragment.position() + fragment.length() / 2);
      browser->setTextCursor(cursor);
      browser->ensureCursorVisible();
      const QRect where = browser->cursorRect(cursor);
      ClickAt(browser->viewport(), QPoint(where.center().x(), where.center().y()));
      return;
    }
  }
  throw Failure("no link \"" + line.Rest(2) + "\" in " + idText);
}
}  // namespace
}  // namespace qlwui

QLW_UI_COMMAND(link, "link", "ID TEXT", qlwui::RunLink);
