// Settings record: defaults, reset, and the conversions between x-axis units.
#include "DiffractionSettings.h"

#include "EngineConstants.h"
#include "LXGeometry.h"
#include "Preferences.h"

#include <algorithm>
#include <cmath>
#include <typeinfo>

using namespace QLEngineConstants;

namespace
{
// keV·Å, single precision as the conversions use it.
constexpr double kEnergyConstant = 6.1992998123168945;
constexpr double kEDXFactorConstant = 6.19921;
// Widths convert about this d spacing (Å).
constexpr double kReferenceD = 3.0;

double GuardedSin(double angle)
{
    return ZeroIfTiny(std::sin(angle));
}

struct UnitStrings
{
    UINT name;
    UINT symbol;
};
const UnitStrings kUnitStrings[6] = {
    {2328, 1107}, {2323, 1105}, {2326, 1115}, {2327, 1111}, {2324, 1109}, {2325, 1115},
};
constexpr UINT kYTitleString = 2330;
}

const std::uint32_t g_DefaultPatternColors[15] = {
    0xFF000000u, 0xFFCC0000u, 0xFF00CC00u, 0xFF0000CCu, 0xFF004400u,
    0xFF6633CCu, 0xFFFF9900u, 0xFF7F7F7Fu, 0xFF600030u, 0xFF00FFFFu,
    0xFFCCFF66u, 0xFF7F007Fu, 0xFF007F7Fu, 0xFFFFFF00u, 0xFFCC00CCu,
};

void GetDefaultAxisMaximum(LXTypes::QLAxisType unit, double* min, double* max)
{
    double value = 0.0;
    switch (unit)
    {
    case LXTypes::kAxis2Theta:
    case LXTypes::kAxisEnergy: value = 180.0; break;
    case LXTypes::kAxisDSpacing: value = 100.0; break;
    case LXTypes::kAxisInverseD: value = 5.0; break;
    case LXTypes::kAxisTimeOfFlight: value = 500.0; break;
    case LXTypes::kAxisTwoPiOverD: value = 5.0 * kTwoPi; break;
    default: break;
    }
    if (min)
        *min = 0.0;
    if (max)
        *max = value;
}

CDiffractionSettings::CDiffractionSettings(bool factoryDefaults)
    : m_fontName(L"MS Shell Dlg 2"),
      m_fontColor(0xFF000000u),
      m_fontSize(8.0f),
      m_fontStyle(0),
      m_titleSize(8.0f * 1.4f),
      m_gridColor((25u << 24) | (151u << 16) | (186u << 8) | 255u),
      m_graphPaperColor(0xFFFDFDFDu),
      m_frameColor(0xFF7F7F7Fu),
      m_solidBackgroundColor(0xFFFDFDFDu),
      m_useSolidBackground(0),
      m_logarithmicYAxis(0),
      m_showGrid(1),
      m_showLegend(1),
      m_showPlotTitle(false),
      m_showPeakTips(1),
      m_filmMode(0),
      m_filmType(2),
      m_filmGamma(1.0),
      m_simulationType(LXTypes::kSimXRays),
      m_profileType(LXTypes::kProfileGaussian),
      m_axisType(LXTypes::kAxis2Theta),
      m_plotValuesA{0.0, 0.0, 0.0, 0.0},
      m_plotWordsA{0, 0, 0, 0, 0},
      m_plotValueB(4.0),
      m_plotSize{300.0f, 300.0f},
      m_visibleXMin(0.0),
      m_visibleXMax(80.0),
      m_visibleYMin(0.0),
      m_visibleYMax(1.0),
      m_defaultXMin(0.0),
      m_defaultXMax(180.0),
      m_dMin(0.7),
      m_restrictMaxNumRefs(1),
      m_maxNumRefs(10000),
      m_numProfilePoints(72000),
      m_tthPeakWidth(0.1),
      m_monochromatic(1),
      m_lambda(1.5405),
      m_lambda2(1.54434),
      m_lambdaRatio(2.0),
      m_edxTheta(0.06981),
      m_edxPeakWidth(0.1),
      m_tofTheta(1.57),
      m_tofDistance(100.0),
      m_tofResolution(0.001),
      m_lambdaTEM(0.037014),
      m_peakWidthTEM(0.02),
      m_eta(0.2),
      m_autoColor(1),
      m_hideOverlappingLabels(true),
      m_fixedColor(g_DefaultPatternColors[0]),
      m_tofFactor(1.0),
      m_edxFactor(1.0)
{
    m_tools.reserve(2);
    Reset(factoryDefaults);
}

