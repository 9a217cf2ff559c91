// The file-drop protocol: acceptance decides the effect, folders are walked (hidden entries and
// links to folders left out), a cancel stops a long drop and does not stick to the next one, and
// a Qt drop of a `text/uri-list` reaches the target.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>
#include <filesystem>
#include <fstream>

#include "LXApp.h"
#include "LXDropTarget.h"
#include "WndQt.h"
#include "WidgetApp.h"

namespace fs = std::filesystem;

namespace {
void EnsureQt() { qlwtest::EnsureWidgetApp("test_windows"); }

// Accepts ".cif" files; cancels the drop when it opens the file named `cancelAt`.
class CifTarget : public CLXDropTarget {
 public:
  bool IsAcceptableFile(CWnd*, const CString& path) override { return path.Right(4) == L".cif"; }
  bool OpenFile(CWnd*, CPoint, const CString& path) override {
    opened.push_back(fs::path(path.GetString()).filename().string());
    if (opened.size() == cancelAt) CLXApp::CancelCancellables();
    return true;
  }
  std::vector<std::string> opened;
  size_t cancelAt = 0;
};

struct TempFolder {
  fs::path root = fs::temp_directory_path() / ("qlw-drop-" + std::to_string(::getpid()));
  TempFolder() {
    fs::remove_all(root);
    fs::create_directories(root);
  }
  ~TempFolder() { fs::remove_all(root); }
  CString Touch(const fs::path& relative) const {
    fs::create_directories((root / relative).parent_path());
    std::ofstream(root / relative) << "x";
    return CString((root / relative).wstring().c_str());
  }
  CString Path(const fs::path& relative) const { return CString((root / relative).wstring().c_str()); }
};

CLXDropData Files(const std::vector<CString>& paths) { return CLXDropData(paths); }
}  // namespace

TEST(LXDropTarget, EffectFollowsAcceptance) {
  TempFolder t;
  CifTarget target;
  CLXDropData text = Files({t.Touch("notes.txt")});
  EXPECT_EQ(target.OnDragEnter(nullptr, &text, 0, CPoint(1, 1)), DWORD(DROPEFFECT_NONE));
  EXPECT_EQ(target.OnDragOver(nullptr, &text, 0, CPoint(1, 1)), DWORD(DROPEFFECT_NONE));
  EXPECT_FALSE(target.OnDrop(nullptr, &text, DROPEFFECT_COPY, CPoint(1, 1)));
  EXPECT_TRUE(target.opened.empty());

  CLXDropData none;
  EXPECT_EQ(target.OnDragEnter(nullptr, &none, 0, CPoint(1, 1)), DWORD(DROPEFFECT_NONE));
  target.OnDragLeave(nullptr);
  EXPECT_FALSE(target.m_bDragActive);

  // One acceptable file among others is enough; every file is tested again when opened.
  CLXDropData mixed = Files({t.Touch("notes2.txt"), t.Touch("a.cif")});
  EXPECT_EQ(target.OnDragEnter(nullptr, &mixed, 0, CPoint(1, 1)), DWORD(DROPEFFECT_COPY));
  EXPECT_EQ(target.OnDragOver(nullptr, &mixed, 0, CPoint(1, 1)), DWORD(DROPEFFECT_COPY));
  EXPECT_TRUE(target.OnDrop(nullptr, &mixed, DROPEFFECT_COPY, CPoint(1, 1)));
  EXPECT_EQ(target.opened, std::vector<std::string>{"a.cif"});
  EXPECT_FALSE(target.m_bDragActive || target.m_bAccepted);
  EXPECT_TRUE(target.m_files.empty());
}

TEST(LXDropTarget, FoldersAreWalkedWithoutHiddenEntriesOrFolderLinks) {
  TempFolder t;
  t.Touch("drop/b.cif");
  t.Touch("drop/sub/c.cif");
  t.Touch("drop/.hidden.cif");
  t.Touch("drop/.git/d.cif");
  t.Touch("elsewhere/e.cif");
  fs::create_directory_symlink(t.root / "drop", t.root / "drop/sub/loop");
  fs::create_directory_symlink(t.root / "elsewhere", t.root / "drop/outside");
  fs::create_symlink(t.root / "elsewhere/e.cif", t.root / "drop/link.cif");
  CLXDropTarget::FileList list;
  CifTarget target;
  target.AddDroppedPath(nullptr, t.Path("drop"), list);
  std::vector<std::string> names;
  for (const CString& p : list) names.push_back(fs::path(p.GetString()).lexically_relative(t.root).string());
  EXPECT_EQ(names, (std::vector<std::string>{"drop/b.cif", "elsewhere/e.cif", "drop/sub/c.cif"}));

  // A dropped link to a file opens its target.
  CLXDropData link = Files({t.Path("drop/link.cif")});
  target.OnDragEnter(nullptr, &link, 0, CPoint(0, 0));
  EXPECT_TRUE(target.OnDrop(nullptr, &link, DROPEFFECT_COPY, CPoint(0, 0)));
  EXPECT_EQ(target.opened, std::vector<std::string>{"e.cif"});
}

