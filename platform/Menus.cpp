// Menus as handles over a list of items; a menu on screen is a QMenuBar or QMenu rebuilt from the
// items each time it opens, after WM_INITMENUPOPUP has let the owner update them.
#include "Menus.h"

#include <QAction>
#include <QEvent>
#include <QActionGroup>
#include <QCursor>
#include <QApplication>
#include <QGuiApplication>
#include <QIconEngine>
#include <QMenu>
#include <QScreen>
#include <QShortcut>
#include <QMenuBar>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleOption>
#include <QWidget>

#include <algorithm>
#include <cwchar>
#include <map>
#include <memory>
#include <optional>

#include "MenuOwnerDraw.h"
#include "OwnerDraw.h"
#include "ResourceText.h"
#include "WndGeometry.h"
#include "WndInternal.h"
#include "WndQt.h"
#include "WndState.h"

namespace {
struct Item {
  UINT id = 0;
  UINT type = MFT_STRING;  // MFT_SEPARATOR, MFT_RADIOCHECK, MFT_OWNERDRAW
  UINT state = 0;          // MFS_GRAYED, MFS_CHECKED, MFS_DEFAULT
  std::wstring text;
  HMENU sub{};
  ULONG_PTR data = 0;
};

struct Menu {
  bool bar = false;
  DWORD style = 0;  // MNS_*
  std::vector<Item> items;
};

struct AccelTable {
  std::vector<ACCEL> entries;
};

// Menus live on the UI thread; the lock only keeps the table sound if another thread asks.
std::recursive_mutex& MenuLock() {
  static std::recursive_mutex m;
  return m;
}
std::map<HMENU, Menu>& MenuTable() {
  static std::map<HMENU, Menu> t;
  return t;
}
std::map<HACCEL, AccelTable>& AccelTableMap() {
  static std::map<HACCEL, AccelTable> t;
  return t;
}
// The menu bar widget of each window that has one.
std::map<HWND, QPointer<QMenuBar>>& Bars() {
  static std::map<HWND, QPointer<QMenuBar>> b;
  return b;
}
qlw::MenuAnswer g_answer = nullptr;

Menu* FindMenu(HMENU h) {
  auto it = MenuTable().find(h);
  if (it == MenuTable().end()) {
    SetLastError(ERROR_INVALID_MENU_HANDLE);
    return nullptr;
  }
  return &it->second;
}

HMENU NewMenu(bool bar) {
  static uintptr_t next = 0x30000;
  next += 4;
  HMENU h = reinterpret_cast<HMENU>(next);
  MenuTable()[h].bar = bar;
  return h;
}

// Finds an item by command (searching submenus, as the platform does) or by position.
Item* Locate(HMENU h, UINT item, UINT flags, HMENU* owner = nullptr, int* position = nullptr) {
  Menu* m = FindMenu(h);
  if (!m) return nullptr;
  if (flags & MF_BYPOSITION) {
    if (item >= m->items.size()) return nullptr;
    if (owner) *owner = h;
    if (position) *position = static_cast<int>(item);
    return &m->items[item];
  }
  for (size_t i = 0; i < m->items.size(); ++i) {
    Item& it = m->items[i];
    if (!it.sub && it.id == item) {
      if (owner) *owner = h;
      if (position) *position = static_cast<int>(i);
      return &it;
    }
  }
  for (Item& it : m->items)
    if (it.sub)
      if (Item* found = Locate(it.sub, item, flags, owner, position)) return found;
  return nullptr;
}

Item MakeItem(UINT flags, UINT_PTR id, LPCWSTR text) {
  Item it;
  if (flags & MF_SEPARATOR) it.type = MFT_SEPARATOR;
  if (flags & MF_OWNERDRAW) it.type |= MFT_OWNERDRAW;
  if (flags & (MF_GRAYED | MF_DISABLED)) it.state |= MFS_GRAYED;
  if (flags & MF_CHECKED) it.state |= MFS_CHECKED;
  if (flags & MF_POPUP) it.sub = reinterpret_cast<HMENU>(id);
  else it.id = static_cast<UINT>(id);
  if (flags & MF_OWNERDRAW) it.data = reinterpret_cast<ULONG_PTR>(text);
  else if (text && !(flags & MF_SEPARATOR)) it.text = text;
  return it;
}

void RefreshBarOf(HMENU menu);

void DestroyTree(HMENU h) {
  auto it = MenuTable().find(h);
  if (it == MenuTable().end()) return;
  std::vector<HMENU> subs;
  for (const Item& i : it->second.items)
    if (i.sub) subs.push_back(i.sub);
  MenuTable().erase(it);
  for (HMENU s : subs) DestroyTree(s);
}

HMENU BuildFromTemplate(const std::vector<qlw::MenuTemplateItem>& items, bool bar) {
  HMENU h = NewMenu(bar);
  for (const auto& t : items) {
    UINT flags = MF_STRING;
    for (const std::wstring& f : t.flags) {
      if (f == L"GRAYED") flags |= MF_GRAYED;
      if (f == L"CHECKED") flags |= MF_CHECKED;
    }
    if (t.separator) {
      AppendMenuW(h, MF_SEPARATOR, 0, nullptr);
    } else if (t.popup) {
      AppendMenuW(h, flags | MF_POPUP, reinterpret_cast<UINT_PTR>(BuildFromTemplate(t.children, false)), t.text.c_str());
    } else {
      AppendMenuW(h, flags, t.id, t.text.c_str());
      for (const std::wstring& f : t.flags) {
        if (f == L"RADIO") FindMenu(h)->items.back().type |= MFT_RADIOCHECK;
        if (f == L"DEFAULT") FindMenu(h)->items.back().state |= MFS_DEFAULT;
      }
    }
  }
  return h;
}

// The platform's "&File" mnemonic is Qt's too; a tab separates the shortcut text in both.
QString ItemText(const Item& it) { return QString::fromStdWString(it.text); }

void Fill(QMenu* qmenu, HMENU h, HWND owner);

// Set on a tracked popup and its submenus: the choice comes back from exec, and an item's own
// trigger must not post the command a second time.
const char kChoiceReturned[] = "qlwChoiceReturned";
// Set on a popup filled ahead of its opening (to be measured): the opening does not fill it again.
const char kFilled[] = "qlwFilled";

// The owner updates the popup's items, which then become its QMenu's.
void Refill(QMenu* qmenu, HMENU h, HWND owner) {
  if (IsWindow(owner)) {
    int index = 0;
    SendMessageW(owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(h), MAKELPARAM(index, FALSE));
  }
  Fill(qmenu, h, owner);
}

// A popup's QMenu: its items are rebuilt each time it opens, after the owner has updated them.
QMenu* MakePopup(HMENU h, HWND owner, const QString& title, QWidget* parent, bool choiceReturned = false) {
  auto* qmenu = new QMenu(title, parent);
  if (choiceReturned) qmenu->setProperty(kChoiceReturned, true);
  QObject::connect(qmenu, &QMenu::aboutToShow, qmenu, [qmenu, h, owner] {
    if (qmenu->property(kFilled).toBool()) qmenu->setProperty(kFilled, false);
    else Refill(qmenu, h, owner);
  });
  return qmenu;
}

void Fill(QMenu* qmenu, HMENU h, HWND owner) {
  qmenu->clear();
  std::vector<Item> items;
  bool noChecks = false;
  {
    std::lock_guard<std::recursive_mutex> lock(MenuLock());
    Menu* m = FindMenu(h);
    if (!m) return;
    items = m->items;
    noChecks = (m->style & MNS_NOCHECK) != 0;
  }
  const bool choiceReturned = qmenu->property(kChoiceReturned).toBool();
  for (const Item& it : items) {
    if (it.type & MFT_SEPARATOR) {
      if (!(it.type & MFT_OWNERDRAW) || !qlw::AddOwnerDrawnItem(qmenu, h, owner, 0, MFS_GRAYED, it.data, QString()))
        qmenu->addSeparator();
      continue;
    }
    if (it.sub) {
      QMenu* sub = MakePopup(it.sub, owner, ItemText(it), qmenu, choiceReturned);
      sub->setEnabled(!(it.state & MFS_GRAYED));
      qmenu->addMenu(sub);
      continue;
    }
    QAction* a = (it.type & MFT_OWNERDRAW) ? qlw::AddOwnerDrawnItem(qmenu, h, owner, it.id, it.state, it.data, ItemText(it)) : nullptr;
    if (!a) a = qmenu->addAction(ItemText(it));
    a->setEnabled(!(it.state & MFS_GRAYED));
    if ((it.state & MFS_CHECKED) && !noChecks) {
      a->setCheckable(true);
      a->setChecked(true);
    }
    if (it.state & MFS_DEFAULT) {
      QFont f = a->font();
      f.setBold(true);
      a->setFont(f);
    }
    a->setData(QVariant::fromValue<uint>(it.id));
    if (choiceReturned) continue;
    const UINT id = it.id;
    QObject::connect(a, &QAction::triggered, qmenu, [owner, id] {
      if (IsWindow(owner)) PostMessageW(owner, WM_COMMAND, MAKEWPARAM(id, 0), 0);
    });
  }
}

void FillBar(QMenuBar* bar, HMENU h, HWND owner) {
  bar->clear();
  std::vector<Item> items;
  {
    std::lock_guard<std::recursive_mutex> lock(MenuLock());
    Menu* m = FindMenu(h);
    if (!m) return;
    items = m->items;
  }
  for (size_t i = 0; i < items.size(); ++i) {
    const Item& it = items[i];
    if (it.type & MFT_SEPARATOR) continue;
    if (it.sub) {
      QMenu* popup = MakePopup(it.sub, owner, ItemText(it), bar);
      popup->setEnabled(!(it.state & MFS_GRAYED));
      bar->addMenu(popup);
    } else {
      QAction* a = bar->addAction(ItemText(it));
      a->setEnabled(!(it.state & MFS_GRAYED));
      const UINT id = it.id;
      QObject::connect(a, &QAction::triggered, bar, [owner, id] {
        if (IsWindow(owner)) PostMessageW(owner, WM_COMMAND, MAKEWPARAM(id, 0), 0);
      });
    }
  }
}

void PlaceBar(HWND hwnd, QWidget* host, QMenuBar* bar) {
  const int h = bar ? bar->sizeHint().height() : 0;
  if (bar) bar->setGeometry(0, 0, host->width(), h);
  host->setContentsMargins(0, h, 0, 0);
  (void)hwnd;
}

// Keeps the menu bar as wide as its window.
class BarSizer : public QObject {
 public:
  BarSizer(QMenuBar* bar) : m_bar(bar) {}
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (e->type() == QEvent::Resize && m_bar) m_bar->setGeometry(0, 0, static_cast<QWidget*>(watched)->width(), m_bar->height());
    return false;
  }

