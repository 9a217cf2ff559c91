// The windows that the wait cursor goes on while the user-interface thread works, and their
// drawing before that work begins.
#include "ShownWindows.h"

#include "GuiTestApp.h"

#include <QDialog>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

namespace {
using qlwtest::PumpUntil;

uint32_t IdOf(QWidget& widget) { return static_cast<uint32_t>(widget.winId()); }

struct Counted : QWidget {
  int paints = 0;
  void paintEvent(QPaintEvent*) override { ++paints; }
};

class ShownWindowsFixture : public testing::Test {
 protected:
  void SetUp() override {
    qlwtest::EnsureGuiApp();
    StartShownWindows();
  }
  void TearDown() override { StopShownWindows(); }

  static bool ShowExposed(QWidget& widget) {
    widget.show();
    return PumpUntil([&] { return widget.windowHandle()->isExposed(); });
  }
};
}  // namespace

// Work that follows a dialog's OK keeps the events of its closing (the main window's activation)
// from being handled: the dialog is out of the list at once all the same.
TEST_F(ShownWindowsFixture, ADialogClosedAMomentAgoNoLongerStandsForTheProgram) {
  QWidget main;
  main.resize(400, 300);
  ASSERT_TRUE(ShowExposed(main));
  QDialog dialog(&main);
  dialog.show();
  dialog.activateWindow();
  ASSERT_TRUE(PumpUntil([&] { return QGuiApplication::focusWindow() == dialog.windowHandle(); }));
  ASSERT_FALSE(ShownWindowIds().empty());
  EXPECT_EQ(ShownWindowIds().front(), IdOf(dialog)) << "the active dialog comes first";
  // A tip shown meanwhile neither stands for the program nor needs the cursor.
  QWidget tip(nullptr, Qt::ToolTip);
  tip.resize(40, 20);
  tip.show();
  dialog.accept();
  EXPECT_EQ(ShownWindowIds(), std::vector<uint32_t>{IdOf(main)});
  main.hide();
  EXPECT_TRUE(ShownWindowIds().empty());
}

// Drawn by the call itself, with no event loop after it: the closed dialog's picture is gone
// before the work.
TEST_F(ShownWindowsFixture, TheShownWindowsAreDrawnBeforeTheWork) {
  Counted main;
  main.resize(400, 300);
  ASSERT_TRUE(ShowExposed(main));
  QDialog dialog(&main);
  ASSERT_TRUE(ShowExposed(dialog));
  const int before = main.paints;
  dialog.accept();
  DrawShownWindowsBeforeWork(nullptr);
  EXPECT_GT(main.paints, before);
}
