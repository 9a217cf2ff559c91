// The plain plot most renderer tests draw on: 0–80 along x, 0–1000 up, linear, untitled, at 96 dpi.
#pragma once

#include "DiffractionSettings.h"
#include "LXGdiplus.h"

namespace qlwtest {
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
}  // namespace qlwtest
