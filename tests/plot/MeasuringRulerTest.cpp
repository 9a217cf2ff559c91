// The measuring ruler: geometry and hit parts, grabbing and dragging, clamping, readout values
// and texts, menu commands, the zoom to its measuring points, and its drawing.
#include "ToolTestSupport.h"

#include "CmdTarget.h"
#include "Menus.h"
#include "QlwDoc.h"
#include "WndState.h"

#include <QClipboard>
#include <QGuiApplication>

#include <cmath>
#include <functional>
#include <limits>

namespace {
using CountingRuler = qlwtest::Counting<CRuler>;

class MeasuringRulerTest : public qlwtest::ToolFixture
{
protected:
    // A ruler of length 200 centred on the plot: measuring points at x 300 and 500, y 280; body
    // 275..525 × 240..320.
    std::shared_ptr<CountingRuler> MakeRuler(bool shown)
    {
        auto ruler = std::make_shared<CountingRuler>(CRuler::FlatRec{});
        ruler->m_rec.visible = 1;
        ruler->m_shown = shown;
        ruler->EnsureInitialised();
        ruler->AttachRenderer(&Renderer());
        return ruler;
    }
};

TEST_F(MeasuringRulerTest, GuideLinesAreHitOnlyWhileSelected)
{
    auto ruler = MakeRuler(false);
    const struct {
        POINT point;
        bool hitHidden, hitShown;
        UINT cursorShown;
    } cases[] = {
        {{280, 250}, true, true, 2105},         // body
        {{525, 320}, true, true, 2105},         // body corner
        {{300, 100}, false, true, 2110},        // left line
        {{505, 500}, false, true, 2110},        // right line, 5 pixels off
        {{506, 500}, false, false, 0xFFFFFFFF},
        {{100, 285}, false, true, 2109},        // level line
        {{100, 286}, false, false, 0xFFFFFFFF},
    };
    for (const auto& c : cases) EXPECT_EQ(ruler->HitTest(c.point), c.hitHidden) << c.point.x << "," << c.point.y;
    ruler->m_shown = true;
    for (const auto& c : cases) {
        EXPECT_EQ(ruler->HitTest(c.point), c.hitShown) << c.point.x << "," << c.point.y;
        EXPECT_EQ(ruler->GetCursorIdAt(c.point, false), c.cursorShown) << c.point.x << "," << c.point.y;
    }
}

TEST_F(MeasuringRulerTest, DraggingTheRightLinePastTheLeftSwapsThePoints)
{
    auto ruler = MakeRuler(true);
    EXPECT_TRUE(ruler->OnLButtonDown(POINT{500, 100}, true));
    EXPECT_TRUE(ruler->m_grabRight);
    EXPECT_EQ(ruler->GetCursorIdAt(POINT{0, 0}, true), 2110u);
    ruler->DragBy(POINT{200, 100}, -300, 0);  // right point to 200, left stays at 300
    EXPECT_FLOAT_EQ(ruler->m_length, 100);
    EXPECT_FLOAT_EQ(ruler->m_rec.x, 250 - 400);
    float x = 0, y = 0;
    ruler->GetEndPoint(1, x, y);
    EXPECT_FLOAT_EQ(x, 200);
    ruler->GetEndPoint(0, x, y);
    EXPECT_FLOAT_EQ(x, 300);
    // Never shorter than the minimum length.
    ruler->DragBy(POINT{0, 0}, -80, 0);
    EXPECT_FLOAT_EQ(ruler->m_length, 90);

    // The level line moves both points up or down.
    EXPECT_TRUE(ruler->OnLButtonDown(POINT{700, 281}, true));
    EXPECT_TRUE(ruler->m_grabLevel);
    EXPECT_FALSE(ruler->m_grabRight);
    ruler->DragBy(POINT{700, 260}, 4, -20);
    EXPECT_FLOAT_EQ(ruler->m_rec.y, -20);
}

TEST_F(MeasuringRulerTest, ShiftDragMovesTheBodyAlongTheLongerComponent)
{
    auto ruler = MakeRuler(false);
    ruler->DragBy(POINT{0, 0}, 3, -10);  // not selected: stays
    EXPECT_EQ(ruler->m_rec.x, 0.0f);
    ruler->m_shown = true;
    qlw::wnd::EventModifiers() = Qt::ShiftModifier;
    ruler->DragBy(POINT{0, 0}, 3, -10);
    qlw::wnd::EventModifiers() = -1;
    EXPECT_EQ(ruler->m_rec.x, 0.0f);
    EXPECT_EQ(ruler->m_rec.y, -10.0f);
    EXPECT_TRUE(ruler->m_moving);
    ruler->OnLButtonDown(POINT{400, 270}, false);
    EXPECT_FALSE(ruler->m_moving);
}

TEST_F(MeasuringRulerTest, MeasuringPointsStayOnThePlot)
{
    auto ruler = MakeRuler(false);
    ruler->m_rec.x = -300;  // left point at 0, left of the plot's 50
    ruler->m_rec.y = 400;   // level below the plot's bottom at 530
    ruler->ClampToPlot();
    EXPECT_FLOAT_EQ(ruler->m_rec.x, -250);
    EXPECT_FLOAT_EQ(ruler->m_rec.y, 250);
}

TEST_F(MeasuringRulerTest, ReadsDeltaXAndTheIntensityAtItsHeight)
{
    auto ruler = MakeRuler(false);
    EXPECT_NEAR(ruler->GetDeltaX(), 200 / 8.75, 1e-5);
    EXPECT_NEAR(ruler->GetIntensityAtLevel(), 500, 1e-9);  // (530 − 280) / 0.5
    EXPECT_EQ(CRuler::FormatDeltaX(200 / 8.75, L"\u00B0"), CString(L"\u0394x: 22.857\u00B0"));
    const struct {
        double value;
        const wchar_t* text;
    } cases[] = {{0.0123, L"0.0123"}, {56.7, L"56.70"}, {1234, L"1234"}, {0, L"0.000"}, {-0.5, L"-0.5000"}};
    for (const auto& c : cases) EXPECT_EQ(CRuler::FormatIntensity(c.value), CString(c.text)) << c.value;

    settings.m_logarithmicYAxis = 1;  // 500 px over log10(1001)
    ruler->AttachRenderer(&Renderer());
    EXPECT_NEAR(ruler->GetIntensityAtLevel(), std::pow(10.0, 0.5 * std::log10(1001.0)) - 1, 1e-6);
    // Above 0 the minimum is the axis's bottom in the same log10(y + 1) units: half-way up lies
    // half-way between log10(101) and log10(1001), as the plot draws it.
    settings.m_visibleYMin = 100;
    ruler->AttachRenderer(&Renderer());
    const double level = std::pow(10.0, (std::log10(101.0) + std::log10(1001.0)) / 2) - 1;
    EXPECT_NEAR(ruler->GetIntensityAtLevel(), level, 1e-6);
    EXPECT_NEAR(Renderer().DataToPixel(0, level).Y, 280, 1e-3);
}

TEST_F(MeasuringRulerTest, MenuCommands)
{
    auto ruler = MakeRuler(true);
    CGraphRenderer& r = *renderer;
    ruler->DetachRenderer();

    ruler->m_rec.y = 109;  // body bottom at 429, 101 pixels above the plot's bottom
    EXPECT_TRUE(ruler->OnMenuCommand(&r, 34172));
    EXPECT_FLOAT_EQ(ruler->m_rec.y, 159);
    EXPECT_EQ(ruler->m_renderer, nullptr);

    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        EXPECT_TRUE(ruler->OnMenuCommand(&r, 34169));
        EXPECT_EQ(QGuiApplication::clipboard()->text(), QString("22.85714"));
        ruler->m_intensity = 12.5;
        EXPECT_TRUE(ruler->OnMenuCommand(&r, 34170));
        EXPECT_EQ(QGuiApplication::clipboard()->text(), QString("12.500000"));
    }

