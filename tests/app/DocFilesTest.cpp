// Opening, adding and saving documents: sessions replace, other files append, failures leave the
// document as it was, and saving goes through the session file or asks for a path.
#include "DocTestSupport.h"

#include "FileTypes.h"
#include "LXAlert.h"
#include "LXMessage.h"
#include "QLCrystal.h"
#include "QLCrystalPattern.h"
#include "QLReflexion.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <utility>

using doctest::RecordingView;
namespace fs = std::filesystem;

namespace {
CString W(const std::string& s) { return CString(s.c_str()); }

std::string Scratch(const std::string& name) {
  const fs::path dir = fs::path(qlwtest::ScratchDir()) / "docfiles";
  fs::create_directories(dir);
  return (dir / name).string();
}

int g_datasetRead = 0;
LRESULT CALLBACK CountingProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == g_msgDatasetRead) {
    ++g_datasetRead;
    return 0;
  }
  return DefWindowProcW(wnd, message, wParam, lParam);
}

// A top-level window of the UI thread that counts "DatasetRead".
class DatasetReadCounter {
 public:
  DatasetReadCounter() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = CountingProc;
    wc.lpszClassName = L"QlwDocTestCounter";
    RegisterClassExW(&wc);
    m_wnd = CreateWindowExW(0, L"QlwDocTestCounter", L"", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                            nullptr);
    g_datasetRead = 0;
  }
  ~DatasetReadCounter() { DestroyWindow(m_wnd); }

 private:
  HWND m_wnd;
};

class DocFiles : public testing::Test {
 protected:
  static void SetUpTestSuite() { InstallFileTypeRecogniser(); }
};

// A pattern whose recompute fails, as a structure beyond the reflexion budget does.
class FailingPattern : public doctest::FixturePattern {
 public:
  void ApplySettings(const CDiffractionSettings&) override { throw CLXXFile(kLXSeverityMessage, 0, __LINE__); }
};

std::string MoleculeFile() { return doctest::WriteScratchFile("water.lxmf", std::string("LXMF\0\0\0\0", 8)); }

// Same reflexions, same order, same intensities.
void ExpectSameReflexions(CQLPattern& a, CQLPattern& b, const std::string& what) {
  const auto& ra = a.GetCrystal()->m_reflexions;
  const auto& rb = b.GetCrystal()->m_reflexions;
  ASSERT_EQ(ra.size(), rb.size()) << what;
  double top = 0.0;
  for (const auto& r : ra) top = std::max(top, r->intensity);
  for (size_t i = 0; i < ra.size(); ++i) {
    ASSERT_EQ(std::make_tuple(ra[i]->h, ra[i]->k, ra[i]->l), std::make_tuple(rb[i]->h, rb[i]->k, rb[i]->l)) << what << " #" << i;
    EXPECT_NEAR(ra[i]->intensity, rb[i]->intensity, 1e-4 * top) << what << " #" << i;
  }
}
}  // namespace

TEST_F(DocFiles, MoleculeFileIsRefusedAndTheRestOfTheDropRead) {
  CQlwDoc doc;
  RecordingView view;
  doc.AddView(&view);
  DatasetReadCounter counter;
  const std::string copy = Scratch("rutile2.cif");
  fs::copy_file(doctest::RutilePath(), copy, fs::copy_options::overwrite_existing);

  testing::internal::CaptureStderr();
  doc.AddFilesFromDrop({W(doctest::RutilePath()), W(MoleculeFile()), W(copy)});
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("Molecule files not permitted."), std::string::npos) << err;
  EXPECT_EQ(doc.GetPatterns().size(), 2u);
  EXPECT_EQ(g_datasetRead, 3) << "once per file read and once at the end";
  EXPECT_EQ(view.codes, std::vector<int>{19}) << "no plot hint while several files are read";
  EXPECT_FALSE(doc.IsAddingSeveral());
  EXPECT_FALSE(g_appAddingToDocument);

  // Alone, the molecule file leaves the document as it was.
  testing::internal::CaptureStderr();
  EXPECT_FALSE(doc.OnOpenDocument(W(MoleculeFile()).GetString()));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("Molecule files not permitted."), std::string::npos);
  EXPECT_EQ(doc.GetPatterns().size(), 2u);
}