void CDiffractionSettings::Reset(bool factoryDefaults)
{
    if (!factoryDefaults && g_pPreferences)
        ReadPreferences(*g_pPreferences);

    UpdateTOFFactor();
    GetDefaultAxisMaximum(m_axisType, &m_defaultXMin, &m_defaultXMax);
    LoadUnitStrings();

    m_tools.clear();
    if (factoryDefaults)
    {
        CRuler::FlatRec ruler;
        ruler.color = (216u << 24) | (25u << 16) | (25u << 8) | 255u;
        ruler.length = 200.0f;
        ruler.numDivisions = 4;
        m_tools.push_back(std::make_shared<CRuler>(ruler));
        CCursor::FlatRec cursor;
        cursor.color = 0xFFFF0000u;
        m_tools.push_back(std::make_shared<CCursor>(cursor));
    }
    else
    {
        // The tools as the user left them (their constructors read the preferences).
        m_tools.push_back(std::make_shared<CRuler>());
        m_tools.push_back(std::make_shared<CCursor>());
    }

    GetCursor(true)->m_showDSpacing = 1;
}

void CDiffractionSettings::ReadPreferences(CPreferences& p)
{
    m_fontName = p.m_FontName.Get();
    m_fontColor = p.m_FontColor.Get().GetValue();
    m_fontSize = p.m_FontSize.Get();
    m_fontStyle = p.m_FontStyle.Get();
    m_titleSize = m_fontSize * 1.4f;
    m_gridColor = p.m_GridColor.Get().GetValue();
    m_graphPaperColor = p.m_GraphPaperColor.Get().GetValue();
    m_frameColor = p.m_FrameColor.Get().GetValue();
    m_solidBackgroundColor = p.m_SolidBackgroundColour.Get().GetValue();
    m_useSolidBackground = p.m_UseSolidBackground.Get() ? 1 : 0;
    m_logarithmicYAxis = p.m_LogarithmicYAxis.Get() ? 1 : 0;
    m_showGrid = p.m_ShowGrid.Get() ? 1 : 0;
    m_showLegend = p.m_ShowLegend.Get() ? 1 : 0;
    m_showPeakTips = p.m_ShowPeakTips.Get() ? 1 : 0;
    m_filmMode = p.m_FilmMode.Get() ? 1 : 0;
    m_filmType = p.m_FilmType.Get();
    m_filmGamma = p.m_FilmGamma.Get();
    m_simulationType = p.m_SimulationType.Get();
    m_profileType = p.m_ProfileType.Get();
    m_axisType = p.m_AxisType.Get();
    m_dMin = p.m_DMin.Get();
    m_restrictMaxNumRefs = p.m_RestrictMaxNumRefs.Get() ? 1 : 0;
    m_maxNumRefs = p.m_MaxNumRefs.Get();
    m_tthPeakWidth = p.m_TTHPeakWidth.Get();
    m_monochromatic = p.m_Monochromatic.Get() ? 1 : 0;
    m_lambda = p.m_Lambda.Get();
    m_lambda2 = p.m_Lambda2.Get();
    m_lambdaRatio = p.m_LambdaRatio.Get();
    m_edxTheta = p.m_EDXTheta.Get();
    m_edxPeakWidth = p.m_EDXPeakWidth.Get();
    m_tofTheta = p.m_TOFTheta.Get();
    m_tofDistance = p.m_TOFDistance.Get();
    m_tofResolution = p.m_TOFResolution.Get();
    m_lambdaTEM = p.m_LambdaTEM.Get();
    m_peakWidthTEM = p.m_PeakWidthTEM.Get();
    m_eta = p.m_Eta.Get();
    m_autoColor = p.m_AutoColor.Get() ? 1 : 0;
    m_fixedColor = p.m_FixedColor.Get().GetValue();
}

