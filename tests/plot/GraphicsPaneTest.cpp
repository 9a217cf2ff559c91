// The graphics pane in a frame with its document: the band's pattern menu, captions and enable
// states, the hkl field's parsing and find, dropped files, and printing to a PDF file.
#include "GraphicsPane.h"

#include "../engine/CrystalFixtures.h"
#include "CommonDialogs.h"
#include "FileTypes.h"
#include "HexBytes.h"
#include "LXAlert.h"
#include "LXMessage.h"
#include "QLCrystalPattern.h"
#include "QLMixturePattern.h"
#include "PlotAreaWindow.h"
#include "QlwDoc.h"
#include "TestSupport.h"
#include "WidgetApp.h"
#include "WndQt.h"
#include "testing/SoundRecorder.h"

#include <QApplication>
#include <QImage>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <list>
#include <regex>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {
// A pane that notes what each print pass was given.
class PrintRecordingPane : public CGraphicsPane {
  DECLARE_DYNCREATE(PrintRecordingPane)

 public:
  void OnPrint(CDC* dc, CPrintInfo* info) override {
    prints.push_back({info->m_bPreview != FALSE, dc->IsPrinting() != FALSE, info->m_rectDraw});
    CGraphicsPane::OnPrint(dc, info);
  }
  struct Pass {
    bool preview;
    bool printing;
    CRect drawRect;
  };
  std::vector<Pass> prints;
};
IMPLEMENT_DYNCREATE(PrintRecordingPane, CGraphicsPane)

// Another view of the same document: records the hints it is told.
class HintRecorder : public CView {
 public:
  void OnDraw(CDC*) override {}
  void OnUpdate(CView*, LPARAM lHint, CObject*) override {
    codes.push_back(lHint ? reinterpret_cast<CUpdateHint*>(lHint)->code : -1);
    if (auto* selected = dynamic_cast<CUHReflexionSelected*>(reinterpret_cast<CUpdateHint*>(lHint)))
      selectedPattern = selected->pattern;
  }
  std::vector<int> codes;
  const CQLPattern* selectedPattern = nullptr;
};

// Notes whether the pane was printing each time the diffraction window recomputed its plot area.
class PrintingPlotAreaWindow : public PlotAreaWindow {
 public:
  explicit PrintingPlotAreaWindow(const CGraphicsPane*& pane) : m_pane(pane) {}
  int UpdatePlotRect() override {
    printingAtUpdate.push_back(m_pane && m_pane->m_bPrinting);
    return PlotAreaWindow::UpdatePlotRect();
  }
  std::vector<bool> printingAtUpdate;

 private:
  const CGraphicsPane*& m_pane;
};

// Alerts answered by the test instead of quiet output; their texts kept.
struct ScriptedAlerts {
  static inline std::vector<std::pair<CString, CString>> shown;  // title, message
  static inline UINT answer = 1;
  static UINT Answer(const CLXAlert& alert) {
    shown.emplace_back(alert.GetPart(0), alert.GetPart(1));
    return answer;
  }
  CLXAlert::Presenter previous = CLXAlert::SetPresenter(Answer);
  bool silent = std::exchange(g_silentMode, false);
  std::string quiet = std::getenv("QLW_QUIET") ? std::getenv("QLW_QUIET") : "";
  explicit ScriptedAlerts(UINT reply = 1) {
    unsetenv("QLW_QUIET");
    shown.clear();
    answer = reply;
  }
  ~ScriptedAlerts() {
    CLXAlert::SetPresenter(previous);
    g_silentMode = silent;
    if (!quiet.empty()) setenv("QLW_QUIET", quiet.c_str(), 1);
  }
};

std::string Utf8(const CString& text) { return QString::fromStdWString(text.GetString()).toStdString(); }

class GraphicsPaneTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    qlwtest::EnsureWidgetApp("test_plot");
    InstallFileTypeRecogniser();
  }
  void SetUp() override {
    doc = dynamic_cast<CQlwDoc*>(tmpl.OpenDocumentFile(nullptr, FALSE));
    ASSERT_NE(doc, nullptr);
    ASSERT_FALSE(doc->Views().empty());
    pane = dynamic_cast<PrintRecordingPane*>(doc->Views().front());
    ASSERT_NE(pane, nullptr);
    frame = static_cast<CFrameWnd*>(pane->GetParentFrame());
    ASSERT_NE(frame, nullptr);
    frame->SetActiveView(pane, FALSE);
    frame->MoveWindow(0, 0, 800, 640);
    frame->ShowWindow(SW_SHOW);
    ASSERT_TRUE(pane->IsInitialised());
    doc->AddView(&recorder);
  }
  void TearDown() override {
    if (doc) doc->RemoveView(&recorder);
    qlw::SetCommonDialogAnswer(nullptr);
    if (frame) frame->DestroyWindow();
  }

  CQLPatternPtr AddCrystal(const CQLCrystal& crystal, const wchar_t* title) {
    CQLPatternPtr p = doc->AddCrystalPattern(crystal);
    p->m_title = title;
    return p;
  }
  void SelectOnly(std::initializer_list<CQLPatternPtr> chosen) {
    for (const CQLPatternPtr& p : CollectPatterns(doc->GetPatterns(), false, false, false)) p->SetSelected(false);
    for (const CQLPatternPtr& p : chosen) p->SetSelected(true);
    CUpdateHint hint(CGraphicsPane::kHintSelection, doc);
    doc->UpdateAllViews(nullptr, reinterpret_cast<LPARAM>(&hint));
  }
  CString Caption() {
    CString text;
    pane->m_patternButton.GetWindowText(text);
    return text;
  }
  CString Field() {
    CString text;
    pane->m_hklField.GetWindowText(text);
    return text;
  }
  UINT MenuItemCount() {
    CMenu* popup = pane->m_patternButton.GetPopupMenu()->GetSubMenu(0);
    return popup ? popup->GetMenuItemCount() : 0;
  }

  CSingleDocTemplate tmpl{1030, RUNTIME_CLASS(CQlwDoc), RUNTIME_CLASS(CFrameWnd), RUNTIME_CLASS(PrintRecordingPane)};
  CQlwDoc* doc = nullptr;
  PrintRecordingPane* pane = nullptr;
  CFrameWnd* frame = nullptr;
  HintRecorder recorder;
};
}  // namespace

TEST(GraphicsPaneParse, ReadsSpacedAndCompactIndicesAndRefusesTheRest) {
  struct Case {
    const wchar_t* text;
    bool ok;
    int h, k, l;
  };
  const Case cases[] = {
      {L"1 -1 0", true, 1, -1, 0},   {L"1-10", true, 1, -1, 0},       {L"12-3", true, 1, 2, -3},
      {L"+1 +1 -2", true, 1, 1, -2}, {L"  2 0 0  ", true, 2, 0, 0},   {L"10 -12 3", true, 10, -12, 3},
      {L"- 1 2 3", true, -1, 2, 3},  {L"111", true, 1, 1, 1},         {L"11 0", false, 0, 0, 0},
      {L"1 2 3 4", false, 0, 0, 0},  {L"1234", false, 0, 0, 0},       {L"12", false, 0, 0, 0},
      {L"", false, 0, 0, 0},         {L"1 2 x", false, 0, 0, 0},      {L"1,2,3", false, 0, 0, 0},
      {L"1 -- 2 3", false, 0, 0, 0}, {L"1 2 -", false, 0, 0, 0},      {L"+-1", false, 0, 0, 0},
      {L"99999999999999999999 0 0", false, 0, 0, 0}, {L"12345 0 0", false, 0, 0, 0},
      {L"9999 -9999 0", true, 9999, -9999, 0},
  };
  for (const Case& c : cases) {
    int h = 7, k = 7, l = 7;
    const bool ok = CGraphicsPane::ParseHKL(c.text, h, k, l);
    EXPECT_EQ(ok, c.ok) << Utf8(c.text);
    if (ok && c.ok) EXPECT_EQ((std::vector<int>{h, k, l}), (std::vector<int>{c.h, c.k, c.l})) << Utf8(c.text);
  }
}

