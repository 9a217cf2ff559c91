// CQlwToolbar: the diffraction window's toolbar. It supplies the program's items, their default
// arrangement and button kinds, the labels and tooltips that follow a toggle's state, and keeps
// the toggle buttons in step with the document's settings.
#pragma once
#include "LXToolbar.h"

class CDiffractWnd;
class CDiffractionSettings;

class CQlwToolbar : public CLXToolbar {
  DECLARE_DYNCREATE(CQlwToolbar)
 public:
  static constexpr UINT kResourceId = 5420;
  static constexpr UINT kCmdStandardToolset = 33771;
  static constexpr UINT kStandardToolsetText = 3047;
  static constexpr size_t kDefaultCount = 26;
  static constexpr size_t kDefinitionCount = 20;
  static const CLXToolSeqEntry kDefaultSequence[kDefaultCount];
  static const CLXToolDef kDefinitions[kDefinitionCount];

  CQlwToolbar() = default;
  BOOL Create(CWnd* parent, DWORD style, UINT id);

  void BuildItemsMenu() override;
  CLXToolButton* CreateItemButton(LXToolCode code, CLXToolButton* existing) override;
  bool GetItemLabel(LXToolCode code, CString& text) override;
  LXToolCode GetItemCode(UINT id) const override;
  void RefreshItems() override;
  bool GetToolTipText(UINT id, CString& text) override;
  BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;

  // The button of an item, null when it has none.
  CLXToolButton* ButtonOf(LXToolCode code);

 protected:
  // The diffraction window the toolbar works for (its frame, else the current one); null when
  // that is no diffraction window.
  CDiffractWnd* DiffractWindow() const;
  CDiffractionSettings* Settings() const;
  // Sets a toggle's pressed state; true when it changed (and the button was redrawn).
  bool SyncButton(LXToolCode code, bool checked);
  LRESULT OnAlphaButtonChanged(WPARAM wParam, LPARAM);
  LRESULT OnDatasetRead(WPARAM, LPARAM);
  LRESULT OnSplitterRecalcLayout(WPARAM, LPARAM);
  DECLARE_MESSAGE_MAP()

 private:
  bool m_bInRefresh = false;
};
