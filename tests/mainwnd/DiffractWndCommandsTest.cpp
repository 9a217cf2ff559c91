// The diffraction window's own commands on real widgets: what it offers for the selection, the plot
// copied and exported, and the plot font chosen.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QFileDialog>
#include <QFontDialog>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QSvgRenderer>

#include <signal.h>
#include <sys/resource.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "CommonDialogs.h"
#include "LXGraphicsErrors.h"
#include "MainWindowFixture.h"
#include "QLCrystalPattern.h"
#include "QLMixturePattern.h"
#include "TestSupport.h"
#include "testing/ClipboardSeam.h"

namespace fs = std::filesystem;
using qlwtest::AlertRecorder;
using qlwtest::MainWindowFixture;

namespace {
struct TextUI : CCmdUI {
  CString text;
  bool enabled = false;
  void Enable(BOOL on) override {
    enabled = on != FALSE;
    m_bEnableChanged = TRUE;
  }
  void SetText(LPCWSTR t) override { text = t; }
};

TextUI Ask(CDiffractWnd* wnd, UINT id) {
  TextUI ui;
  ui.m_nID = id;
  ui.DoUpdate(wnd, TRUE);
  return ui;
}

QSize PlotSize(CDiffractWnd* wnd) {
  LXGraphics::CSyncRect plot;
  wnd->GetGraphicsPane()->GetCanvas().GetPlotRect(plot);
  return QSize(int(std::floor(plot.m_float.Width)), int(std::floor(plot.m_float.Height)));
}

fs::path Scratch(const std::string& name) {
  const fs::path folder = fs::path(qlwtest::ScratchDir()) / name;
  fs::remove_all(folder);
  fs::create_directories(folder);
  return folder;
}

CString ToCString(const fs::path& path) { return CString(path.wstring().c_str()); }
}  // namespace

// Edit and Visualise follow the selection, counted inside mixtures; the window's rule for the edit
// item wins over the document's and keeps the shortcut.
TEST(DiffractWndCommands, EditAndVisualiseFollowTheSelection) {
  MainWindowFixture m;
  ASSERT_NE(m.wnd, nullptr);
  CQLPatternList& tree = m.doc->GetPatterns();
  ASSERT_EQ(tree.size(), 1u);
  const CQLPatternPtr rutile = tree.front();
  const CQLCrystal crystal = dynamic_cast<CQLCrystalPattern&>(*rutile).m_crystal;
  const CQLPatternPtr inMixture = m.doc->AddCrystalPattern(crystal);
  const CQLPatternPtr mixture = m.doc->NewMixtureFromPatterns({inMixture});
  ASSERT_TRUE(mixture);
  const CQLPatternPtr observed = m.doc->AddObservedPattern(CQLProfile{{10, 5}, {20, 50}, {30, 10}});

  struct Case {
    std::vector<CQLPatternPtr> selected;
    bool visualise;
    bool edit;
    const wchar_t* editText;
  } cases[] = {
      {{rutile}, true, true, L"Crystal Structure...\tCtrl+K"},
      {{inMixture}, true, true, L"Crystal Structure...\tCtrl+K"},
      {{rutile, inMixture}, false, false, L"Crystal Structure...\tCtrl+K"},
      {{observed}, false, true, L"Observed Data...\tCtrl+K"},
      {{mixture}, false, false, L"Observed Data...\tCtrl+K"},
      {{rutile, observed}, true, false, L"Crystal Structure...\tCtrl+K"},
  };
  for (const Case& c : cases) {
    for (const CQLPatternPtr& p : CollectPatterns(tree, false, false, false)) p->SetSelected(false);
    for (const CQLPatternPtr& p : c.selected) p->SetSelected(true);
    const TextUI visualise = Ask(m.wnd, 33737), edit = Ask(m.wnd, 33371);
    const std::string which = CString(c.editText).ToUtf8() + " with " + std::to_string(c.selected.size());
    EXPECT_EQ(visualise.enabled, c.visualise) << which;
    EXPECT_EQ(edit.enabled, c.edit) << which;
    EXPECT_EQ(edit.text, CString(c.editText)) << which;
  }
}

// "New Window" is left to the application when the window holds patterns; an empty window takes
// it and does nothing. Graphics, preferences and fonts are always offered.
TEST(DiffractWndCommands, NewWindowGoesOnOnlyFromAWindowWithPatterns) {
  {
    MainWindowFixture m(nullptr);
    ASSERT_NE(m.wnd, nullptr);
    EXPECT_TRUE(m.wnd->OnCmdMsg(57600, CN_COMMAND, nullptr, nullptr));
    for (UINT id : {33280u, 33369u, 33372u, 57634u}) EXPECT_TRUE(Ask(m.wnd, id).enabled) << id;
    EXPECT_FALSE(Ask(m.wnd, 33737).enabled);
  }
  MainWindowFixture m;
  ASSERT_NE(m.wnd, nullptr);
  EXPECT_FALSE(m.wnd->OnCmdMsg(57600, CN_COMMAND, nullptr, nullptr));
}