TEST_F(GraphicsPaneTest, CaptionsAndEnableStatesFollowTheSelectedCrystals) {
  // No crystal at all: the button is off and names nobody.
  CUpdateHint tree(kHintPatternTree, doc);
  doc->UpdateAllViews(nullptr, reinterpret_cast<LPARAM>(&tree));
  CString empty;
  empty.Format(2702u, L"");
  EXPECT_EQ(Utf8(Caption()), Utf8(empty));
  EXPECT_FALSE(pane->m_patternButton.IsWindowEnabled());
  EXPECT_FALSE(pane->m_hklField.IsWindowEnabled());
  EXPECT_TRUE(pane->m_reflexionsButton.IsWindowEnabled());

  CQLPatternPtr nacl = AddCrystal(crystalfixtures::NaCl(), L"NaCl");
  CQLPatternPtr rutile = AddCrystal(crystalfixtures::Rutile(), L"rutile");
  SelectOnly({});
  EXPECT_EQ(Utf8(Caption()), Utf8(empty));
  EXPECT_TRUE(pane->m_patternButton.IsWindowEnabled());
  EXPECT_FALSE(pane->m_hklField.IsWindowEnabled());
  EXPECT_EQ(MenuItemCount(), 2u);

  SelectOnly({rutile});
  CString one;
  one.Format(2702u, L"rutile");
  EXPECT_EQ(Utf8(Caption()), Utf8(one));
  EXPECT_TRUE(pane->m_hklField.IsWindowEnabled());
  CMenu* popup = pane->m_patternButton.GetPopupMenu()->GetSubMenu(0);
  ASSERT_NE(popup, nullptr);
  // Newest first in the document: rutile is item 1, and only it carries the check.
  EXPECT_TRUE(popup->GetMenuState(1, MF_BYCOMMAND) & MF_CHECKED);
  EXPECT_FALSE(popup->GetMenuState(2, MF_BYCOMMAND) & MF_CHECKED);

  SelectOnly({rutile, nacl});
  CString many;
  many.LoadString(2701);
  EXPECT_EQ(Utf8(Caption()), Utf8(many));
  EXPECT_FALSE(pane->m_hklField.IsWindowEnabled());

  // A crystal selected inside a mixture counts as well.
  CQLPatternPtr mixture = doc->NewMixtureFromPatterns({nacl});
  ASSERT_NE(mixture, nullptr);
  SelectOnly({});
  nacl->SetSelected(true);
  CUpdateHint selection(CGraphicsPane::kHintSelection, doc);
  doc->UpdateAllViews(nullptr, reinterpret_cast<LPARAM>(&selection));
  CString inside;
  inside.Format(2702u, L"NaCl");
  EXPECT_EQ(Utf8(Caption()), Utf8(inside));
  EXPECT_TRUE(pane->m_hklField.IsWindowEnabled());
}

TEST_F(GraphicsPaneTest, OpeningAFileIntoTheDocumentRefreshesTheBand) {
  ASSERT_TRUE(doc->OnOpenDocument(CString(QLW_SOURCE_DIR "/examples/rutile.cif").GetString()));
  ASSERT_EQ(CountCrystalPatterns(doc->GetPatterns(), false, false, false), 1);
  // Opening tells the views with a plain update, no hint code.
  EXPECT_TRUE(pane->m_patternButton.IsWindowEnabled());
  EXPECT_EQ(MenuItemCount(), 1u);
}

TEST_F(GraphicsPaneTest, MenuItemSelectsThatCrystalAloneAndTellsTheViews) {
  CQLPatternPtr nacl = AddCrystal(crystalfixtures::NaCl(), L"NaCl");
  CQLPatternPtr rutile = AddCrystal(crystalfixtures::Rutile(), L"rutile");
  SelectOnly({rutile, nacl});
  recorder.codes.clear();
  // As the button posts it: the item in lParam.
  pane->SendMessage(g_msgAlphaButtonMenuItemAsync, CGraphicsPane::kPatternButtonId, 2);
  EXPECT_TRUE(nacl->IsSelected());
  EXPECT_FALSE(rutile->IsSelected());
  EXPECT_EQ(recorder.codes, std::vector<int>{23});
  CString caption;
  caption.Format(2702u, L"NaCl");
  EXPECT_EQ(Utf8(Caption()), Utf8(caption));
}

