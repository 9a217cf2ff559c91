// The document's window-state record as the session files read and write it; the document
// (app/) takes it over as CQlwDoc::WindowState and fills its start values from the preferences.
#pragma once

#include "LXSyncRect.h"
#include "Win.h"

#include <cstdint>
#include <list>

struct CQlwDocWindowState {
  CQlwDocWindowState() { rect.SetXYWH(0.0f, 0.0f, 1000.0f, 600.0f); }

  LXGraphics::CSyncRect rect;   // main window
  std::int32_t rectKind = 0;    // 3 when taken from the window at save time
  bool showStructures = true;   // patterns pane
  bool showParameters = true;
  bool showReflexions = false;
  std::int32_t structuresWidth = 200;
  double reflexionsRelHeight = 0.0;
  std::int32_t parametersTab = 0;
  std::list<CString> openPanes;  // header texts of the disclosed inspector panes
};