 private:
  QPointer<QMenuBar> m_bar;
};

void RefreshBarOf(HMENU menu) {
  for (auto& [hwnd, bar] : Bars())
    if (bar && GetMenu(hwnd) == menu) FillBar(bar, menu, hwnd);
}
}  // namespace

HMENU CreateMenu() {
  std::lock_guard<std::recursive_mutex> lock(MenuLock());
  return NewMenu(true);
}

HMENU CreatePopupMenu() {
  std::lock_guard<std::recursive_mutex> lock(MenuLock());
  return NewMenu(false);
}

BOOL DestroyMenu(HMENU menu) {
  std::lock_guard<std::recursive_mutex> lock(MenuLock());
  if (!FindMenu(menu)) return FALSE;
  DestroyTree(menu);
  return TRUE;
}

BOOL IsMenu(HMENU menu) {
  std::lock_guard<std::recursive_mutex> lock(MenuLock());
  return MenuTable().count(menu) ? TRUE : FALSE;
}

BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR id, LPCWSTR text) {
  return InsertMenuW(menu, static_cast<UINT>(-1), flags | MF_BYPOSITION, id, text);
}

BOOL InsertMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR id, LPCWSTR text) {
  std::lock_guard<std::recursive_mutex> lock(MenuLock());
  Menu* m = FindMenu(menu);
  if (!m) return FALSE;
  if ((flags & MF_POPUP) && !FindMenu(reinterpret_cast<HMENU>(id))) return FALSE;
  Item it = MakeItem(flags, id, text);
  if (flags & MF_BYPOSITION) {
    const size_t at = std::min<size_t>(position, m->items.size());
    m->items.insert(m->items.begin() + static_cast<long>(at), it);
  } else {
    HMENU owner = nullptr;
    int pos = -1;
    if (!Locate(menu, position, 0, &owner, &pos)) {
      m->items.push_back(it);
    } else {
      Menu* o = FindMenu(owner);
      o->items.insert(o->items.begin() + pos, it);
    }
  }
  return TRUE;
}

