// The progress window's picture drawn from the manager's state into an image, on any thread: the
// button-face window with its frame, the text line above and the bar below (a moving block in
// marquee mode).
#pragma once
#include "StatusMgr.h"

#include <QImage>
#include <QString>

struct StatusPictureStyle {
  QString family;    // the text's font family, looked up on the user-interface thread
  qreal ratio = 1;   // device pixels per logical pixel
};

// 250 x 75 points at 96 DPI, in logical pixels.
QSize StatusPictureSize();
QImage DrawStatusPicture(const CLXStatusWnd::State& state, const StatusPictureStyle& style);
// Arial where installed, else its metric twin; call on the user-interface thread.
QString StatusFontFamily();
