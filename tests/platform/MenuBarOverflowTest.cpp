// A menu bar's overflow button: made without Qt loading its image plug-ins, and its icon, once
// used, the style's own.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QMenuBar>
#include <QProxyStyle>
#include <QStyleOption>

#include <memory>

#include "Menus.h"
#include "WidgetApp.h"

namespace {
bool ImagePluginLoaded() {
  QFile maps(QStringLiteral("/proc/self/maps"));
  if (!maps.open(QIODevice::ReadOnly)) return false;
  return maps.readAll().contains("/imageformats/");
}

QImage Pixels(const QIcon& icon, int size, qreal ratio) {
  return icon.pixmap(QSize(size, size), ratio).toImage().convertToFormat(QImage::Format_ARGB32);
}
}  // namespace

TEST(MenuBarOverflow, BarLoadsNoImagePluginAndItsIconIsTheStyles) {
  qlwtest::EnsureWidgetApp("test_platform");
  // Another test in this process may have read an image already (ctest runs each alone).
  if (ImagePluginLoaded()) GTEST_SKIP() << "image plug-ins already loaded in this process";
  qlw::DeferMenuBarOverflowIcon();
  qlw::DeferMenuBarOverflowIcon();  // a second call wraps nothing more
  auto bar = std::make_unique<QMenuBar>();
  bar->addMenu(QStringLiteral("File"));
  bar->resize(400, 30);
  bar->show();
  QApplication::processEvents();
  EXPECT_FALSE(ImagePluginLoaded());

  auto* proxy = dynamic_cast<QProxyStyle*>(QApplication::style());
  ASSERT_NE(proxy, nullptr);
  ASSERT_EQ(dynamic_cast<QProxyStyle*>(proxy->baseStyle()), nullptr);

  QStyle* base = proxy->baseStyle();
  for (auto which : {QStyle::SP_ToolBarHorizontalExtensionButton, QStyle::SP_ToolBarVerticalExtensionButton})
    for (Qt::LayoutDirection direction : {Qt::LeftToRight, Qt::RightToLeft}) {
      QStyleOption option;
      option.direction = direction;
      const QIcon deferred = proxy->standardIcon(which, &option, nullptr);
      const QIcon own = base->standardIcon(which, &option, nullptr);
      EXPECT_FALSE(deferred.isNull());
      EXPECT_EQ(deferred.availableSizes(), own.availableSizes());
      for (int size : {16, 24, 32})
        for (qreal ratio : {1.0, 2.0}) {
          SCOPED_TRACE(testing::Message() << which << " " << direction << " " << size << " @" << ratio);
          const QImage got = Pixels(deferred, size, ratio), want = Pixels(own, size, ratio);
          ASSERT_FALSE(want.isNull());
          EXPECT_EQ(got, want);
        }
    }
}