TEST(LXDropTarget, CancelStopsALongDropAndDoesNotStickToTheNext) {
  TempFolder t;
  std::vector<CString> thirty;
  for (int i = 0; i < 30; ++i) thirty.push_back(t.Touch("f" + std::to_string(100 + i) + ".cif"));
  CifTarget target;
  target.cancelAt = 3;
  CLXDropData many = Files(thirty);
  ASSERT_EQ(target.OnDragEnter(nullptr, &many, 0, CPoint(0, 0)), DWORD(DROPEFFECT_COPY));
  EXPECT_TRUE(target.OnDrop(nullptr, &many, DROPEFFECT_COPY, CPoint(0, 0)));
  EXPECT_EQ(target.opened.size(), 3u) << "stops after the file being opened";
  EXPECT_EQ(target.m_nCancelCookie, 0u);

  target.opened.clear();
  target.cancelAt = 0;
  CLXDropData two = Files({thirty[0], thirty[1]});
  target.OnDragEnter(nullptr, &two, 0, CPoint(0, 0));
  EXPECT_TRUE(target.OnDrop(nullptr, &two, DROPEFFECT_COPY, CPoint(0, 0)));
  EXPECT_EQ(target.opened.size(), 2u);
}

TEST(LXDropTarget, QtDropOfAnUriListOpensTheFiles) {
  EnsureQt();
  TempFolder t;
  CWnd window;
  ASSERT_TRUE(window.CreateEx(0, nullptr, L"drop", WS_OVERLAPPEDWINDOW, RECT{0, 0, 200, 100}, nullptr, 0));
  CifTarget target;
  ASSERT_TRUE(target.Register(&window));
  QWidget* widget = qlw::WidgetOf(window.m_hWnd);
  ASSERT_NE(widget, nullptr);
  EXPECT_TRUE(widget->acceptDrops());

  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(QString::fromStdWString(t.Touch("q.cif").GetString())),
                QUrl("https://example.org/remote.cif")});
  EXPECT_TRUE(mime.hasFormat("text/uri-list"));
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(widget, &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(widget, &drop);
  EXPECT_TRUE(drop.isAccepted());
  EXPECT_EQ(target.opened, std::vector<std::string>{"q.cif"});
  target.Revoke();
  EXPECT_FALSE(widget->acceptDrops());
  window.DestroyWindow();
}

// While an acceptable drag is over the window a focus frame runs round its client area; an
// unacceptable one shows none, and leaving takes the frame away.
TEST(LXDropTarget, AnAcceptedDragShowsAFocusFrameUntilItLeaves) {
  EnsureQt();
  TempFolder t;
  CWnd window;
  ASSERT_TRUE(window.CreateEx(0, nullptr, L"drop", WS_OVERLAPPEDWINDOW | WS_VISIBLE, RECT{0, 0, 200, 100}, nullptr, 0));
  QWidget* widget = qlw::WidgetOf(window.m_hWnd);
  const auto edgeAndMiddle = [&] {
    const QImage shot = widget->grab().toImage();
    return std::make_pair(shot.pixelColor(100, 0), shot.pixelColor(100, 50));
  };
  CifTarget target;
  CLXDropData text = Files({t.Touch("notes.txt")});
  target.OnDragEnter(&window, &text, 0, CPoint(5, 5));
  target.OnDragOver(&window, &text, 0, CPoint(5, 5));
  auto [edge, middle] = edgeAndMiddle();
  EXPECT_EQ(edge, middle) << "no frame for a file the window does not take";
  target.OnDragLeave(&window);

  CLXDropData cif = Files({t.Touch("b.cif")});
  ASSERT_EQ(target.OnDragEnter(&window, &cif, 0, CPoint(5, 5)), DWORD(DROPEFFECT_COPY));
  ASSERT_EQ(target.OnDragOver(&window, &cif, 0, CPoint(5, 5)), DWORD(DROPEFFECT_COPY));
  std::tie(edge, middle) = edgeAndMiddle();
  EXPECT_NE(edge, middle);
  EXPECT_LT(edge.red(), middle.red()) << "the highlight colour blended in";
  target.OnDragLeave(&window);
  std::tie(edge, middle) = edgeAndMiddle();
  EXPECT_EQ(edge, middle);
  window.DestroyWindow();
}