// A crystal hidden while selected is out of the band's reach: it is neither named nor searched,
// and choosing a shown crystal from the menu makes that one alone the searched pattern.
TEST_F(GraphicsPaneTest, HiddenSelectedCrystalIsNeitherNamedNorSearched) {
  doc->GetSettings()->m_lambda = 1.5406;
  CQLPatternPtr nacl = AddCrystal(crystalfixtures::NaCl(), L"NaCl");
  CQLPatternPtr rutile = AddCrystal(crystalfixtures::Rutile(), L"rutile");
  doc->RecomputeAllPatterns(true, true, true);
  SelectOnly({rutile});
  rutile->SetShown(false);
  CUpdateHint hidden(kHintPatternsShown, doc);
  doc->DispatchUpdateHint(hidden);
  CString nobody;
  nobody.Format(2702u, L"");
  EXPECT_EQ(Utf8(Caption()), Utf8(nobody));
  EXPECT_FALSE(pane->m_hklField.IsWindowEnabled());
  // 1 1 0 is rutile's strongest line and absent from NaCl's face-centred cell.
  ScriptedAlerts alerts;
  pane->m_hklField.SetWindowText(L"1 1 0");
  recorder.codes.clear();
  pane->OnDoFindHKL();
  EXPECT_TRUE(recorder.codes.empty());
  EXPECT_TRUE(ScriptedAlerts::shown.empty());

  ASSERT_EQ(MenuItemCount(), 1u);
  pane->OnAlphaButtonMenuItem(1);
  EXPECT_TRUE(nacl->IsSelected());
  EXPECT_FALSE(rutile->IsSelected());
  CString named;
  named.Format(2702u, L"NaCl");
  EXPECT_EQ(Utf8(Caption()), Utf8(named));
  EXPECT_TRUE(pane->m_hklField.IsWindowEnabled());
  pane->m_hklField.SetWindowText(L"2 0 0");
  recorder.codes.clear();
  pane->OnDoFindHKL();
  ASSERT_FALSE(recorder.codes.empty());
  EXPECT_EQ(recorder.selectedPattern, nacl.get());
  EXPECT_TRUE(ScriptedAlerts::shown.empty());
}

TEST_F(GraphicsPaneTest, MenuOlderThanThePatternListChoosesNothingWrong) {
  CQLPatternPtr nacl = AddCrystal(crystalfixtures::NaCl(), L"NaCl");
  CQLPatternPtr rutile = AddCrystal(crystalfixtures::Rutile(), L"rutile");
  SelectOnly({rutile});
  ASSERT_EQ(MenuItemCount(), 2u);
  // NaCl (item 2) hidden without the pane hearing of it: its stale item must not select it or
  // a neighbour, and must not reach past the shorter list.
  nacl->SetShown(false);
  recorder.codes.clear();
  pane->OnAlphaButtonMenuItem(2);
  EXPECT_FALSE(nacl->IsSelected());
  EXPECT_TRUE(rutile->IsSelected());
  EXPECT_TRUE(recorder.codes.empty());
  EXPECT_EQ(MenuItemCount(), 1u);
  pane->OnAlphaButtonMenuItem(7);
  EXPECT_TRUE(rutile->IsSelected());
  EXPECT_TRUE(recorder.codes.empty());

  // Hiding through the document rebuilds the menu at once.
  nacl->SetShown(true);
  SelectOnly({rutile});
  ASSERT_EQ(MenuItemCount(), 2u);
  nacl->SetShown(false);
  CUpdateHint hidden(kHintPatternsShown, doc);
  doc->DispatchUpdateHint(hidden);
  EXPECT_EQ(MenuItemCount(), 1u);
}

TEST_F(GraphicsPaneTest, FindCentresOnTheReflexionsAngleAndSelectsIt) {
  doc->GetSettings()->m_lambda = 1.5406;
  CQLPatternPtr nacl = AddCrystal(crystalfixtures::NaCl(), L"NaCl");
  doc->RecomputeAllPatterns(true, true, true);
  // A narrow window far from the peak, so that centring has room to move.
  doc->SetPlotRange(70, 90, 0, 100, false);
  pane->m_hklField.SetWindowText(L"2 0 0");
  recorder.codes.clear();
  pane->SendMessage(g_msgGraphicsDoFindHKLSync);
  const CDiffractionSettings& s = *doc->GetSettings();
  // d(200) = 2.82 Å gives 2θ = 31.70° at 1.5406 Å: the plot centres there, not at the d value.
  EXPECT_NEAR((s.m_visibleXMin + s.m_visibleXMax) / 2, 31.70, 0.01);
  ASSERT_FALSE(recorder.codes.empty());
  EXPECT_EQ(recorder.codes.back(), CUHReflexionSelected::kCode);
  EXPECT_EQ(recorder.selectedPattern, nacl.get()) << "the hint names the pattern of the reflexion";
}

