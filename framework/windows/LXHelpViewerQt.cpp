// The help viewer's browser: a QTextBrowser in control 1155 whose every navigation is first put to
// the viewer, and the row of buttons above it with Home at the right.
#include <QBoxLayout>
#include <QPointer>
#include <QTextBrowser>
#include <QUrl>

#include "LXHelpViewer.h"
#include "WndQt.h"

namespace {
class HelpBrowser : public QTextBrowser {
 public:
  HelpBrowser(CLXHelpViewer* viewer, QWidget* parent) : QTextBrowser(parent), m_viewer(viewer) {
    setOpenExternalLinks(false);
    setOpenLinks(true);
    connect(this, &QTextBrowser::backwardAvailable, this,
            [this](bool on) { m_viewer->CommandStateChange(CLXHelpViewer::kNavigateBack, on); });
    connect(this, &QTextBrowser::forwardAvailable, this,
            [this](bool on) { m_viewer->CommandStateChange(CLXHelpViewer::kNavigateForward, on); });
  }

 protected:
  void doSetSource(const QUrl& url, QTextDocument::ResourceType type) override {
    const QString text = url.isLocalFile() ? url.toString(QUrl::FullyEncoded) : url.toString();
    if (!m_viewer->BeforeNavigate(CString(text.toStdWString().c_str()))) return;
    // Scripts are allowed but there is nothing here to run them.
    if (url.scheme() == QLatin1String("javascript")) return;
    QTextBrowser::doSetSource(url, type);
  }

 private:
  CLXHelpViewer* m_viewer;
};

HelpBrowser* BrowserOf(void* browser) { return static_cast<HelpBrowser*>(browser); }

QUrl UrlOf(const CString& text) {
  const QString s = QString::fromStdWString(std::wstring(text.GetString()));
  if (s.startsWith(QLatin1Char('/'))) return QUrl::fromLocalFile(s);
  return QUrl(s);
}
}  // namespace

namespace LXHelpViewerQt {
void* AttachBrowser(CLXHelpViewer* viewer, HWND control, HWND back, HWND forward, HWND home) {
  QWidget* host = qlw::WidgetOf(control);
  QWidget* dialog = qlw::WidgetOf(viewer->m_hWnd);
  if (!host || !dialog) return nullptr;
  auto* browser = new HelpBrowser(viewer, host);
  auto* fill = new QVBoxLayout(host);
  fill->setContentsMargins(0, 0, 0, 0);
  fill->addWidget(browser);
  // Back and Fwd at the left, Home at the right, the browser below taking the rest.
  // Owner-drawn buttons ask for no size of their own: each takes its image's with a margin.
  auto* buttons = new QHBoxLayout;
  auto add = [buttons](HWND button) {
    if (QWidget* w = qlw::WidgetOf(button)) {
      w->setFixedSize(32, 28);
      buttons->addWidget(w);
    }
  };
  add(back);
  add(forward);
  buttons->addStretch(1);
  add(home);
  auto* column = new QVBoxLayout;
  column->addLayout(buttons);
  column->addWidget(host, 1);
  delete dialog->layout();
  dialog->setLayout(column);
  dialog->resize(QSize(560, 480));
  return browser;
}

void Navigate(void* browser, const CString& url) {
  if (browser) BrowserOf(browser)->setSource(UrlOf(url));
}

void GoBack(void* browser) {
  if (browser) BrowserOf(browser)->backward();
}

void GoForward(void* browser) {
  if (browser) BrowserOf(browser)->forward();
}

CString LocationURL(void* browser) {
  if (!browser) return CString();
  return CString(BrowserOf(browser)->source().toString(QUrl::FullyEncoded).toStdWString().c_str());
}
}  // namespace LXHelpViewerQt