// A scan whose header agrees but which holds no value adds nothing, dropped or opened, as an x–y
// file without a point does; the rest of a drop is still read.
TEST_F(DocFiles, AScanWithoutValuesAddsNothing) {
  const std::string empty =
      doctest::WriteScratchFile("header-only.asc", "*START = 10\n*STOP = 20\n*STEP = 0.5\n*COUNT = 21\n");
  const std::string points = doctest::WriteScratchFile("points.xy", "10 1\n11 2\n12 3\n");
  CQlwDoc doc;
  testing::internal::CaptureStderr();
  doc.AddFilesFromDrop({W(empty), W(points)});
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("No data in file."), std::string::npos) << err;
  ASSERT_EQ(doc.GetPatterns().size(), 1u);
  EXPECT_EQ(doc.GetPatterns().front()->m_title, CString(L"points"));

  CQlwDoc opened;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(opened.OnOpenDocument(W(empty).GetString()));
  err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("No data in file."), std::string::npos) << err;
  EXPECT_TRUE(opened.GetPatterns().empty());
}

// A name that leads nowhere (a typing slip) is told as a missing file, not as a type the program
// does not know; a file of no known kind still is.
TEST_F(DocFiles, AMissingFileIsToldAsMissingAndAnUnknownOneAsOfUnknownType) {
  const std::string unknown = doctest::WriteScratchFile("notes.xyz", "nothing a reader knows\n");
  const struct {
    std::string path;
    const char* told;
    const char* notTold;
  } cases[] = {
      {Scratch("no-such-file.cif"), "The specified file could not be found.", "not recognised"},
      {unknown, "is of a type not recognised", "could not be found"},
  };
  for (const auto& c : cases) {
    CQlwDoc doc;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(doc.OnOpenDocument(W(c.path).GetString())) << c.path;
    EXPECT_FALSE(CQlwDoc::CanBeRead(W(c.path))) << c.path;
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(c.told), std::string::npos) << err;
    EXPECT_EQ(err.find(c.notTold), std::string::npos) << err;
    EXPECT_TRUE(doc.GetPatterns().empty());
  }
}

TEST_F(DocFiles, SessionReplacesAFreshDocumentAndLaterFilesAppend) {
  const std::string session = Scratch("round.quillono");
  {
    CQlwDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(W(doctest::RutilePath()).GetString()));
    EXPECT_TRUE(doc.IsModified()) << "a structure file is not saved work";
    EXPECT_TRUE(doc.GetPathName().IsEmpty()) << "a CIF is no place to save a session";
    doc.GetSettings()->m_lambda = 1.2;
    doc.GetWindowState()->structuresWidth = 321;
    doc.GetWindowState()->openPanes = {L"Unit Cell"};
    ASSERT_TRUE(doc.OnSaveDocument(W(session).GetString()));
    EXPECT_FALSE(doc.IsModified());
  }
  CQlwDoc doc;
  doc.OnNewDocument();
  ASSERT_TRUE(doc.OnOpenDocument(W(session).GetString()));
  EXPECT_FALSE(doc.IsModified()) << "a session opened is saved work";
  EXPECT_EQ(doc.GetTitle(), CString(L"round"));
  EXPECT_EQ(doc.GetPatterns().size(), 1u);
  EXPECT_FLOAT_EQ(doc.GetSettings()->m_lambda, 1.2f) << "sessions keep single precision";
  EXPECT_EQ(doc.GetWindowState()->structuresWidth, 321);
  EXPECT_EQ(doc.GetWindowState()->openPanes, std::list<CString>{L"Unit Cell"});
  ASSERT_TRUE(doc.GetAnyCrystalPattern()->HasData());

  doc.AddFilesFromDrop({W(doctest::RutilePath())});
  EXPECT_EQ(doc.GetPatterns().size(), 2u);
  EXPECT_EQ(doc.GetWindowState()->structuresWidth, 321) << "an added file keeps the layout";
  EXPECT_FLOAT_EQ(doc.GetSettings()->m_lambda, 1.2f) << "sessions keep single precision";
  EXPECT_TRUE(doc.IsModified());
}

