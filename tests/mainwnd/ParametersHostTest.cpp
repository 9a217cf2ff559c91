// The inspector in the diffraction window: which panes the tab and the selection show, film or
// plot, one instrument pane, and the stacking with its scroll bar.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOption>

#include <list>
#include <set>
#include <string>

#include "DiffractionSettings.h"
#include "DiscloseablePane.h"
#include "GraphicsPane.h"
#include "LXApp.h"
#include "MainWindowFixture.h"
#include "ParametersPane.h"
#include "QLCrystalPattern.h"
#include "QlwDoc.h"
#include "TestSupport.h"
#include "WndQt.h"

using qlwtest::MainWindowFixture;

namespace {
CParametersPane* Inspector(MainWindowFixture& m) { return dynamic_cast<CParametersPane*>(m.wnd->GetParametersPane()); }

void SelectOnly(CQlwDoc* doc, const std::vector<CQLPatternPtr>& selected) {
  for (const CQLPatternPtr& p : CollectPatterns(doc->GetPatterns(), false, false, false)) p->SetSelected(false);
  for (const CQLPatternPtr& p : selected) p->SetSelected(true);
}
}  // namespace

TEST(Inspector, PaneSetsFollowTabSelectionFilmAndInstrument) {
  MainWindowFixture m;
  ASSERT_NE(m.wnd, nullptr);
  CParametersPane* host = Inspector(m);
  ASSERT_NE(host, nullptr);
  CQLPatternList& tree = m.doc->GetPatterns();
  const CQLPatternPtr rutile = tree.front();
  CDiffractionSettings& settings = *m.doc->GetSettings();

  using S = std::set<UINT>;
  struct Case {
    const char* what;
    std::vector<CQLPatternPtr> selected;
    bool format;
    bool film;
    UINT simulation;
    S expected;
  } cases[] = {
      {"nothing, parameters, electrons", {}, false, false, 5, S{5741, 5800, 5710, 5760, 5790, 5850, 5810, 5770}},
      {"nothing, parameters, x-rays", {}, false, false, 1, S{5743, 5800, 5710, 5760, 5790, 5850, 5810, 5770}},
      {"crystal, format", {rutile}, true, false, 1, S{5840, 5730, 5780, 5750, 5830, 5820}},
      {"crystal, format, film", {rutile}, true, true, 1, S{5840, 5720, 5780, 5750, 5830, 5820}},
      {"crystal, parameters, time of flight", {rutile}, false, false, 4, S{5742, 5790, 5850, 5810, 5770}},
  };
  for (const Case& c : cases) {
    SelectOnly(m.doc, c.selected);
    settings.m_filmMode = c.film ? 1 : 0;
    settings.m_simulationType = static_cast<LXTypes::QLSimulationType>(c.simulation);
    if (c.format) host->ShowFormatTab();
    else host->ShowParametersTab();
    EXPECT_EQ(host->ChooseShownIds(), c.expected) << c.what;
  }

  // A mixture anywhere in the tree adds its set to a selected crystal's; an observed pattern's own.
  const CQLCrystal crystal = dynamic_cast<CQLCrystalPattern&>(*rutile).m_crystal;
  const CQLPatternPtr inMixture = m.doc->AddCrystalPattern(crystal);
  ASSERT_TRUE(m.doc->NewMixtureFromPatterns({inMixture}));
  const CQLPatternPtr observed = m.doc->AddObservedPattern(CQLProfile{{10, 5}, {20, 50}, {30, 10}});
  settings.m_filmMode = 0;
  settings.m_simulationType = static_cast<LXTypes::QLSimulationType>(1);
  SelectOnly(m.doc, {rutile});
  host->ShowParametersTab();
  EXPECT_EQ(host->ChooseShownIds(), (S{5743, 5790, 5850, 5810, 5770, 5760}));
  SelectOnly(m.doc, {observed});
  host->ShowFormatTab();
  EXPECT_EQ(host->ChooseShownIds(), (S{5840, 5730, 5780, 5860, 5820, 5750, 5830}));
}

