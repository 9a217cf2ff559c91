// The class library's control objects: each wraps a standard control (a native Qt widget, see
// Controls.h) and speaks to it through the control's messages, so a subclass sees them too.
#pragma once
#include <string>

#include "Wnd.h"

#define QLW_CONTROL_CREATE(cls)                                                                      \
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {                                \
    return CWnd::CreateEx(0, cls, L"", style | WS_CHILD, rect, parent, id);                          \
  }

class CStatic : public CWnd {
 public:
  BOOL Create(LPCWSTR text, DWORD style, const RECT& rect, CWnd* parent, UINT id = 0xFFFF) {
    return CWnd::CreateEx(0, WC_STATIC, text, style | WS_CHILD, rect, parent, id);
  }
};

class CButton : public CWnd {
 public:
  BOOL Create(LPCWSTR text, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::CreateEx(0, WC_BUTTON, text, style | WS_CHILD, rect, parent, id);
  }
  int GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }
  void SetCheck(int check) { SendMessage(BM_SETCHECK, static_cast<WPARAM>(check)); }
  UINT GetState() const { return static_cast<UINT>(SendMessage(BM_GETSTATE)); }
  void SetState(BOOL highlight) { SendMessage(BM_SETSTATE, highlight); }
  UINT GetButtonStyle() const { return GetStyle() & BS_TYPEMASK; }
};

class CEdit : public CWnd {
 public:
  QLW_CONTROL_CREATE(WC_EDIT)
  void SetSel(int start, int end, BOOL noScroll = FALSE) {
    SendMessage(EM_SETSEL, static_cast<WPARAM>(start), end);
    if (!noScroll) SendMessage(EM_SCROLLCARET);
  }
  void GetSel(int& start, int& end) const {
    DWORD s = 0, e = 0;
    SendMessage(EM_GETSEL, reinterpret_cast<WPARAM>(&s), reinterpret_cast<LPARAM>(&e));
    start = static_cast<int>(s), end = static_cast<int>(e);
  }
  void ReplaceSel(LPCWSTR text, BOOL canUndo = FALSE) { SendMessage(EM_REPLACESEL, canUndo, reinterpret_cast<LPARAM>(text)); }
  void SetLimitText(UINT max) { SendMessage(EM_LIMITTEXT, max); }
  BOOL SetReadOnly(BOOL readOnly = TRUE) { return static_cast<BOOL>(SendMessage(EM_SETREADONLY, readOnly)); }
  BOOL GetModify() const { return static_cast<BOOL>(SendMessage(EM_GETMODIFY)); }
  void SetModify(BOOL modified = TRUE) { SendMessage(EM_SETMODIFY, modified); }
  BOOL SetCueBanner(LPCWSTR text) { return static_cast<BOOL>(SendMessage(EM_SETCUEBANNER, 0, reinterpret_cast<LPARAM>(text))); }
};

class CRichEditCtrl : public CEdit {
 public:
  QLW_CONTROL_CREATE(RICHEDIT_CLASS)
};

class CComboBox : public CWnd {
 public:
  QLW_CONTROL_CREATE(WC_COMBOBOX)
  int AddString(LPCWSTR text) { return static_cast<int>(SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text))); }
  int InsertString(int index, LPCWSTR text) {
    return static_cast<int>(SendMessage(CB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text)));
  }
  int DeleteString(UINT index) { return static_cast<int>(SendMessage(CB_DELETESTRING, index)); }
  void ResetContent() { SendMessage(CB_RESETCONTENT); }
  int GetCount() const { return static_cast<int>(SendMessage(CB_GETCOUNT)); }
  int GetCurSel() const { return static_cast<int>(SendMessage(CB_GETCURSEL)); }
  int SetCurSel(int index) { return static_cast<int>(SendMessage(CB_SETCURSEL, static_cast<WPARAM>(index))); }
  void GetLBText(int index, CString& text) const;
  int GetLBTextLen(int index) const { return static_cast<int>(SendMessage(CB_GETLBTEXTLEN, static_cast<WPARAM>(index))); }
  DWORD_PTR GetItemData(int index) const { return static_cast<DWORD_PTR>(SendMessage(CB_GETITEMDATA, static_cast<WPARAM>(index))); }
  int SetItemData(int index, DWORD_PTR data) {
    return static_cast<int>(SendMessage(CB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(data)));
  }
  int FindString(int after, LPCWSTR text) const {
    return static_cast<int>(SendMessage(CB_FINDSTRING, static_cast<WPARAM>(after), reinterpret_cast<LPARAM>(text)));
  }
  int FindStringExact(int after, LPCWSTR text) const {
    return static_cast<int>(SendMessage(CB_FINDSTRINGEXACT, static_cast<WPARAM>(after), reinterpret_cast<LPARAM>(text)));
  }
  int SelectString(int after, LPCWSTR text) {
    return static_cast<int>(SendMessage(CB_SELECTSTRING, static_cast<WPARAM>(after), reinterpret_cast<LPARAM>(text)));
  }
  BOOL SetEditSel(int start, int end) { return static_cast<BOOL>(SendMessage(CB_SETEDITSEL, 0, MAKELPARAM(start, end))); }
  void ShowDropDown(BOOL show = TRUE) { SendMessage(CB_SHOWDROPDOWN, show); }
  BOOL LimitText(int max) { return static_cast<BOOL>(SendMessage(CB_LIMITTEXT, static_cast<WPARAM>(max))); }
};

