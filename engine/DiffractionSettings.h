// Simulation and plot settings against which every pattern computes, with the conversions
// between x-axis units; the plot tools it holds are in ToolRecords.h.
#pragma once

#include "ToolRecords.h"
#include "Win.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace LXTypes
{
// x-axis unit
enum QLAxisType : std::uint32_t
{
    kAxis2Theta = 1,
    kAxisDSpacing = 2,
    kAxisInverseD = 3,
    kAxisTimeOfFlight = 4,
    kAxisEnergy = 5,
    kAxisTwoPiOverD = 6,
};

// instrument kind
enum QLSimulationType : std::uint32_t
{
    kSimXRays = 1,
    kSimNeutrons = 2,
    kSimEnergyDispersive = 3,
    kSimTimeOfFlight = 4,
    kSimElectrons = 5,
};

// peak shape
enum QLProfileType : std::int32_t
{
    kProfileDelta = 1,
    kProfileLorentzian = 2,
    kProfileGaussian = 3,
    kProfilePseudoVoigt = 4,
};

using QLFilmType = std::uint32_t;
}

// The default x range (minimum is always 0) of an axis unit; null pointers are skipped.
void GetDefaultAxisMaximum(LXTypes::QLAxisType unit, double* min, double* max);

// Opaque colours new patterns take in turn (ARGB).
extern const std::uint32_t g_DefaultPatternColors[15];

class CPreferences;

class CDiffractionSettings
{
public:
    explicit CDiffractionSettings(bool factoryDefaults);

    // Unless factoryDefaults, the values that the program's preference store keeps come from it.
    void Reset(bool factoryDefaults);
    void ReadPreferences(CPreferences& preferences);
    void UpdateTOFFactor();
    void LoadUnitStrings();

    double GetWavelength() const;
    double GetPeakWidth(double x) const;
    double ConvertWidth(double width, LXTypes::QLAxisType from, LXTypes::QLAxisType to) const;
    // The width in `unit` at which ConvertWidth's conversion about d = 3 Å has its pole (2θ: twice
    // 2θ at 3 Å; 1/d: 2/3 Å⁻¹); widths must stay below it. 0 when there is none.
    double GetWidthPole(LXTypes::QLAxisType unit) const;
    double ConvertFromDSpacing(double d) const;
    double ConvertToDSpacing(double x) const;

    CCursor* GetCursor(bool create);
    CRuler* GetRuler(bool create);

    // Plot text
    CString m_fontName;
    std::uint32_t m_fontColor;
    float m_fontSize;
    std::uint32_t m_fontStyle;
    float m_titleSize;
    CString m_unitName;
    CString m_unitSymbol;
    CString m_yTitle;
    CString m_fourthText;

    // Plot style
    std::uint32_t m_gridColor;
    std::uint32_t m_graphPaperColor;
    std::uint32_t m_frameColor;
    std::uint32_t m_solidBackgroundColor;
    std::uint8_t m_useSolidBackground;
    std::uint8_t m_logarithmicYAxis;
    std::uint8_t m_showGrid;
    std::uint8_t m_showLegend;
    bool m_showPlotTitle;
    std::uint8_t m_showPeakTips;
    std::uint8_t m_filmMode;
    LXTypes::QLFilmType m_filmType;
    double m_filmGamma;

    // Instrument and axis
    LXTypes::QLSimulationType m_simulationType;
    LXTypes::QLProfileType m_profileType;
    LXTypes::QLAxisType m_axisType;

    // Plot view values, owned by the plot view
    double m_plotValuesA[4];
    std::uint32_t m_plotWordsA[5];
    double m_plotValueB;
    float m_plotSize[2];

    double m_visibleXMin;
    double m_visibleXMax;
    double m_visibleYMin;
    double m_visibleYMax;
    double m_defaultXMin;
    double m_defaultXMax;

    // Reflexion generation
    double m_dMin;                    // Å
    std::uint8_t m_restrictMaxNumRefs;
    std::uint32_t m_maxNumRefs;
    std::uint64_t m_numProfilePoints;

    // Widths and wavelengths
    double m_tthPeakWidth;            // degrees 2θ
    std::uint8_t m_monochromatic;
    double m_lambda;                  // Å
    double m_lambda2;                 // Å
    double m_lambdaRatio;
    double m_edxTheta;                // radians
    double m_edxPeakWidth;            // keV
    double m_tofTheta;                // radians
    double m_tofDistance;
    double m_tofResolution;           // Δt/t
    double m_lambdaTEM;               // Å
    double m_peakWidthTEM;            // Å⁻¹
    double m_eta;                     // Lorentzian fraction of the pseudo-Voigt

    std::uint8_t m_autoColor;
    bool m_hideOverlappingLabels;
    std::uint32_t m_fixedColor;

    std::vector<std::shared_ptr<CTool>> m_tools;

    double m_tofFactor;               // µs per Å of time of flight
    double m_edxFactor;               // energy × d of energy-dispersive geometry
};