BOOL ModifyMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR id, LPCWSTR text) {
  std::lock_guard<std::recursive_mutex> lock(MenuLock());
  Item* it = Locate(menu, position, flags);
  if (!it) return FALSE;
  *it = MakeItem(flags, id, text);
  return TRUE;
}

BOOL RemoveMenu(HMENU menu, UINT position, UINT flags) {
  std::lock_guard<std::recursive_mutex> lock(MenuLock());
  HMENU owner = nullptr;
  int pos = -1;
  if (!Locate(menu, position, flags, &owner, &pos)) return FALSE;
  Menu* o = FindMenu(owner);
  o->items.erase(o->items.begin() + pos);
  return TRUE;
}

BOOL DeleteMenu(HMENU menu, UINT position, UINT flags) {
  std::lock_guard<std::recursive_mutex> lock(MenuLock());
  Item* it = Locate(menu, position, flags);
  if (!it) return FALSE;
  HMENU sub = it->sub;
  RemoveMenu(menu, position, flags);
  if (sub) DestroyTree(sub);
  return TRUE;
}

int GetMenuItemCount(HMENU menu) {
  std::lock_guard<std::recursive_mutex> lock(MenuLock());
  Menu* m = FindMenu(menu);
  return m ? static_cast<int>(m->items.size()) : -1;
}

