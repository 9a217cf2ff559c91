// Label texts of a reflexion: indices, d spacing, position and relative intensity.
#include "ReflexionText.h"

#include <gtest/gtest.h>

using namespace QLReflexionText;

TEST(ReflexionText, NegativeIndicesAreOverlined)
{
    struct Case { int h, k, l; const wchar_t* text; };
    const Case cases[] = {
        {1, 1, 1, L"1 1 1"},
        {-1, 0, 2, L"\u00AF1\u00AF 0 2"},
        {0, 0, -12, L"0 0 \u00AF12\u00AF"},
        {-2, -10, 3, L"\u00AF2\u00AF \u00AF10\u00AF 3"},
    };
    for (const Case& c : cases) EXPECT_EQ(FormatHKL(c.h, c.k, c.l), CString(c.text)) << c.h << c.k << c.l;
}

TEST(ReflexionText, DecimalsShrinkAsNumbersGrow)
{
    struct Case { double value; const wchar_t* d; const wchar_t* x; };
    const Case cases[] = {
        {0.5, L"0.5000\u00C5", L"0.5000<XAxisUnits>"},
        {1.0, L"1.0000\u00C5", L"1.000<XAxisUnits>"},
        {1.0001, L"1.000\u00C5", L"1.000<XAxisUnits>"},
        {3.25626, L"3.256\u00C5", L"3.256<XAxisUnits>"},
        {10.0, L"10.00\u00C5", L"10.00<XAxisUnits>"},
        {99.994, L"99.99\u00C5", L"99.99<XAxisUnits>"},
        {100.0, L"100.0\u00C5", L"100.0<XAxisUnits>"},
        {0.05, L"0.0500\u00C5", L"0.0500<XAxisUnits>"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatDSpacing(c.value), CString(c.d)) << c.value;
        EXPECT_EQ(FormatPosition(c.value), CString(c.x)) << c.value;
    }
    // Narrow numbers are padded to five characters.
    EXPECT_EQ(FormatPosition(-0.5), CString(L"-0.5000<XAxisUnits>"));
}

TEST(ReflexionText, IntensityInPercentFromTheValueOrTheReflexion)
{
    CQLReflexion r;
    r.relativeIntensity = 0.095;
    EXPECT_EQ(FormatIntensity(r, 0.0), CString(L"9.5%"));
    r.relativeIntensity = 0.1;
    EXPECT_EQ(FormatIntensity(r, 0.0), CString(L"10%"));
    r.relativeIntensity = 1.0;
    EXPECT_EQ(FormatIntensity(r, 0.0), CString(L"100%"));
    EXPECT_EQ(FormatIntensity(r, 0.0814), CString(L"8.1%"));
    EXPECT_EQ(FormatIntensity(r, 0.65843), CString(L"66%"));
}
