// The document's commands: the numbers each one leaves in the settings and patterns, the hints it
// sends, the state of its menu items, and the dialogs it opens through its window.
#include "DocTestSupport.h"

#include "CommonDialogs.h"
#include "FileTypes.h"
#include "LXDocTypes.h"
#include "Preferences.h"
#include "QLCrystalPattern.h"
#include "QLMixturePattern.h"
#include "QLObservedPattern.h"
#include "QlwDocTypes.h"
#include "TestSupport.h"
#include "WidgetApp.h"

#include <gtest/gtest.h>

#include <QColorDialog>
#include <QFileDialog>
#include <QFileInfo>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>

using doctest::FixturePattern;
using doctest::RecordingView;

namespace {
// The state an update handler leaves, as a menu item would show it.
class RecordingCmdUI : public CCmdUI {
 public:
  explicit RecordingCmdUI(UINT id) { m_nID = id; }
  void Enable(BOOL on) override {
    enabled = on != FALSE;
    m_bEnableChanged = TRUE;
  }
  void SetCheck(int check) override { checked = check != 0; }
  void SetRadio(BOOL on) override { checked = on != FALSE; }
  void SetText(LPCWSTR t) override { text = t; }
  bool enabled = false;
  bool checked = false;
  CString text;
};

RecordingCmdUI Update(CQlwDoc& doc, UINT id) {
  RecordingCmdUI ui(id);
  doc.OnUpdateDocCommand(&ui);
  return ui;
}

// A pattern of the given intensities at x = 10, 20, 30 … .
CQLPatternPtr Pattern(std::initializer_list<double> ys, bool selected = false) {
  CQLProfile profile;
  double x = 10.0;
  for (double y : ys) profile.push_back({x, y}), x += 10.0;
  auto p = std::make_shared<FixturePattern>(profile, 0.0, 100.0);
  p->SetSelected(selected);
  return p;
}

// A window whose dialogs answer as a user would: each records that it ran and gives the values set.
class DialogWindow : public CQlwDocWindow {
 public:
  HWND GetSafeHwnd() const override { return nullptr; }
  bool HasRestoredLayout() const override { return true; }
  bool GetScreenRect(LXGraphics::CSyncRect&) const override { return false; }
  void MoveOnScreen(const LXGraphics::CSyncRect&) override {}
  bool IsPaneShown(Pane) const override { return true; }
  void PostMenuCommand(UINT) override {}
  int GetParametersTab() const override { return 1; }
  void SelectParametersTab(int) override {}
  void CloseInspectorPanes() override {}
  void DisclosePane(const CString&) override {}
  void GetOpenPaneNames(std::list<CString>&) const override {}
  void InvalidateAll() override {}

  INT_PTR RunEditCrystal(CQLCrystal& crystal) override {
    ++runs;
    crystal.m_a = crystalA;
    return answer;
  }
  INT_PTR RunEditData(CQLProfile& points) override {
    ++runs;
    points = typedPoints;
    return answer;
  }
  INT_PTR RunFindPeak(double& h, double& k, double& l) override {
    ++runs;
    given = {h, k, l};
    h = hkl[0], k = hkl[1], l = hkl[2];
    return answer;
  }
  INT_PTR RunPeakWidth(double& w) override {
    ++runs;
    given = {w};
    if (!std::isnan(width)) w = width;
    return answer;
  }

  INT_PTR answer = IDOK;
  int runs = 0;
  double crystalA = 5.0;
  CQLProfile typedPoints;
  double hkl[3] = {1, 1, 1};
  double width = std::numeric_limits<double>::quiet_NaN();  // NaN: confirm the value shown
  std::vector<double> given;
};

class DocCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    doc.AddView(&view);
    CDiffractionSettings& s = *doc.GetSettings();
    s.m_visibleXMin = 0.0;
    s.m_visibleXMax = 100.0;
    s.m_defaultXMin = 0.0;
    s.m_defaultXMax = 100.0;
  }
  void TearDown() override { doc.RemoveView(&view); }
  CDiffractionSettings& S() { return *doc.GetSettings(); }
  CQlwDoc doc;
  RecordingView view;
};

std::vector<double> Offsets(const CQLPatternList& list) {
  std::vector<double> out;
  for (const CQLPatternPtr& p : list) out.push_back(p->m_yOffset);
  return out;
}
}  // namespace