TEST_F(DocFiles, SessionBringsBackThePlotRangesItWasSavedWith) {
  std::string scan;
  for (int i = 0; i < 1400; ++i) {
    const double x = 10.0 + 0.05 * i;
    scan += std::to_string(x) + " " + std::to_string(40.0 + 900.0 * std::exp(-std::pow((x - 36.1) / 0.2, 2))) + "\n";
  }
  const std::string data = doctest::WriteScratchFile("scan.xy", scan);
  struct Ranges {
    double dataMin, dataMax, xMin, xMax, yMin, yMax;
  };
  const auto ranges = [](CQlwDoc& doc) {
    const CDiffractionSettings& s = *doc.GetSettings();
    return Ranges{s.m_defaultXMin, s.m_defaultXMax, s.m_visibleXMin, s.m_visibleXMax, s.m_visibleYMin, s.m_visibleYMax};
  };
  // As autoscaled after the files were read, and as a user zoomed it.
  for (bool zoomed : {false, true}) {
    const std::string session = Scratch(zoomed ? "zoomed.quillonographic" : "autoscaled.quillonographic");
    Ranges saved{};
    {
      CQlwDoc doc;
      doc.OnNewDocument();
      ASSERT_TRUE(doc.OnOpenDocument(W(doctest::RutilePath()).GetString()));
      doc.AddFilesFromDrop({W(data)});
      if (zoomed) doc.SetPlotRange(25.0, 48.5, 12.0, 1234.5, false);
      saved = ranges(doc);
      ASSERT_TRUE(doc.OnSaveDocument(W(session).GetString()));
    }
    CQlwDoc doc;
    doc.OnNewDocument();
    ASSERT_TRUE(doc.OnOpenDocument(W(session).GetString()));
    const Ranges back = ranges(doc);
    const double* a = &saved.dataMin;
    const double* b = &back.dataMin;
    // Sessions keep single precision.
    for (int i = 0; i < 6; ++i) EXPECT_FLOAT_EQ(float(b[i]), float(a[i])) << (zoomed ? "zoomed " : "") << "range value " << i;
  }
  // A structure file brings no range: it is autoscaled.
  CQlwDoc doc;
  doc.OnNewDocument();
  ASSERT_TRUE(doc.OnOpenDocument(W(doctest::RutilePath()).GetString()));
  EXPECT_GT(doc.GetSettings()->m_visibleYMax, 0.0);
  EXPECT_NEAR(doc.GetSettings()->m_visibleYMax, 1.05 * doc.GetMaxVisibleIntensity(), 1e-9 * doc.GetSettings()->m_visibleYMax);
}

TEST_F(DocFiles, DamagedSessionLeavesTheDocumentAsItWas) {
  const std::string session = Scratch("whole.quillono");
  {
    CQlwDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(W(doctest::RutilePath()).GetString()));
    ASSERT_TRUE(doc.OnSaveDocument(W(session).GetString()));
  }
  std::ifstream in(session, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string damaged = doctest::WriteScratchFile("half.quillono", bytes.substr(0, bytes.size() * 2 / 3));

  CQlwDoc doc;
  doc.AddFilesFromDrop({W(doctest::RutilePath())});
  doc.GetSettings()->m_lambda = 0.7;
  const CQLPatternPtr before = doc.GetPatterns().front();
  testing::internal::CaptureStderr();
  EXPECT_FALSE(doc.OnOpenDocument(W(damaged).GetString()));
  EXPECT_FALSE(testing::internal::GetCapturedStderr().empty()) << "the user is told";
  ASSERT_EQ(doc.GetPatterns().size(), 1u);
  EXPECT_EQ(doc.GetPatterns().front(), before);
  EXPECT_EQ(doc.GetSettings()->m_lambda, 0.7);
}