UINT GetMenuItemID(HMENU menu, int position) {
  std::lock_guard<std::recursive_mutex> lock(MenuLock());
  Menu* m = FindMenu(menu);
  if (!m || position < 0 || position >= static_cast<int>(m->items.size())) return static_cast<UINT>(-1);
  const Item& it = m->items[static_cast<size_t>(position)];
  return it.sub ? static_cast<UINT>(-1) : (it.type & MFT_SEPARATOR) ? 0 : it.id;
}

HMENU GetSubMenu(HMENU menu, int position) {
  std::lock_guard<std::recursive_mutex> lock(MenuLock());
  Menu* m = FindMenu(menu);
  if (!m || position < 0 || position >= static_cast<int>(m->items.size())) return nullptr;
  return m->items[static_cast<size_t>(position)].sub;
}

int GetMenuStringW(HMENU menu, UINT item, LPWSTR buffer, int maxCount, UINT flags) {
  std::lock_guard<std::recursive_mutex> lock(MenuLock());
  Item* it = Locate(menu, item, flags);
  if (!it) return 0;
  if (!buffer || maxCount <= 0) return static_cast<int>(it->text.size());
  const int n = std::min(static_cast<int>(it->text.size()), maxCount - 1);
  std::wmemcpy(buffer, it->text.data(), static_cast<size_t>(n));
  buffer[n] = L'\0';
  return n;
}

UINT EnableMenuItem(HMENU menu, UINT item, UINT flags) {
  std::lock_guard<std::recursive_mutex> lock(MenuLock());
  Item* it = Locate(menu, item, flags);
  if (!it) return static_cast<UINT>(-1);
  const UINT old = it->state & MFS_GRAYED;
  it->state = (it->state & ~MFS_GRAYED) | ((flags & (MF_GRAYED | MF_DISABLED)) ? MFS_GRAYED : 0);
  return old;
}

