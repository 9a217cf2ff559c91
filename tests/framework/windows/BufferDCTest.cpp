// The buffered DC copies exactly its rectangle to the target; the layout helper moves and
// stretches child windows by their parent's growth.
#include <gtest/gtest.h>

#include "AdjustWindows.h"
#include "BufferDC.h"

namespace {
// A 200 x 100 target bitmap filled white.
struct Target {
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, 200, 100);
  HGDIOBJ old = SelectObject(dc, bitmap);
  Target() {
    RECT all{0, 0, 200, 100};
    HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
    FillRect(dc, &all, white);
    DeleteObject(white);
  }
  ~Target() {
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
};

void PaintAllRed(CDC& dc) {
  RECT everywhere{0, 0, 400, 400};
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  FillRect(dc.m_hDC, &everywhere, red);
  DeleteObject(red);
}
}  // namespace

TEST(BufferDC, CopiesExactlyItsRectangleToTheTarget) {
  Target target;
  const RECT area{10, 20, 110, 70};
  {
    CBufferDC buffer(target.dc, &area);
    PaintAllRed(buffer);
    // Nothing reaches the target before the buffer goes.
    EXPECT_EQ(GetPixel(target.dc, 50, 40), RGB(255, 255, 255));
  }
  const struct {
    int x, y;
    COLORREF colour;
  } probes[] = {{10, 20, RGB(255, 0, 0)},   {109, 69, RGB(255, 0, 0)},  {9, 20, RGB(255, 255, 255)},
                {10, 19, RGB(255, 255, 255)}, {110, 40, RGB(255, 255, 255)}, {50, 70, RGB(255, 255, 255)},
                {150, 90, RGB(255, 255, 255)}};
  for (const auto& p : probes) EXPECT_EQ(GetPixel(target.dc, p.x, p.y), p.colour) << p.x << "," << p.y;
}

TEST(BufferDC, AnEmptyRectangleCoversTheTargetsClipBox) {
  Target target;
  IntersectClipRect(target.dc, 0, 0, 150, 60);
  {
    const RECT empty{0, 0, 0, 0};
    CBufferDC buffer(target.dc, &empty);
    EXPECT_EQ(buffer.m_rect.right, 150);
    EXPECT_EQ(buffer.m_rect.bottom, 60);
    PaintAllRed(buffer);
  }
  SelectClipRgn(target.dc, nullptr);
  EXPECT_EQ(GetPixel(target.dc, 149, 59), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(target.dc, 160, 50), RGB(255, 255, 255));
}

namespace {
LRESULT CALLBACK Plain(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcW(h, m, w, l); }

HWND Make(HWND parent, int x, int y, int cx, int cy) {
  static bool registered = false;
  if (!registered) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = Plain;
    wc.lpszClassName = L"Qlw Adjust Test";
    RegisterClassExW(&wc);
    registered = true;
  }
  return CreateWindowExW(0, L"Qlw Adjust Test", L"", parent ? WS_CHILD : WS_OVERLAPPED, x, y, cx, cy, parent, nullptr,
                         nullptr, nullptr);
}

RECT Placed(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&r), 2);
  return r;
}
}  // namespace

TEST(AdjustWindows, ChildrenFollowTheirParentsGrowthByTheirFlags) {
  HWND dialog = Make(nullptr, 0, 0, 300, 200);
  HWND button = Make(dialog, 220, 160, 70, 24);
  HWND list = Make(dialog, 10, 10, 200, 140);
  HWND centred = Make(dialog, 100, 170, 40, 20);
  CAdjustWindows adjust;
  adjust.Add(button, 0x30);
  adjust.Add(list, 0x300);
  adjust.Add(centred, 0x1);
  RECT client{};
  GetClientRect(dialog, &client);
  adjust.Init(client);
  MoveWindow(dialog, 0, 0, 340, 220, TRUE);  // grows by 40 x 20
  adjust.Adjust();
  const RECT b = Placed(button), l = Placed(list), c = Placed(centred);
  // The button keeps its distance to the bottom-right corner.
  EXPECT_EQ(340 - b.right, 300 - 290);
  EXPECT_EQ(220 - b.bottom, 200 - 184);
  EXPECT_EQ(b.right - b.left, 70);
  // The list grows by exactly the parent's growth; the centred one moves by half of it.
  EXPECT_EQ(l.right - l.left, 240);
  EXPECT_EQ(l.bottom - l.top, 160);
  EXPECT_EQ(l.left, 10);
  EXPECT_EQ(c.left, 120);
  EXPECT_EQ(c.top, 170);
  // Shrinking back restores the places of Init.
  MoveWindow(dialog, 0, 0, 300, 200, TRUE);
  adjust.Adjust();
  EXPECT_EQ(Placed(button).left, 220);
  EXPECT_EQ(Placed(list).right, 210);
  DestroyWindow(dialog);
}

TEST(AdjustWindows, AddingAWindowAgainMergesItsFlags) {
  HWND parent = Make(nullptr, 0, 0, 100, 100);
  HWND child = Make(parent, 0, 0, 10, 10);
  CAdjustWindows adjust;
  adjust.Add(child, 0x10);
  adjust.Add(child, 0x100);
  ASSERT_EQ(adjust.Entries().size(), 1u);
  EXPECT_EQ(adjust.Entries()[0].flags, 0x110);
  // Before Init nothing moves.
  MoveWindow(parent, 0, 0, 150, 100, TRUE);
  adjust.Adjust();
  EXPECT_EQ(Placed(child).right, 10);
  DestroyWindow(parent);
}
