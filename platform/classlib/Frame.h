// Frames, views, documents and document templates, and the control bars a frame lays out:
// a frame routes commands to its active view, the view's document, itself and the application,
// and updates menu items through CCmdUI before a popup opens.
#pragma once
#include <vector>

#include "Wnd.h"

class CDocument;
class CView;
class CDocTemplate;
class CFrameWnd;
class CPrintInfo;

struct CCreateContext {
  CRuntimeClass* m_pNewViewClass = nullptr;
  CDocument* m_pCurrentDoc = nullptr;
  CDocTemplate* m_pNewDocTemplate = nullptr;
  CView* m_pLastView = nullptr;
  CFrameWnd* m_pCurrentFrame = nullptr;
};

#define AFX_IDW_PANE_FIRST 0xE900
#define AFX_IDW_STATUS_BAR 0xE801
#define AFX_IDW_TOOLBAR 0xE800
#define FWS_ADDTOTITLE 0x00008000u

// Sent down the main window at idle time: control bars update their items through CCmdUI.
#define WM_IDLEUPDATECMDUI 0x0363

// A bar docked along an edge of its frame's client area.
class CControlBar : public CWnd {
  DECLARE_DYNAMIC(CControlBar)
 public:
  LRESULT OnIdleUpdateCmdUI(WPARAM disableIfNoHandler, LPARAM);
  // Targets are the bar's frame (its owner for a floating bar).
  void OnUpdateCmdUI(CCmdTarget* target, BOOL disableIfNoHandler) override;
  // Height (or width) the bar takes from the frame's client area.
  virtual int BarExtent() const;
  DWORD m_dwAlign = 0x1000;  // CBRS_ALIGN_TOP
  BOOL m_bAutoDelete = FALSE;
  DECLARE_MESSAGE_MAP()
};
#define CBRS_ALIGN_TOP 0x1000u
#define CBRS_ALIGN_BOTTOM 0x8000u

// The status bar: text panes along the bottom of the frame.
class CStatusBar : public CControlBar {
  DECLARE_DYNAMIC(CStatusBar)
 public:
  BOOL Create(CWnd* parent, DWORD style = WS_CHILD | WS_VISIBLE | CBRS_ALIGN_BOTTOM, UINT id = AFX_IDW_STATUS_BAR);
  BOOL SetIndicators(const UINT* ids, int count);
  BOOL SetPaneText(int index, LPCWSTR text, BOOL update = TRUE);
  CString GetPaneText(int index) const;
  int GetCount() const { return static_cast<int>(m_panes.size()); }
  int BarExtent() const override;
  void OnSize(UINT type, int cx, int cy);
  // Panes with an id take their text from that command's update handler.
  void OnUpdateCmdUI(CCmdTarget* target, BOOL disableIfNoHandler) override;

 private:
  void LayoutPanes();
  std::vector<CString> m_panes;
  std::vector<UINT> m_ids;
  std::vector<HWND> m_labels;
  DECLARE_MESSAGE_MAP()
};

