// The progress window's widgets and the drawer that shows them for the status manager.
#include "StatusWidget.h"

#include <QApplication>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QStyleOptionProgressBar>

#include <atomic>

namespace {
// System metrics and sizes in points are those of a 96-DPI screen.
constexpr int kScreenDpi = 96;
constexpr int kFontPoints = 9;

int PointsToPixels(int points) { return (points * kScreenDpi + 36) / 72; }

// Rounds the quotient down also for a negative numerator (a window larger than the area).
int FloorHalf(int value) { return value >= 0 ? value / 2 : -((-value + 1) / 2); }

QColor SystemColor(int index) {
  DWORD rgb = GetSysColor(index);
  return QColor(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
}

// Arial where installed, else its metric twin, else whatever the font system substitutes.
QFont StatusFont() {
  QFont font;
  const QStringList families = QFontDatabase::families();
  if (families.contains(QStringLiteral("Arial"), Qt::CaseInsensitive))
    font.setFamily(QStringLiteral("Arial"));
  else if (families.contains(QStringLiteral("Liberation Sans"), Qt::CaseInsensitive))
    font.setFamily(QStringLiteral("Liberation Sans"));
  else
    font.setFamily(QStringLiteral("Arial"));
  font.setPixelSize(PointsToPixels(kFontPoints));
  return font;
}

std::atomic<StatusMainWindowLocator> g_locator{nullptr};
std::atomic<bool> g_installed{false};
QPointer<CLXStatusWidget> g_widget;

// The main window's client area in screen coordinates.
QRect MainWindowArea() {
  QWidget* main = nullptr;
  if (StatusMainWindowLocator locator = g_locator.load()) main = locator();
  if (main == nullptr) main = QApplication::activeWindow();
  if (main != nullptr && main != g_widget.data()) return QRect(main->mapToGlobal(QPoint(0, 0)), main->size());
  if (QScreen* screen = QGuiApplication::primaryScreen()) return screen->availableGeometry();
  return QRect();
}

void DrawStatus(const CLXStatusWnd::State& state) {
  // A state still queued when the drawer was removed must not bring the window back.
  if (!state.exists || !g_installed.load()) {
    delete g_widget.data();
    return;
  }
  if (g_widget == nullptr) g_widget = new CLXStatusWidget();
  if (state.visible && !g_widget->isVisible()) {
    g_widget->CentreOn(MainWindowArea());
    g_widget->show();
    g_widget->raise();
  } else if (!state.visible && g_widget->isVisible()) {
    g_widget->hide();
  }
  g_widget->Apply(state);
}
}  // namespace

CLXMarqueeBar::CLXMarqueeBar(QWidget* parent) : QProgressBar(parent) {
  setRange(0, CLXStatusWnd::kRangeMax);
  setValue(0);
  setTextVisible(false);
  m_timer.setInterval(kMarqueeInterval);
  QObject::connect(&m_timer, &QTimer::timeout, [this]() {
    m_step = (m_step + 1) % kMarqueeSteps;
    update();
  });
}

void CLXMarqueeBar::SetMarquee(bool on) {
  if (on == m_marquee) return;
  m_marquee = on;
  m_step = 0;
  if (on)
    m_timer.start();
  else
    m_timer.stop();
  update();
}

void CLXMarqueeBar::paintEvent(QPaintEvent* event) {
  if (!m_marquee) {
    QProgressBar::paintEvent(event);
    return;
  }
  QPainter painter(this);
  QStyleOptionProgressBar option;
  initStyleOption(&option);
  option.progress = option.minimum;
  style()->drawControl(QStyle::CE_ProgressBarGroove, &option, &painter, this);
  // A quarter-width block that enters on the left and leaves on the right.
  const QRect inner = rect().adjusted(2, 2, -2, -2);
  const int block = inner.width() / 4;
  const int x = inner.left() - block + m_step * (inner.width() + block) / (kMarqueeSteps - 1);
  painter.setClipRect(inner);
  painter.fillRect(QRect(x, inner.top(), block, inner.height()), palette().highlight());
}

CLXStatusWidget::CLXStatusWidget()
    : QFrame(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus) {
  setObjectName(QString::fromLatin1(kObjectName));
  setAttribute(Qt::WA_ShowWithoutActivating);
  setFrameStyle(QFrame::Box | QFrame::Plain);
  setLineWidth(1);
  QPalette face = palette();
  face.setColor(QPalette::Window, SystemColor(COLOR_BTNFACE));
  setPalette(face);
  setAutoFillBackground(true);

  m_text = new QLabel(this);
  m_text->setProperty(kControlIdProperty, CLXStatusWnd::kTextControlId);
  m_text->setFont(StatusFont());
  m_text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  m_text->setWordWrap(true);
  m_bar = new CLXMarqueeBar(this);
  m_bar->setProperty(kControlIdProperty, CLXStatusWnd::kProgressControlId);
  m_bar->SetMarquee(true);

  setFixedSize(PointsToPixels(kWidthPoints), PointsToPixels(kHeightPoints));
  Layout();
}

void CLXStatusWidget::Apply(const CLXStatusWnd::State& state) {
  m_text->setText(QString::fromStdWString(state.text.Str()));
  m_bar->SetMarquee(state.marquee);
  if (!state.marquee) m_bar->setValue(state.position);
}

void CLXStatusWidget::CentreOn(const QRect& area) {
  move(area.left() + FloorHalf(area.width() - width()), area.top() + FloorHalf(area.height() - height()));
}

void CLXStatusWidget::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  Layout();
}

void CLXStatusWidget::Layout() {
  const QRect inside = contentsRect().adjusted(kMargin, kMargin, -kMargin, -kMargin);
  const int barHeight = GetSystemMetrics(SM_CYVSCROLL);
  const QRect bar(inside.left(), inside.bottom() + 1 - barHeight, inside.width(), barHeight);
  m_bar->setGeometry(bar);
  m_text->setGeometry(QRect(inside.left(), inside.top(), inside.width(), bar.top() - kMargin - inside.top()));
}

void InstallStatusWindowDrawer(StatusMainWindowLocator locator) {
  g_locator = locator;
  g_installed = true;
  CLXStatusWnd::SetDrawer(DrawStatus);
}

void RemoveStatusWindowDrawer() {
  CLXStatusWnd::SetDrawer(nullptr);
  g_installed = false;
  g_locator = nullptr;
  delete g_widget.data();
}

CLXStatusWidget* GetStatusWidget() { return g_widget.data(); }