TEST_F(DocCommands, StackingPutsEachPatternOnTheNextFromItsOwnMinimum) {
  // Heights 1, 2 and 3 from 0: the last sits at 0, each earlier one on the heights after it.
  for (double h : {1.0, 2.0, 3.0}) doc.GetPatterns().push_back(Pattern({0.0, h}));
  ASSERT_TRUE(doc.OnDocCommand(33592));
  EXPECT_EQ(Offsets(doc.GetPatterns()), (std::vector<double>{5, 3, 0}));
  EXPECT_DOUBLE_EQ(S().m_visibleYMin, 0.0);
  EXPECT_DOUBLE_EQ(S().m_visibleYMax, 6.0);
  EXPECT_EQ(view.codes.back(), 45);

  // A pattern from 100 to 150 above one from 0 to 10 starts at 10, not 100 higher.
  doc.GetPatterns() = {Pattern({100.0, 150.0}), Pattern({0.0, 10.0})};
  doc.OnDocCommand(33592);
  const CQLPatternPtr upper = doc.GetPatterns().front();
  EXPECT_DOUBLE_EQ(upper->GetMinIntensityInRange(0, 100), 10.0);
  EXPECT_DOUBLE_EQ(upper->GetMaxIntensityInRange(0, 100), 60.0);
  EXPECT_DOUBLE_EQ(S().m_visibleYMax, 60.0);

  // Flat patterns stack to nothing: the y range stays rather than becoming 0 to 0.
  doc.GetPatterns() = {Pattern({4.0, 4.0}), Pattern({2.0, 2.0})};
  S().m_visibleYMax = 77.0;
  doc.OnDocCommand(33592);
  EXPECT_DOUBLE_EQ(S().m_visibleYMax, 77.0);
  EXPECT_DOUBLE_EQ(doc.GetPatterns().back()->GetMaxIntensityInRange(0, 100), 0.0) << "its own minimum is taken off";
}

TEST_F(DocCommands, CollapsingRemovesEveryOffsetAndKeepsARangeForFlatData) {
  doc.GetPatterns() = {Pattern({1.0, 8.0}), Pattern({0.0, 3.0})};
  doc.GetPatterns().back()->SetShown(false);
  for (const CQLPatternPtr& p : doc.GetPatterns()) p->m_yOffset = 40.0;
  ASSERT_TRUE(doc.OnDocCommand(33568));
  EXPECT_EQ(Offsets(doc.GetPatterns()), (std::vector<double>{0, 0})) << "hidden patterns too";
  EXPECT_DOUBLE_EQ(S().m_visibleYMax, 8.0);

  doc.GetPatterns() = {Pattern({0.0, 0.0})};
  S().m_visibleYMax = 12.0;
  doc.OnDocCommand(33568);
  EXPECT_DOUBLE_EQ(S().m_visibleYMax, 12.0);
}

TEST_F(DocCommands, FilmAndGraphAreOneFlag) {
  S().m_filmMode = 0;
  // Graph chosen in graph view switches to film view; the two checks are always opposite.
  for (UINT id : {33576u, 33569u, 33569u}) {
    const bool wasFilm = S().m_filmMode != 0;
    ASSERT_TRUE(doc.OnDocCommand(id));
    EXPECT_NE(S().m_filmMode != 0, wasFilm) << id;
    EXPECT_EQ(Update(doc, 33569).checked, S().m_filmMode != 0);
    EXPECT_EQ(Update(doc, 33576).checked, S().m_filmMode == 0);
  }
  // A film type is chosen without switching film view on.
  S().m_filmMode = 0;
  doc.OnDocCommand(33574);
  EXPECT_EQ(S().m_filmType, 5u);
  EXPECT_EQ(S().m_filmMode, 0);
  EXPECT_TRUE(Update(doc, 33574).checked);
  EXPECT_FALSE(Update(doc, 33573).checked);
}