// Copy puts the plot on the clipboard at the plot's size; a clipboard that cannot be opened is
// reported, and the clipboard keeps what it had.
TEST(DiffractWndCommands, CopyPutsThePlotOnTheClipboardAtItsSize) {
  MainWindowFixture m;
  ASSERT_NE(m.wnd, nullptr);
  for (QSize frame : {QSize(1000, 600), QSize(1200, 700)}) {
    m.wnd->MoveWindow(0, 0, frame.width(), frame.height());
    QApplication::processEvents();
    QGuiApplication::clipboard()->clear();
    m.Command(57634);
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_TRUE(data && data->hasFormat(QStringLiteral("image/png")));
    const QImage image = QImage::fromData(data->data(QStringLiteral("image/png")));
    EXPECT_EQ(image.size(), PlotSize(m.wnd));
    EXPECT_GT(image.width(), 100);
  }
  AlertRecorder alerts;
  QGuiApplication::clipboard()->setText(QStringLiteral("kept"));
  qlw::testing::SetClipboardHeldElsewhere(true);
  m.Command(57634);
  qlw::testing::SetClipboardHeldElsewhere(false);
  ASSERT_EQ(alerts.Messages().size(), 1u);
  EXPECT_EQ(alerts.Messages()[0], qlwtest::AlertMessage(CLXXCopyGrfxNoBitmap::kMessageId));
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("kept"));
}

// Export: until its dialog is part of the program the command says so; with a dialog, the save
// dialog's choice decides the kind: SVG for type 45, a bitmap at the requested scale otherwise.
TEST(DiffractWndCommands, ExportWritesSvgForItsTypeAndBitmapsThroughTheEncoders) {
  MainWindowFixture m;
  ASSERT_NE(m.wnd, nullptr);
  CDiffractWnd::SetGraphicsExportDialog(nullptr);
  EXPECT_THROW(m.Command(33280), CLXXUnimplemented);

  const fs::path folder = Scratch("export");
  static int askedWidth = 0;
  CDiffractWnd::SetGraphicsExportDialog([](CWnd*, int width, int, CDiffractWnd::GraphicsExportChoice& choice) -> INT_PTR {
    askedWidth = width;
    choice.fileType = 45;
    return IDOK;
  });
  static fs::path chosen;
  chosen = folder / "plot.svg";
  qlw::SetCommonDialogAnswer([](QDialog* dialog) {
    auto* files = qobject_cast<QFileDialog*>(dialog);
    ASSERT_NE(files, nullptr);
    files->selectFile(QString::fromStdString(chosen.string()));
    static_cast<QDialog*>(files)->accept();
  });
  // The picture is a file the user chose: it goes on the desktop's recently-used list.
  const std::string data = std::getenv("XDG_DATA_HOME") ? std::getenv("XDG_DATA_HOME") : "";
  setenv("XDG_DATA_HOME", folder.c_str(), 1);
  m.Command(33280);
  if (data.empty())
    unsetenv("XDG_DATA_HOME");
  else
    setenv("XDG_DATA_HOME", data.c_str(), 1);
  qlw::SetCommonDialogAnswer(nullptr);
  CDiffractWnd::SetGraphicsExportDialog(nullptr);
  EXPECT_EQ(askedWidth, m.wnd->GetPlotRect().m_int.Width);
  ASSERT_TRUE(fs::exists(chosen));
  std::ifstream recent(folder / "recently-used.xbel");
  const std::string list((std::istreambuf_iterator<char>(recent)), std::istreambuf_iterator<char>());
  EXPECT_NE(list.find("href=\"file://" + chosen.string() + "\""), std::string::npos) << list;
  QSvgRenderer svg(QString::fromStdString(chosen.string()));
  EXPECT_TRUE(svg.isValid());

  CDiffractWnd::GraphicsExportChoice choice;
  choice.request.scale = 2.0;
  const fs::path png = folder / "plot.png";
  m.wnd->SaveGraphics(choice, 54, ToCString(png));
  const QImage image(QString::fromStdString(png.string()));
  EXPECT_EQ(image.size(), PlotSize(m.wnd) * 2);

  // A transparent background is kept where the format holds it; BMP, which cannot, gets white
  // rather than the black a transparent white would save as.
  choice.request.transparent = true;
  m.wnd->SaveGraphics(choice, 54, ToCString(folder / "clear.png"));
  m.wnd->SaveGraphics(choice, 43, ToCString(folder / "clear.bmp"));
  const QImage clear(QString::fromStdString((folder / "clear.png").string()));
  const QImage bmp(QString::fromStdString((folder / "clear.bmp").string()));
  ASSERT_FALSE(clear.isNull());
  ASSERT_FALSE(bmp.isNull());
  EXPECT_EQ(clear.pixelColor(0, 0).alpha(), 0);
  EXPECT_EQ(bmp.pixelColor(0, 0), QColor(Qt::white));
}

