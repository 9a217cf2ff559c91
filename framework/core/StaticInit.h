// Program-wide globals set up before the program's entry point: GUID values, the preferences
// mutexes, the font-substitution table, the Rigaku keywords and default strings. The message
// ids of the bus are defined with the bus (LXMessageIds.cpp).
#pragma once

#include <cstddef>

#include "LXMutex.h"
#include "LXSyncRect.h"
#include "Uuid.h"
#include "Win.h"

// A GUID parsed from a fixed text; a text that does not parse gives the nil GUID.
class CLXGuid {
 public:
  explicit CLXGuid(LPCWSTR text);
  const GUID& Get() const { return m_guid; }
  operator const GUID&() const { return m_guid; }
  // "13dca11d-78cb-484a-892b-10aa643d11ae": made on first use, empty until then.
  const CString& GetText() const;

 private:
  GUID m_guid;
  mutable CString m_text;
};

// The program GUID: class id of the drop target and suffix of the registered message, mutex and
// file-mapping names.
extern const CLXGuid g_appGuid;
extern const CLXGuid g_scatteringFactorsGuid;
extern const CLXGuid g_helpViewerGuid;
extern const CLXGuid g_helpViewControlClsid;

// Screen metrics of the moment the program started.
extern const int g_halfFrameWidth;              // SM_CXFRAME / 2
extern const int g_captionHeight;               // SM_CYCAPTION
extern const LXGraphics::CSyncRect g_menuBarBand;  // at (0, 0), 2h x h for h = SM_CYMENU
extern const int g_smallCaptionButton;          // SM_CXSMSIZE x 1.5, truncated
// The small caption button record: id 3804, 4 states, and the button's width and height, each
// SM_CXSMSIZE x 1.5, truncated.
struct CLXSmallButtonRecord {
  int id;
  int states;
  int width;
  int height;
};
extern const CLXSmallButtonRecord g_smallCaptionButtonRecord;
extern const float g_focusBorder;               // SM_CXFOCUSBORDER x 2

// Serialises the registry reads and writes of preference values across all running instances;
// null when it could not be created.
extern CLXMutex* g_prefsNamedMutex;
extern const wchar_t kPrefsNamedMutexName[];
// Reports, once, why the named preferences mutex could not be created; false when it was.
bool ReportPrefsMutexFailure();
// Unnamed kernel mutex for the preference getters; the values lock only themselves.
extern CLXMutex* g_prefsGetterMutex;
// Serialises the creation and replacement of the program's preference store; on the heap.
extern CLXThreadMutex* g_prefsLock;

// Macintosh font names and their Windows stand-ins; a name with several rows lists its
// candidates in order of preference.
struct CFontSubstitution {
  LPCWSTR macName;
  LPCWSTR windowsName;
};
extern const CFontSubstitution g_fontSubstitutions[];
extern const size_t g_fontSubstitutionCount;

// Keywords of the Rigaku data format.
extern const CString g_rigakuStart, g_rigakuStop, g_rigakuStep, g_rigakuCount, g_rigakuEnd, g_rigakuEof;

// Five mutexes of shared framework state, ready before any thread but the main one exists.
extern CLXThreadMutex g_frameworkMutexes[5];

// The one-character texts of the command line's type switch: "0", all types "*", the default
// types "&", choose "?" and choose among all "!".
extern const CString g_textZero, g_textAll, g_textDefault, g_textChoose, g_textChooseAll;

// Default font names of the framework's text and controls, and the prefix of rich text.
extern const CString g_fontArialBold, g_fontArial, g_fontVerdana;
extern const CString g_rtfPrefix;