TEST_F(GraphicsPaneTest, FindWithoutSuchReflexionAlertsAndLeavesThePlot) {
  AddCrystal(crystalfixtures::NaCl(), L"NaCl");
  doc->RecomputeAllPatterns(true, true, true);
  const double lo = doc->GetSettings()->m_visibleXMin, hi = doc->GetSettings()->m_visibleXMax;
  ScriptedAlerts alerts;
  // 1 0 0 is absent in a face-centred cell.
  pane->m_hklField.SetWindowText(L"1 0 0");
  recorder.codes.clear();
  pane->OnDoFindHKL();
  ASSERT_EQ(ScriptedAlerts::shown.size(), 1u);
  CString expected;
  expected.Format(CString(qlwtest::AlertMessage(23129).c_str()).GetString(), 1, 0, 0);
  EXPECT_EQ(Utf8(ScriptedAlerts::shown[0].second), Utf8(expected));
  EXPECT_EQ(doc->GetSettings()->m_visibleXMin, lo);
  EXPECT_EQ(doc->GetSettings()->m_visibleXMax, hi);
  EXPECT_TRUE(recorder.codes.empty());
}

TEST_F(GraphicsPaneTest, FieldMarksStrayCharactersAndUnreadableIndices) {
  CQLPatternPtr nacl = AddCrystal(crystalfixtures::NaCl(), L"NaCl");
  SelectOnly({nacl});
  qlw::testing::SoundRecorder sounds;
  pane->m_hklField.SetWindowText(L"1 2x3");
  int from = 0, to = 0;
  pane->m_hklField.GetSel(from, to);
  EXPECT_EQ(from, 3);
  EXPECT_EQ(to, 5);
  EXPECT_EQ(Utf8(Field()), "1 2x3");  // nothing deleted
  EXPECT_EQ(sounds.Beeps(), std::vector<std::string>{"dialog-warning"});

  pane->m_hklField.SetWindowText(L"1234");
  ScriptedAlerts alerts;
  pane->OnDoFindHKL();
  pane->m_hklField.GetSel(from, to);
  EXPECT_EQ(from, 0);
  EXPECT_EQ(to, 4);
  EXPECT_EQ(sounds.Beeps(), (std::vector<std::string>{"dialog-warning", "dialog-warning"}));
  EXPECT_TRUE(ScriptedAlerts::shown.empty());
}

TEST_F(GraphicsPaneTest, EnterInTheFieldPostsTheFind) {
  AddCrystal(crystalfixtures::NaCl(), L"NaCl");
  doc->RecomputeAllPatterns(true, true, true);
  pane->m_hklField.SetWindowText(L"2 0 0");
  recorder.codes.clear();
  QTest::keyClick(qlw::WidgetOf(pane->m_hklField.m_hWnd), Qt::Key_Return);
  QApplication::processEvents();
  ASSERT_FALSE(recorder.codes.empty());
  EXPECT_EQ(recorder.codes.back(), CUHReflexionSelected::kCode);
}

TEST_F(GraphicsPaneTest, CanvasHearsOfADocumentReadBeforeThePaneWasMade) {
  // The template reads the document before the pane's initial update: the canvas must not wait
  // for the next change to show it.
  EXPECT_FALSE(pane->GetCanvas().IsSuspended());
  EXPECT_EQ(pane->GetCanvas().GetDlgCtrlID(), static_cast<int>(CImagingPane::kControlId));
}

TEST_F(GraphicsPaneTest, MinimumSizeKeepsTheBandControlsInView) {
  SIZE size{};
  pane->GetMinSize(size);
  EXPECT_GE(size.cx, CGraphicsPane::kMinWidth);
  EXPECT_EQ(size.cy, CGraphicsPane::kMinHeight);
  RECT client, button;
  pane->GetClientRect(&client);
  pane->m_patternButton.GetWindowRect(&button);
  pane->ScreenToClient(&button);
  EXPECT_GE(size.cx, client.right - button.left + 5);
  // The band's controls sit inside the band, the canvas below it.
  RECT edit;
  pane->m_hklField.GetWindowRect(&edit);
  pane->ScreenToClient(&edit);
  EXPECT_GE(edit.top, 0);
  EXPECT_LE(edit.bottom, CGraphicsPane::BandHeight());
  RECT canvas;
  pane->GetCanvas().GetWindowRect(&canvas);
  pane->ScreenToClient(&canvas);
  EXPECT_EQ(canvas.top, CGraphicsPane::BandHeight() + 1);
  EXPECT_EQ(canvas.bottom, client.bottom);
}