class CFrameWnd : public CWnd {
  DECLARE_DYNCREATE(CFrameWnd)
 public:
  CFrameWnd();
  BOOL Create(LPCWSTR className, LPCWSTR title, DWORD style = WS_OVERLAPPEDWINDOW, const RECT& rect = RECT{0, 0, 640, 480},
              CWnd* parent = nullptr, LPCWSTR menuName = nullptr, DWORD exStyle = 0, CCreateContext* context = nullptr);
  // Creates the frame with menu and accelerators of resource `id` (and the title of string `id`).
  virtual BOOL LoadFrame(UINT id, DWORD style = WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE, CWnd* parent = nullptr,
                         CCreateContext* context = nullptr);
  virtual BOOL OnCreateClient(LPCREATESTRUCT cs, CCreateContext* context);
  CWnd* CreateView(CCreateContext* context, UINT id = AFX_IDW_PANE_FIRST);
  BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;
  BOOL PreTranslateMessage(MSG* msg) override;
  void PostNcDestroy() override;
  // Lays the control bars along the edges and the view over the rest.
  virtual void RecalcLayout(BOOL notify = TRUE);
  virtual CView* GetActiveView() const { return m_pViewActive; }
  void SetActiveView(CView* view, BOOL notify = TRUE);
  virtual CDocument* GetActiveDocument();
  virtual void OnUpdateFrameTitle(BOOL addToTitle);
  void InitialUpdateFrame(CDocument* doc, BOOL makeVisible);
  // Shows the frame (restored when minimised, -1: as it is) and brings it to the top.
  virtual void ActivateFrame(int cmdShow = -1);
  void AddControlBar(CControlBar* bar);
  void RemoveControlBar(CControlBar* bar);
  HACCEL m_hAccelTable = nullptr;
  BOOL m_bAutoMenuEnable = TRUE;
  CString m_strTitle;

  void OnInitMenuPopup(CMenu* popup, UINT index, BOOL sysMenu);
  void OnSize(UINT type, int cx, int cy);
  void OnClose();
  void OnSetFocus(CWnd* old);
  int OnCreate(LPCREATESTRUCT cs);

 protected:
  CView* m_pViewActive = nullptr;
  std::vector<CControlBar*> m_bars;
  UINT m_nIDHelp = 0;
  CCreateContext* m_pCreating = nullptr;
  DECLARE_MESSAGE_MAP()
};

class CView : public CWnd {
  DECLARE_DYNAMIC(CView)
 public:
  CDocument* GetDocument() const { return m_pDocument; }
  virtual void OnInitialUpdate() { OnUpdate(nullptr, 0, nullptr); }
  virtual void OnUpdate(CView* sender, LPARAM hint, CObject* hintObject);
  virtual void OnDraw(CDC* dc) = 0;
  virtual void OnActivateView(BOOL activate, CView* activated, CView* deactivated);
  BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;
  void PostNcDestroy() override;
  ~CView() override;

  // Printing (Print.cpp): a job asks OnPreparePrinting (FALSE cancels), then for each page
  // OnPrepareDC and OnPrint with the printer's DC, between OnBeginPrinting and OnEndPrinting.
  virtual BOOL OnPreparePrinting(CPrintInfo* info) { return DoPreparePrinting(info); }
  // Asks for the printer and the pages unless the job is a preview or direct.
  BOOL DoPreparePrinting(CPrintInfo* info);
  virtual void OnBeginPrinting(CDC*, CPrintInfo*) {}
  virtual void OnPrepareDC(CDC*, CPrintInfo* = nullptr) {}
  virtual void OnPrint(CDC* dc, CPrintInfo*) { OnDraw(dc); }
  virtual void OnEndPrinting(CDC*, CPrintInfo*) {}
  // The print command: the pages on the application's printer.
  void OnFilePrint();
  // The pages shown in a preview window over the application's printer.
  void OnFilePrintPreview();

  void OnPaint();
  int OnCreate(LPCREATESTRUCT cs);

 protected:
  CDocument* m_pDocument = nullptr;
  friend class CDocument;
  DECLARE_MESSAGE_MAP()
};

// A view made from a dialog template, laid out like a dialog.
class CFormView : public CView {
  DECLARE_DYNAMIC(CFormView)
 public:
  explicit CFormView(UINT templateId) : m_nIDTemplate(templateId) {}
  BOOL Create(LPCWSTR className, LPCWSTR windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id,
              void* context = nullptr) override;
  void OnDraw(CDC*) override {}
  virtual void DoDataExchange(class CDataExchange*) {}
  BOOL UpdateData(BOOL saveAndValidate = TRUE);
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  UINT m_nIDTemplate;
};

