// The progress window on Qt widgets: the status manager thread decides (StatusMgr.h), this draws
// its decisions on the user-interface thread.
#pragma once
#include "StatusMgr.h"

#include <QFrame>
#include <QProgressBar>
#include <QTimer>

class QLabel;

// A progress bar with a range of 0..1000 and a marquee mode: a block that moves every 250 ms.
class CLXMarqueeBar : public QProgressBar {
 public:
  static constexpr int kMarqueeInterval = 250;  // ms between marquee steps
  static constexpr int kMarqueeSteps = 20;      // steps for the block to cross the bar

  explicit CLXMarqueeBar(QWidget* parent);
  void SetMarquee(bool on);
  bool IsMarquee() const { return m_marquee; }
  // Interval of the running marquee animation, 0 when it is stopped.
  int MarqueeInterval() const { return m_timer.isActive() ? m_timer.interval() : 0; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  bool m_marquee = false;
  int m_step = 0;
  QTimer m_timer;
};

// The topmost, untitled tool window with a text line (control 1401) and a progress bar (1400).
class CLXStatusWidget : public QFrame {
 public:
  static constexpr int kWidthPoints = 250;
  static constexpr int kHeightPoints = 75;
  static constexpr int kMargin = 6;
  static constexpr const char* kObjectName = "Quillonographic-CLXStatusWnd";
  static constexpr const char* kControlIdProperty = "controlId";

  CLXStatusWidget();
  // Takes over what the manager decided: text, marquee and bar position.
  void Apply(const CLXStatusWnd::State& state);
  // Places the window's centre on the area's centre, positions rounded down.
  void CentreOn(const QRect& area);

  QLabel* GetText() const { return m_text; }
  CLXMarqueeBar* GetBar() const { return m_bar; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Layout();

  QLabel* m_text = nullptr;
  CLXMarqueeBar* m_bar = nullptr;
};

// The main window whose client area the progress window is centred on; null when there is none.
using StatusMainWindowLocator = QWidget* (*)();

// Installs the drawer that shows, moves, updates and destroys the progress window on the
// user-interface thread. Without a locator (or when it answers null) the active window serves,
// else the primary screen's available area. Call once at start-up, after the QApplication exists.
void InstallStatusWindowDrawer(StatusMainWindowLocator locator = nullptr);
// Removes the drawer and destroys a window it still shows.
void RemoveStatusWindowDrawer();
// The progress window the drawer shows now, or null.
CLXStatusWidget* GetStatusWidget();