// A failed write is reported and leaves no partial picture behind; a file that the write never
// reached is left alone; a render that gives no image is an error, not a crash.
TEST(DiffractWndCommands, AFailedExportIsReportedAndLeavesNoPartialFile) {
  MainWindowFixture m;
  ASSERT_NE(m.wnd, nullptr);
  const fs::path folder = Scratch("export-fail");
  CDiffractWnd::GraphicsExportChoice choice;
  AlertRecorder alerts;

  // The file system takes the first bytes only.
  const fs::path partial = folder / "partial.png";
  signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  rlimit small = saved;
  small.rlim_cur = 64;
  setrlimit(RLIMIT_FSIZE, &small);
  m.wnd->SaveGraphics(choice, 54, ToCString(partial));
  setrlimit(RLIMIT_FSIZE, &saved);
  EXPECT_FALSE(fs::exists(partial));
  EXPECT_EQ(alerts.Messages().size(), 1u);

  // No encoder for the name: the user's file there is untouched.
  const fs::path kept = folder / "kept.xyz";
  std::ofstream(kept) << "the user's";
  m.wnd->SaveGraphics(choice, 54, ToCString(kept));
  EXPECT_TRUE(fs::exists(kept));
  EXPECT_EQ(alerts.Messages().size(), 2u);

  choice.request.scale = 0.0;
  EXPECT_THROW(m.wnd->SaveGraphics(choice, 54, ToCString(folder / "none.png")), CLXXCopyGrfxNoBitmap);
  EXPECT_FALSE(fs::exists(folder / "none.png"));
}

// The font dialog works in points: accepted unchanged it gives back the same size and style; a
// choice made in it becomes the plot font and the document is changed.
TEST(DiffractWndCommands, FontsKeepThePointSizeAcceptedUnchanged) {
  MainWindowFixture m;
  ASSERT_NE(m.wnd, nullptr);
  CDiffractionSettings& s = *m.doc->GetSettings();
  struct Case {
    float size;
    std::uint32_t style;
  } cases[] = {{10.0f, 0}, {13.5f, 2}, {7.0f, 1}, {8.0f, 3}};
  for (const Case& c : cases) {
    s.m_fontName = L"MS Shell Dlg 2";
    s.m_fontSize = c.size;
    s.m_fontStyle = c.style;
    qlw::SetCommonDialogAnswer([](QDialog* dialog) { dialog->accept(); });
    m.Command(33372);
    EXPECT_FLOAT_EQ(s.m_fontSize, c.size);
    EXPECT_EQ(s.m_fontStyle, c.style) << c.size;
  }
  m.doc->SetModifiedFlag(FALSE);
  qlw::SetCommonDialogAnswer([](QDialog* dialog) {
    auto* fonts = qobject_cast<QFontDialog*>(dialog);
    ASSERT_NE(fonts, nullptr);
    QFont f(QStringLiteral("DejaVu Serif"));
    f.setPointSizeF(14);
    f.setBold(true);
    f.setUnderline(true);
    fonts->setCurrentFont(f);
    fonts->accept();
  });
  m.Command(33372);
  qlw::SetCommonDialogAnswer(nullptr);
  EXPECT_FLOAT_EQ(s.m_fontSize, 14.0f);
  EXPECT_EQ(s.m_fontStyle, 1u | 4u);
  EXPECT_EQ(s.m_fontName, CString(L"DejaVu Serif"));
  EXPECT_EQ(s.m_fontColor >> 24, 0xFFu);
  EXPECT_TRUE(m.doc->IsModified());

  // Cancelled: nothing changes.
  qlw::SetCommonDialogAnswer([](QDialog* dialog) { dialog->reject(); });
  m.doc->SetModifiedFlag(FALSE);
  m.Command(33372);
  qlw::SetCommonDialogAnswer(nullptr);
  EXPECT_FLOAT_EQ(s.m_fontSize, 14.0f);
  EXPECT_FALSE(m.doc->IsModified());
}
