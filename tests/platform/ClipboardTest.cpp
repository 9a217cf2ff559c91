// Movable memory blocks and the clipboard: text across the UTF-16 boundary, private formats by
// name, and clean failures without a GUI application or outside its thread.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "WidgetApp.h"
#include "Win.h"

namespace {

HGLOBAL BlockOf(const void* data, size_t size) {
  HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, size);
  std::memcpy(GlobalLock(mem), data, size);
  GlobalUnlock(mem);
  return mem;
}

std::vector<uint8_t> BytesOf(HANDLE mem) {
  const auto* data = static_cast<const uint8_t*>(GlobalLock(mem));
  std::vector<uint8_t> bytes(data, data + GlobalSize(mem));
  GlobalUnlock(mem);
  return bytes;
}

// Runs in a fresh process where no application was ever made; exits 0 when every call failed
// cleanly and names the first one that did not otherwise.
[[noreturn]] void CheckEveryCallFailsWithoutGui() {
  auto fail = [](const char* what) {
    std::fprintf(stderr, "unexpected: %s\n", what);
    std::exit(1);
  };
  if (QCoreApplication::instance()) fail("an application exists");
  SetLastError(ERROR_SUCCESS);
  if (OpenClipboard(nullptr) || GetLastError() != ERROR_NOT_SUPPORTED) fail("OpenClipboard");
  if (EmptyClipboard()) fail("EmptyClipboard");
  HGLOBAL mem = BlockOf(u"x", 4);
  if (SetClipboardData(CF_UNICODETEXT, mem) != nullptr) fail("SetClipboardData");
  if (GetClipboardData(CF_UNICODETEXT) != nullptr) fail("GetClipboardData");
  if (IsClipboardFormatAvailable(CF_UNICODETEXT)) fail("IsClipboardFormatAvailable");
  if (CloseClipboard()) fail("CloseClipboard");
  // The block was not taken, so it is still the caller's to free.
  if (GlobalFree(mem) != nullptr) fail("GlobalFree of the refused block");
  std::exit(0);
}

}  // namespace

TEST(GlobalMemory, MovableBlockCountsLocksAndIsFreedOnce) {
  HGLOBAL mem = GlobalAlloc(GHND, 10);
  ASSERT_NE(mem, nullptr);
  EXPECT_EQ(GlobalSize(mem), 10u);
  auto* first = static_cast<uint8_t*>(GlobalLock(mem));
  ASSERT_NE(first, nullptr);
  EXPECT_NE(static_cast<void*>(first), mem);
  EXPECT_EQ(std::vector<uint8_t>(first, first + 10), std::vector<uint8_t>(10, 0));
  EXPECT_EQ(GlobalLock(mem), first);

  EXPECT_TRUE(GlobalUnlock(mem));
  SetLastError(ERROR_GEN_FAILURE);
  EXPECT_FALSE(GlobalUnlock(mem));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_FALSE(GlobalUnlock(mem));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_LOCKED));

  EXPECT_EQ(GlobalFree(mem), nullptr);
  EXPECT_EQ(GlobalFree(mem), mem);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(GlobalSize(mem), 0u);
  EXPECT_EQ(GlobalLock(mem), nullptr);
}

TEST(GlobalMemory, FixedBlockHandleIsItsAddress) {
  HGLOBAL mem = GlobalAlloc(GPTR, 3);
  ASSERT_NE(mem, nullptr);
  EXPECT_EQ(GlobalLock(mem), mem);
  EXPECT_EQ(static_cast<uint8_t*>(mem)[2], 0);
  EXPECT_EQ(GlobalFree(mem), nullptr);
}

TEST(ClipboardDeathTest, WithoutGuiApplicationEveryCallFailsCleanly) {
  // A re-executed child, so no application made by another test is inherited.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(CheckEveryCallFailsWithoutGui(), testing::ExitedWithCode(0), "");
}

TEST(Clipboard, UnicodeTextBeyondTheBmpRoundTrips) {
  qlwtest::EnsureWidgetApp("test_platform");
  const std::wstring text = L"Cu K\u03b1\u2081 \U0001D4AF\n2\u03b8";
  std::u16string units = qlw::ToUtf16(text);
  ASSERT_EQ(units.size(), text.size() + 1);  // the one character beyond the BMP is a pair

  ASSERT_TRUE(OpenClipboard(nullptr));
  ASSERT_TRUE(EmptyClipboard());
  HGLOBAL mem = BlockOf(units.c_str(), (units.size() + 1) * sizeof(char16_t));
  EXPECT_EQ(SetClipboardData(CF_UNICODETEXT, mem), mem);
  ASSERT_TRUE(CloseClipboard());

  // Other programs see the same characters.
  EXPECT_EQ(QGuiApplication::clipboard()->text().toStdWString(), text);

  ASSERT_TRUE(OpenClipboard(nullptr));
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_UNICODETEXT));
  HANDLE back = GetClipboardData(CF_UNICODETEXT);
  ASSERT_NE(back, nullptr);
  ASSERT_EQ(GlobalSize(back), (units.size() + 1) * sizeof(char16_t));
  const auto* backUnits = static_cast<const char16_t*>(GlobalLock(back));
  EXPECT_EQ(backUnits[units.size()], u'\0');
  EXPECT_EQ(qlw::FromUtf16(std::u16string_view(backUnits, units.size())), text);
  GlobalUnlock(back);

  HANDLE narrow = GetClipboardData(CF_TEXT);
  ASSERT_NE(narrow, nullptr);
  EXPECT_EQ(std::string(static_cast<const char*>(GlobalLock(narrow))), qlw::ToUtf8(text));
  GlobalUnlock(narrow);
  EXPECT_TRUE(CloseClipboard());
}