    EXPECT_FALSE(ruler->OnMenuCommand(&r, 33333));
    EXPECT_TRUE(ruler->OnMenuCommand(&r, 34171));
    EXPECT_FALSE(ruler->IsActive());
    EXPECT_FALSE(ruler->IsShown());

    ruler->m_length = 50;
    ruler->m_rec.color = 0xFFFFFFFFu;
    ruler->ResetToDefaults();
    EXPECT_TRUE(ruler->IsActive());
    EXPECT_FLOAT_EQ(ruler->m_length, 200);
    EXPECT_EQ(ruler->m_rec.color, 0xD81919FFu);
}

TEST_F(MeasuringRulerTest, DamagedRecordsGiveAUsableRuler)
{
    CRuler::FlatRec rec;
    rec.x = std::numeric_limits<float>::quiet_NaN();
    rec.y = std::numeric_limits<float>::infinity();
    rec.angle = -std::numeric_limits<double>::infinity();
    rec.length = std::numeric_limits<float>::quiet_NaN();
    const struct {
        const char* how;
        std::function<void(CountingRuler&)> apply;
    } ways[] = {{"constructed", [](CountingRuler&) {}},
                {"set", [&rec](CountingRuler& r) { r.SetFromRulerRec(rec); }}};
    for (const auto& way : ways) {
        CountingRuler ruler(rec);
        way.apply(ruler);
        EXPECT_EQ(ruler.m_rec.x, 0.0f) << way.how;
        EXPECT_EQ(ruler.m_rec.y, 0.0f) << way.how;
        EXPECT_EQ(ruler.m_rec.angle, 0.0) << way.how;
        EXPECT_FLOAT_EQ(ruler.m_length, 200.0f) << way.how;
    }
}