// ---- Dropped files ------------------------------------------------------------------------
namespace {
fs::path DropDir() {
  const fs::path dir = fs::path(qlwtest::ScratchDir()) / "pane-drop";
  fs::create_directories(dir);
  return dir;
}
CString Path(const fs::path& p) { return CString(p.wstring().c_str()); }
fs::path CopyOf(const fs::path& from, const std::string& name) {
  const fs::path to = DropDir() / name;
  fs::copy_file(from, to, fs::copy_options::overwrite_existing);
  return to;
}
fs::path Rutile() { return fs::path(QLW_SOURCE_DIR) / "examples" / "rutile.cif"; }
}  // namespace

TEST(GraphicsPaneDrop, AcceptsFoldersAndTheReadableTypesOnly) {
  InstallFileTypeRecogniser();
  auto write = [](const std::string& name, const std::string& bytes) {
    const fs::path p = DropDir() / name;
    std::ofstream(p, std::ios::binary) << bytes;
    return p;
  };
  auto hex = [](const std::string& name) {
    std::ifstream in(qlwtest::DataPath(name));
    return qlwtest::ParseHex(std::string(std::istreambuf_iterator<char>(in), {}));
  };
  struct Case {
    fs::path path;
    std::uint32_t type;  // what the recogniser must make of it (0: nothing)
    bool accepted;
  };
  const Case cases[] = {
      {write("crystal.lxdf", hex("crystal-v9.hex")), 1, true},
      {write("crystal.lxd5", hex("crystal-mac-v5.hex")), 4, true},
      {write("session.diffract", hex("session-v6.hex")), 10, true},
      {write("session.qlsf", hex("session-legacy.hex")), 11, true},
      {Rutile(), 22, true},
      {write("points.dat", "10 1\n10.5 2\n11 3\n11.5 2\n12 1\n"), 12, true},
      {write("notes.xyz", "nothing a reader knows\n"), 0, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IdentifyFileType(Path(c.path).GetString(), true), c.type) << c.path;
    EXPECT_EQ(CGraphicsPaneDrop::IsAcceptablePath(Path(c.path)), c.accepted) << c.path;
  }
  EXPECT_TRUE(CGraphicsPaneDrop::IsAcceptablePath(Path(DropDir())));
  EXPECT_FALSE(CGraphicsPaneDrop::IsAcceptablePath(Path(DropDir() / "missing.cif")));
  EXPECT_FALSE(CGraphicsPaneDrop::IsAcceptablePath(CString()));
}

TEST_F(GraphicsPaneTest, DropOfManyFilesAsksFirstAndAddsTheFilesSelected) {
  ScriptedAlerts alerts(2);  // Cancel
  std::vector<CString> files;
  for (int i = 0; i < 21; ++i) files.push_back(Path(CopyOf(Rutile(), "r" + std::to_string(i) + ".cif")));

  CLXDropData many(files);
  CGraphicsPaneDrop drop(pane);
  ASSERT_EQ(drop.OnDragEnter(pane, &many, 0, CPoint(50, 100)), static_cast<DWORD>(DROPEFFECT_COPY));
  EXPECT_FALSE(drop.OnDrop(pane, &many, DROPEFFECT_COPY, CPoint(50, 100)));
  ASSERT_EQ(ScriptedAlerts::shown.size(), 1u);
  EXPECT_TRUE(doc->GetPatterns().empty());

  // Twenty files, after a cancelled drop: nobody asks, and the cancel does not carry over.
  CQLPatternPtr earlier = AddCrystal(crystalfixtures::NaCl(), L"NaCl");
  ASSERT_TRUE(earlier->IsSelected());
  ScriptedAlerts::shown.clear();
  drop.m_bCancelled = true;
  files.pop_back();
  CLXDropData twenty(files);
  drop.OnDragEnter(pane, &twenty, 0, CPoint(50, 100));
  EXPECT_TRUE(drop.OnDrop(pane, &twenty, DROPEFFECT_COPY, CPoint(50, 100)));
  EXPECT_TRUE(ScriptedAlerts::shown.empty());
  EXPECT_EQ(doc->GetPatterns().size(), 21u);
  EXPECT_FALSE(earlier->IsSelected());
  EXPECT_EQ(CountPatterns(doc->GetPatterns(), true, false, false), 20);
  EXPECT_TRUE(drop.GetCollected().empty());
}

