// The progress window's picture. Only image painting here: it runs on the status manager's thread,
// where no widget or style may be used.
#include "StatusPicture.h"

#include <QFont>
#include <QFontDatabase>
#include <QPainter>

#include <algorithm>

namespace {
constexpr int kScreenDpi = 96;
constexpr int kFontPoints = 9;
constexpr int kMargin = 6;
constexpr int kMarqueeSteps = 20;  // steps for the block to cross the bar, as in the widget

int PointsToPixels(int points) { return (points * kScreenDpi + 36) / 72; }

QColor SystemColor(int index) {
  const DWORD rgb = GetSysColor(index);
  return QColor(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
}
}  // namespace

QSize StatusPictureSize() { return QSize(PointsToPixels(250), PointsToPixels(75)); }

QString StatusFontFamily() {
  const QStringList families = QFontDatabase::families();
  for (const QString family : {QStringLiteral("Arial"), QStringLiteral("Liberation Sans")})
    if (families.contains(family, Qt::CaseInsensitive)) return family;
  return QStringLiteral("Arial");
}

QImage DrawStatusPicture(const CLXStatusWnd::State& state, const StatusPictureStyle& style) {
  const QSize size = StatusPictureSize();
  QImage image((QSizeF(size) * style.ratio).toSize(), QImage::Format_RGB32);
  image.setDevicePixelRatio(style.ratio);
  QPainter painter(&image);
  const QRect all(QPoint(0, 0), size);
  painter.fillRect(all, SystemColor(COLOR_BTNFACE));
  painter.setPen(SystemColor(COLOR_WINDOWFRAME));
  painter.drawRect(all.adjusted(0, 0, -1, -1));

  const QRect inside = all.adjusted(1 + kMargin, 1 + kMargin, -1 - kMargin, -1 - kMargin);
  const int barHeight = GetSystemMetrics(SM_CYVSCROLL);
  const QRect bar(inside.left(), inside.bottom() + 1 - barHeight, inside.width(), barHeight);
  const QRect text(inside.left(), inside.top(), inside.width(), bar.top() - kMargin - inside.top());

  QFont font(style.family);
  font.setPixelSize(PointsToPixels(kFontPoints));
  painter.setFont(font);
  painter.setPen(SystemColor(COLOR_BTNTEXT));
  painter.drawText(text, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, QString::fromStdWString(state.text.Str()));

  painter.fillRect(bar, SystemColor(COLOR_WINDOW));
  painter.setPen(SystemColor(COLOR_BTNSHADOW));
  painter.drawRect(bar.adjusted(0, 0, -1, -1));
  const QRect groove = bar.adjusted(2, 2, -2, -2);
  const QColor fill = SystemColor(COLOR_HIGHLIGHT);
  if (state.marquee) {
    // A quarter-width block that enters on the left and leaves on the right.
    const int block = groove.width() / 4;
    const int step = state.marqueeStep % kMarqueeSteps;
    const int x = groove.left() - block + step * (groove.width() + block) / (kMarqueeSteps - 1);
    painter.setClipRect(groove);
    painter.fillRect(QRect(x, groove.top(), block, groove.height()), fill);
  } else {
    const int filled = groove.width() * std::clamp(state.position, 0, CLXStatusWnd::kRangeMax) / CLXStatusWnd::kRangeMax;
    painter.fillRect(QRect(groove.left(), groove.top(), filled, groove.height()), fill);
  }
  return image;
}