TEST_F(DocFiles, PatternsThatCannotBeTakenInAreTakenOutAgain) {
  CQlwDoc doc;
  doc.AddFilesFromDrop({W(doctest::RutilePath())});
  const CQLPatternList before = doc.GetPatterns();
  CQLPatternList read{std::make_shared<FailingPattern>()};
  read.front()->m_settingsPending = 1;
  CDiffractionSettings settings = *doc.GetSettings();
  CQlwDocWindowState state;
  EXPECT_THROW(doc.AddReadPatterns(read, settings, state, false), CLXXFile);
  EXPECT_EQ(doc.GetPatterns(), before) << "only what this read added is removed";
}

TEST_F(DocFiles, SaveAsksForAPathWhereThereIsNoSessionToWrite) {
  CQlwDoc doc;
  ASSERT_TRUE(doc.OnOpenDocument(W(doctest::RutilePath()).GetString()));
  const std::string folder = fs::path(Scratch("x")).parent_path().string();
  const std::string written = folder + "/typed.quillono";
  {
    // Typed without an extension: the chosen type's is added before the name is checked.
    doctest::TypedFileName answer(1, folder + "/typed");
    doc.OnFileSave();
    EXPECT_EQ(answer.shown, 1);
    EXPECT_EQ(answer.title, "Save Quillonographic File As...");
    EXPECT_EQ(answer.filters, QStringList{"Session File (*.quillono *.quillonographic *.diffract)"});
    EXPECT_TRUE(fs::exists(written));
    EXPECT_EQ(doc.GetPathName(), W(written));
    EXPECT_FALSE(doc.IsModified());

    // Now Save writes in place.
    doc.SetModifiedFlag(TRUE);
    doc.OnFileSave();
    EXPECT_EQ(answer.shown, 1);
    EXPECT_FALSE(doc.IsModified());
  }
  // A read-only file goes to Save As.
  fs::permissions(written, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  doctest::TypedFileName answer(1, folder + "/another");
  doc.SetModifiedFlag(TRUE);
  doc.OnFileSave();
  EXPECT_EQ(answer.shown, 1);
  EXPECT_EQ(doc.GetPathName(), W(folder + "/another.quillono"));
  fs::permissions(written, fs::perms::owner_all);
}

TEST_F(DocFiles, FailedSaveKeepsTheDocumentModifiedAndSaysWhy) {
  CQlwDoc doc;
  ASSERT_TRUE(doc.OnOpenDocument(W(doctest::RutilePath()).GetString()));
  testing::internal::CaptureStderr();
  EXPECT_FALSE(doc.OnSaveDocument(W(Scratch("no-such-folder/x.quillono")).GetString()));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("no-such-folder"), std::string::npos);
  EXPECT_TRUE(doc.IsModified());
}