class CListBox : public CWnd {
 public:
  QLW_CONTROL_CREATE(WC_LISTBOX)
  int AddString(LPCWSTR text) { return static_cast<int>(SendMessage(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text))); }
  int InsertString(int index, LPCWSTR text) {
    return static_cast<int>(SendMessage(LB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text)));
  }
  int DeleteString(UINT index) { return static_cast<int>(SendMessage(LB_DELETESTRING, index)); }
  void ResetContent() { SendMessage(LB_RESETCONTENT); }
  int GetCount() const { return static_cast<int>(SendMessage(LB_GETCOUNT)); }
  int GetCurSel() const { return static_cast<int>(SendMessage(LB_GETCURSEL)); }
  int SetCurSel(int index) { return static_cast<int>(SendMessage(LB_SETCURSEL, static_cast<WPARAM>(index))); }
  int GetSel(int index) const { return static_cast<int>(SendMessage(LB_GETSEL, static_cast<WPARAM>(index))); }
  int SetSel(int index, BOOL select = TRUE) { return static_cast<int>(SendMessage(LB_SETSEL, select, index)); }
  int GetSelCount() const { return static_cast<int>(SendMessage(LB_GETSELCOUNT)); }
  void GetText(int index, CString& text) const;
  DWORD_PTR GetItemData(int index) const { return static_cast<DWORD_PTR>(SendMessage(LB_GETITEMDATA, static_cast<WPARAM>(index))); }
  int SetItemData(int index, DWORD_PTR data) {
    return static_cast<int>(SendMessage(LB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(data)));
  }
  int FindStringExact(int after, LPCWSTR text) const {
    return static_cast<int>(SendMessage(LB_FINDSTRINGEXACT, static_cast<WPARAM>(after), reinterpret_cast<LPARAM>(text)));
  }
};

class CListCtrl : public CWnd {
 public:
  QLW_CONTROL_CREATE(WC_LISTVIEW)
  int InsertColumn(int column, LPCWSTR heading, int format = LVCFMT_LEFT, int width = -1, int subItem = -1);
  BOOL DeleteColumn(int column) { return static_cast<BOOL>(SendMessage(LVM_DELETECOLUMN, static_cast<WPARAM>(column))); }
  int GetColumnWidth(int column) const { return static_cast<int>(SendMessage(LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column))); }
  BOOL SetColumnWidth(int column, int width) {
    return static_cast<BOOL>(SendMessage(LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), MAKELPARAM(width, 0)));
  }
  int InsertItem(int item, LPCWSTR text);
  BOOL DeleteItem(int item) { return static_cast<BOOL>(SendMessage(LVM_DELETEITEM, static_cast<WPARAM>(item))); }
  BOOL DeleteAllItems() { return static_cast<BOOL>(SendMessage(LVM_DELETEALLITEMS)); }
  int GetItemCount() const { return static_cast<int>(SendMessage(LVM_GETITEMCOUNT)); }
  // Owner data: the number of rows the parent answers for.
  BOOL SetItemCount(int count) { return static_cast<BOOL>(SendMessage(LVM_SETITEMCOUNT, static_cast<WPARAM>(count))); }
  BOOL SetItemText(int item, int subItem, LPCWSTR text);
  CString GetItemText(int item, int subItem) const;
  BOOL SetItemData(int item, DWORD_PTR data);
  DWORD_PTR GetItemData(int item) const;
  BOOL SetItemState(int item, UINT state, UINT mask);
  UINT GetItemState(int item, UINT mask) const { return static_cast<UINT>(SendMessage(LVM_GETITEMSTATE, static_cast<WPARAM>(item), mask)); }
  int GetNextItem(int item, int flags) const {
    return static_cast<int>(SendMessage(LVM_GETNEXTITEM, static_cast<WPARAM>(item), MAKELPARAM(flags, 0)));
  }
  UINT GetSelectedCount() const { return static_cast<UINT>(SendMessage(LVM_GETSELECTEDCOUNT)); }
  BOOL EnsureVisible(int item, BOOL partialOk) { return static_cast<BOOL>(SendMessage(LVM_ENSUREVISIBLE, static_cast<WPARAM>(item), partialOk)); }
  BOOL RedrawItems(int first, int last) { return static_cast<BOOL>(SendMessage(LVM_REDRAWITEMS, static_cast<WPARAM>(first), last)); }
  BOOL GetItemRect(int item, LPRECT rect, UINT code) const;
  BOOL GetSubItemRect(int item, int subItem, int area, RECT& rect) const;
  int HitTest(CPoint point, UINT* flags = nullptr) const;
  int SubItemHitTest(LVHITTESTINFO* info) { return static_cast<int>(SendMessage(LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(info))); }
  int GetTopIndex() const { return static_cast<int>(SendMessage(LVM_GETTOPINDEX)); }
  int GetCountPerPage() const { return static_cast<int>(SendMessage(LVM_GETCOUNTPERPAGE)); }
  DWORD SetExtendedStyle(DWORD style) { return static_cast<DWORD>(SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, static_cast<LPARAM>(style))); }
};

