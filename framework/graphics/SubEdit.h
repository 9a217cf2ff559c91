// CSubEdit, the single-line editor that CSubEditList lays over the text cell being edited, and
// CSubEditHeader, the list's header control. The editor turns Tab, Enter, Escape and the loss of
// focus into "EditShift", "EditEnd" and "EditCancel" for its list; the header refuses to size
// column 0 and hidden columns and ends editing when the user works with it.
#pragma once
#include "ControlWnds.h"

class CSubEditList;

class CSubEdit : public CEdit {
 public:
  BOOL Create(DWORD style, CWnd* parentList, UINT id);
  // Lays the editor over a cell (list client coordinates): one line high at most, as wide as the
  // cell, grown by twice the border on every side and centred on the cell.
  void Place(const CRect& cell);
  const CRect& GetPlacedRect() const { return m_placed; }
  const CRect& GetCellRect() const { return m_cell; }
  void SetActive(bool active) { m_active = active; }
  bool IsActive() const { return m_active; }
  // While the edited row is out of view the editor stays out of sight.
  void SetHidden(bool hidden);
  bool IsHidden() const { return m_hidden; }

  BOOL PreCreateWindow(CREATESTRUCTW& cs) override;
  BOOL PreTranslateMessage(MSG* msg) override;

 protected:
  // The line height of the editor's font in pixels, measured on the list's DC.
  virtual int MeasureLineHeight(const CRect& cell);
  int OnCreate(LPCREATESTRUCT cs);
  void OnKillFocus(CWnd* gaining);
  void OnKey(UINT key);
  void MoveToPlace();
  // The bus message to the list (to the main frame's active view when there is no parent).
  void Announce(UINT message, LPARAM lParam);
  DECLARE_MESSAGE_MAP()

  CRect m_placed;
  float m_placedF[4] = {0, 0, 0, 0};
  CRect m_cell;
  bool m_active = false;
  bool m_hidden = false;
};

class CSubEditHeader : public CWnd {
 public:
  void SetList(CSubEditList* list) { m_pList = list; }
  CSubEditList* GetList() const { return m_pList; }
  BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

 protected:
  CSubEditList* m_pList = nullptr;
};