TEST_F(DocFiles, PatternFilesAreFoundAgainOrTheirPatternsKeptHidden) {
  // A session beside a copy of the structure, naming it by a path made on Windows.
  const std::string session = Scratch("moved.quillono");
  fs::copy_file(doctest::RutilePath(), Scratch("rutile.cif"), fs::copy_options::overwrite_existing);
  CQlwDoc doc;
  ASSERT_TRUE(doc.OnOpenDocument(W(doctest::RutilePath()).GetString()));
  ASSERT_TRUE(doc.OnSaveDocument(W(session).GetString()));
  doc.SetPathName(W(session).GetString());

  auto moved = std::make_shared<CQLCrystalPattern>();
  moved->m_filePath = L"C:\\Users\\someone\\rutile.cif";
  moved->m_title = L"rutile";
  auto gone = std::make_shared<CQLCrystalPattern>();
  gone->m_filePath = L"/no/such/place/gone.cif";
  gone->m_title = L"gone";
  doc.GetPatterns().push_back(moved);
  doc.GetPatterns().push_back(gone);

  testing::internal::CaptureStderr();
  doc.ShowPatterns({moved, gone});
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(moved->IsShown());
  EXPECT_TRUE(moved->HasData());
  EXPECT_FALSE(moved->GetCrystal()->m_sites.empty());
  EXPECT_EQ(doc.GetPatterns().size(), 3u) << "the pattern whose file is gone stays";
  EXPECT_FALSE(gone->IsShown());
  EXPECT_NE(err.find("/no/such/place/gone.cif"), std::string::npos) << err;
}

TEST_F(DocFiles, ReloadTakesTheBlockOfTheSameTitle) {
  const std::string cif = qlwtest::SharedTestDataPath("cif/17_grunerite+galena_2blocks_AMCSD.cif");
  if (cif.empty()) GTEST_SKIP() << "../shared/testdata is absent";
  CQlwDoc doc;
  ASSERT_TRUE(doc.OnOpenDocument(W(cif).GetString()));
  ASSERT_EQ(doc.GetPatterns().size(), 2u);
  const CQLPatternPtr second = doc.GetPatterns().back();
  auto stub = std::make_shared<CQLCrystalPattern>();
  stub->m_filePath = second->m_filePath;
  stub->m_title = second->m_title;
  doc.GetPatterns().push_back(stub);
  doc.ShowPatterns({stub});
  EXPECT_EQ(stub->GetCrystal()->m_a, second->GetCrystal()->m_a);
  EXPECT_EQ(stub->GetCrystal()->m_spaceGroupSymbol, second->GetCrystal()->m_spaceGroupSymbol);
}

TEST_F(DocFiles, EveryRealCifSurvivesASessionRoundTrip) {
  const std::string dir = qlwtest::SharedTestDataPath("cif");
  if (dir.empty()) GTEST_SKIP() << "../shared/testdata is absent";
  int checked = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    const std::string cif = entry.path().string();
    const std::string session = Scratch(entry.path().stem().string() + ".quillono");
    CQlwDoc first;
    testing::internal::CaptureStderr();
    const bool opened = first.OnOpenDocument(W(cif).GetString());
    testing::internal::GetCapturedStderr();
    ASSERT_TRUE(opened) << cif;
    ASSERT_TRUE(first.OnSaveDocument(W(session).GetString())) << cif;
    CQlwDoc second;
    ASSERT_TRUE(second.OnOpenDocument(W(session).GetString())) << cif;
    ASSERT_EQ(first.GetPatterns().size(), second.GetPatterns().size()) << cif;
    for (auto a = first.GetPatterns().begin(), b = second.GetPatterns().begin(); a != first.GetPatterns().end();
         ++a, ++b) {
      EXPECT_EQ((*a)->m_title, (*b)->m_title) << cif;
      ASSERT_NE((*a)->GetCrystal(), nullptr) << cif;
      EXPECT_FALSE((*a)->GetCrystal()->m_reflexions.empty()) << cif;
      ExpectSameReflexions(**a, **b, cif);
    }
    ++checked;
  }
  EXPECT_GT(checked, 10);
}

namespace {
// The diffraction window as the document sees it.
class FakeWindow : public CQlwDocWindow {
 public:
  HWND GetSafeHwnd() const override { return nullptr; }
  bool HasRestoredLayout() const override { return restored; }
  bool GetScreenRect(LXGraphics::CSyncRect& out) const override {
    out.SetLTRB(10, 20, 810, 620);
    return true;
  }
  void MoveOnScreen(const LXGraphics::CSyncRect& rect) override {
    moved = rect;
    restored = true;
  }
  bool IsPaneShown(Pane pane) const override { return shown[pane]; }
  void PostMenuCommand(UINT id) override { commands.push_back(id); }
  int GetParametersTab() const override { return tab; }
  void SelectParametersTab(int t) override { tab = t; }
  void CloseInspectorPanes() override { open.clear(); }
  void DisclosePane(const CString& header) override { open.push_back(header); }
  void GetOpenPaneNames(std::list<CString>& out) const override { out = open; }
  void InvalidateAll() override {}