void CDiffractionSettings::UpdateTOFFactor()
{
    m_tofFactor = m_tofDistance * 2.0 * kTOFConstant * GuardedSin(m_tofTheta);
    m_edxFactor = kEDXFactorConstant / GuardedSin(m_edxTheta);
}

void CDiffractionSettings::LoadUnitStrings()
{
    if (m_axisType >= 1 && m_axisType <= 6)
    {
        const UnitStrings& ids = kUnitStrings[m_axisType - 1];
        m_unitName.LoadString(ids.name);
        m_unitSymbol.LoadString(ids.symbol);
    }
    m_yTitle.LoadString(kYTitleString);
}

double CDiffractionSettings::GetWavelength() const
{
    return m_simulationType == LXTypes::kSimElectrons ? m_lambdaTEM : m_lambda;
}

// Both use the wavelength of the present radiation: with electrons the 2θ axis is drawn from the
// electron wavelength, so the cursor's d and the centring on a reflexion must be too.
double CDiffractionSettings::ConvertFromDSpacing(double d) const
{
    switch (m_axisType)
    {
    case LXTypes::kAxis2Theta: return 2.0 * AsinDegrees(GetWavelength() * 0.5 / d);
    case LXTypes::kAxisDSpacing: return d;
    case LXTypes::kAxisInverseD: return 1.0 / d;
    case LXTypes::kAxisTimeOfFlight: return d * 2.0 * m_tofDistance * kTOFConstant * GuardedSin(m_tofTheta);
    case LXTypes::kAxisEnergy: return kEnergyConstant / (GuardedSin(m_edxTheta) * d);
    case LXTypes::kAxisTwoPiOverD: return kTwoPi / d;
    default: return 0.0;
    }
}

double CDiffractionSettings::ConvertToDSpacing(double x) const
{
    switch (m_axisType)
    {
    case LXTypes::kAxis2Theta: return GetWavelength() / (2.0 * std::sin(x * 0.5 * kDegToRad));
    case LXTypes::kAxisDSpacing: return x;
    case LXTypes::kAxisInverseD: return 1.0 / x;
    case LXTypes::kAxisTimeOfFlight: return x / (2.0 * m_tofDistance * kTOFConstant * GuardedSin(m_tofTheta));
    case LXTypes::kAxisEnergy: return kEnergyConstant / (GuardedSin(m_edxTheta) * x);
    case LXTypes::kAxisTwoPiOverD: return kTwoPi / x;
    default: return 0.0;
    }
}

namespace
{
// Width w in unit `from` as a width in d about the reference spacing.
double WidthInD(double w, int from, double lambda, double tofFactor, double edxFactor)
{
    switch (from)
    {
    case 1:
    {
        double tth0 = 2.0 * AsinDegrees((lambda / 2.0) / kReferenceD);
        return (lambda / 2.0) * (1.0 / std::sin((tth0 - w / 2.0) * 0.5 * kDegToRad) -
                                 1.0 / std::sin((tth0 + w / 2.0) * 0.5 * kDegToRad));
    }
    case 2: return w;
    case 3: return 1.0 / (0.3333333333333333 - w / 2.0) - 1.0 / (0.3333333333333333 + w / 2.0);
    case 4: return w / tofFactor;
    case 5:
    {
        double e0 = edxFactor / kReferenceD;
        return edxFactor / (e0 - w / 2.0) - edxFactor / (e0 + w / 2.0);
    }
    case 6:
    {
        double q0 = kTwoPi / kReferenceD;
        return (1.0 / (q0 - w / 2.0) - 1.0 / (q0 + w / 2.0)) * kTwoPi;
    }
    default: return w;
    }
}

// Width wd in d about the reference spacing as a width in unit `to` (1..6).
double WidthFromD(double wd, int to, double lambda, double tofFactor, double edxFactor)
{
    double lo = kReferenceD - wd / 2.0;
    double hi = kReferenceD + wd / 2.0;
    switch (to)
    {
    case 1: return 2.0 * (AsinDegrees((lambda / 2.0) / lo) - AsinDegrees((lambda / 2.0) / hi));
    case 2: return wd;
    case 3: return 1.0 / lo - 1.0 / hi;
    case 4: return wd * tofFactor;
    case 5: return edxFactor / lo - edxFactor / hi;
    default: return (1.0 / lo - 1.0 / hi) * kTwoPi;
    }
}

double ConvertWidthWith(double w, int from, int to, double lambda, double tofFactor, double edxFactor)
{
    if (from == to)
        return w;
    double wd = WidthInD(w, from, lambda, tofFactor, edxFactor);
    if (to < 1 || to > 6)
        return w;
    return WidthFromD(wd, to, lambda, tofFactor, edxFactor);
}
}

