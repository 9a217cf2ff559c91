// Shared pieces of the document tests: a view that records hints, a pattern with a made-up
// profile and range, and paths of small files written for a test.
#pragma once

#include "QlwDoc.h"

#include <QStringList>

#include <string>
#include <vector>

namespace doctest {
// Records the code of every hint it receives.
class RecordingView : public CView {
 public:
  void OnDraw(CDC*) override {}
  void OnUpdate(CView*, LPARAM lHint, CObject*) override {
    codes.push_back(lHint ? reinterpret_cast<CUpdateHint*>(lHint)->code : -1);
  }
  std::vector<int> codes;
};

// A pattern whose profile, default range and data the test sets.
class FixturePattern : public CQLPattern {
 public:
  explicit FixturePattern(CQLProfile profile = {}, double lo = 10.0, double hi = 90.0)
      : m_lo(lo), m_hi(hi) {
    m_profile = std::move(profile);
    m_shown = 1;
  }
  CQLPatternPtr Clone() const override { return std::make_shared<FixturePattern>(*this); }
  bool HasData() const override { return true; }
  void ClearProfile() override {}
  double GetDefaultAxisMinimum(LXTypes::QLAxisType) const override { return m_lo; }
  double GetDefaultAxisMaximum(LXTypes::QLAxisType) const override { return m_hi; }
  double m_lo, m_hi;
};

// Answers every file dialog shown in its scope as a user who picks the filter-th type and types
// name; counts the dialogs.
class TypedFileName {
 public:
  TypedFileName(int filter, const std::string& name);
  ~TypedFileName();
  int shown = 0;
  QStringList filters;
  QString title;
};

// Writes text to a fresh file in the test's scratch folder and answers its path.
std::string WriteScratchFile(const std::string& name, const std::string& bytes);
std::string RutilePath();
}  // namespace doctest