  bool restored = false;
  LXGraphics::CSyncRect moved;
  bool shown[3] = {true, true, false};
  std::vector<UINT> commands;
  int tab = 1;
  std::list<CString> open{L"Instrument"};
};
}  // namespace

TEST_F(DocFiles, SessionLayoutIsTakenFromAndGivenToTheWindow) {
  const std::string session = Scratch("layout.quillono");
  {
    CQlwDoc doc;
    FakeWindow window;
    doc.SetDiffractWnd(&window);
    ASSERT_TRUE(doc.OnOpenDocument(W(doctest::RutilePath()).GetString()));
    // The user rearranges the window before saving.
    window.tab = 2;
    window.shown[CQlwDocWindow::kPaneReflexions] = true;
    window.shown[CQlwDocWindow::kPaneStructures] = false;
    window.open = {L"Unit Cell", L"Sample"};
    ASSERT_TRUE(doc.OnSaveDocument(W(session).GetString()));
    EXPECT_EQ(doc.GetWindowState()->rectKind, 3);
  }
  CQlwDoc doc;
  FakeWindow window;
  doc.SetDiffractWnd(&window);
  ASSERT_TRUE(doc.OnOpenDocument(W(session).GetString()));
  EXPECT_EQ(window.moved.m_float.Width, 800.0f);
  EXPECT_EQ(window.tab, 2);
  // Patterns pane shown but not wanted, reflexions wanted but hidden: both toggled.
  EXPECT_EQ(window.commands, (std::vector<UINT>{33591, 33589}));
  EXPECT_EQ(window.open, (std::list<CString>{L"Unit Cell", L"Sample"}));

  // A second session into the same window keeps the layout the window has.
  window.commands.clear();
  window.open = {L"Instrument"};
  doc.AddFilesFromDrop({W(session)});
  EXPECT_TRUE(window.commands.empty());
  EXPECT_EQ(window.open, std::list<CString>{L"Instrument"});
  EXPECT_EQ(doc.GetPatterns().size(), 2u);
}

TEST_F(DocFiles, AFileThatNowHoldsAnotherKindLeavesThePatternHidden) {
  const std::string data = doctest::WriteScratchFile("now-data.dat", "10 1\n20 5\n30 2\n40 1\n");
  CQlwDoc doc;
  auto crystal = std::make_shared<CQLCrystalPattern>();
  crystal->m_filePath = W(data);
  crystal->m_title = L"now-data";
  doc.GetPatterns().push_back(crystal);
  testing::internal::CaptureStderr();
  EXPECT_NO_THROW(doc.ShowPatterns({crystal}));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("now-data.dat"), std::string::npos);
  EXPECT_EQ(doc.GetPatterns().size(), 1u);
  EXPECT_FALSE(crystal->IsShown());
}

namespace {
// While it lives, alerts are answered at once and their message and explanation kept.
class AlertTexts {
 public:
  AlertTexts() : m_silent(std::exchange(g_silentMode, false)) {
    s_alerts.clear();
    if (const char* quiet = std::getenv("QLW_QUIET")) m_quiet = quiet;
    unsetenv("QLW_QUIET");
    m_previous = CLXAlert::SetPresenter([](const CLXAlert& alert) -> UINT {
      s_alerts.emplace_back(alert.GetPart(CLXException::kMessage).ToUtf8(), alert.GetPart(CLXException::kExplanation).ToUtf8());
      return 1;
    });
  }
  ~AlertTexts() {
    CLXAlert::SetPresenter(m_previous);
    if (!m_quiet.empty()) setenv("QLW_QUIET", m_quiet.c_str(), 1);
    g_silentMode = m_silent;
  }
  static inline std::vector<std::pair<std::string, std::string>> s_alerts;

