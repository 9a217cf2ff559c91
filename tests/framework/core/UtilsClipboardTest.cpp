// CUtils::CopyTextToClipboard: the text alone on the clipboard, as UTF-16 with its terminator.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <string>

#include "LXUtils.h"
#include "WidgetApp.h"

namespace {


}  // namespace

TEST(UtilsClipboard, CopyTextReplacesEveryFormatWithTheText) {
  qlwtest::EnsureWidgetApp("test_core");
  auto* earlier = new QMimeData;
  earlier->setText(QStringLiteral("earlier"));
  earlier->setData(QStringLiteral("application/x-qlw-earlier"), QByteArray("\x01\x02", 2));
  QGuiApplication::clipboard()->setMimeData(earlier);

  const std::wstring text = L"a = 5.431 \u00c5\t\U0001D6FC\r\n";
  ASSERT_TRUE(CUtils::CopyTextToClipboard(nullptr, CString(text.c_str())));

  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  ASSERT_NE(data, nullptr);
  EXPECT_FALSE(data->hasFormat(QStringLiteral("application/x-qlw-earlier")));
  EXPECT_EQ(data->text().toStdWString(), text);

  ASSERT_TRUE(OpenClipboard(nullptr));
  HANDLE mem = GetClipboardData(CF_UNICODETEXT);
  ASSERT_NE(mem, nullptr);
  std::u16string units = qlw::ToUtf16(text);
  ASSERT_EQ(GlobalSize(mem), (units.size() + 1) * sizeof(char16_t));
  const auto* back = static_cast<const char16_t*>(GlobalLock(mem));
  EXPECT_EQ(std::u16string(back, units.size() + 1), units + u'\0');
  GlobalUnlock(mem);
  EXPECT_TRUE(CloseClipboard());
}

TEST(UtilsClipboard, CopyTextToAWindowThatIsGoneLeavesTheClipboard) {
  qlwtest::EnsureWidgetApp("test_core");
  QGuiApplication::clipboard()->setText(QStringLiteral("kept"));
  HWND gone = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x5A5A0));
  EXPECT_FALSE(CUtils::CopyTextToClipboard(gone, CString(L"lost")));
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("kept"));
  // Nothing of the refused attempt stays open in the way of the next one.
  EXPECT_TRUE(CUtils::CopyTextToClipboard(nullptr, CString(L"")));
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QString());
}