namespace {
// Where a control of a pane draws less than its whole text, or lies past the pane's right edge.
std::vector<std::string> ClippedTexts(QWidget* pane) {
  std::vector<std::string> clipped;
  for (QWidget* control : pane->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
    if (!control->isVisible() || control->width() <= 0) continue;
    const QFontMetrics metrics = control->fontMetrics();
    QString text;
    QRect room;  // where the text is drawn
    bool wraps = false;
    if (auto* label = qobject_cast<QLabel*>(control)) {
      text = label->text();
      room = label->contentsRect();
      wraps = label->wordWrap();
    } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
      text = button->text();
      QStyleOptionButton option;
      option.initFrom(button);
      option.text = text;
      const bool box = qobject_cast<QCheckBox*>(button) || qobject_cast<QRadioButton*>(button);
      room = control->style()->subElementRect(box ? QStyle::SE_CheckBoxContents : QStyle::SE_PushButtonContents,
                                              &option, button);
      wraps = box && button->hasHeightForWidth();
    } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
      text = edit->text();
      room = edit->contentsRect().adjusted(2 + edit->textMargins().left(), 0, -2 - edit->textMargins().right(), 0);
    } else if (auto* combo = qobject_cast<QComboBox*>(control); combo && !combo->isEditable()) {
      // Owner-drawn boxes paint pictures of their own.
      if (::GetWindowLongW(qlw::HwndOf(combo), GWL_STYLE) & CBS_OWNERDRAWFIXED) continue;
      text = combo->currentText();
      QStyleOptionComboBox option;
      option.initFrom(combo);
      room = combo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo);
    }
    const QString what = QString("%1 \"%2\" in %3×%4").arg(control->metaObject()->className(), text)
                             .arg(control->width()).arg(control->height());
    if (control->geometry().right() >= pane->width()) clipped.push_back(("past the edge: " + what).toStdString());
    if (text.isEmpty()) continue;
    const QRect need = wraps ? metrics.boundingRect(QRect(0, 0, room.width(), 10000), Qt::TextWordWrap, text)
                             : QRect(0, 0, metrics.horizontalAdvance(text), metrics.height());
    if (need.width() > room.width() || need.height() > room.height())
      clipped.push_back((what + QString(" needs %1×%2").arg(need.width()).arg(need.height())).toStdString());
  }
  return clipped;
}
}  // namespace

// Every pane of either tab, for each kind of selection, film view and instrument, shows every
// text of its controls whole inside the pane.
TEST(Inspector, EveryPaneShowsItsTextsWhole) {
  MainWindowFixture m;
  ASSERT_NE(m.wnd, nullptr);
  CParametersPane* host = Inspector(m);
  ASSERT_NE(host, nullptr);
  const CQLPatternPtr rutile = m.doc->GetPatterns().front();
  const CQLCrystal crystal = dynamic_cast<CQLCrystalPattern&>(*rutile).m_crystal;
  const CQLPatternPtr mixture = m.doc->NewMixtureFromPatterns({m.doc->AddCrystalPattern(crystal)});
  ASSERT_TRUE(mixture);
  const CQLPatternPtr observed = m.doc->AddObservedPattern(CQLProfile{{10, 5}, {20, 50}, {30, 10}});
  CDiffractionSettings& settings = *m.doc->GetSettings();

  const struct {
    const char* what;
    CQLPatternPtr selected;
    bool format, film;
    int simulation;
  } cases[] = {
      {"crystal, format", rutile, true, false, 1},  {"crystal, film", rutile, true, true, 1},
      {"data, format", observed, true, false, 1},   {"nothing, format", nullptr, true, false, 1},
      {"crystal, x-rays", rutile, false, false, 1}, {"crystal, neutrons", rutile, false, false, 2},
      {"crystal, EDX", rutile, false, false, 3},    {"crystal, time of flight", rutile, false, false, 4},
      {"crystal, electrons", rutile, false, false, 5}, {"data, parameters", observed, false, false, 1},
      {"mixture, parameters", mixture, false, false, 1}, {"nothing, parameters", nullptr, false, false, 1},
  };
  std::set<UINT> checked;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SelectOnly(m.doc, c.selected ? std::vector<CQLPatternPtr>{c.selected} : std::vector<CQLPatternPtr>{});
    settings.m_filmMode = c.film ? 1 : 0;
    settings.m_simulationType = static_cast<LXTypes::QLSimulationType>(c.simulation);
    if (c.format) host->ShowFormatTab();
    else host->ShowParametersTab();
    m.doc->UpdateAllViews(nullptr);
    host->DiscloseAll(true);
    QApplication::processEvents();
    for (UINT id : host->ChooseShownIds()) {
      CDiscloseablePane* pane = host->FindPane(id);
      ASSERT_NE(pane, nullptr) << id;
      QWidget* widget = qlw::WidgetOf(pane->m_hWnd);
      ASSERT_TRUE(widget && widget->isVisible()) << id;
      EXPECT_EQ(widget->width() + ::GetSystemMetrics(SM_CXVSCROLL), host->m_nContentWidth) << id;
      for (const std::string& fault : ClippedTexts(widget)) ADD_FAILURE() << "pane " << id << ": " << fault;
      checked.insert(id);
    }
  }
  EXPECT_EQ(checked.size(), host->GetPanes().size()) << "every pane looked at";
}

