// Owner-drawn menu items as widget actions of a QMenu.
#include "MenuOwnerDraw.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOption>
#include <QWidget>
#include <QWidgetAction>

#include "WindowLayer.h"

namespace {
qlw::PainterDCMaker g_make = nullptr;
qlw::PainterDCFreer g_free = nullptr;
qlw::MenuFramePainter g_frame = nullptr;
COLORREF g_panel = 0;

// The popup's frame and panel, drawn by the installed painter.
class FrameStyle : public QProxyStyle {
 public:
  void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
    if (g_frame && g_make && widget) {
      if (element == PE_PanelMenu) {
        painter->fillRect(option->rect, QColor(GetRValue(g_panel), GetGValue(g_panel), GetBValue(g_panel)));
        return;
      }
      if (element == PE_FrameMenu) {
        RECT bounds{0, 0, widget->width(), widget->height()};
        const QPoint at = widget->mapToGlobal(QPoint(0, 0));
        RECT screen{at.x(), at.y(), at.x() + widget->width(), at.y() + widget->height()};
        if (HDC dc = g_make(painter, bounds)) {
          g_frame(dc, screen);
          g_free(dc);
        }
        return;
      }
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
  }
  int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
    if (g_frame && metric == PM_MenuPanelWidth) return 3;
    if (g_frame && (metric == PM_MenuHMargin || metric == PM_MenuVMargin)) return 0;
    return QProxyStyle::pixelMetric(metric, option, widget);
  }
};

class OwnerDrawnItem : public QWidget {
 public:
  OwnerDrawnItem(QMenu* menu, QWidgetAction* action, HMENU handle, HWND owner, UINT id, UINT state, ULONG_PTR data)
      : QWidget(menu), m_menu(menu), m_action(action), m_handle(handle), m_owner(owner), m_id(id), m_state(state),
        m_data(data) {
    setMouseTracking(true);
    setAttribute(Qt::WA_Hover);
    QObject::connect(menu, &QMenu::hovered, this, [this](QAction*) { update(); });
  }
  QSize sizeHint() const override {
    MEASUREITEMSTRUCT mi{ODT_MENU, 0, m_id, 0, 0, m_data};
    if (IsWindow(m_owner)) SendMessageW(m_owner, WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&mi));
    return QSize(std::max<int>(int(mi.itemWidth), 20), std::max<int>(int(mi.itemHeight), 4));
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    RECT r{0, 0, width(), height()};
    HDC dc = g_make ? g_make(&painter, r) : nullptr;
    if (!dc) return;
    DRAWITEMSTRUCT di{};
    di.CtlType = ODT_MENU;
    di.itemID = m_id;
    di.itemAction = ODA_DRAWENTIRE;
    if (m_menu->activeAction() == m_action && !(m_state & MFS_GRAYED)) di.itemState |= ODS_SELECTED;
    if (m_state & MFS_GRAYED) di.itemState |= ODS_GRAYED | ODS_DISABLED;
    if (m_state & MFS_CHECKED) di.itemState |= ODS_CHECKED;
    di.hwndItem = reinterpret_cast<HWND>(m_handle);
    di.hDC = dc;
    di.rcItem = r;
    di.itemData = m_data;
    if (IsWindow(m_owner)) SendMessageW(m_owner, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&di));
    g_free(dc);
  }
  void enterEvent(QEnterEvent*) override {
    if (!(m_state & MFS_GRAYED)) m_menu->setActiveAction(m_action);
    update();
  }
  void mouseMoveEvent(QMouseEvent*) override {
    if (!(m_state & MFS_GRAYED) && m_menu->activeAction() != m_action) m_menu->setActiveAction(m_action);
  }
  void mouseReleaseEvent(QMouseEvent*) override {
    if (m_state & MFS_GRAYED) return;
    // The menu's own activation, so that exec() answers this item as it does for plain ones.
    m_menu->setActiveAction(m_action);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(m_menu, &enter);
  }

 private:
  QMenu* m_menu;
  QWidgetAction* m_action;
  HMENU m_handle;
  HWND m_owner;
  UINT m_id, m_state;
  ULONG_PTR m_data;
};
}  // namespace

void qlw::SetMenuPainterDC(PainterDCMaker make, PainterDCFreer free) {
  g_make = make;
  g_free = free;
}
bool qlw::HasMenuPainterDC() { return g_make && g_free; }
HDC qlw::MakeOwnerDrawDC(QPainter* painter, const RECT& bounds) { return g_make && g_free ? g_make(painter, bounds) : nullptr; }
void qlw::FreeOwnerDrawDC(HDC dc) {
  if (dc && g_free) g_free(dc);
}

namespace {
qlw::PainterDCTextColour g_textColour = nullptr;
}  // namespace
void qlw::SetPainterDCTextColour(PainterDCTextColour read) { g_textColour = read; }
bool qlw::OwnerDrawDCTextColour(HDC dc, COLORREF& colour) {
  if (!dc || !g_textColour) return false;
  colour = g_textColour(dc);
  return true;
}

void qlw::SetMenuFramePainter(MenuFramePainter frame, COLORREF panel) {
  g_frame = frame;
  g_panel = panel;
}

void qlw::UseMenuFrame(QMenu* menu) {
  if (!g_frame || !menu) return;
  static FrameStyle* style = new FrameStyle;
  if (menu->style() != style) menu->setStyle(style);
}

QAction* qlw::AddOwnerDrawnItem(QMenu* menu, HMENU handle, HWND owner, UINT id, UINT state, ULONG_PTR data,
                                const QString& text) {
  if (!HasMenuPainterDC()) return nullptr;
  auto* action = new QWidgetAction(menu);
  action->setText(text);
  action->setDefaultWidget(new OwnerDrawnItem(menu, action, handle, owner, id, state, data));
  action->setEnabled(!(state & MFS_GRAYED));
  menu->addAction(action);
  UseMenuFrame(menu);
  return action;
}