class CTreeCtrl : public CWnd {
 public:
  QLW_CONTROL_CREATE(WC_TREEVIEW)
  HTREEITEM InsertItem(LPCWSTR text, HTREEITEM parent = TVI_ROOT, HTREEITEM after = TVI_LAST);
  BOOL DeleteItem(HTREEITEM item) { return static_cast<BOOL>(SendMessage(TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(item))); }
  BOOL DeleteAllItems() { return DeleteItem(TVI_ROOT); }
  BOOL Expand(HTREEITEM item, UINT code) { return static_cast<BOOL>(SendMessage(TVM_EXPAND, code, reinterpret_cast<LPARAM>(item))); }
  UINT GetCount() const { return static_cast<UINT>(SendMessage(TVM_GETCOUNT)); }
  HTREEITEM GetNextItem(HTREEITEM item, UINT code) const {
    return reinterpret_cast<HTREEITEM>(SendMessage(TVM_GETNEXTITEM, code, reinterpret_cast<LPARAM>(item)));
  }
  HTREEITEM GetRootItem() const { return GetNextItem(nullptr, TVGN_ROOT); }
  HTREEITEM GetChildItem(HTREEITEM item) const { return GetNextItem(item, TVGN_CHILD); }
  HTREEITEM GetNextSiblingItem(HTREEITEM item) const { return GetNextItem(item, TVGN_NEXT); }
  HTREEITEM GetParentItem(HTREEITEM item) const { return GetNextItem(item, TVGN_PARENT); }
  HTREEITEM GetSelectedItem() const { return GetNextItem(nullptr, TVGN_CARET); }
  BOOL SelectItem(HTREEITEM item) { return static_cast<BOOL>(SendMessage(TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item))); }
  CString GetItemText(HTREEITEM item) const;
  BOOL SetItemText(HTREEITEM item, LPCWSTR text);
  DWORD_PTR GetItemData(HTREEITEM item) const;
  BOOL SetItemData(HTREEITEM item, DWORD_PTR data);
};

class CTabCtrl : public CWnd {
 public:
  QLW_CONTROL_CREATE(WC_TABCONTROL)
  LONG InsertItem(int item, LPCWSTR text, LPARAM data = 0);
  BOOL DeleteItem(int item) { return static_cast<BOOL>(SendMessage(TCM_DELETEITEM, static_cast<WPARAM>(item))); }
  BOOL DeleteAllItems() { return static_cast<BOOL>(SendMessage(TCM_DELETEALLITEMS)); }
  int GetItemCount() const { return static_cast<int>(SendMessage(TCM_GETITEMCOUNT)); }
  int GetCurSel() const { return static_cast<int>(SendMessage(TCM_GETCURSEL)); }
  int SetCurSel(int item) { return static_cast<int>(SendMessage(TCM_SETCURSEL, static_cast<WPARAM>(item))); }
  BOOL GetItem(int item, TCITEMW* record) const { return static_cast<BOOL>(SendMessage(TCM_GETITEMW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(record))); }
  BOOL SetItem(int item, TCITEMW* record) { return static_cast<BOOL>(SendMessage(TCM_SETITEMW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(record))); }
  BOOL GetItemRect(int item, LPRECT rect) const { return static_cast<BOOL>(SendMessage(TCM_GETITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(rect))); }
  void AdjustRect(BOOL larger, LPRECT rect) { SendMessage(TCM_ADJUSTRECT, larger, reinterpret_cast<LPARAM>(rect)); }
};