 private:
  bool m_silent;
  std::string m_quiet;
  CLXAlert::Presenter m_previous = nullptr;
};

// A text crystal file of rutile's cell whose first `bad` oxygen lines lack z: each is a warning.
std::string CrystalWithAtomsLackingZ(const std::string& name, int bad) {
  std::string text = "TITL  rutile\nCELL  4.5937 4.5937 2.9587  90 90 90\nSPGR  P 42/m n m\nATOM\nTi  Ti1  0 0 0\n";
  for (int i = 1; i <= bad; ++i) text += "O  O" + std::to_string(i) + "  0.3048 0.3048\n";
  return doctest::WriteScratchFile(name, text);
}

size_t CountLines(const std::string& text) { return text.empty() ? 0 : 1 + std::count(text.begin(), text.end(), '\n'); }
}  // namespace

TEST_F(DocFiles, AFileReadWithWarningsGivesOneAlertThatNamesItAndListsThem) {
  const struct {
    int bad;
    size_t lines;
    const char* last;
  } cases[] = {{1, 1, "discarding site 'O1'."}, {20, 20, "discarding site 'O20'."}, {23, 21, "...and 3 more."}};
  for (const auto& c : cases) {
    const std::string path = CrystalWithAtomsLackingZ("lacking-z.lxtx", c.bad);
    AlertTexts alerts;
    CQlwDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(W(path).GetString())) << c.bad;
    ASSERT_EQ(AlertTexts::s_alerts.size(), 1u) << c.bad;
    const auto& [message, explanation] = AlertTexts::s_alerts[0];
    EXPECT_EQ(message, "'" + path + "' was read with warnings.");
    EXPECT_EQ(CountLines(explanation), c.lines) << explanation;
    EXPECT_EQ(explanation.substr(0, explanation.find('\n')),
              "Warning: Unreadable atom record 'O  O1  0.3048 0.3048'; discarding site 'O1'.");
    EXPECT_EQ(explanation.substr(explanation.size() - std::string(c.last).size()), c.last) << explanation;
    EXPECT_EQ(doc.GetPatterns().front()->GetCrystal()->m_sites.size(), 1u) << "Ti1 only";
  }
}

TEST_F(DocFiles, WarningsAreShownPerFileOfADropAndNotForATrialRead) {
  const std::string first = CrystalWithAtomsLackingZ("lacking-z-1.lxtx", 1);
  const std::string second = CrystalWithAtomsLackingZ("lacking-z-2.lxtx", 2);
  AlertTexts alerts;
  EXPECT_TRUE(CQlwDoc::CanBeRead(W(first)));
  EXPECT_TRUE(AlertTexts::s_alerts.empty()) << "the open that follows shows them";
  CQlwDoc doc;
  doc.AddFilesFromDrop({W(first), W(doctest::RutilePath()), W(second)});
  ASSERT_EQ(AlertTexts::s_alerts.size(), 2u);
  EXPECT_NE(AlertTexts::s_alerts[0].first.find(first), std::string::npos);
  EXPECT_NE(AlertTexts::s_alerts[1].first.find(second), std::string::npos);
  EXPECT_EQ(CountLines(AlertTexts::s_alerts[1].second), 2u);
  EXPECT_EQ(doc.GetPatterns().size(), 3u);
}