DWORD CheckMenuItem(HMENU menu, UINT item, UINT flags) {
  std::lock_guard<std::recursive_mutex> lock(MenuLock());
  Item* it = Locate(menu, item, flags);
  if (!it) return static_cast<DWORD>(-1);
  const DWORD old = it->state & MFS_CHECKED;
  it->state = (it->state & ~MFS_CHECKED) | (flags & MF_CHECKED);
  return old;
}

BOOL CheckMenuRadioItem(HMENU menu, UINT first, UINT last, UINT check, UINT flags) {
  std::lock_guard<std::recursive_mutex> lock(MenuLock());
  Menu* m = FindMenu(menu);
  if (!m) return FALSE;
  bool found = false;
  for (size_t i = 0; i < m->items.size(); ++i) {
    Item& it = m->items[i];
    const UINT key = (flags & MF_BYPOSITION) ? static_cast<UINT>(i) : it.id;
    if (key < first || key > last || it.sub) continue;
    it.type |= MFT_RADIOCHECK;
    it.state = (it.state & ~MFS_CHECKED) | (key == check ? MFS_CHECKED : 0);
    found |= key == check;
  }
  return found ? TRUE : FALSE;
}

UINT GetMenuState(HMENU menu, UINT item, UINT flags) {
  std::lock_guard<std::recursive_mutex> lock(MenuLock());
  Item* it = Locate(menu, item, flags);
  if (!it) return static_cast<UINT>(-1);
  UINT state = it->state | (it->type & (MFT_SEPARATOR | MFT_OWNERDRAW));
  if (it->sub) state |= MF_POPUP | (static_cast<UINT>(GetMenuItemCount(it->sub)) << 8);
  return state;
}

BOOL GetMenuItemInfoW(HMENU menu, UINT item, BOOL byPosition, LPMENUITEMINFOW info) {
  std::lock_guard<std::recursive_mutex> lock(MenuLock());
  Item* it = info ? Locate(menu, item, byPosition ? MF_BYPOSITION : 0) : nullptr;
  if (!it) return FALSE;
  if (info->fMask & (MIIM_FTYPE | MIIM_TYPE)) info->fType = it->type;
  if (info->fMask & MIIM_STATE) info->fState = it->state;
  if (info->fMask & MIIM_ID) info->wID = it->id;
  if (info->fMask & MIIM_SUBMENU) info->hSubMenu = it->sub;
  if (info->fMask & MIIM_DATA) info->dwItemData = it->data;
  if (info->fMask & (MIIM_STRING | MIIM_TYPE)) {
    if (info->dwTypeData && info->cch > 0) {
      const size_t n = std::min<size_t>(it->text.size(), info->cch - 1);
      std::wmemcpy(info->dwTypeData, it->text.data(), n);
      info->dwTypeData[n] = L'\0';
      info->cch = static_cast<UINT>(n);
    } else {
      info->cch = static_cast<UINT>(it->text.size());
    }
  }
  return TRUE;
}

BOOL SetMenuItemInfoW(HMENU menu, UINT item, BOOL byPosition, const MENUITEMINFOW* info) {
  std::lock_guard<std::recursive_mutex> lock(MenuLock());
  Item* it = info ? Locate(menu, item, byPosition ? MF_BYPOSITION : 0) : nullptr;
  if (!it) return FALSE;
  if (info->fMask & (MIIM_FTYPE | MIIM_TYPE)) it->type = info->fType;
  if (info->fMask & MIIM_STATE) it->state = info->fState;
  if (info->fMask & MIIM_ID) it->id = info->wID;
  if (info->fMask & MIIM_SUBMENU) it->sub = info->hSubMenu;
  if (info->fMask & MIIM_DATA) it->data = info->dwItemData;
  if ((info->fMask & (MIIM_STRING | MIIM_TYPE)) && info->dwTypeData && !(it->type & MFT_OWNERDRAW)) it->text = info->dwTypeData;
  return TRUE;
}