TEST(Inspector, CollapsedPanesStackUnderTheTabsAndOpenOnesScroll) {
  MainWindowFixture m;
  ASSERT_NE(m.wnd, nullptr);
  CParametersPane* host = Inspector(m);
  ASSERT_NE(host, nullptr);
  m.doc->GetSettings()->m_filmMode = 1;
  host->ShowFormatTab();
  host->DiscloseAll(false);
  CDiscloseablePane* film = host->FindPane(CParametersPane::kFilm);
  CDiscloseablePane* options = host->FindPane(CParametersPane::kOffsets);  // the next one shown
  ASSERT_TRUE(film && options);
  CRect a, b;
  film->GetWindowRect(&a);
  options->GetWindowRect(&b);
  host->ScreenToClient(&a);
  host->ScreenToClient(&b);
  EXPECT_EQ(a.top, host->m_nBandHeight + CDiscloseablePane::kHeaderHeight);  // under the Text pane
  EXPECT_EQ(a.Height(), CDiscloseablePane::kHeaderHeight);
  EXPECT_EQ(b.top, a.bottom);
  EXPECT_FALSE(film->GetDlgItem(2243)->IsWindowVisible());
  EXPECT_EQ(host->GetScrollPosition(), 0);
  EXPECT_FALSE(host->IsScrollBarEnabled());

  // Open panes taller than the column: the bar scrolls them; closing them again resets it.
  host->DiscloseAll(true);
  EXPECT_EQ(film->GetFullHeight() > CDiscloseablePane::kHeaderHeight, true);
  host->SetWindowPos(nullptr, 0, 0, host->m_nContentWidth, host->m_nBandHeight + 140, SWP_NOMOVE | SWP_NOZORDER);
  host->Relayout(true);
  EXPECT_TRUE(host->IsScrollBarEnabled());
  host->SetScrollPosition(30);
  host->Relayout(true);
  film->GetWindowRect(&a);
  host->ScreenToClient(&a);
  EXPECT_EQ(a.top, host->m_nBandHeight - 30 + host->FindPane(CParametersPane::kText)->GetFullHeight());
  host->DiscloseAll(false);
  EXPECT_EQ(host->GetScrollPosition(), 0);
  EXPECT_FALSE(host->IsScrollBarEnabled());
}

TEST(Inspector, ArrowStepCoversOnePixelOfTheThumbsTravel) {
  const struct {
    int page, range, track, step;
  } cases[] = {{100, 300, 400, 1}, {100, 300, 399, 2}, {200, 1000, 100, 12}, {200, 1000, 0, 0}, {200, 1000, -34, 0}};
  for (const auto& c : cases)
    EXPECT_EQ(CParametersPane::LineStep(c.page, c.range, c.track), c.step) << c.page << " " << c.range << " " << c.track;
}

// Expand All and Collapse All take the focus to the inspector unless the program asks to keep it.
TEST(Inspector, ExpandAndCollapseAllKeepTheFocusWhileAsked) {
  MainWindowFixture m;
  ASSERT_NE(m.wnd, nullptr);
  CParametersPane* host = Inspector(m);
  ASSERT_NE(host, nullptr);
  host->ShowFormatTab();
  CWnd* plot = m.wnd->GetGraphicsPane();
  ASSERT_NE(plot, nullptr);
  plot->SetFocus();
  const HWND focused = ::GetFocus();
  ASSERT_NE(focused, host->m_hWnd);
  g_bKeepFocus = true;
  host->SendMessage(WM_COMMAND, CParametersPane::kExpandAll, 0);
  g_bKeepFocus = false;
  EXPECT_EQ(::GetFocus(), focused);
  host->SendMessage(WM_COMMAND, CParametersPane::kCollapseAll, 0);
  EXPECT_EQ(::GetFocus(), host->m_hWnd);
}