TEST_F(MeasuringRulerTest, ContextMenuColourAndMenuText)
{
    CountingRuler ruler;  // as the settings record makes it: with its context menu
    ASSERT_NE(ruler.m_contextMenu, nullptr);
    HMENU items = GetSubMenu(ruler.m_contextMenu, 0);
    ASSERT_NE(items, nullptr);
    const UINT expected[] = {34169, 34170, 0, 34172, 34173, 0, 34168, 0, 34171};
    ASSERT_EQ(GetMenuItemCount(items), 9);
    for (int i = 0; i < 9; ++i) EXPECT_EQ(GetMenuItemID(items, i), expected[i]) << i;
    qlw::SetMenuAnswer([](HMENU, HWND) -> UINT { return 0; });
    EXPECT_TRUE(ruler.ShowContextMenu(nullptr, POINT{10, 10}));
    qlw::SetMenuAnswer(nullptr);

    // A colour chosen in the dialog keeps the ruler's translucency.
    const auto saved = ToolPlotHooks().pickColour;
    ToolPlotHooks().pickColour = [](HWND, COLORREF& colour) {
        colour = 0x0000FFu;  // pure red as 0x00BBGGRR
        return true;
    };
    ruler.m_rec.color = 0xD81919FFu;
    const int before = ruler.notifications;
    EXPECT_TRUE(ruler.OnMenuCommand(nullptr, 34168));
    ToolPlotHooks().pickColour = saved;
    EXPECT_EQ(ruler.m_rec.color, 0xD8FF0000u);
    EXPECT_EQ(ruler.notifications, before + 1);

    struct TextUI : CCmdUI {
        void SetText(LPCWSTR text) override { this->text = text; }
        CString text;
    } ui;
    ui.m_nID = 34170;
    ruler.OnUpdateMenuCommand(&ui);
    EXPECT_TRUE(ui.text.IsEmpty());
    ui.m_nID = 34169;
    ruler.OnUpdateMenuCommand(&ui);
    EXPECT_EQ(ui.text, CString(L"Copy \u0394x"));
}

TEST_F(MeasuringRulerTest, ZoomsToTheMeasuringPointsButNotToAnEmptyRange)
{
    CQlwDoc doc;
    doc.OnNewDocument();
    CDiffractionSettings& s = *doc.GetSettings();
    s.m_visibleXMin = 0;
    s.m_visibleXMax = 80;
    s.m_visibleYMin = 0;
    s.m_visibleYMax = 1000;
    s.m_defaultXMin = 0;
    s.m_defaultXMax = 90;
    s.m_logarithmicYAxis = 0;
    s.m_showPlotTitle = false;
    settings = s;
    CGraphRenderer& r = Renderer();
    auto ruler = MakeRuler(true);

    ruler->m_rec.y = 250;  // level with the plot's bottom: an intensity range of zero
    EXPECT_FALSE(ruler->ZoomToCursors(&doc, &r));
    EXPECT_EQ(s.m_visibleXMax, 80);
    EXPECT_EQ(s.m_visibleYMax, 1000);
    EXPECT_TRUE(ruler->IsActive());

    ruler->m_rec.y = 0;
    EXPECT_TRUE(ruler->ZoomToCursors(&doc, &r));
    EXPECT_NEAR(s.m_visibleXMin, 250 / 8.75, 1e-5);
    EXPECT_NEAR(s.m_visibleXMax, 450 / 8.75, 1e-5);
    EXPECT_EQ(s.m_visibleYMin, 0);
    EXPECT_NEAR(s.m_visibleYMax, 500, 1e-9);
    EXPECT_FALSE(ruler->IsActive()) << "once the window spans the ruler, the ruler goes";
}

TEST_F(MeasuringRulerTest, DrawsItsBarAndOnlyWhileSelectedItsGuideLines)
{
    auto ruler = std::make_shared<CountingRuler>(CRuler::FlatRec{});
    ruler->m_rec.visible = 1;
    ruler->m_rec.color = 0xFF1919FFu;
    settings.m_tools = {ruler};
    auto draw = [&](Gdiplus::Bitmap& bitmap) {
        Gdiplus::Graphics graphics(&bitmap);
        Renderer().DrawTools(&graphics);
    };
    Gdiplus::Bitmap plain(780, 570), selected(780, 570);
    draw(plain);
    ruler->m_shown = true;
    draw(selected);
    Gdiplus::Color pixel;
    plain.GetPixel(400, 300, &pixel);  // inside the bar, below the baseline
    EXPECT_EQ(pixel.GetAlpha(), 255);
    EXPECT_GT(pixel.GetBlue(), pixel.GetRed());
    plain.GetPixel(295, 275, &pixel);  // the hole at the left point: at most the bar's shadow
    EXPECT_LT(pixel.GetAlpha(), 128);
    plain.GetPixel(300, 100, &pixel);  // no guide line
    EXPECT_EQ(pixel.GetAlpha(), 0);
    int red = 0;  // the left guide line's dashes
    for (int y = 40; y < 230; ++y) {
        selected.GetPixel(300, y, &pixel);
        red += pixel.GetValue() == 0xFFAA0000u;
    }
    EXPECT_GT(red, 100);
    EXPECT_EQ(ruler->m_minLength, 90);
}
}  // namespace