TEST_F(GraphicsPaneTest, DragOverThePlotFramesItUntilTheDragLeaves) {
  AddCrystal(crystalfixtures::Rutile(), L"rutile");
  QApplication::processEvents();
  QWidget* canvas = qlw::WidgetOf(pane->GetCanvas().m_hWnd);
  ASSERT_NE(canvas, nullptr);
  auto edge = [&] {
    QApplication::processEvents();
    const QImage image = canvas->grab().toImage();
    return image.pixelColor(1, image.height() / 2);
  };
  std::vector<CString> files{Path(Rutile())};
  CLXDropData data(files);
  CGraphicsPaneDrop drop(pane);
  ASSERT_EQ(drop.OnDragEnter(pane, &data, 0, CPoint(200, 200)), static_cast<DWORD>(DROPEFFECT_COPY));
  drop.OnDragOver(pane, &data, 0, CPoint(200, 200));
  // The frame is the highlight colour at half opacity over the white plot: bluer than it is red.
  const QColor during = edge();
  EXPECT_GT(during.blue() - during.red(), 20);
  drop.OnDragLeave(pane);
  const QColor after = edge();
  EXPECT_EQ(after.blue(), after.red());
}

// ---- Printing -----------------------------------------------------------------------------
namespace {
// The PDF rendered at `dpi` by Ghostscript; a null image when it cannot be.
QImage RenderPdf(const fs::path& pdf, int dpi) {
  const fs::path png = pdf.string() + ".png";
  fs::remove(png);
  const std::string command = "gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=png16m -r" + std::to_string(dpi) +
                              " -o '" + png.string() + "' '" + pdf.string() + "' >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) return QImage();
  return QImage(QString::fromStdString(png.string()));
}
// Bounding box of the pixels that are not (near) white.
QRect InkBox(const QImage& image) {
  int left = image.width(), top = image.height(), right = -1, bottom = -1;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QRgb c = image.pixel(x, y);
      if (qRed(c) > 235 && qGreen(c) > 235 && qBlue(c) > 235) continue;
      left = std::min(left, x), right = std::max(right, x), top = std::min(top, y), bottom = std::max(bottom, y);
    }
  return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}
}  // namespace

