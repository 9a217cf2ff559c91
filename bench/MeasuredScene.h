// The plot benchmarks' measured data: three patterns of 72,000 points each over 0–180, with
// sharp peaks, in three colours.
#pragma once

#include "QLObservedPattern.h"

#include <cmath>
#include <memory>

inline void AddMeasuredPatterns(CQLPatternList& tree)
{
    for (int k = 0; k < 3; ++k) {
        CQLProfile points(72000);
        for (size_t i = 0; i < points.size(); ++i) {
            const double x = 180.0 * double(i) / double(points.size());
            points[i] = {x, 100 + 300 * k + 200 * std::pow(std::sin(x * 3.1 + k), 8)};
        }
        auto p = std::make_shared<CQLObservedPattern>(std::move(points), true);
        p->SetShown(true);
        p->m_color = 0xFF000000u | (0x3F << (8 * k));
        tree.push_back(p);
    }
}
