// The buffered DC copies exactly its rectangle to the target; the layout helper moves and
// stretches child windows by their parent's growth.
#include <gtest/gtest.h>

#include "AdjustWindows.h"
#include "BufferDC.h"
#include "WidgetApp.h"

namespace {
void FillWhite(HDC dc, RECT area) {
  HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
  FillRect(dc, &area, white);
  DeleteObject(white);
}

// A 200 x 100 target bitmap filled white.
struct Target {
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, 200, 100);
  HGDIOBJ old = SelectObject(dc, bitmap);
  Target() { FillWhite(dc, RECT{0, 0, 200, 100}); }
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
// The columns of a band of rows where anything but white was drawn: first and last, -1 when none.
std::pair<int, int> InkColumns(HDC dc, int top, int bottom) {
  int first = -1, last = -1;
  for (int x = 0; x < 200; ++x)
    for (int y = top; y < bottom; ++y)
      if (GetPixel(dc, x, y) != RGB(255, 255, 255)) {
        if (first < 0) first = x;
        last = x;
        break;
      }
  return {first, last};
}
}  // namespace

// Text drawn through the buffer's own text calls lands in the target only within the buffered
// rectangle, and only when the buffer goes.
TEST(BufferDC, TextCallsDrawIntoTheBufferAndReachTheTarget) {
  qlwtest::EnsureWidgetApp("test_windows");
  Target target;
  const RECT area{10, 20, 110, 90};
  {
    CBufferDC buffer(target.dc, &area);
    FillWhite(buffer.m_hDC, area);
    buffer.SetBkMode(TRANSPARENT);

    // Margins: the text starts 40 pixels in; the right margin keeps it off the last 30.
    wchar_t line[] = L"WWWWWWWWWWWWWWWWWWWW";
    RECT box{10, 20, 110, 36};
    DRAWTEXTPARAMS params{sizeof(DRAWTEXTPARAMS), 0, 40, 30, 0};
    EXPECT_GT(buffer.DrawTextEx(line, -1, &box, DT_SINGLELINE | DT_NOPREFIX, &params), 0);
    EXPECT_EQ(params.uiLengthDrawn, 20u);
    DRAWTEXTPARAMS wrongSize{sizeof(DRAWTEXTPARAMS) + 1, 0, 0, 0, 0};
    EXPECT_EQ(buffer.DrawTextEx(line, -1, &box, DT_SINGLELINE, &wrongSize), 0);

    // Greyed text: a half-tone of the brush's colour.
    CBrush blue;
    blue.CreateSolidBrush(RGB(0, 0, 255));
    EXPECT_TRUE(buffer.GrayString(&blue, nullptr, reinterpret_cast<LPARAM>(L"WWWW"), 4, 14, 40, 0, 0));
    // An output routine that fails draws nothing.
    const GRAYSTRINGPROC failing = [](HDC dc, LPARAM, int) -> BOOL {
      TextOutW(dc, 0, 0, L"WWWW", 4);
      return FALSE;
    };
    EXPECT_FALSE(buffer.GrayString(&blue, failing, 1, 4, 14, 62, 60, 16));

    // Only the query itself is an escape these DCs know.
    const int query = QUERYESCSUPPORT, newFrame = 1;
    EXPECT_NE(buffer.Escape(QUERYESCSUPPORT, sizeof query, reinterpret_cast<LPCSTR>(&query), nullptr), 0);
    EXPECT_EQ(buffer.Escape(QUERYESCSUPPORT, sizeof newFrame, reinterpret_cast<LPCSTR>(&newFrame), nullptr), 0);
    EXPECT_EQ(buffer.Escape(newFrame, 0, nullptr, nullptr), 0);

    EXPECT_EQ(InkColumns(target.dc, 0, 100).first, -1);  // nothing before the buffer goes
  }
  const auto [textFrom, textTo] = InkColumns(target.dc, 20, 36);
  EXPECT_GE(textFrom, 50);
  EXPECT_LE(textFrom, 53);
  EXPECT_LT(textTo, 80);

  int blue = 0, other = 0, neighbours = 0;
  for (int y = 40; y < 58; ++y)
    for (int x = 10; x < 110; ++x) {
      const COLORREF c = GetPixel(target.dc, x, y);
      if (c == RGB(0, 0, 255)) {
        ++blue;
        if (GetPixel(target.dc, x + 1, y) == RGB(0, 0, 255)) ++neighbours;
      } else if (c != RGB(255, 255, 255)) {
        ++other;
      }
    }
  EXPECT_GT(blue, 20);
  EXPECT_EQ(other, 0);
  EXPECT_EQ(neighbours, 0) << "every other pixel of the ink";
  EXPECT_EQ(InkColumns(target.dc, 62, 78).first, -1);
}

// The tab length of DrawTextEx counts average character widths.
TEST(BufferDC, DrawTextExSetsTabStopsInCharacterWidths) {
  qlwtest::EnsureWidgetApp("test_windows");
  int second[2] = {};
  const int lengths[2] = {2, 12};
  for (int i = 0; i < 2; ++i) {
    Target target;
    const RECT area{0, 0, 200, 30};
    {
      CBufferDC buffer(target.dc, &area);
      FillWhite(buffer.m_hDC, area);
      buffer.SetBkMode(TRANSPARENT);
      wchar_t text[] = L"I\tI";
      RECT box = area;
      DRAWTEXTPARAMS params{sizeof(DRAWTEXTPARAMS), lengths[i], 0, 0, 0};
      buffer.DrawTextEx(text, -1, &box, DT_SINGLELINE | DT_EXPANDTABS | DT_NOPREFIX, &params);
    }
    second[i] = InkColumns(target.dc, 0, 30).second;
  }
  EXPECT_GT(second[1] - second[0], 30) << second[0] << " " << second[1];
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