// A file of a drop that cannot be read gives its reader's alert alone, naming the file among the
// others; the warnings its reader noted on the way belong to no read. Dropped alone, the alert is
// as it was.
TEST_F(DocFiles, AFileOfADropThatCannotBeReadGivesOneAlertThatNamesIt) {
  std::string rutile;
  {
    std::ifstream in(doctest::RutilePath());
    rutile.assign(std::istreambuf_iterator<char>(in), {});
  }
  // Cut after an item's name, before its value: the reader notes the missing value, then cannot build the cell.
  const std::string cut =
      doctest::WriteScratchFile("cut-in-cell.cif", rutile.substr(0, rutile.find("_cell_length_c") + 15));
  AlertTexts alerts;
  CQlwDoc doc;
  doc.AddFilesFromDrop({W(cut), W(doctest::RutilePath())});
  ASSERT_EQ(AlertTexts::s_alerts.size(), 1u) << AlertTexts::s_alerts.back().first;
  EXPECT_EQ(AlertTexts::s_alerts[0].first, "The unit cell cannot be built.");
  EXPECT_NE(AlertTexts::s_alerts[0].second.find(cut), std::string::npos) << AlertTexts::s_alerts[0].second;
  EXPECT_EQ(doc.GetPatterns().size(), 1u);
  AlertTexts::s_alerts.clear();
  doc.AddFilesFromDrop({W(cut)});
  ASSERT_EQ(AlertTexts::s_alerts.size(), 1u);
  EXPECT_EQ(AlertTexts::s_alerts[0].second.find(cut), std::string::npos) << AlertTexts::s_alerts[0].second;
}

// Sites of an element the table lacks (water labelled "Wat…", as published zeolite files have it):
// the mismatch alert says nothing of which site, so one per read tells all that nine would.
TEST_F(DocFiles, UnknownElementsAreReportedOncePerReadAndNotByATrialRead) {
  std::string text = "TITL  wet rutile\nCELL  4.5937 4.5937 2.9587  90 90 90\nSPGR  P 42/m n m\nATOM\nTi  Ti1  0 0 0\n";
  for (int i = 1; i <= 3; ++i) text += "Wa  Wat" + std::to_string(i) + "  0.1" + std::to_string(i) + " 0.2 0.3\n";
  const std::string path = doctest::WriteScratchFile("wet-rutile.lxtx", text);
  const auto mismatches = [] {
    return std::count_if(AlertTexts::s_alerts.begin(), AlertTexts::s_alerts.end(),
                         [](const auto& a) { return a.first == "Error matching atomic scattering factors!"; });
  };
  AlertTexts alerts;
  EXPECT_TRUE(CQlwDoc::CanBeRead(W(path)));
  EXPECT_EQ(mismatches(), 0) << "the open that follows reports them";
  CQlwDoc doc;
  ASSERT_TRUE(doc.OnOpenDocument(W(path).GetString()));
  EXPECT_EQ(mismatches(), 1);
  doc.AddFilesFromDrop({W(path)});
  EXPECT_EQ(mismatches(), 2) << "each read reports its own";
  ASSERT_EQ(doc.GetPatterns().size(), 2u);
  EXPECT_EQ(doc.GetPatterns().front()->GetCrystal()->m_sites.size(), 4u) << "the sites are kept";
}

TEST_F(DocFiles, PatternsReadAgainFromOneFileShowItsWarningsOnce) {
  const std::string path = CrystalWithAtomsLackingZ("lacking-z-reload.lxtx", 1);
  CQlwDoc doc;
  std::vector<std::shared_ptr<CQLCrystalPattern>> patterns;
  for (const wchar_t* title : {L"first", L"second"}) {
    auto p = std::make_shared<CQLCrystalPattern>();
    p->m_filePath = W(path);
    p->m_title = title;
    doc.GetPatterns().push_back(p);
    patterns.push_back(p);
  }
  AlertTexts alerts;
  doc.ShowPatterns({patterns[0], patterns[1]});
  ASSERT_EQ(AlertTexts::s_alerts.size(), 1u);
  EXPECT_NE(AlertTexts::s_alerts[0].second.find("'O1'"), std::string::npos);
  EXPECT_TRUE(patterns[1]->IsShown());
}
