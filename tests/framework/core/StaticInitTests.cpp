// Globals set up before the entry point: GUIDs, the preferences mutex and the font table.
#include <gtest/gtest.h>

#include "StaticInit.h"

TEST(StaticInit, GuidTextsParseAndBadTextGivesNil) {
  RPC_WSTR text = nullptr;
  ASSERT_EQ(UuidToStringW(&g_appGuid.Get(), &text), RPC_S_OK);
  EXPECT_STREQ(reinterpret_cast<wchar_t*>(text), L"13dca11d-78cb-484a-892b-10aa643d11ae");
  RpcStringFreeW(&text);
  EXPECT_EQ(g_helpViewControlClsid.Get().Data1, 0x5f8181c7u);
  EXPECT_EQ(g_appGuid.GetText(), CString(L"13dca11d-78cb-484a-892b-10aa643d11ae"));
  EXPECT_EQ(g_smallCaptionButtonRecord.id, 3804);
  EXPECT_EQ(g_smallCaptionButtonRecord.width, g_smallCaptionButton);
  EXPECT_EQ(g_smallCaptionButtonRecord.height, g_smallCaptionButton);

  const CLXGuid bad(L"not-a-guid");
  RPC_STATUS status = 0;
  EXPECT_TRUE(UuidIsNil(&bad.Get(), &status));
}

TEST(StaticInit, PreferencesMutexIsNamedAndSharedByName) {
  ASSERT_NE(g_prefsNamedMutex, nullptr);
  EXPECT_STREQ(kPrefsNamedMutexName, L"Quillonographic-Preferences-13dca11d-78cb-484a-892b-10aa643d11ae");
  // Another instance opening the name reaches the same kernel object.
  HANDLE other = OpenMutexW(SYNCHRONIZE, FALSE, kPrefsNamedMutexName);
  ASSERT_NE(other, nullptr);
  CloseHandle(other);
  EXPECT_NE(g_prefsGetterMutex, nullptr);
  // The store's creation lock is a recursive in-process mutex.
  ASSERT_NE(g_prefsLock, nullptr);
  EXPECT_TRUE(g_prefsLock->Lock());
  EXPECT_TRUE(g_prefsLock->Lock());
  EXPECT_TRUE(g_prefsLock->Unlock());
  EXPECT_TRUE(g_prefsLock->Unlock());
  EXPECT_FALSE(g_prefsLock->Unlock());
}

TEST(StaticInit, FontTableKeepsItsRowsInOrder) {
  ASSERT_EQ(g_fontSubstitutionCount, 27u);
  EXPECT_STREQ(g_fontSubstitutions[0].macName, L"American Typewriter");
  // Rows 14 and 16 are the same pair; "Times New Roman" maps to itself.
  EXPECT_STREQ(g_fontSubstitutions[13].macName, g_fontSubstitutions[15].macName);
  EXPECT_STREQ(g_fontSubstitutions[13].windowsName, g_fontSubstitutions[15].windowsName);
  EXPECT_STREQ(g_fontSubstitutions[25].macName, L"Times New Roman");
  EXPECT_STREQ(g_fontSubstitutions[25].windowsName, L"Times New Roman");
  EXPECT_STREQ(g_fontSubstitutions[26].windowsName, L"Wingdings");
}

TEST(StaticInit, MenuBarBandIsTwiceAsWideAsTheMenuIsHigh) {
  const int h = GetSystemMetrics(SM_CYMENU);
  EXPECT_EQ(g_menuBarBand.m_rect.left, 0);
  EXPECT_EQ(g_menuBarBand.m_rect.right, 2 * h);
  EXPECT_EQ(g_menuBarBand.m_int.Height, h);
  EXPECT_EQ(g_menuBarBand.m_float.Width, 2.0f * h);
  EXPECT_EQ(g_menuBarBand.m_dirty, 0u);
  EXPECT_EQ(g_halfFrameWidth, GetSystemMetrics(SM_CXFRAME) / 2);
}