TEST_F(DocCommands, StyleCommandsSetTheSelectedShownPatternsAndHintOnlyWhenOneWasSet) {
  struct Case {
    UINT id;
    int hint;
    double (*read)(const CQLPattern&);
    double value;
  };
  const Case cases[] = {
      {33719, 30, [](const CQLPattern& p) { return double(p.m_lineStyle); }, 2},
      {33741, 31, [](const CQLPattern& p) { return double(p.m_lineWidth); }, 0.125},
      {33748, 31, [](const CQLPattern& p) { return double(p.m_lineWidth); }, 5},
      {33698, 33, [](const CQLPattern& p) { return double(p.m_markerStyle); }, 12},
      {33680, 32, [](const CQLPattern& p) { return double(p.m_markerSize); }, 0.125},
      {33692, 32, [](const CQLPattern& p) { return double(p.m_markerSize); }, 10},
  };
  for (const Case& c : cases) {
    const CQLPatternPtr chosen = Pattern({1.0}, true), hiddenChosen = Pattern({1.0}, true), other = Pattern({1.0});
    hiddenChosen->SetShown(false);
    doc.GetPatterns() = {other};
    const double before = c.read(*other);
    view.codes.clear();
    doc.OnDocCommand(c.id);
    EXPECT_TRUE(view.codes.empty()) << c.id << ": nothing selected, nothing sent";
    EXPECT_EQ(c.read(*other), before) << c.id;

    doc.GetPatterns() = {other, chosen, hiddenChosen};
    doc.OnDocCommand(c.id);
    EXPECT_EQ(view.codes, (std::vector<int>{c.hint})) << c.id;
    EXPECT_DOUBLE_EQ(c.read(*chosen), c.value) << c.id;
    EXPECT_EQ(c.read(*hiddenChosen), before) << c.id;
    EXPECT_EQ(c.read(*other), before) << c.id;
    EXPECT_TRUE(Update(doc, c.id).checked) << c.id << ": checked on the first selected pattern's value";
  }
  // Marker sizes are not offered in film view.
  S().m_filmMode = 1;
  EXPECT_FALSE(Update(doc, 33680).enabled);
  EXPECT_TRUE(Update(doc, 33741).enabled);
  doc.GetPatterns().clear();
  EXPECT_FALSE(Update(doc, 33741).enabled);
}

