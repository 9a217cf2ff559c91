// The document: the pattern tree, the settings every pattern computes against and the window
// layout saved with a session. Tree queries and operations are in QlwDoc.cpp, the hint dispatcher
// in QlwDocHints.cpp, plot ranges in QlwDocRanges.cpp, open and save in QlwDocFiles.cpp.
#pragma once

#include "DiffractionSettings.h"
#include "LXException.h"
#include "QLPattern.h"
#include "QlwDocView.h"
#include "QlwDocWindowState.h"
#include "UpdateHint.h"

#include <cstdint>
#include <vector>

#ifndef ID_FILE_SAVE
#define ID_FILE_SAVE 57603
#define ID_FILE_SAVE_AS 57604
#endif

class CQLCrystal;
class CQLCrystalPattern;
class CQLMixturePattern;
class CQLObservedPattern;
class CQlwFile;

LX_DECLARE_EXCEPTION(CLXXNoDocument, CLXXMain, 20794);
// A cell edit that no cell of the same volume satisfies.
LX_DECLARE_EXCEPTION(CLXXCellRescale, CLXXMain, 20820);
// A pattern whose file cannot be read again; it stays in the tree, hidden.
LX_DECLARE_EXCEPTION(CLXXPatternFileMissing, CLXXFile, 21120);

// A file whose reader logged warnings: one alert names the file and lists the first
// kListedWarnings of them, then how many more there are.
class CLXXFileReadWarnings : public CLXXFile {
 public:
  static constexpr UINT kMessageId = 21121;
  static constexpr size_t kListedWarnings = 20;
  CLXXFileReadWarnings(const CString& path, const std::vector<CString>& warnings);
};

LX_DECLARE_EXCEPTION(CLXXFindPeak, CLXXProduct, 23128);
// Go to Peak and the hkl field: no reflexion of the pattern is equivalent to the indices.
LX_DECLARE_EXCEPTION(CLXXFindPeakNoReflexion, CLXXFindPeak, 23129);

// Set by the application while it adds files to the current document: no save question then.
extern bool g_appAddingToDocument;
// While set, the inspector's and the panes' commands leave the keyboard focus where it is.
extern bool g_bKeepFocus;

class CQlwDoc : public CDocument {
  DECLARE_DYNCREATE(CQlwDoc)

 public:
  // The layout record; its start values come from the program's preferences.
  struct WindowState : CQlwDocWindowState {
    WindowState();
  };

  CQlwDoc();
  ~CQlwDoc() override;

  // ----- class-library overrides -----
  void SetPathName(LPCWSTR path, BOOL addToMru = TRUE) override;
  BOOL IsModified() override { return m_bModified; }
  void SetModifiedFlag(BOOL modified = TRUE) override;
  void DeleteContents() override;
  BOOL OnNewDocument() override;
  void OnCloseDocument() override;
  // False when the user cancels (or the save fails); otherwise the document may go. A cancel
  // abandons the program's closing.
  BOOL SaveModified() override;
  // Save, or Save As where the document has no session to write to; false unless saved.
  BOOL DoFileSave() override;

  // ----- queries -----
  CDiffractionSettings* GetSettings() { return m_bClosing ? nullptr : &m_settings; }
  WindowState* GetWindowState() { return m_bClosing ? nullptr : &m_windowState; }
  // The window given to the document, else the frame around one of its views (a document that
  // took over another's views in the same window was given none).
  CQlwDocWindow* GetDiffractWnd() const;
  void SetDiffractWnd(CQlwDocWindow* window) { m_window = window; }
  CQLPatternList& GetPatterns() { return m_patterns; }

  void GetFirstPattern(CQLPatternPtr& out, bool onlySelected) const;
  void GetFirstObservedPattern(std::shared_ptr<CQLObservedPattern>& out, bool onlySelected) const;
  void GetFirstCrystalPattern(std::shared_ptr<CQLCrystalPattern>& out, bool onlySelected) const;
  CQLPattern* GetSelectedPattern() const;
  CQLCrystalPattern* GetSelectedCrystalPattern() const;
  CQLObservedPattern* GetSelectedObservedPattern() const;
  CQLMixturePattern* GetSelectedMixturePattern() const;
  CQLCrystalPattern* GetAnyCrystalPattern() const;
  CQLObservedPattern* GetAnyObservedPattern() const;
  bool HasShownPatterns() const;
  bool AnyPatternNeedsRecompute() const;

  // ----- tree operations -----
  CQLPatternPtr AddCrystalPattern(const CQLCrystal& crystal);
  CQLPatternPtr AddObservedPattern(const CQLProfile& points);
  CQLPatternPtr NewMixtureFromPatterns(const CQLPatternList& patterns);
  bool MovePatternsIntoMixture(const CQLPatternList& patterns, CQLMixturePattern& mixture);
  bool MovePatternsBeside(const CQLPatternList& patterns, const CQLPattern& target, bool before);
  void MovePatternsToEnd(const CQLPatternList& patterns);
  void DuplicatePatterns(const CQLPatternList& patterns);
  void ShowPatterns(const CQLPatternList& patterns);
  void RemovePatternsWithoutData(CQLPatternList& patterns);
  void ResetColours();
  static bool LessSelectedFirst(const CQLPatternPtr& a, const CQLPatternPtr& b);
  static bool LessUnselectedFirst(const CQLPatternPtr& a, const CQLPatternPtr& b);

