// CStructuresPane: the docked pane of the diffraction window (shown as "Patterns") that lists the
// document's pattern tree, keeps the patterns' selected flags and the list's selection in step,
// and runs the pane's commands (show, hide, duplicate, delete, mix, add from files) through the
// document's operations and update hints.
#pragma once

#include "Frame.h"
#include "LXAlphaButton.h"
#include "LXDialog.h"
#include "LXException.h"
#include "StructuresList.h"

#include <cstdint>

class CQlwDoc;

LX_DECLARE_EXCEPTION(CLXXStructures, CLXXProduct, 23628);
LX_DECLARE_EXCEPTION(CLXXStructuresAddLots, CLXXStructures, 23629);
LX_DECLARE_EXCEPTION(CLXXStructuresDestroySelected, CLXXStructures, 23631);
LX_DECLARE_EXCEPTION(CLXXStructuresInvalidMixture, CLXXStructures, 23634);
LX_DECLARE_EXCEPTION(CLXXStructuresMemErr, CLXXStructures, 23635);
LX_DECLARE_EXCEPTION(CLXXStructuresNestedMixture, CLXXStructures, 23636);
LX_DECLARE_EXCEPTION(CLXXStructuresNoPattern, CLXXStructures, 23637);

// Update hint codes the panes send or follow beyond those the document names.
enum : std::int32_t {
  kHintPaneRecomputedAll = 7,
  kHintPaneRecomputed12 = 12,
  kHintPaneTitle = 20,
  kHintPaneSelection = 23,
};

class CStructuresPane : public CFormView, public CToolTipHelper, public CInitMenuPopupHelper {
  DECLARE_DYNCREATE(CStructuresPane)
 public:
  static constexpr UINT kTemplateId = 6000;
  enum : UINT {
    kActionButtonId = 3600,
    kAddButtonId = 3601,
    kStaticId = 3602,
    kTitleId = 3605,
    kListId = 3606,
  };
  enum : UINT {
    kCmdAddFromFile = 34368,
    kCmdShow = 34369,
    kCmdDuplicate = 34371,
    kCmdNewMixtureWithSelection = 34373,
    kCmdDelete = 34374,
    kCmdHide = 34375,
    kCmdSelectHidden = 34377,
    kCmdSelectVisible = 34378,
    kCmdClear = 57632,
    kCmdSelectAll = 57642,
  };
  // More hidden patterns than this are shown only when the user agrees.
  static constexpr size_t kLotsToShow = 20;

  CStructuresPane();
  ~CStructuresPane() override;

  CQlwDoc* GetDocument() const;
  CStructuresList& GetList() { return m_list; }
  bool IsInitialised() const { return !m_bNotInitialised; }
  bool IsUpdating() const { return m_bUpdating; }
  void GetMinSize(SIZE& out) const;

  // The rows anew from the document, the controls enabled.
  void Refresh();
  // Refresh, hint 19 and the focus in the list: after the tree changed under the pane.
  void NotifyListChanged();
  void RebuildRows();
  // Adds a pattern for each path at the end of the tree; the paths that gave none are named in
  // one alert. The number of patterns added.
  int AddPatternsFromFiles(const std::vector<CString>& paths);

  // The commands, callable from tests as from the menus.
  void ShowSelected();
  void HideSelected();
  void DeleteSelected();
  void NewMixtureWithSelection();
  void SelectByShown(bool shown);

  BOOL PreCreateWindow(CREATESTRUCTW& cs) override;
  void OnInitialUpdate() override;
  void OnDraw(CDC* dc) override;
  void OnUpdate(CView* sender, LPARAM hint, CObject* hintObject) override;
  BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;
  BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  void DoDataExchange(CDataExchange* dx) override;

 protected:
  bool OnPaneCommand(UINT id);
  bool UpdatePaneCommand(CCmdUI* ui);
  void OnListStateChanged(int first, int last, UINT oldState, UINT newState);
  void SendHint(std::int32_t code, bool fromPane);
  void LayOut();
  void AddFromFileCommand();

  void OnSize(UINT type, int cx, int cy);
  void OnSetFocus(CWnd* old);
  void OnContextMenu(CWnd* window, CPoint point);
  void OnKeyDown(UINT key, UINT repeat, UINT flags);
  void OnAddButton();
  LRESULT OnDatasetRead(WPARAM, LPARAM);
  LRESULT OnPostedSelection(WPARAM, LPARAM);
  LRESULT OnAlphaButtonMenuItem(WPARAM, LPARAM);
  DECLARE_MESSAGE_MAP()

  bool m_bNotInitialised = true;
  bool m_bUpdating = false;
  CStatic m_title;
  CStructuresList m_list;
  CAlphaButton m_addButton;
  CAlphaButton m_actionButton;
  CStatic m_static;
  CFont m_boldFont;
  CMenu m_actionMenu, m_addMenu;
  int m_separatorY = 0;
};
