// The plain plot most renderer tests draw on, and a measured pattern with one peak label.
#pragma once

#include <string>

#include "DiffractionSettings.h"
#include "LXGdiplus.h"
#include "QLObservedPattern.h"

namespace qlwtest {
// 0–80 along x, 0–1000 up, linear, untitled, at 96 dpi.
inline void UsePlainPlot(CDiffractionSettings& settings)
{
    g_drawDpi = g_screenDpi = 96;
    settings.m_visibleXMin = 0;
    settings.m_visibleXMax = 80;
    settings.m_visibleYMin = 0;
    settings.m_visibleYMax = 1000;
    settings.m_showPlotTitle = false;
    settings.m_logarithmicYAxis = 0;
}

// A measured pattern that labels one peak, at x and height y, wherever x is in view.
struct OneLabelPattern : CQLObservedPattern
{
    OneLabelPattern(CQLProfile profile, double x, double y, std::wstring label)
        : CQLObservedPattern(std::move(profile), true), m_x(x), m_y(y), m_label(std::move(label))
    {
    }
    void CollectPeaks(double xMin, double xMax, CQLPeakLabelList& list) const override
    {
        list.clear();
        if (m_x >= xMin && m_x <= xMax) list.push_back({this, m_x, m_y, m_label.c_str()});
    }
    double m_x, m_y;
    std::wstring m_label;
};
}  // namespace qlwtest
