// CLXToolbar: the framework's toolbar, a control bar of image buttons named by four-character
// codes, with separators, an overflow button, a context menu of items, display modes and the
// item visibility kept in the preferences. Metrics, measuring, layout and painting are in
// LXToolbar.cpp; menus, commands, keys and the saved state in LXToolbarMenus.cpp.
#pragma once
#include <cstdint>
#include <map>
#include <vector>

#include "AfxGdi.h"
#include "Frame.h"
#include "LXAlphaButton.h"
#include "LXDialog.h"
#include "LXException.h"

LX_DECLARE_EXCEPTION(CLXXNoToolbar, CLXXMain, 20798);

// A four-character code: its bytes spell the letters, first letter in the high byte.
using LXToolCode = uint32_t;
constexpr LXToolCode LXMakeToolCode(const char (&s)[5]) {
  return (uint32_t(uint8_t(s[0])) << 24) | (uint32_t(uint8_t(s[1])) << 16) | (uint32_t(uint8_t(s[2])) << 8) |
         uint32_t(uint8_t(s[3]));
}
constexpr LXToolCode kToolNull = LXMakeToolCode("null");
constexpr LXToolCode kToolSepFixed = LXMakeToolCode("sepf");
constexpr LXToolCode kToolSepFlex = LXMakeToolCode("sepx");

// One item definition; the derived toolbar hands a table of them to Init.
struct CLXToolDef {
  LXToolCode code = kToolNull;
  wchar_t shortcut = 0;     // compared after case folding; 0: none
  bool toggle = false;      // a tool of a radio group: stays pressed while selected
  bool restore = false;     // re-selected when the toolbar is rebuilt
  int group = 0;            // radio group
  int menuGroup = 0;        // neighbours of the same non-zero group share a menu record
  int menuKind = 0;         // kind of the item's menu record
  UINT labelId = 0;         // button text, drawn below the icon
  UINT descriptionId = 0;   // status text when a tool of a group is selected
  int commandId = -1;       // sent by the item; -1: none
  UINT controlId = 0;       // the button's id; its tooltip is string controlId + 8500
  UINT imageId = 0;
  UINT altImageId = static_cast<UINT>(-1);  // image of the checked state; -1: none
};

// A (code, visible) pair of the item sequence, as the default sequence and the saved state hold it.
struct CLXToolSeqEntry {
  LXToolCode code;
  bool visible;
};

// The toolbar's buttons: an image button that reports a press of an auto-repeat button once (on
// the press, not again on the release) and passes right clicks on to the toolbar.
class CLXToolButton : public CAlphaButton {
 public:
  using CAlphaButton::CAlphaButton;
  void NotifyTargets() override;
  // Image above nothing (icons) or the text alone.
  void SetShowText(bool textOnly);

 protected:
  void OnContextMenu(CWnd* window, CPoint point);
  // The window keeps the font it is given, as standard controls do; the text is drawn in it.
  LRESULT OnSetFont(WPARAM font, LPARAM redraw);
  LRESULT OnGetFont(WPARAM, LPARAM);
  HFONT m_hFont = nullptr;
  DECLARE_MESSAGE_MAP()
};

class CLXToolbar : public CControlBar, public CToolTipHelper, public CInitMenuPopupHelper {
  DECLARE_DYNAMIC(CLXToolbar)
 public:
  // Command ids of the context and overflow menus and of the display modes.
  static constexpr UINT kCmdIconAndText = 32868, kCmdIconOnly = 32869, kCmdSmallSize = 32870, kCmdTextOnly = 32871;
  static constexpr UINT kCmdItemFirst = 32872, kCmdItemLast = 32968;
  static constexpr UINT kCmdOverflowFirst = 32969, kCmdOverflowLast = 33065;
  static constexpr UINT kOverflowButtonId = 1450, kSepFixedId = 1451, kSepFlexId = 1452;
  static constexpr UINT kOverflowImage = 2009;
  // The program's accelerator table of the toolbar's commands.
  static constexpr UINT kAcceleratorTable = 1002;
  static constexpr int kFixedSeparatorWidth = 19;

  struct MenuRecord {
    int kind = 0;
    UINT labelId = 0;
    CString label;
    bool separator = false;
    bool visible = false;
    std::vector<size_t> items;
    // Set by measuring.
    int leftGap = 0;
    int width = 0;
    int textWidth = 0;
  };
  struct Item {
    LXToolCode code = kToolNull;
    bool visible = true;
    CWnd* window = nullptr;  // owned: the button, or the separator's static control
    CLXToolButton* button = nullptr;
    CString label;
    CRect buttonRect, textRect, labelRect;
    size_t record = 0;
    // Set by measuring.
    int leftGap = 0;
    int width = 0;
    int height = 0;
    bool shown = false;  // placed in the row (not in the overflow menu)
  };
  struct Metrics {
    int point = 1;  // B: one point in pixels
    int iconWidth = 0, iconHeight = 0;
    int itemWidth = 0, itemHeight = 0;
    int textHeight = 0;
  };

  CLXToolbar();
  ~CLXToolbar() override;

  BOOL Create(CWnd* parent, DWORD style, UINT id);
  virtual void Init(const CLXToolDef* defs, size_t defCount, const CLXToolSeqEntry* sequence, size_t count);

