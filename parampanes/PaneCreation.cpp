// The panes the inspector host creates, by template id.
#include "BackgroundOverlayPane.h"
#include "FilmPane.h"
#include "GraphOptionsPane.h"
#include "GraphPane.h"
#include "InstrumentPane.h"
#include "BackgroundPane.h"
#include "LabelsPane.h"
#include "MixturePane.h"
#include "OccupancyPane.h"
#include "OffsetsPane.h"
#include "PeakOverlayPane.h"
#include "PreferredOrientationPane.h"
#include "SamplePane.h"
#include "SmoothingPane.h"
#include "TextPane.h"
#include "UnitCellPane.h"
#include "ParametersPane.h"

CDiscloseablePane* CParametersPane::CreatePane(UINT templateId, CWnd* host) {
  switch (templateId) {
    case kFilm:
      return new CFilmPane(host);
    case kBackgroundOverlay:
      return new CBackgroundOverlayPane(host);
    case kText:
      return new CTextPane(host);
    case kGraph:
      return new CGraphPane(host);
    case kLabels:
      return new CLabelsPane(host);
    case kPeakOverlay:
      return new CPeakOverlayPane(host);
    case kGraphOptions:
      return new CGraphOptionsPane(host);
    case kMixture:
      return new CMixturePane(host);
    case kOccupancy:
      return new COccupancyPane(host);
    case kOffsets:
      return new COffsetsPane(host);
    case kSample:
      return new CSamplePane(host);
    case kSmoothing:
      return new CSmoothingPane(host);
    case kUnitCell:
      return new CUnitCellPane(host);
    case kPreferredOrientation:
      return new CPreferredOrientationPane(host);
    case kInstrumentTTH:
      return new CInstrumentTTHPane(host);
    case kInstrumentTOF:
      return new CInstrumentTOFPane(host);
    case kInstrumentEDX:
      return new CInstrumentEDXPane(host);
    case kInstrumentTEM:
      return new CInstrumentTEMPane(host);
    case kBackground:
      return new CBackgroundPane(host);
    default:
      return nullptr;
  }
}