TEST_F(DocCommands, KeyboardIntensitySteps) {
  std::unique_ptr<CPreferences> prefs(CPreferences::Create(true));
  struct Case {
    double preference;
    double down, up;  // y maximum after 34470 and after 34471, from 100
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const Case cases[] = {
      {0.1, 100 / 0.9, 100 / 1.1},
      // A step of 1 or more, or none, would give a negative, infinite or NaN y maximum.
      {1.0, 100 / 0.5, 100 / 1.5},
      {7.5, 100 / 0.5, 100 / 1.5},
      {nan, 100 / 0.99, 100 / 1.01},
      {-0.2, 100 / 0.99, 100 / 1.01},
  };
  for (const Case& c : cases) {
    g_pPreferences->m_RelScaleYFactInc.Set(c.preference);
    S().m_visibleYMax = 100.0;
    doc.OnDocCommand(34470);
    EXPECT_NEAR(S().m_visibleYMax, c.down, 1e-9) << c.preference;
    S().m_visibleYMax = 100.0;
    doc.OnDocCommand(34471);
    EXPECT_NEAR(S().m_visibleYMax, c.up, 1e-9) << c.preference;
  }
}

TEST_F(DocCommands, ZoomAndScrollByTheKeyboard) {
  S().m_visibleXMin = 0.0;
  S().m_visibleXMax = 80.0;
  S().m_defaultXMax = 189.0;
  doc.OnDocCommand(34475);
  EXPECT_NEAR(S().m_visibleXMin, 3.6364, 5e-5);
  EXPECT_NEAR(S().m_visibleXMax, 76.3636, 5e-5);
  doc.OnDocCommand(34474);
  EXPECT_NEAR(S().m_visibleXMin, 76.3636, 5e-5) << "one window's width to the right";
  EXPECT_THROW(doc.OnDocCommand(34472), CLXXUnimplemented);
}

TEST_F(DocCommands, ZOrderKeepsTheOrderAmongTheSelected) {
  struct Case {
    UINT id;
    const char* expected;  // titles front to back; capitals are selected
  };
  const Case cases[] = {
      {33668, "aceBD"},  // Send to Back
      {33671, "BDace"},  // Bring to Front
      {33669, "acBeD"},  // Send Backward
      {33670, "BaDce"},  // Bring Forward
  };
  for (const Case& c : cases) {
    doc.GetPatterns().clear();
    for (const char* t : {"a", "B", "c", "D", "e"}) {
      CQLPatternPtr p = Pattern({1.0}, std::isupper(t[0]) != 0);
      p->m_title = t;
      doc.GetPatterns().push_back(p);
    }
    view.codes.clear();
    doc.OnDocCommand(c.id);
    CString order;
    for (const CQLPatternPtr& p : doc.GetPatterns()) order += p->m_title;
    EXPECT_EQ(order, CString(c.expected)) << c.id;
    EXPECT_EQ(view.codes, (std::vector<int>{19})) << c.id;
  }

  // A mixture alone at the top still has its components reordered.
  auto mixture = std::make_shared<CQLMixturePattern>();
  CQLPatternPtr a = Pattern({1.0}), b = Pattern({1.0}, true);
  mixture->m_components = {a, b};
  doc.GetPatterns() = {mixture};
  doc.OnDocCommand(33671);
  EXPECT_EQ(mixture->m_components.front(), b);
}

TEST_F(DocCommands, SimulationTypeCorrectsTheAxisUnit) {
  struct Case {
    LXTypes::QLSimulationType from;
    LXTypes::QLAxisType unit;
    UINT command;
    LXTypes::QLAxisType expected;
  };
  using namespace LXTypes;
  const Case cases[] = {
      {kSimXRays, kAxis2Theta, 33471, kAxisEnergy},            // to energy-dispersive
      {kSimEnergyDispersive, kAxisEnergy, 33486, kAxis2Theta},  // back to X-rays
      {kSimXRays, kAxis2Theta, 33477, kAxis2Theta},            // X-rays to neutrons keeps it
      {kSimXRays, kAxisDSpacing, 33471, kAxisDSpacing},
      {kSimNeutrons, kAxis2Theta, 33478, kAxisTimeOfFlight},
      {kSimTimeOfFlight, kAxisTimeOfFlight, 33472, kAxis2Theta},
  };
  for (const Case& c : cases) {
    S().m_simulationType = c.from;
    S().m_axisType = c.unit;
    view.codes.clear();
    ASSERT_TRUE(doc.OnDocCommand(c.command));
    EXPECT_EQ(S().m_axisType, c.expected) << c.command;
    EXPECT_TRUE(Update(doc, c.command).checked);
    EXPECT_EQ(view.codes.back(), 41) << c.command;
  }
  // 2θ is not offered to energy-dispersive or time-of-flight instruments.
  S().m_simulationType = kSimEnergyDispersive;
  EXPECT_FALSE(Update(doc, 33484).enabled);
  EXPECT_TRUE(Update(doc, 33473).enabled);
  EXPECT_FALSE(Update(doc, 33483).enabled);
  EXPECT_FALSE(Update(doc, 33485).enabled) << "no wavelength";
  EXPECT_EQ(Update(doc, 33484).text, CString(L"2θ"));
}

TEST_F(DocCommands, PeakWidthIsStoredInTheInstrumentsOwnField) {
  DialogWindow window;
  doc.SetDiffractWnd(&window);
  struct Case {
    LXTypes::QLSimulationType type;
    LXTypes::QLAxisType unit;
    double CDiffractionSettings::*field;
  };
  const Case cases[] = {
      {LXTypes::kSimXRays, LXTypes::kAxis2Theta, &CDiffractionSettings::m_tthPeakWidth},
      {LXTypes::kSimEnergyDispersive, LXTypes::kAxisEnergy, &CDiffractionSettings::m_edxPeakWidth},
      {LXTypes::kSimElectrons, LXTypes::kAxisInverseD, &CDiffractionSettings::m_peakWidthTEM},
  };
  auto crystal = std::make_shared<CQLCrystalPattern>();
  crystal->SetShown(true);
  crystal->m_profile = {{1.0, 1.0}};
  doc.GetPatterns() = {crystal};
  for (const Case& c : cases) {
    S().m_simulationType = c.type;
    S().m_axisType = c.unit;
    S().*c.field = 0.2;
    // Confirmed unchanged: hint 37, the reflexions and profiles left as they are.
    window.width = std::numeric_limits<double>::quiet_NaN();
    view.codes.clear();
    doc.OnDocCommand(33468);
    EXPECT_EQ(window.given, (std::vector<double>{0.2}));
    EXPECT_EQ(view.codes, (std::vector<int>{37}));
    EXPECT_FALSE(crystal->m_profile.empty());

    window.width = 0.35;
    view.codes.clear();
    doc.OnDocCommand(33468);
    EXPECT_DOUBLE_EQ(S().*c.field, 0.35);
    EXPECT_EQ(view.codes.back(), 37);
    crystal->m_profile = {{1.0, 1.0}};
  }
  doc.SetDiffractWnd(nullptr);
}

TEST_F(DocCommands, DialogsNotYetBuiltReportTheCommandAsUnimplemented) {
  DialogWindow window;  // has the editors, the find-peak and peak-width dialogs only
  doc.SetDiffractWnd(&window);
  doc.GetPatterns().push_back(std::make_shared<CQLObservedPattern>(CQLProfile{{1, 2}, {2, 3}}));
  doc.GetPatterns().back()->SetSelected(true);
  for (UINT id : {33485u, 33482u, 33578u, 33581u, 33725u, 33585u})
    EXPECT_THROW(doc.OnDocCommand(id), CLXXUnimplemented) << id;
  EXPECT_EQ(doc.GetPatterns().size(), 1u);
  doc.SetDiffractWnd(nullptr);
}

TEST_F(DocCommands, EditingACrystalAddsAPatternOnlyForANewOne) {
  DialogWindow window;
  doc.SetDiffractWnd(&window);
  window.answer = IDCANCEL;
  doc.OnDocCommand(33268);
  EXPECT_TRUE(doc.GetPatterns().empty()) << "cancelled";

  window.answer = IDOK;
  window.crystalA = 4.2;
  doc.OnDocCommand(33268);
  ASSERT_EQ(doc.GetPatterns().size(), 1u);
  auto* made = dynamic_cast<CQLCrystalPattern*>(doc.GetPatterns().front().get());
  ASSERT_NE(made, nullptr);
  EXPECT_DOUBLE_EQ(made->m_crystal.m_a, 4.2);
  EXPECT_EQ(view.codes.back(), 22);

  made->SetSelected(true);
  window.crystalA = 6.1;
  EXPECT_TRUE(Update(doc, 33371).enabled);
  doc.OnDocCommand(33371);
  EXPECT_EQ(doc.GetPatterns().size(), 1u) << "the edited crystal stays one pattern";
  EXPECT_DOUBLE_EQ(made->m_crystal.m_a, 6.1);
  doc.SetDiffractWnd(nullptr);
}

TEST_F(DocCommands, EditedDataReplacesTheCurvesMadeFromTheOldPoints) {
  DialogWindow window;
  doc.SetDiffractWnd(&window);
  CQLProfile points;
  for (int i = 0; i <= 100; ++i) points.push_back({double(i), 1.0 + i % 7});
  auto observed = std::make_shared<CQLObservedPattern>(points);
  observed->m_smoothing = 1;
  observed->m_subtractBackground = 1;
  observed->AddBackgroundCurve();
  observed->ComputeSmoothedCurve();
  doc.GetPatterns().push_back(observed);
  observed->SetSelected(true);
  ASSERT_EQ(observed->GetProfile(false).size(), 95u) << "smoothed, then the background subtracted";

  // Five points are too few to smooth: nothing made from the 101 old ones may be drawn.
  window.typedPoints = {{0, 5}, {25, 5}, {50, 5}, {75, 5}, {100, 5}};
  doc.OnDocCommand(33371);
  EXPECT_EQ(view.codes.back(), 22);
  EXPECT_EQ(observed->m_profile.size(), 5u);
  EXPECT_TRUE(observed->m_smoothedCurve.empty());
  EXPECT_EQ(observed->GetProfile(false).size(), 5u) << "the background is subtracted from the new points";
  const CQLProfile& plotted = observed->GetComputedProfile(S());
  ASSERT_FALSE(plotted.empty());
  EXPECT_DOUBLE_EQ(plotted[plotted.size() / 2].y, 5.0);
  doc.SetDiffractWnd(nullptr);
}

TEST_F(DocCommands, GoToPeakSearchesWholeIndicesAndKeepsThem) {
  DialogWindow window;
  doc.SetDiffractWnd(&window);
  ASSERT_TRUE(doc.OnOpenDocument(CString(doctest::RutilePath().c_str()).GetString()));
  ASSERT_TRUE(Update(doc, 33672).enabled);
  // 1.6 0.4 0 is searched as 2 0 0, which rutile has, and the next run starts from 2 0 0.
  window.hkl[0] = 1.6, window.hkl[1] = 0.4, window.hkl[2] = 0.0;
  view.codes.clear();
  doc.OnDocCommand(33672);
  EXPECT_EQ(view.codes.back(), 21);
  doc.OnDocCommand(33672);
  EXPECT_EQ(window.given, (std::vector<double>{2, 0, 0}));

  // 1 0 0 is absent in P42/mnm: reported, nothing sent.
  window.hkl[0] = 1, window.hkl[1] = 0, window.hkl[2] = 0;
  view.codes.clear();
  doc.OnDocCommand(33672);
  EXPECT_TRUE(view.codes.empty());
  doc.SetDiffractWnd(nullptr);
}

// A file added to the window and a file exported are files the user chose: both go on the
// desktop's recently-used list, as a file opened or saved does.
TEST_F(DocCommands, AddedAndExportedFilesGoOnTheDesktopsRecentList) {
  qlwtest::EnsureWidgetApp("test_app");
  LXDocTypes::SetTable(g_DocTypeTable);
  const std::filesystem::path folder = std::filesystem::path(qlwtest::ScratchDir()) / "recent-added";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  const std::string data = std::getenv("XDG_DATA_HOME") ? std::getenv("XDG_DATA_HOME") : "";
  setenv("XDG_DATA_HOME", folder.c_str(), 1);
  const std::string added = (folder / "added.cif").string(), exported = (folder / "exported.cif").string();
  std::filesystem::copy_file(doctest::RutilePath(), added);
  doc.AddFilesFromDrop({CString(added.c_str())});
  ASSERT_FALSE(doc.GetPatterns().empty());
  qlw::SetCommonDialogAnswer([&](QDialog* d) {
    qobject_cast<QFileDialog*>(d)->selectFile(QString::fromStdString(exported));
    d->accept();
  });
  doc.OnDocCommand(33271);
  qlw::SetCommonDialogAnswer(nullptr);
  if (data.empty())
    unsetenv("XDG_DATA_HOME");
  else
    setenv("XDG_DATA_HOME", data.c_str(), 1);
  ASSERT_TRUE(std::filesystem::exists(exported));
  std::ifstream in(folder / "recently-used.xbel");
  const std::string list((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  for (const std::string& path : {added, exported})
    EXPECT_NE(list.find("href=\"file://" + path + "\""), std::string::npos) << path << "\n" << list;
}

TEST_F(DocCommands, ExportWritesTheSelectedCrystalUnderItsTitle) {
  qlwtest::EnsureWidgetApp("test_app");
  LXDocTypes::SetTable(g_DocTypeTable);
  ASSERT_TRUE(doc.OnOpenDocument(CString(doctest::RutilePath().c_str()).GetString()));
  const std::string folder = qlwtest::ScratchDir() + "/export";
  std::filesystem::create_directories(folder);
  QString proposed, title;
  QStringList filters;
  const std::string target = folder + "/out.cif";
  qlw::SetCommonDialogAnswer([&](QDialog* d) {
    auto* f = qobject_cast<QFileDialog*>(d);
    proposed = QFileInfo(f->selectedFiles().value(0)).fileName();
    title = f->windowTitle();
    filters = f->nameFilters();
    f->selectFile(QString::fromStdString(target));
    d->accept();
  });
  ASSERT_TRUE(Update(doc, 33271).enabled);
  doc.OnDocCommand(33271);
  qlw::SetCommonDialogAnswer(nullptr);
  EXPECT_EQ(proposed.toStdString(), "rutile.cif");
  EXPECT_EQ(title.toStdString(), "Export to CIF File:");
  EXPECT_EQ(filters.value(0).toStdString(), "CIF Crystal Data File (*.cif)");
  EXPECT_EQ(IdentifyFileType(CString(target.c_str()).GetString(), true), static_cast<uint32_t>(kFileTypeCIF));

  CQlwDoc reread;
  ASSERT_TRUE(reread.OnOpenDocument(CString(target.c_str()).GetString()));
  auto* crystal = reread.GetAnyCrystalPattern();
  ASSERT_NE(crystal, nullptr);
  EXPECT_NEAR(crystal->m_crystal.m_a, 4.5937, 1e-4);

  // A folder that is not there: the class library's reason, not an errno text for its number.
  qlw::SetCommonDialogAnswer([&](QDialog* d) {
    qobject_cast<QFileDialog*>(d)->selectFile(QString::fromStdString(folder + "/no-such-folder/x.cif"));
    d->accept();
  });
  try {
    doc.OnDocCommand(33271);
    ADD_FAILURE() << "the export did not fail";
  } catch (CLXXMFC& e) {
    EXPECT_NE(e.GetErrorText().Find(L"is not valid"), -1) << e.GetErrorText().ToUtf8();
  }
  qlw::SetCommonDialogAnswer(nullptr);

  // Nothing selected: the export items are off and the command does nothing.
  doc.GetPatterns().front()->SetSelected(false);
  EXPECT_FALSE(Update(doc, 33271).enabled);
  EXPECT_FALSE(Update(doc, 33275).enabled);
}

TEST_F(DocCommands, UpdateRulesFollowTheSelection) {
  // Peak functions need a crystal somewhere, also inside a mixture.
  EXPECT_FALSE(Update(doc, 33475).enabled);
  auto mixture = std::make_shared<CQLMixturePattern>();
  auto crystal = std::make_shared<CQLCrystalPattern>();
  crystal->SetShown(true);
  mixture->m_components = {crystal};
  mixture->SetShown(true);
  doc.GetPatterns() = {mixture};
  S().m_profileType = LXTypes::kProfileGaussian;
  EXPECT_TRUE(Update(doc, 33475).checked);
  EXPECT_FALSE(Update(doc, 33672).enabled) << "no crystal selected";
  EXPECT_FALSE(Update(doc, 33716).enabled);

  crystal->m_selected = 1;
  crystal->m_showOverlay = 1;
  EXPECT_TRUE(Update(doc, 33672).enabled) << "a selected component counts";
  EXPECT_TRUE(Update(doc, 33271).enabled);
  EXPECT_FALSE(Update(doc, 33275).enabled) << "the profile export wants a top-level pattern";
  EXPECT_EQ(Update(doc, 33716).text, CString(L"Hide Peak Overlay"));
  EXPECT_EQ(Update(doc, 33726).text, CString(L"Show Labels"));

  // Label content: the first selected crystal's flag, inverted, for every selected shown one.
  crystal->m_labelDSpacing = 0;
  doc.OnDocCommand(33673);
  EXPECT_EQ(crystal->m_labelDSpacing, 1);
  EXPECT_TRUE(Update(doc, 33673).checked);
  doc.OnDocCommand(33729);
  EXPECT_DOUBLE_EQ(crystal->m_labelThreshold, 20.0);
  EXPECT_TRUE(Update(doc, 33729).checked);

  S().m_showGrid = 1;
  EXPECT_EQ(Update(doc, 33583).text, CString(L"Hide Gridlines"));
  doc.OnDocCommand(33583);
  EXPECT_EQ(Update(doc, 33583).text, CString(L"Show Gridlines"));
  doc.OnDocCommand(33582);
  EXPECT_EQ(Update(doc, 33582).text, CString(L"Hide Cursor"));
  doc.OnDocCommand(33582);
  EXPECT_EQ(Update(doc, 33582).text, CString(L"Show Cursor"));

  // Ids the document does not carry out are passed on.
  RecordingCmdUI other(33586);
  doc.OnUpdateDocCommand(&other);
  EXPECT_TRUE(other.m_bContinueRouting);
  EXPECT_FALSE(doc.OnDocCommand(33586));
  EXPECT_FALSE(CQlwDoc::IsDocCommand(33591));
}

TEST_F(DocCommands, PatternColourGoesOpaqueToEverySelectedPattern) {
  qlwtest::EnsureWidgetApp("test_app");
  const CQLPatternPtr first = Pattern({1.0}), chosen = Pattern({1.0}, true), hidden = Pattern({1.0}, true);
  first->m_color = 0xFF0A141Eu;
  hidden->SetShown(false);
  doc.GetPatterns() = {first, chosen, hidden};
  QColor offered;
  qlw::SetCommonDialogAnswer([&](QDialog* d) {
    auto* c = qobject_cast<QColorDialog*>(d);
    offered = c->currentColor();
    c->setCurrentColor(QColor(0x12, 0x34, 0x56));
    d->accept();
  });
  view.codes.clear();
  doc.OnDocCommand(33717);
  qlw::SetCommonDialogAnswer(nullptr);
  EXPECT_EQ(offered, QColor(0x0A, 0x14, 0x1E)) << "the first pattern's colour";
  EXPECT_EQ(chosen->m_color, 0xFF123456u);
  EXPECT_EQ(hidden->m_color, 0xFF123456u) << "selected, shown or not";
  EXPECT_EQ(first->m_color, 0xFF0A141Eu);
  EXPECT_EQ(view.codes, (std::vector<int>{18}));
}