  virtual int GetBarHeight() const;
  virtual void SaveState();
  virtual void BuildItemsMenu();
  virtual void BuildOverflowMenu(LXToolCode firstHidden);
  virtual void CreateButtons();
  virtual CLXToolButton* CreateItemButton(LXToolCode code, CLXToolButton* existing);
  virtual bool GetItemLabel(LXToolCode code, CString& text);
  // The sequence index of a context-menu entry, -1 outside the items.
  virtual int GetItemIndexForMenuCommand(UINT id) const;
  // The sequence index of an overflow-menu entry, -1 outside the items.
  int GetItemIndexForOverflowCommand(UINT id) const;
  virtual Item* FindItem(LXToolCode code);
  virtual void GetButtonRect(CRect& rect) const;
  virtual void GetItemRect(CRect& rect) const;
  virtual bool GetItemDescription(LXToolCode code, CString& text);
  virtual void GetItemLayoutRect(LXToolCode code, CRect& rect);
  virtual LXToolCode GetItemCode(UINT id) const;
  virtual bool InvokeItem(LXToolCode code);
  virtual bool RunCommand(UINT commandId);
  virtual void Rebuild();
  virtual void RecalcMetrics();
  virtual void RefreshItems() = 0;
  virtual void Layout(bool rebuild);
  virtual void ApplyDisplayMode();

  // Replaces the item sequence; with save the new visibility is stored before it is applied.
  void SetItemLayout(const CLXToolSeqEntry* records, size_t count, bool save);
  void ApplySavedState();
  void ToggleVisible();
  bool UpdateTexts(bool reload);
  // Makes a tool the selected member of its radio group.
  void SelectItem(LXToolCode code, bool notify);
  // Triggers the first item, in code order, whose shortcut character matches after case folding;
  // false when none does.
  bool HandleShortcutKey(wchar_t character);
  // The shortcut character of a virtual key: a letter lower-cased, a digit, '+' or '-' from either
  // keyboard; 0 for any other key.
  static wchar_t ShortcutCharacterOf(UINT virtualKey);
  // The toolbar docked in a frame window; null when it has none.
  static CLXToolbar* OfFrame(CWnd* frame);
  // Keys of the accelerator table, while a window of the toolbar has the focus.
  BOOL PreTranslateMessage(MSG* msg) override;
  // The separator rule: at most one separator between two visible items, none at the ends.
  static void NormaliseSeparators(std::vector<Item>& items);

  // The toolbar's own commands and their update; false when the id is not one of them.
  bool OnToolbarCommand(UINT id);
  bool OnUpdateToolbarCommand(CCmdUI* ui);
  BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;
  void OnUpdateCmdUI(CCmdTarget* target, BOOL disableIfNoHandler) override;
  int BarExtent() const override { return GetBarHeight(); }
  BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;

  const std::vector<Item>& GetItems() const { return m_items; }
  const std::vector<MenuRecord>& GetMenuRecords() const { return m_records; }
  const Metrics& GetMetrics() const { return m_metrics; }
  const CLXToolDef* FindDefinition(LXToolCode code) const;
  CAlphaButton& GetOverflowButton() { return m_overflow; }
  CMenu& GetContextMenu() { return m_contextMenu; }
  CMenu& GetOverflowMenu() { return m_overflowMenu; }
  bool IsOverflowShown() const { return m_overflowShown; }
  bool ShowsIcons() const;
  bool ShowsText() const;
  bool ShowsLabels() const { return ShowsIcons() && ShowsText(); }
  bool IsLarge() const;
  // Opens the context menu at a screen point, as a right click does.
  void TrackContextMenu(CPoint at);
  // Counters of the work the idle update did, for tests and benchmarks.
  struct Counters {
    unsigned relayouts = 0;
    unsigned repaints = 0;
  };
  const Counters& GetCounters() const { return m_counters; }

 protected:
  void OnSize(UINT type, int cx, int cy);
  void OnPaint();
  void OnContextMenu(CWnd* window, CPoint point);
  void OnInitMenuPopup(CMenu* popup, UINT index, BOOL sysMenu);
  LRESULT OnDocWndModified(WPARAM, LPARAM lParam);
  LRESULT OnNewTool(WPARAM wParam, LPARAM lParam);
  void OnButtonCommand(UINT id);
  // A key of the accelerator table presses the item whose command it names.
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  // Table 1002, loaded on first use and kept for the run; null when it does not load.
  static HACCEL AcceleratorTable();
  // Items without a shortcut character take the unmodified key that the table gives their command.
  void TakeShortcutsFromAccelerators();

  void DestroyButtons();
  void RebuildMenuRecords();
  void Measure();
  int TextWidth(const CString& text);
  void PostToolbarChange(bool withWindow);
  // The frame that holds the bar, relaid out after a change of the bar's height.
  void RecalcParentLayout();
  // Used by the derived toolbar while a state change asks for new labels.
  bool m_bNeedsRelayout = false;

  std::map<LXToolCode, CLXToolDef> m_defs;
  std::map<int, LXToolCode> m_groups;
  std::vector<Item> m_items;
  std::vector<size_t> m_visible;
  std::vector<MenuRecord> m_records;
  CAlphaButton m_overflow;
  CMenu m_contextMenu;
  CMenu m_overflowMenu;
  CFont m_font;
  CToolTipCtrl m_toolTip;
  int m_buildGuard = 1;
  bool m_bRefreshing = false;
  bool m_bInLayout = false;
  bool m_bInShortcut = false;
  bool m_overflowShown = false;
  Metrics m_metrics;
  CRect m_client;
  Counters m_counters;
  DECLARE_MESSAGE_MAP()
};

// The command-UI object of the idle update: enables the button, checks nothing, and keeps the
// item's own label over the text a handler sets.
class CLXToolCmdUI : public CCmdUI {
 public:
  void Enable(BOOL on) override;
  void SetCheck(int) override {}
  void SetText(LPCWSTR text) override;
  bool m_bChanged = false;
};