BOOL SetMenuDefaultItem(HMENU menu, UINT item, UINT byPosition) {
  std::lock_guard<std::recursive_mutex> lock(MenuLock());
  Menu* m = FindMenu(menu);
  if (!m) return FALSE;
  for (Item& i : m->items) i.state &= ~MFS_DEFAULT;
  if (item == static_cast<UINT>(-1)) return TRUE;
  Item* it = Locate(menu, item, byPosition ? MF_BYPOSITION : 0);
  if (!it) return FALSE;
  it->state |= MFS_DEFAULT;
  return TRUE;
}

BOOL SetMenuInfo(HMENU menu, LPCMENUINFO info) {
  if (!info || info->cbSize != sizeof(MENUINFO)) return FALSE;
  std::lock_guard<std::recursive_mutex> lock(MenuLock());
  Menu* m = FindMenu(menu);
  if (!m) return FALSE;
  if (!(info->fMask & MIM_STYLE)) return TRUE;
  m->style = info->dwStyle;
  if (info->fMask & MIM_APPLYTOSUBMENUS) {
    std::vector<HMENU> subs;
    for (const Item& it : m->items)
      if (it.sub) subs.push_back(it.sub);
    for (HMENU sub : subs) SetMenuInfo(sub, info);
  }
  return TRUE;
}

BOOL GetMenuInfo(HMENU menu, LPMENUINFO info) {
  if (!info || info->cbSize != sizeof(MENUINFO)) return FALSE;
  std::lock_guard<std::recursive_mutex> lock(MenuLock());
  Menu* m = FindMenu(menu);
  if (!m) return FALSE;
  if (info->fMask & MIM_STYLE) info->dwStyle = m->style;
  return TRUE;
}

BOOL SetMenu(HWND hwnd, HMENU menu) {
  if (!IsWindow(hwnd) || (menu && !IsMenu(menu))) return FALSE;
  {
    std::lock_guard<std::mutex> lock(qlw::wnd::Lock());
    auto w = qlw::wnd::FindWindowLocked(hwnd);
    if (!w || (w->style & WS_CHILD)) return FALSE;
    w->menu = menu;
  }
  DrawMenuBar(hwnd);
  return TRUE;
}

HMENU GetMenu(HWND hwnd) {
  std::lock_guard<std::mutex> lock(qlw::wnd::Lock());
  auto w = qlw::wnd::FindWindowLocked(hwnd);
  return w && !(w->style & WS_CHILD) ? w->menu : nullptr;
}

BOOL DrawMenuBar(HWND hwnd) {
  QWidget* host = qlw::WidgetOf(hwnd);
  if (!host) return IsWindow(hwnd);
  HMENU menu = GetMenu(hwnd);
  auto& bars = Bars();
  QPointer<QMenuBar>& bar = bars[hwnd];
  if (!menu || !IsMenu(menu)) {
    delete bar.data();
    bars.erase(hwnd);
    PlaceBar(hwnd, host, nullptr);
  } else {
    if (!bar) {
      bar = new QMenuBar(host);
      bar->setNativeMenuBar(false);
      host->installEventFilter(new BarSizer(bar));
      // F10 opens the menu bar at its first menu, as on the desktops the program comes from.
      auto* f10 = new QShortcut(QKeySequence(Qt::Key_F10), bar);
      f10->setContext(Qt::WindowShortcut);
      QObject::connect(f10, &QShortcut::activated, bar, [b = bar.data()] {
        for (QAction* a : b->actions())
          if (a->isEnabled() && a->isVisible() && !a->isSeparator()) {
            b->setActiveAction(a);
            return;
          }
      });
      bar->show();
    }
    FillBar(bar, menu, hwnd);
    PlaceBar(hwnd, host, bar);
  }
  qlw::wnd::AnnouncePlacement(hwnd);
  return TRUE;
}