  // ----- hints and recompute -----
  void DispatchUpdateHint(CUpdateHint& hint);
  void RecomputeAllPatterns(bool autoscale, bool fitToData, bool plotHint);
  void RecomputeHintedPatterns(bool onlySelected, bool withReflexions);
  void RefreshReflexionPositions();
  // Brings the patterns left out of a recompute while hidden up to the settings once they are in
  // view again; true when one was computed.
  bool ApplySettingsToPatternsBackInView();
  void RescaleObservedPatterns();

  // ----- plot ranges -----
  void UpdateDataRange();
  void SetPlotRange(double xMin, double xMax, double yMin, double yMax, bool hint);
  void Autoscale(bool hint);
  void FitPlotToPatterns();
  void ScrollPlotRange(double dx);
  void ZoomPlotRange(double factor, double anchor, bool autoscale);
  void ScaleReferenceIntensity(double factor);
  void SetAxisType(LXTypes::QLAxisType unit);
  // The same, the window's present 2θ ends read with the wavelength they were shown with (a
  // change of instrument has already stored the new one). Without refresh the reflexion
  // positions and the y range are left to a caller that recomputes the patterns next.
  void SetAxisType(LXTypes::QLAxisType unit, double shownWavelength, bool refresh = true);
  void CentrePlotOn(double dSpacing);
  double GetMaxVisibleIntensity() const;
  // How much of the x window the shown patterns' data span covers (0 when none).
  double GetDataSpanInView() const;

  // ----- open, save, import -----
  BOOL OnOpenDocument(LPCWSTR path) override;
  // Opens the path (a new empty session when null) through the session template: into the open
  // window while g_openInSameWindow is set. Null after a reported failure.
  static CQlwDoc* OpenOrCreateDocument(std::uint32_t type, const wchar_t* path);
  bool ReadFileIntoDocument(std::uint32_t type, const CString& path);
  // Reads the file into nothing: false, after reporting why, when it cannot be opened as a document.
  static bool CanBeRead(const CString& path);
  // layoutRead: the file carried a window layout (a session), which a fresh window takes on.
  void AddReadPatterns(CQLPatternList& list, CDiffractionSettings& settings, CQlwDocWindowState& state, bool replace,
                       bool layoutRead = false);
  void AddFilesFromDrop(const std::vector<CString>& paths);
  bool ReloadPatternsWithoutData(const CQLPatternList& patterns);
  BOOL OnSaveDocument(LPCWSTR path) override;
  bool DoSave(const CString& path, bool replace);
  void OnFileSave();
  void OnFileSaveAs();
  // The class library's text for a file that could not be opened.
  static CString DescribeOpenError(int osError, const CString& path);
  // The session template's filter list, as the Save As dialog shows it.
  static CString GetSessionFilter();

  // ----- the pattern, diffraction and plot commands (32768 to 34577) -----
  // Carried out here: true when the id is one of the document's commands.
  bool OnDocCommand(UINT id);
  // Sets the item's state; ids the document does not know are passed on.
  void OnUpdateDocCommand(CCmdUI* ui);
  static bool IsDocCommand(UINT id);
  BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;

  void EditCrystalPattern(bool isNew);
  void EditObservedPattern(bool isNew);
  // The first selected crystal pattern (or, for the profile, pattern) written as the file type.
  void ExportPatterns(UINT fileType);
  void GoToPeak();
  void EditPeakWidth();
  void SetSimulationType(LXTypes::QLSimulationType type);
  void SetPeakFunction(LXTypes::QLProfileType function);
  void RunSettingsDialog(CQlwDocWindow::SettingsDialog dialog);
  void ChoosePatternColour();
  void ChooseGridColour();
  // Each shown pattern over the next, the last at 0; the y range spans them all.
  void StackPatterns();
  void CollapsePatterns();
  void ScaleObservedX();
  void ToggleTool(bool cursor);
  // 33670 Bring Forward, 33671 Bring to Front, 33669 Send Backward, 33668 Send to Back.
  void ReorderSelectedPatterns(UINT command);
  // The step of the keyboard's intensity scaling: the preference, kept inside (0, 0.5].
  static double RelativeYScaleStep();

  bool IsLive() const { return m_bLive; }
  bool IsAddingSeveral() const { return m_bAddingSeveral; }

 protected:
  // Sends "DatasetRead" with this document to the user-interface thread's windows.
  virtual void SendDatasetRead();
  // Brings a copy of the window state up to date from the window, for a save.
  void FillWindowStateFromWindow(WindowState& state) const;
  void PlotHint();
  void UniqueTitle(CQLPattern& pattern, const CString& word, int firstNumber, const CQLPatternList& among) const;
  // Puts a pattern the user made at the top of the tree: unique title, next colour, shown and selected.
  CQLPatternPtr AddNewPattern(const CQLPatternPtr& pattern);
  // Rescales the selected shown crystals' cells to keep their volumes; false when one cannot be.
  bool RescaleCellsAtConstantVolume();

  bool m_bClosing = false;
  // Top-level patterns that a change of settings passed by because they were hidden.
  std::vector<std::weak_ptr<CQLPattern>> m_passedWhileHidden;
  void RememberHiddenPatterns();
  bool m_bOpening = false;
  bool m_bSaving = false;
  bool m_bNewDocument = false;
  bool m_bAddingSeveral = false;
  bool m_bAddingPatterns = false;
  bool m_bLive = false;
  bool m_bKeepReadRanges = false;  // the file being read brings plot ranges of its own
  CQLPatternList m_patterns;
  WindowState m_windowState;
  CDiffractionSettings m_settings;
  CQlwDocWindow* m_window = nullptr;

  DECLARE_MESSAGE_MAP()
};