// While the application is busy the inspector puts its restacking off, and does it when the busy
// spell ends, so the panes are never left where they were.
TEST(Inspector, RelayoutPutOffWhileBusyRunsWhenBusyEnds) {
  MainWindowFixture m;
  ASSERT_NE(m.wnd, nullptr);
  CParametersPane* host = Inspector(m);
  ASSERT_NE(host, nullptr);
  host->ShowFormatTab();
  CDiscloseablePane* text = host->FindPane(CParametersPane::kText);
  CDiscloseablePane* next = host->FindPane(CParametersPane::kGraph);
  ASSERT_TRUE(text && next);
  text->Disclose(false, true);
  CRect before, after;
  next->GetWindowRect(&before);

  CLXApp::SetBusy(true);
  text->Disclose(true, true);
  text->Disclose(false, true);
  text->Disclose(true, true);
  next->GetWindowRect(&after);
  EXPECT_EQ(after.top, before.top) << "restacked while busy";
  CLXApp::SetBusy(false);
  EXPECT_FALSE(CLXApp::IsBusy());
  next->GetWindowRect(&after);
  EXPECT_EQ(after.top, before.top + text->GetFullHeight() - CDiscloseablePane::kHeaderHeight)
      << "not restacked when the busy spell ended";

  // Not busy, a relayout runs at once.
  text->Disclose(false, true);
  next->GetWindowRect(&after);
  EXPECT_EQ(after.top, before.top);
}

// A session keeps the tab in front and the open panes, those of the other tab included, and a
// window opening it shows both whatever its own preferences said.
TEST(Inspector, SessionReopensWithItsTabAndOpenPanes) {
  const std::string session = qlwtest::ScratchDir() + "/inspector-layout.quillono";
  {
    MainWindowFixture m;
    ASSERT_NE(m.wnd, nullptr);
    CParametersPane* host = Inspector(m);
    ASSERT_NE(host, nullptr);
    host->ShowFormatTab();
    host->DiscloseAll(false);
    host->FindPane(CParametersPane::kText)->Disclose(true, true);
    host->ShowParametersTab();
    host->FindPane(CParametersPane::kInstrumentTTH)->Disclose(true, true);
    ASSERT_TRUE(m.doc->OnSaveDocument(CString(session.c_str()).GetString()));
    const CQlwDoc::WindowState* saved = m.doc->GetWindowState();
    EXPECT_EQ(saved->parametersTab, 2);
    EXPECT_EQ(saved->openPanes, (std::list<CString>{L"Instrument", L"Text"}));
    // The window's own state now says otherwise.
    host->ShowFormatTab();
    host->DiscloseAll(false);
  }
  MainWindowFixture m(session.c_str());
  ASSERT_NE(m.wnd, nullptr);
  CParametersPane* host = Inspector(m);
  ASSERT_NE(host, nullptr);
  EXPECT_EQ(host->GetTab(), 0) << "Parameters tab in front";
  EXPECT_EQ(m.wnd->GetParametersTab(), 2);
  EXPECT_TRUE(host->FindPane(CParametersPane::kText)->IsOpen());
  EXPECT_TRUE(host->FindPane(CParametersPane::kInstrumentTTH)->IsOpen());
  EXPECT_FALSE(host->FindPane(CParametersPane::kUnitCell)->IsOpen());
  EXPECT_FALSE(host->FindPane(CParametersPane::kGraph)->IsOpen());
  std::list<CString> open;
  m.wnd->GetOpenPaneNames(open);
  EXPECT_EQ(open, (std::list<CString>{L"Instrument", L"Text"}));
}

// Expand All opens the panes of the tab behind too; once in front they show all their controls.
TEST(Inspector, PanesOpenedBehindTheOtherTabTakeTheirWholeHeight) {
  MainWindowFixture m;
  ASSERT_NE(m.wnd, nullptr);
  CParametersPane* host = Inspector(m);
  ASSERT_NE(host, nullptr);
  host->ShowFormatTab();
  std::vector<std::pair<CDiscloseablePane*, int>> heights;
  for (UINT id : {CParametersPane::kText, CParametersPane::kGraph, CParametersPane::kLabels}) {
    CDiscloseablePane* pane = host->FindPane(id);
    pane->Disclose(true, true);
    CRect r;
    pane->GetWindowRect(&r);
    EXPECT_GT(r.Height(), 2 * CDiscloseablePane::kHeaderHeight) << id;
    heights.emplace_back(pane, r.Height());
  }
  host->DiscloseAll(false);
  host->ShowParametersTab();
  m.Command(CParametersPane::kExpandAll);
  host->ShowFormatTab();
  for (const auto& [pane, height] : heights) {
    CRect r;
    pane->GetWindowRect(&r);
    EXPECT_EQ(r.Height(), height) << pane->GetTemplateID();
  }
}