class CToolTipCtrl : public CWnd {
 public:
  BOOL Create(CWnd* parent, DWORD style = 0) {
    return CWnd::CreateEx(0, TOOLTIPS_CLASS, L"", style | WS_POPUP, 0, 0, 0, 0, parent ? parent->m_hWnd : nullptr, nullptr);
  }
  // A tool for a whole window (its text asked for with TTN_GETDISPINFOW when text is
  // LPSTR_TEXTCALLBACKW), or for a rectangle of one with id.
  BOOL AddTool(CWnd* window, LPCWSTR text = LPSTR_TEXTCALLBACKW, LPCRECT rect = nullptr, UINT_PTR id = 0);
  void DelTool(CWnd* window, UINT_PTR id = 0);
  void UpdateTipText(LPCWSTR text, CWnd* window, UINT_PTR id = 0);
  void Activate(BOOL activate) { SendMessage(TTM_ACTIVATE, activate); }
  int SetMaxTipWidth(int width) { return static_cast<int>(SendMessage(TTM_SETMAXTIPWIDTH, 0, width)); }
  int GetToolCount() const { return static_cast<int>(SendMessage(TTM_GETTOOLCOUNT)); }

 private:
  TOOLINFOW Info(CWnd* window, UINT_PTR id, LPCRECT rect, LPCWSTR text) const;
};

class CSpinButtonCtrl : public CWnd {
 public:
  QLW_CONTROL_CREATE(UPDOWN_CLASS)
  void SetRange32(int low, int high) { SendMessage(UDM_SETRANGE32, static_cast<WPARAM>(low), high); }
  void GetRange32(int& low, int& high) const { SendMessage(UDM_GETRANGE32, reinterpret_cast<WPARAM>(&low), reinterpret_cast<LPARAM>(&high)); }
  int SetPos32(int pos) { return static_cast<int>(SendMessage(UDM_SETPOS32, 0, pos)); }
  int GetPos32() const { return static_cast<int>(SendMessage(UDM_GETPOS32)); }
};

class CSliderCtrl : public CWnd {
 public:
  QLW_CONTROL_CREATE(TRACKBAR_CLASS)
  int GetPos() const { return static_cast<int>(SendMessage(TBM_GETPOS)); }
  void SetPos(int pos) { SendMessage(TBM_SETPOS, TRUE, pos); }
  void SetRange(int low, int high, BOOL redraw = FALSE) {
    SendMessage(TBM_SETRANGEMIN, FALSE, low);
    SendMessage(TBM_SETRANGEMAX, redraw, high);
  }
  void GetRange(int& low, int& high) const {
    low = static_cast<int>(SendMessage(TBM_GETRANGEMIN));
    high = static_cast<int>(SendMessage(TBM_GETRANGEMAX));
  }
  int SetPageSize(int size) { return static_cast<int>(SendMessage(TBM_SETPAGESIZE, 0, size)); }
  int SetLineSize(int size) { return static_cast<int>(SendMessage(TBM_SETLINESIZE, 0, size)); }
  void SetTicFreq(int frequency) { SendMessage(TBM_SETTICFREQ, static_cast<WPARAM>(frequency)); }
  BOOL SetTic(int position) { return static_cast<BOOL>(SendMessage(TBM_SETTIC, 0, position)); }
  void ClearTics(BOOL redraw = FALSE) { SendMessage(TBM_CLEARTICS, static_cast<WPARAM>(redraw)); }
  UINT GetNumTics() const { return static_cast<UINT>(SendMessage(TBM_GETNUMTICS)); }
  // The position of the index-th tick set with SetTic, in increasing order; -1 when none.
  int GetTic(int index) const { return static_cast<int>(SendMessage(TBM_GETTIC, static_cast<WPARAM>(index))); }
};

class CProgressCtrl : public CWnd {
 public:
  QLW_CONTROL_CREATE(PROGRESS_CLASS)
  void SetRange32(int low, int high) { SendMessage(PBM_SETRANGE32, static_cast<WPARAM>(low), high); }
  int SetPos(int pos) { return static_cast<int>(SendMessage(PBM_SETPOS, static_cast<WPARAM>(pos))); }
  int GetPos() const { return static_cast<int>(SendMessage(PBM_GETPOS)); }
  int OffsetPos(int delta) { return static_cast<int>(SendMessage(PBM_DELTAPOS, static_cast<WPARAM>(delta))); }
  BOOL SetMarquee(BOOL on, int intervalMs) { return static_cast<BOOL>(SendMessage(PBM_SETMARQUEE, on, intervalMs)); }
};