double CDiffractionSettings::ConvertWidth(double width, LXTypes::QLAxisType from, LXTypes::QLAxisType to) const
{
    return ConvertWidthWith(width, from, to, GetWavelength(), m_tofFactor, m_edxFactor);
}

double CDiffractionSettings::GetWidthPole(LXTypes::QLAxisType unit) const
{
    switch (unit)
    {
    case LXTypes::kAxis2Theta: return 4.0 * AsinDegrees(GetWavelength() / (2.0 * kReferenceD));
    case LXTypes::kAxisDSpacing: return 2.0 * kReferenceD;
    case LXTypes::kAxisInverseD: return 2.0 / kReferenceD;
    case LXTypes::kAxisTimeOfFlight: return m_tofFactor > 0.0 ? 2.0 * kReferenceD * m_tofFactor : 0.0;
    case LXTypes::kAxisEnergy: return std::isfinite(m_edxFactor) ? 2.0 * std::fabs(m_edxFactor) / kReferenceD : 0.0;
    case LXTypes::kAxisTwoPiOverD: return 2.0 * kTwoPi / kReferenceD;
    default: return 0.0;
    }
}

double CDiffractionSettings::GetPeakWidth(double x) const
{
    switch (m_simulationType)
    {
    case LXTypes::kSimTimeOfFlight:
        if (m_axisType == LXTypes::kAxis2Theta)
            return std::tan(x * 0.5 * kDegToRad) * (kRadToDeg * 2.0 * m_tofResolution);
        return x * m_tofResolution;
    case LXTypes::kSimEnergyDispersive:
        if (m_axisType == LXTypes::kAxisEnergy)
            return m_edxPeakWidth;
        return ConvertWidthWith(m_edxPeakWidth, LXTypes::kAxisEnergy, m_axisType, m_lambda, m_tofFactor,
                                m_edxFactor);
    case LXTypes::kSimElectrons:
        if (m_axisType == LXTypes::kAxisInverseD)
            return m_peakWidthTEM;
        return ConvertWidthWith(m_peakWidthTEM, LXTypes::kAxisInverseD, m_axisType, m_lambdaTEM, m_tofFactor,
                                m_edxFactor);
    default:
        return ConvertWidth(m_tthPeakWidth, LXTypes::kAxis2Theta, m_axisType);
    }
}

CCursor* CDiffractionSettings::GetCursor(bool create)
{
    for (const auto& tool : m_tools)
        if (tool && typeid(*tool) == typeid(CCursor))
            return static_cast<CCursor*>(tool.get());
    if (!create)
        return nullptr;
    auto cursor = std::make_shared<CCursor>();
    m_tools.insert(m_tools.begin(), cursor);
    return cursor.get();
}

CRuler* CDiffractionSettings::GetRuler(bool create)
{
    for (const auto& tool : m_tools)
        if (tool && typeid(*tool) == typeid(CRuler))
            return static_cast<CRuler*>(tool.get());
    if (!create)
        return nullptr;
    auto ruler = std::make_shared<CRuler>();
    m_tools.push_back(ruler);
    return ruler.get();
}
