// The panes the inspector host creates, by template id.
#include "FilmPane.h"
#include "GraphOptionsPane.h"
#include "ParametersPane.h"

CDiscloseablePane* CParametersPane::CreatePane(UINT templateId, CWnd* host) {
  switch (templateId) {
    case kFilm:
      return new CFilmPane(host);
    case kGraphOptions:
      return new CGraphOptionsPane(host);
    default:
      return nullptr;
  }
}
