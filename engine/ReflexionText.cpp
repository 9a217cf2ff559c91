// Texts of peak labels made from a reflexion.
#include "ReflexionText.h"

#include "LXUtils.h"

#include <cstdlib>

namespace {
constexpr wchar_t kMacron = L'\u00AF';
constexpr wchar_t kAngstrom = L'\u00C5';
constexpr UINT kIdsXAxisUnits = 2329;

void AppendIndex(CString& text, int index)
{
    if (index < 0) text += kMacron;
    text.AppendFormat(L"%d", std::abs(index));
}
}  // namespace

namespace QLReflexionText {

CString FormatHKL(int h, int k, int l)
{
    CString text;
    AppendIndex(text, h);
    text += L' ';
    AppendIndex(text, k);
    text += L' ';
    AppendIndex(text, l);
    CUtils::TerminateOverbars(text);
    return text;
}

CString FormatDSpacing(double d)
{
    CString text;
    if (d >= 100.0)
        text.Format(L"%5.1f", d);
    else if (d >= 10.0)
        text.Format(L"%5.2f", d);
    else if (d > 1.0)
        text.Format(L"%5.3f", d);
    else
        text.Format(L"%5.4f", d);
    text += kAngstrom;
    return text;
}

CString FormatPosition(double x)
{
    CString text;
    if (x >= 100.0)
        text.Format(L"%5.1f", x);
    else if (x >= 10.0)
        text.Format(L"%5.2f", x);
    else if (x >= 1.0)
        text.Format(L"%5.3f", x);
    else
        text.Format(L"%5.4f", x);
    CString units;
    units.LoadString(kIdsXAxisUnits);
    return text + units;
}

CString FormatIntensity(const CQLReflexion& reflexion, double value)
{
    const double percent = (value != 0.0 ? value : reflexion.relativeIntensity) * 100.0;
    CString text;
    if (percent >= 10.0)
        text.Format(L"%.0f%%", percent);
    else
        text.Format(L"%.1f%%", percent);
    return text;
}

}  // namespace QLReflexionText
