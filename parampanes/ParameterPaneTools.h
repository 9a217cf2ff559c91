// Helpers the Parameters-tab panes share: a slider tied to its numeric field, and the one
// selected pattern of a kind that the mixture, occupancy and unit-cell panes need.
#pragma once
#include <memory>

#include "LXEdit.h"
#include "LXSlider.h"
#include "QLPattern.h"

// Ties the slider to the field: `steps` positions with a tick every half, an optional window
// (relative: 20 % of the value), power curve and span narrower than the field's range; the thumb
// follows the field from now on.
template <class T>
void LinkSlider(CLXSlider<T>& slider, CLXEdit<T>& edit, int steps, T window = 0, bool relative = false,
                int exponent = 1, T spanLow = 0, T spanHigh = 0) {
  slider.m_steps = steps;
  slider.m_spanLow = spanLow;
  slider.m_spanHigh = spanHigh;
  slider.SetRange(0, steps, TRUE);
  slider.SetTicFreq(steps / 2 > 0 ? steps / 2 : 1);
  slider.m_windowWidth = window;
  slider.m_relativeWindow = relative;
  slider.m_exponent = exponent;
  slider.m_buddy = &edit;
  edit.AddNotifyTarget(&slider);
  slider.SetFromValue(edit.m_value);
}

// The selected pattern of kind T when exactly one is selected anywhere in the tree; else null.
template <class T>
std::shared_ptr<T> SoleSelectedPattern(const CQLPatternList& tree) {
  if (CountPatternsOfType<T>(tree, true, false, false) != 1) return nullptr;
  return FindFirstPatternOfType<T>(tree, true, false);
}
