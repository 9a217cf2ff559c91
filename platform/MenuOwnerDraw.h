// Owner-drawn items of menus on screen: each is a widget in its QMenu that asks the menu's owner
// for its size (WM_MEASUREITEM) and its drawing (WM_DRAWITEM) on a DC over the widget's painter.
#pragma once
#include "OwnerDraw.h"

class QMenu;
class QPainter;
class QAction;
class QString;

namespace qlw {
// DCs over a painter come from the drawing layer, which installs the pair before it converts a
// menu; until then owner-drawn items show their text as plain items do.
using PainterDCMaker = HDC (*)(QPainter* painter, const RECT& bounds);
using PainterDCFreer = void (*)(HDC dc);
void SetMenuPainterDC(PainterDCMaker make, PainterDCFreer free);
bool HasMenuPainterDC();
// The same makers serve owner-drawn buttons and combo boxes; null without a maker.
HDC MakeOwnerDrawDC(QPainter* painter, const RECT& bounds);
void FreeOwnerDrawDC(HDC dc);
// The text colour set on such a DC, read by the drawing layer once it has installed its reader;
// false without one.
using PainterDCTextColour = COLORREF (*)(HDC dc);
void SetPainterDCTextColour(PainterDCTextColour read);
bool OwnerDrawDCTextColour(HDC dc, COLORREF& colour);
// The frame of a popup that holds owner-drawn items: drawn by `frame` on a DC over the popup
// (its screen rectangle given), three pixels wide, over a panel of colour `panel`. Null: Qt's.
using MenuFramePainter = void (*)(HDC dc, const RECT& screen);
void SetMenuFramePainter(MenuFramePainter frame, COLORREF panel);
// Gives a popup the frame above (once it holds an owner-drawn item).
void UseMenuFrame(QMenu* menu);
// Adds the owner-drawn item (command id, states MFS_*, item data) to the QMenu; null without a
// DC maker.
QAction* AddOwnerDrawnItem(QMenu* menu, HMENU handle, HWND owner, UINT id, UINT state, ULONG_PTR data,
                           const QString& text);
}  // namespace qlw