class CDocument : public CCmdTarget {
  DECLARE_DYNAMIC(CDocument)
 public:
  ~CDocument() override;
  void AddView(CView* view);
  void RemoveView(CView* view);
  const std::vector<CView*>& Views() const { return m_views; }
  void UpdateAllViews(CView* sender, LPARAM hint = 0, CObject* hintObject = nullptr);
  virtual BOOL OnNewDocument();
  virtual BOOL OnOpenDocument(LPCWSTR path);
  virtual BOOL OnSaveDocument(LPCWSTR path);
  virtual void OnCloseDocument();
  virtual void DeleteContents() {}
  virtual void SetTitle(LPCWSTR title);
  const CString& GetTitle() const { return m_strTitle; }
  virtual void SetPathName(LPCWSTR path, BOOL addToMru = TRUE);
  const CString& GetPathName() const { return m_strPathName; }
  virtual BOOL IsModified() { return m_bModified; }
  virtual void SetModifiedFlag(BOOL modified = TRUE) { m_bModified = modified; }
  // Before the document goes (its window closes, another document takes its place): a modified
  // document asks "Save changes to TITLE?" with Yes (save), No and Cancel (AfxMessageBox,
  // AFX_IDP_ASK_TO_SAVE). False when the user cancels or the save fails: the document stays.
  virtual BOOL SaveModified();
  // Asked by a frame that closes: true while another frame still shows the document, else
  // SaveModified.
  virtual BOOL CanCloseFrame(CFrameWnd* frame);
  // Saves under the document's path; false without one. Documents that can ask for a path override it.
  virtual BOOL DoFileSave();
  CDocTemplate* GetDocTemplate() const { return m_pDocTemplate; }
  BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;
  BOOL m_bAutoDelete = TRUE;
  BOOL m_bEmbedded = FALSE;
  CDocTemplate* m_pDocTemplate = nullptr;

 protected:
  CString m_strTitle;
  CString m_strPathName;
  BOOL m_bModified = FALSE;
  std::vector<CView*> m_views;
};

class CDocTemplate : public CCmdTarget {
  DECLARE_DYNAMIC(CDocTemplate)
 public:
  CDocTemplate(UINT resourceId, CRuntimeClass* docClass, CRuntimeClass* frameClass, CRuntimeClass* viewClass);
  virtual CDocument* CreateNewDocument();
  virtual CFrameWnd* CreateNewFrame(CDocument* doc, CFrameWnd* other);
  virtual CDocument* OpenDocumentFile(LPCWSTR path, BOOL makeVisible = TRUE) = 0;
  virtual void InitialUpdateFrame(CFrameWnd* frame, CDocument* doc, BOOL makeVisible = TRUE);
  // Field `index` of the "\n"-separated document string (the string resource of m_nIDResource).
  virtual BOOL GetDocString(CString& text, int index) const;
  virtual void SetDefaultTitle(CDocument* doc);
  virtual void AddDocument(CDocument* doc) { doc->m_pDocTemplate = this; }
  virtual void RemoveDocument(CDocument* doc) {
    if (doc->m_pDocTemplate == this) doc->m_pDocTemplate = nullptr;
  }
  BOOL m_bAutoDelete = TRUE;
  UINT m_nIDResource;
  CRuntimeClass* m_pDocClass;
  CRuntimeClass* m_pFrameClass;
  CRuntimeClass* m_pViewClass;
};

// One document at a time in one frame.
class CSingleDocTemplate : public CDocTemplate {
  DECLARE_DYNAMIC(CSingleDocTemplate)
 public:
  using CDocTemplate::CDocTemplate;
  ~CSingleDocTemplate() override;
  CDocument* OpenDocumentFile(LPCWSTR path, BOOL makeVisible = TRUE) override;
  CDocument* GetDocument() const { return m_pOnlyDoc; }
  void AddDocument(CDocument* doc) override;
  void RemoveDocument(CDocument* doc) override;

 protected:
  CDocument* m_pOnlyDoc = nullptr;
};
