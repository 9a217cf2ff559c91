#include "GraphicsPaneBand.h"

#include <QBoxLayout>
#include <QFontMetrics>
#include <QLineEdit>
#include <QPainter>
#include <QWidget>

#include <algorithm>

#include "GdiPlus.h"
#include "GdiQt.h"
#include "LXGdiplus.h"
#include "Resources.h"
#include "Wnd.h"
#include "WndQt.h"

namespace {
const char kBandLayoutName[] = "qlwGraphicsBand";
constexpr int kBandMargin = 6;
constexpr int kTextPadding = 16;

QWidget* Widget(CWnd* window) { return window && window->m_hWnd ? qlw::WidgetOf(window->m_hWnd) : nullptr; }

// A transparent child over the canvas that draws only the feedback frame, so the canvas's own
// paints neither erase it nor need to know of it.
class DropFrame : public QWidget {
 public:
  explicit DropFrame(QWidget* canvas) : QWidget(canvas) {
    setObjectName(QStringLiteral("qlwDropFrame"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_TranslucentBackground);
  }
  RECT frame{0, 0, 0, 0};

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    HDC dc = qlw::CreatePainterDC(&painter, RECT{0, 0, width(), height()});
    {
      Gdiplus::Graphics graphics(dc);
      DrawFocusFrame(graphics, frame);
    }
    qlw::DeletePainterDC(dc);
  }
};
}  // namespace

namespace qlwplot {
void LayOutBand(CWnd* pane, int bandHeight, std::initializer_list<CWnd*> controls) {
  QWidget* host = Widget(pane);
  if (!host) return;
  if (host->layout() && host->layout()->objectName() == QLatin1String(kBandLayoutName)) {
    host->layout()->activate();
    return;
  }
  delete host->layout();
  auto* column = new QVBoxLayout;
  column->setObjectName(QLatin1String(kBandLayoutName));
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  auto* row = new QHBoxLayout;
  row->setContentsMargins(kBandMargin, 0, kBandMargin, 0);
  row->setSpacing(kBandMargin);
  // The band keeps its height; the controls sit at its right, centred in it.
  row->addSpacerItem(new QSpacerItem(0, bandHeight, QSizePolicy::Expanding, QSizePolicy::Fixed));
  for (CWnd* control : controls)
    if (QWidget* w = Widget(control)) row->addWidget(w, 0, Qt::AlignVCenter);
  column->addLayout(row);
  column->addStretch(1);
  host->setLayout(column);
  column->activate();
}

void FitBandControl(CWnd* control, int extraWidth) {
  QWidget* w = Widget(control);
  if (!w) return;
  CString text;
  control->GetWindowText(text);
  const int height = std::min(QLineEdit().sizeHint().height(), 3 * GetSystemMetrics(SM_CYMENU) / 2);
  const int width = QFontMetrics(w->font()).horizontalAdvance(QString::fromStdWString(text.GetString())) + extraWidth + kTextPadding;
  w->setFixedSize(width, height);
}

void ShowDropFrame(CWnd* canvas, const RECT* frame) {
  QWidget* host = Widget(canvas);
  if (!host) return;
  auto* overlay = host->findChild<DropFrame*>(QStringLiteral("qlwDropFrame"), Qt::FindDirectChildrenOnly);
  if (!frame) {
    if (overlay) overlay->hide();
    return;
  }
  if (!overlay) overlay = new DropFrame(host);
  const QPoint origin = qlw::ClientOrigin(canvas->m_hWnd);
  overlay->setGeometry(QRect(origin, host->size()));
  overlay->frame = *frame;
  overlay->raise();
  overlay->show();
  overlay->update();
}
}  // namespace qlwplot
