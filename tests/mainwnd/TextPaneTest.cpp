// The Text pane's font list and what a refresh of it leaves in the document's settings.
#include <gtest/gtest.h>

#include <QFontDatabase>

#include <set>
#include <string>

#include "DiffractionSettings.h"
#include "MainWindowFixture.h"
#include "ParametersPane.h"
#include "Preferences.h"
#include "TextPane.h"

using qlwtest::MainWindowFixture;

namespace {
std::string Utf8(const CString& s) { return s.ToUtf8(); }

CString Selected(CWnd* pane, UINT id) {
  auto* combo = static_cast<CComboBox*>(pane->GetDlgItem(static_cast<int>(id)));
  CString text;
  if (const int index = combo->GetCurSel(); index >= 0) combo->GetLBText(index, text);
  return text;
}

// A family Qt lists only with foundry tags ("C059 [urw]"), or empty.
QString TaggedFamily() {
  for (const QString& f : QFontDatabase::families())
    if (f.endsWith(QLatin1Char(']'))) return f;
  return {};
}
}  // namespace

TEST(TextPane, ListsEachFamilyOnceByItsFamilyName) {
  MainWindowFixture m;
  ASSERT_NE(m.wnd, nullptr);
  auto* host = dynamic_cast<CParametersPane*>(m.wnd->GetParametersPane());
  ASSERT_NE(host, nullptr);
  CDiscloseablePane* pane = host->FindPane(CTextPane::kTemplateId);
  ASSERT_NE(pane, nullptr);
  auto* families = static_cast<CComboBox*>(pane->GetDlgItem(CTextPane::kFamily));
  std::set<std::string> listed;
  for (int i = 0; i < families->GetCount(); ++i) {
    CString name;
    families->GetLBText(i, name);
    const std::string text = Utf8(name);
    EXPECT_FALSE(!text.empty() && text.back() == ']') << text;
    EXPECT_TRUE(listed.insert(text).second) << "twice: " << text;
  }
  EXPECT_TRUE(listed.count("Liberation Sans"));
  if (const QString tagged = TaggedFamily(); !tagged.isEmpty()) {
    const std::string family = tagged.left(tagged.lastIndexOf(QLatin1String(" ["))).toStdString();
    EXPECT_TRUE(listed.count(family)) << family;
  }
}

// A refresh shows the document's font and leaves it alone; only a font that cannot be drawn here
// takes the preference's font (or Arial's stand-in), and a foundry-tagged name its family.
TEST(TextPane, ARefreshWritesOnlyAFallbackOrAFamilyName) {
  MainWindowFixture m;
  ASSERT_NE(m.wnd, nullptr);
  auto* host = dynamic_cast<CParametersPane*>(m.wnd->GetParametersPane());
  ASSERT_NE(host, nullptr);
  host->ShowFormatTab();
  CDiscloseablePane* pane = host->FindPane(CTextPane::kTemplateId);
  ASSERT_NE(pane, nullptr);
  pane->Disclose(false, true);
  CDiffractionSettings& settings = *m.doc->GetSettings();

  // Opening the pane shows the font, the size and the style without applying them.
  settings.m_fontName = L"MS Shell Dlg 2";
  settings.m_fontSize = 8.0f;
  settings.m_fontStyle = 0;
  m.doc->UpdateAllViews(nullptr);
  pane->Disclose(true, true);
  EXPECT_EQ(Utf8(Selected(pane, CTextPane::kFamily)), "DejaVu Sans");
  EXPECT_EQ(Utf8(settings.m_fontName), "MS Shell Dlg 2");

  struct Case {
    std::string stored, preference, shown, after;
  } cases[] = {
      {"Liberation Serif", "MS Shell Dlg 2", "Liberation Serif", "Liberation Serif"},
      {"Times New Roman", "MS Shell Dlg 2", "Liberation Serif", "Times New Roman"},
      {"No Such Family", "Liberation Mono", "Liberation Mono", "Liberation Mono"},
      {"No Such Family", "Nor This One", "Liberation Sans", "Liberation Sans"},
  };
  std::vector<Case> all(std::begin(cases), std::end(cases));
  if (const QString tagged = TaggedFamily(); !tagged.isEmpty()) {
    const std::string family = tagged.left(tagged.lastIndexOf(QLatin1String(" ["))).toStdString();
    all.push_back({tagged.toStdString(), "MS Shell Dlg 2", family, family});
  }
  for (const Case& c : all) {
    g_pPreferences->m_FontName.Set(CString(c.preference.c_str()));
    settings.m_fontName = CString(c.stored.c_str());
    m.doc->UpdateAllViews(nullptr);
    EXPECT_EQ(Utf8(Selected(pane, CTextPane::kFamily)), c.shown) << c.stored;
    EXPECT_EQ(Utf8(settings.m_fontName), c.after) << c.stored;
  }
}
