// The update hint that every change of the document sends through CQlwDoc::DispatchUpdateHint,
// and its two derived kinds; the codes and what the dispatcher does for each are in QlwDocHints.cpp.
#pragma once

#include <cstdint>

class CQlwDoc;
class CView;
using CQlwDocView = CView;
struct CQLReflexion;
class CQLPattern;

class CUpdateHint {
 public:
  CUpdateHint(std::int32_t code, CQlwDoc* document, CQlwDocView* sender = nullptr, bool flag = false)
      : code(code), document(document), sender(sender), flag(flag) {}
  virtual ~CUpdateHint() = default;
  virtual void Touch() {}

  std::int32_t code;
  CQlwDoc* document;
  CQlwDocView* sender;  // not notified; null when the document itself sends
  bool flag;            // handed to the graphics pane's redraw
};

// Every change of the visible range or the y scale.
class CUHRequestPlotUpdate : public CUpdateHint {
 public:
  static constexpr std::int32_t kCode = 45;
  static constexpr std::uint16_t kRedrawAll = 0xFFFF;
  CUHRequestPlotUpdate(CQlwDoc* document, CQlwDocView* sender, bool flag, std::uint16_t level)
      : CUpdateHint(kCode, document, sender, flag), level(level) {}
  std::uint16_t level;
};

class CUHReflexionSelected : public CUpdateHint {
 public:
  static constexpr std::int32_t kCode = 21;
  CUHReflexionSelected(CQlwDoc* document, CQlwDocView* sender, const CQLReflexion* reflexion,
                       const CQLPattern* pattern = nullptr)
      : CUpdateHint(kCode, document, sender, false), reflexion(reflexion), pattern(pattern) {}
  const CQLReflexion* reflexion;
  const CQLPattern* pattern;  // the crystal pattern the reflexion belongs to
};

// Hint codes the document itself sends or acts on.
enum : std::int32_t {
  kHintBackground = 3,
  kHintOverlay = 5,
  kHintInstrument = 7,
  kHintOccupancy = 10,
  kHintReflexionPositions = 13,
  kHintSample = 14,
  kHintSmoothing = 15,
  kHintCellMetrics = 16,
  kHintCellConstantVolume = 17,
  kHintColours = 18,
  kHintPatternTree = 19,
  kHintReflexionSelected = 21,
  kHintPatternsRecomputed = 22,
  kHintPatternsShown = 24,
  kHintFilmType = 26,
  kHintGridColour = 27,
  kHintLabels = 28,
  kHintLabelThreshold = 29,
  kHintLineStyle = 30,
  kHintLineWidth = 31,
  kHintMarkerSize = 32,
  kHintMarkerStyle = 33,
  kHintPeakWidth = 37,
  kHintPeakFunction = 38,
  kHintSimulationType = 41,
  kHintSampleOccupancy = 42,
  kHintPlotTitle = 43,
  kHintPlotUpdate = 45,
};