BOOL TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND owner, void* params) {
  if (!IsMenu(menu) || !IsWindow(owner)) return FALSE;
  UINT chosen = 0;
  if (g_answer) {
    SendMessageW(owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), 0);
    chosen = g_answer(menu, owner);
  } else {
    std::unique_ptr<QMenu> qmenu(MakePopup(menu, owner, QString(), qlw::WidgetOf(owner), true));
    QPoint at(x, y);
    // Its size places it: it is filled now, not when it opens.
    Refill(qmenu.get(), menu, owner);
    qmenu->setProperty(kFilled, true);
    const QSize size = qmenu->sizeHint();
    // The point is the menu's left, centre or right, and its top, middle or bottom, as asked.
    constexpr UINT kBottomAlign = 0x0020u;
    if (flags & TPM_RIGHTALIGN) at.rx() -= size.width();
    else if (flags & TPM_CENTERALIGN) at.rx() -= size.width() / 2;
    if (flags & kBottomAlign) at.ry() -= size.height();
    else if (flags & TPM_VCENTERALIGN) at.ry() -= size.height() / 2;
    if (auto* tpm = static_cast<const TPMPARAMS*>(params); tpm && tpm->cbSize >= sizeof(TPMPARAMS)) {
      const QRect exclude(QPoint(tpm->rcExclude.left, tpm->rcExclude.top), QPoint(tpm->rcExclude.right - 1, tpm->rcExclude.bottom - 1));
      const QScreen* screen = QGuiApplication::screenAt(exclude.center());
      if (!screen) screen = QGuiApplication::primaryScreen();
      const QRect avail = screen ? screen->availableGeometry() : QRect(0, 0, 1 << 15, 1 << 15);
      // A menu that would run off the screen is moved back onto it by Qt, over the excluded
      // rectangle: it goes to the rectangle's other side first.
      const bool vertical = flags & TPM_VERTICAL;
      const bool off = vertical ? (at.y() < avail.top() || at.y() + size.height() > avail.bottom() + 1)
                                : (at.x() < avail.left() || at.x() + size.width() > avail.right() + 1);
      if (off || QRect(at, size).intersects(exclude)) {
        if (vertical) at.setY(exclude.bottom() + 1 + size.height() <= avail.bottom() + 1 ? exclude.bottom() + 1 : exclude.top() - size.height());
        else at.setX(exclude.right() + 1 + size.width() <= avail.right() + 1 ? exclude.right() + 1 : exclude.left() - size.width());
      }
    }
    QAction* a = qmenu->exec(at);
    if (a) chosen = a->data().value<uint>();
  }
  if (flags & TPM_RETURNCMD) return static_cast<BOOL>(chosen);
  if (chosen && !(flags & TPM_NONOTIFY)) PostMessageW(owner, WM_COMMAND, MAKEWPARAM(chosen, 0), 0);
  return TRUE;
}

BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int, HWND owner, const RECT*) {
  return TrackPopupMenuEx(menu, flags, x, y, owner, nullptr);
}

HMENU LoadMenuW(HINSTANCE, LPCWSTR name) {
  const auto* t = IS_INTRESOURCE(name) ? qlw::FindMenuTemplate(static_cast<UINT>(reinterpret_cast<uintptr_t>(name))) : nullptr;
  if (!t) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  std::lock_guard<std::recursive_mutex> lock(MenuLock());
  return BuildFromTemplate(*t, true);
}