TEST(Clipboard, TextWithoutTerminatorEndsAtTheBlock) {
  qlwtest::EnsureWidgetApp("test_platform");
  ASSERT_TRUE(OpenClipboard(nullptr));
  ASSERT_TRUE(EmptyClipboard());
  EXPECT_NE(SetClipboardData(CF_UNICODETEXT, BlockOf(u"ab", 4)), nullptr);
  ASSERT_TRUE(CloseClipboard());
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("ab"));
}

TEST(Clipboard, PrivateFormatCarriesItsBytesByName) {
  qlwtest::EnsureWidgetApp("test_platform");
  UINT format = RegisterClipboardFormat(L"Qullion Pattern");
  EXPECT_GE(format, 0xC000u);
  EXPECT_EQ(RegisterClipboardFormat(L"QULLION pattern"), format);
  EXPECT_NE(RegisterClipboardFormat(L"Another Format"), format);
  EXPECT_EQ(RegisterClipboardFormat(L""), 0u);

  const std::vector<uint8_t> bytes = {0x20, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x7F, 0x80, 0x00};
  ASSERT_TRUE(OpenClipboard(nullptr));
  ASSERT_TRUE(EmptyClipboard());
  EXPECT_NE(SetClipboardData(format, BlockOf(bytes.data(), bytes.size())), nullptr);
  const std::u16string label = u"label";
  EXPECT_NE(SetClipboardData(CF_UNICODETEXT, BlockOf(label.c_str(), (label.size() + 1) * 2)), nullptr);
  ASSERT_TRUE(CloseClipboard());

  // Both formats stand side by side, the private one under a name other processes can find.
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  ASSERT_NE(data, nullptr);
  EXPECT_TRUE(data->hasFormat(QStringLiteral("application/x-qlw-qullion%20pattern")));
  EXPECT_EQ(data->text(), QStringLiteral("label"));

  ASSERT_TRUE(OpenClipboard(nullptr));
  EXPECT_TRUE(IsClipboardFormatAvailable(format));
  HANDLE back = GetClipboardData(format);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(BytesOf(back), bytes);

  // Emptying removes every format.
  ASSERT_TRUE(EmptyClipboard());
  EXPECT_FALSE(IsClipboardFormatAvailable(format));
  EXPECT_FALSE(IsClipboardFormatAvailable(CF_UNICODETEXT));
  EXPECT_EQ(GetClipboardData(format), nullptr);
  EXPECT_TRUE(CloseClipboard());
}

TEST(Clipboard, CallsOutOfTurnFailWithTheirErrorNumbers) {
  qlwtest::EnsureWidgetApp("test_platform");
  HGLOBAL mem = BlockOf(u"x", 4);
  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ(SetClipboardData(CF_UNICODETEXT, mem), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLIPBOARD_NOT_OPEN));
  EXPECT_FALSE(CloseClipboard());
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLIPBOARD_NOT_OPEN));

  ASSERT_TRUE(OpenClipboard(nullptr));
  // A thread other than the GUI application's cannot reach the clipboard.
  BOOL openedElsewhere = TRUE;
  DWORD errorElsewhere = 0;
  std::thread([&] {
    openedElsewhere = OpenClipboard(nullptr);
    errorElsewhere = GetLastError();
  }).join();
  EXPECT_FALSE(openedElsewhere);
  EXPECT_EQ(errorElsewhere, static_cast<DWORD>(ERROR_NOT_SUPPORTED));

  const UINT kBitmap = 2, kNeverRegistered = 0xFFF0;
  for (UINT format : {kBitmap, kNeverRegistered}) {
    EXPECT_EQ(SetClipboardData(format, mem), nullptr) << format;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED)) << format;
  }
  EXPECT_EQ(SetClipboardData(CF_UNICODETEXT, nullptr), nullptr);
  EXPECT_TRUE(CloseClipboard());
  EXPECT_FALSE(OpenClipboard(reinterpret_cast<HWND>(static_cast<uintptr_t>(0x5A5A0))));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  // Refused blocks stay the caller's.
  EXPECT_EQ(GlobalFree(mem), nullptr);
}