TEST_F(GraphicsPaneTest, PrintsOnePageWithThePlotCentredAtTheScreensAspect) {
  AddCrystal(crystalfixtures::Rutile(), L"rutile");
  doc->RecomputeAllPatterns(true, true, true);
  QApplication::processEvents();
  const fs::path pdf = fs::path(qlwtest::ScratchDir()) / "pane-print.pdf";
  fs::remove(pdf);
  int dialogs = 0;
  qlw::SetCommonDialogAnswer([&](QDialog* d) {
    auto* print = qobject_cast<QPrintDialog*>(d);
    if (!print) return;
    ++dialogs;
    // Accepting applies the dialog's own choices to the printer; the test's come after.
    d->accept();
    print->printer()->setOutputFormat(QPrinter::PdfFormat);
    print->printer()->setOutputFileName(QString::fromStdString(pdf.string()));
    print->printer()->setPageSize(QPageSize(QPageSize::A4));
    print->printer()->setPageOrientation(QPageLayout::Portrait);
    print->printer()->setPageMargins(QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
  });
  const CGraphicsPane* printing = pane;
  PrintingPlotAreaWindow window(printing);
  doc->SetDiffractWnd(&window);
  frame->SendMessage(WM_COMMAND, ID_FILE_PRINT, 0);
  doc->SetDiffractWnd(nullptr);
  EXPECT_EQ(dialogs, 1);
  // The diffraction window's plot area follows the page while printing and the screen after.
  EXPECT_EQ(window.printingAtUpdate, (std::vector<bool>{true, false}));
  ASSERT_EQ(pane->prints.size(), 1u);
  EXPECT_TRUE(pane->prints[0].printing);
  EXPECT_FALSE(pane->prints[0].preview);
  // A4 less 10 mm margins at 600 dpi: 190 × 277 mm.
  EXPECT_NEAR(pane->prints[0].drawRect.Width(), 190 / 25.4 * 600, 12);
  EXPECT_NEAR(pane->prints[0].drawRect.Height(), 277 / 25.4 * 600, 12);
  EXPECT_FALSE(pane->m_bPrinting);
  EXPECT_EQ(pane->m_pPrintInfo, nullptr);

  ASSERT_TRUE(fs::exists(pdf));
  const QImage page = RenderPdf(pdf, 72);
  ASSERT_FALSE(page.isNull()) << "Ghostscript could not render the PDF";
  // One A4 page (595 × 842 points).
  EXPECT_NEAR(page.width(), 595, 2);
  EXPECT_NEAR(page.height(), 842, 2);
  const QRect ink = InkBox(page);
  ASSERT_FALSE(ink.isEmpty());
  RECT client;
  pane->GetCanvas().GetClientRect(&client);
  const double screenAspect = double(client.right) / double(client.bottom);
  // The plot fills the printable width and keeps the canvas's aspect, centred on the page.
  const double margin = 10 / 25.4 * 72;
  EXPECT_NEAR(ink.width(), 595 - 2 * margin, 0.04 * 595);
  EXPECT_NEAR(double(ink.width()) / double(ink.height()), screenAspect, 0.06 * screenAspect);
  EXPECT_NEAR(ink.center().y(), 842 / 2.0, 0.03 * 842);
  EXPECT_NEAR(ink.center().x(), 595 / 2.0, 0.03 * 595);
}

TEST_F(GraphicsPaneTest, PreviewDrawsThePageWithThePreviewFlag) {
  AddCrystal(crystalfixtures::Rutile(), L"rutile");
  doc->RecomputeAllPatterns(true, true, true);
  int previews = 0;
  qlw::SetCommonDialogAnswer([&](QDialog* d) {
    auto* preview = qobject_cast<QPrintPreviewDialog*>(d);
    if (!preview) return;
    ++previews;
    if (auto* widget = preview->findChild<QPrintPreviewWidget*>()) widget->updatePreview();
    QApplication::processEvents();
    d->reject();
  });
  pane->SendMessage(WM_COMMAND, ID_FILE_PRINT_PREVIEW, 0);
  EXPECT_EQ(previews, 1);
  ASSERT_FALSE(pane->prints.empty());
  EXPECT_TRUE(pane->prints.back().preview);
  EXPECT_TRUE(pane->prints.back().printing);
  EXPECT_FALSE(pane->m_bPreview);
}

TEST_F(GraphicsPaneTest, PageSetupMakesTheChosenPageTheApplicationsAndKeepsItsMargins) {
  qlw::SetCommonDialogAnswer([&](QDialog* d) {
    d->accept();
  });
  QPrinter& printer = qlw::ApplicationPrinter();
  printer.setPageMargins(QMarginsF(12, 15, 12, 15), QPageLayout::Millimeter);
  pane->SendMessage(WM_COMMAND, ID_FILE_PAGE_SETUP, 0);
  EXPECT_EQ(pane->m_pageMargins.left, 1200);
  EXPECT_EQ(pane->m_pageMargins.top, 1500);
  EXPECT_EQ(pane->m_printerDefaults.lStructSize, sizeof(PRINTDLGW));

  // Cancel changes nothing.
  qlw::SetCommonDialogAnswer([&](QDialog* d) { d->reject(); });
  printer.setPageMargins(QMarginsF(20, 20, 20, 20), QPageLayout::Millimeter);
  pane->SendMessage(WM_COMMAND, ID_FILE_PAGE_SETUP, 0);
  EXPECT_EQ(pane->m_pageMargins.left, 1200);
}

TEST_F(GraphicsPaneTest, TabMovesThroughTheBandInOrder) {
  AddCrystal(crystalfixtures::NaCl(), L"NaCl");
  doc->RecomputeAllPatterns(true, true, true);
  qlw::WidgetOf(frame->m_hWnd)->activateWindow();
  QWidget* button = qlw::WidgetOf(pane->m_patternButton.m_hWnd);
  QWidget* field = qlw::WidgetOf(pane->m_hklField.m_hWnd);
  QWidget* reflexions = qlw::WidgetOf(pane->m_reflexionsButton.m_hWnd);
  button->setFocus(Qt::TabFocusReason);
  QApplication::processEvents();
  ASSERT_EQ(QApplication::focusWidget(), button);
  const struct {
    Qt::Key key;
    QWidget* next;
    const char* name;
  } steps[] = {{Qt::Key_Tab, field, "hkl field"}, {Qt::Key_Tab, reflexions, "Reflexions button"},
               {Qt::Key_Backtab, field, "hkl field, back"}};
  for (const auto& step : steps) {
    QTest::keyClick(QApplication::focusWidget(), step.key);
    QApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), step.next) << step.name;
  }
}