HACCEL CreateAcceleratorTableW(LPACCEL entries, int count) {
  if (!entries || count <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::lock_guard<std::recursive_mutex> lock(MenuLock());
  static uintptr_t next = 0x40000;
  next += 4;
  HACCEL h = reinterpret_cast<HACCEL>(next);
  AccelTableMap()[h].entries.assign(entries, entries + count);
  return h;
}

HACCEL LoadAcceleratorsW(HINSTANCE, LPCWSTR name) {
  const auto* t = IS_INTRESOURCE(name) ? qlw::FindAccelTemplate(static_cast<UINT>(reinterpret_cast<uintptr_t>(name))) : nullptr;
  if (!t || t->empty()) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  std::vector<ACCEL> entries;
  for (const auto& e : *t) entries.push_back(ACCEL{e.virt, e.key, e.cmd});
  return CreateAcceleratorTableW(entries.data(), static_cast<int>(entries.size()));
}

BOOL DestroyAcceleratorTable(HACCEL table) {
  std::lock_guard<std::recursive_mutex> lock(MenuLock());
  return AccelTableMap().erase(table) ? TRUE : FALSE;
}

int CopyAcceleratorTableW(HACCEL table, LPACCEL entries, int count) {
  std::lock_guard<std::recursive_mutex> lock(MenuLock());
  auto it = AccelTableMap().find(table);
  if (it == AccelTableMap().end()) return 0;
  const auto& e = it->second.entries;
  if (!entries) return static_cast<int>(e.size());
  const int n = std::min(count, static_cast<int>(e.size()));
  std::copy(e.begin(), e.begin() + n, entries);
  return n;
}

int TranslateAcceleratorW(HWND hwnd, HACCEL table, LPMSG msg) {
  if (!msg || !IsWindow(hwnd) || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)) return 0;
  BYTE mods = FVIRTKEY;
  if (GetKeyState(VK_SHIFT) < 0) mods |= FSHIFT;
  if (GetKeyState(VK_CONTROL) < 0) mods |= FCONTROL;
  if (GetKeyState(VK_MENU) < 0 || msg->message == WM_SYSKEYDOWN) mods |= FALT;
  WORD cmd = 0;
  {
    std::lock_guard<std::recursive_mutex> lock(MenuLock());
    auto it = AccelTableMap().find(table);
    if (it == AccelTableMap().end()) return 0;
    for (const ACCEL& a : it->second.entries)
      if (a.key == msg->wParam && (a.fVirt | FVIRTKEY) == mods) {
        cmd = a.cmd;
        break;
      }
  }
  if (!cmd) return 0;
  // Whether the command is enabled now is the class library's question (its CCmdUI test).
  SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(cmd, 1), 0);
  return 1;
}

namespace {
// Reading the style's overflow icon has Qt load every image plug-in (some milliseconds), and every
// menu bar asks for it when it is made, though the button shows only on a narrow window. This icon
// is the style's own, asked for when something first sizes or draws it.
class DeferredStyleIcon : public QIconEngine {
 public:
  DeferredStyleIcon(QStyle* style, QStyle::StandardPixmap which, Qt::LayoutDirection direction)
      : m_style(style), m_which(which), m_direction(direction) {}
  QIconEngine* clone() const override { return new DeferredStyleIcon(*this); }
  QString key() const override { return QStringLiteral("qlw-deferred-style"); }
  // Answered without the style: a button asks it as it is made.
  bool isNull() override { return false; }
  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
    Real().paint(painter, rect, Qt::AlignCenter, mode, state);
  }
  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return Real().pixmap(size, 1.0, mode, state);
  }
  QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override {
    return Real().pixmap(size / scale, scale, mode, state);
  }
  QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return Real().actualSize(size, mode, state);
  }
  QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
    return Real().availableSizes(mode, state);
  }

 private:
  const QIcon& Real() {
    if (!m_real) {
      QStyleOption option;
      option.direction = m_direction;
      m_real = m_style ? m_style->standardIcon(m_which, &option, nullptr) : QIcon();
    }
    return *m_real;
  }
  QPointer<QStyle> m_style;
  QStyle::StandardPixmap m_which;
  Qt::LayoutDirection m_direction;
  std::optional<QIcon> m_real;
};

class DeferredOverflowIconStyle : public QProxyStyle {
 public:
  using QProxyStyle::QProxyStyle;
  QIcon standardIcon(StandardPixmap which, const QStyleOption* option, const QWidget* widget) const override {
    if (which != SP_ToolBarHorizontalExtensionButton && which != SP_ToolBarVerticalExtensionButton)
      return QProxyStyle::standardIcon(which, option, widget);
    // Fixed now, as the style's own icon would be.
    const Qt::LayoutDirection direction = option ? option->direction : QGuiApplication::layoutDirection();
    return QIcon(new DeferredStyleIcon(baseStyle(), which, direction));
  }
};
}  // namespace

namespace qlw {
void SetMenuAnswer(MenuAnswer answer) { g_answer = answer; }

void DeferMenuBarOverflowIcon() {
  if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return;
  QStyle* current = QApplication::style();
  if (!current || dynamic_cast<DeferredOverflowIconStyle*>(current)) return;
  QApplication::setStyle(new DeferredOverflowIconStyle(current));
}
}  // namespace qlw
