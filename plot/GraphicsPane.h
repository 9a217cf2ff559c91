// The graphics pane: the diffraction window's view of the plot. A band along its top holds the
// pattern button with its menu of crystal patterns, the hkl field that finds a reflexion and the
// "Reflexions" button; the imaging canvas (ImagingPane.h) fills the rest. The pane prints the
// plot (GraphicsPanePrint.cpp), takes dropped files (GraphicsPaneDrop.cpp), offers commands to
// the canvas first and hands it every hint of the document.
#pragma once

#include "ImagingPane.h"
#include "LXAlphaButton.h"
#include "LXASF.h"
#include "LXDialog.h"
#include "LXDropTarget.h"
#include "Print.h"
#include "QlwDoc.h"
#include "Frame.h"

#include <memory>
#include <vector>

class CQlwDoc;
class CGraphicsPane;

LX_DECLARE_EXCEPTION(CLXXDiffWindow, CLXXDiffWnd, 23034);

// Files dropped on the graphics pane join its document as new, selected patterns.
class CGraphicsPaneDrop : public CLXDropTarget {
 public:
  // More files than this at once are opened only when the user agrees.
  static constexpr size_t kLotsOfFiles = 20;

  explicit CGraphicsPaneDrop(CGraphicsPane* pane) : m_pPane(pane) {}
  ~CGraphicsPaneDrop() override;

  // Shows or removes the feedback frame over the plot.
  void DrawDropFeedback(CWnd* window, CPoint point, bool show) override;
  // Adds what was collected to the document, then ends the tracking.
  void EndDragTracking(CWnd* window) override;
  // Asks before many files; false refuses the drop.
  bool BeginDrop(CWnd* window, FileList& list) override;
  // Collects one accepted path.
  bool OpenFile(CWnd* window, CPoint point, const CString& path) override;
  bool IsAcceptableFile(CWnd* window, const CString& path) override;
  // An existing folder, or a file of a type the document reads (also the structures list's test).
  static bool IsAcceptablePath(const CString& path);

  const std::vector<CString>& GetCollected() const { return m_dropped; }

 private:
  CGraphicsPane* m_pPane;
  std::vector<CString> m_dropped;
};

class CGraphicsPane : public CFormView, public CToolTipHelper {
  DECLARE_DYNCREATE(CGraphicsPane)

 public:
  static constexpr UINT kTemplateId = 5500;
  static constexpr UINT kBandFrameId = 2100;
  static constexpr UINT kHKLFieldId = 2102;
  static constexpr UINT kReflexionsButtonId = 2104;
  static constexpr UINT kPatternButtonId = 2105;
  static constexpr UINT kReflexionsImageId = 3200;
  static constexpr UINT kShowReflexionsCommand = 33589;
  static constexpr int kMinWidth = 350;
  static constexpr int kMinHeight = 300;
  // Sent to the views when the band's menu chooses the selected crystal pattern.
  static constexpr std::int32_t kHintSelection = 23;

  CGraphicsPane();
  ~CGraphicsPane() override;

  CQlwDoc* GetDocument() const;
  CImagingPane& GetCanvas() { return m_canvas; }
  bool IsInitialised() const { return !m_bNotInitialised; }

  // Reads indices typed as "1 -1 0" (signed numbers apart) or "1-10" (one digit each); false
  // unless the text is exactly three indices. At most kMaxIndexDigits digits an index.
  static constexpr int kMaxIndexDigits = 4;
  static bool ParseHKL(const CString& text, int& h, int& k, int& l);

  // The band: the pattern button's menu and caption, the field emptied, enable states.
  void RefreshControls();
  void BuildPatternMenu(std::int64_t selectedCrystals);
  // Selects the n-th crystal pattern of the band's menu (1 the first) and tells the views.
  void OnAlphaButtonMenuItem(UINT item);
  // Finds the reflexion typed in the hkl field and centres the plot on it.
  void OnDoFindHKL();
  void OnChangeHKL();
  void OnReflexionsButton();
  // Smallest size the diffraction window may give the pane.
  void GetMinSize(SIZE& out) const;
  // Height of the band over the canvas, and the canvas's rectangle (client coordinates).
  static int BandHeight();
  void GetCanvasRect(RECT& out) const;

  // ----- class-library overrides -----
  void OnInitialUpdate() override;
  void OnUpdate(CView* sender, LPARAM hint, CObject* hintObject) override;
  BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;
  void OnDraw(CDC* dc) override;
  BOOL PreCreateWindow(CREATESTRUCTW& cs) override;
  BOOL PreTranslateMessage(MSG* msg) override;
  BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;

  // ----- printing (GraphicsPanePrint.cpp) -----
  BOOL OnPreparePrinting(CPrintInfo* info) override;
  void OnPrepareDC(CDC* dc, CPrintInfo* info = nullptr) override;
  void OnPrint(CDC* dc, CPrintInfo* info) override;
  void OnFilePageSetup();
  void OnFilePrint();
  void OnFilePrintPreview();

  // The band's controls (for the diffraction window's layout and for tests).
  CAlphaButton m_patternButton;
  CEdit m_hklField;
  CAlphaButton m_reflexionsButton;
  CStatic m_bandFrame;
  int m_nBandLineY = 0;

  // Only while OnPrint runs.
  CPrintInfo* m_pPrintInfo = nullptr;
  bool m_bPrinting = false;
  bool m_bPreview = false;
  // The application's printer defaults, and the margins of the last page setup (hundredths of mm).
  PRINTDLGW m_printerDefaults{};
  CRect m_pageMargins;

 protected:
  void OnSize(UINT type, int cx, int cy);
  void OnSetFocus(CWnd* old);
  BOOL OnSetCursor(CWnd* window, UINT hitTest, UINT message);
  LRESULT OnDoFindHKLMessage(WPARAM, LPARAM);
  LRESULT OnAlphaButtonMenuItemMessage(WPARAM wParam, LPARAM lParam);
  LRESULT OnAlphaButtonChangedMessage(WPARAM wParam, LPARAM lParam);
  void LayOutBand();
  void RedrawMainFrame();

  CImagingPane m_canvas;
  CMenu m_patternMenu;
  // The patterns the menu items name, item n at n - 1; weak, so a pattern gone since is skipped.
  std::vector<std::weak_ptr<CQLPattern>> m_menuPatterns;
  CGraphicsPaneDrop m_dropTarget;
  CToolTipCtrl m_toolTip;
  bool m_bNotInitialised = true;

  DECLARE_MESSAGE_MAP()
};
