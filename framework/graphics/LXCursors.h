// The program's mouse cursors: colour cursors from bitmap and "HOTSPOT" resources, system shapes
// for a few identifiers, a cache filled at GDI+ start-up, and setting a cursor under a lock.
#pragma once
#include "GdiPlus.h"
#include "LXMutex.h"

#include <map>

extern std::map<UINT, HCURSOR> g_cursorCache;
// Held while the cursor is compared and set.
extern CLXThreadMutex g_cursorMutex;

bool LoadCursorById(int identifier, HCURSOR& cursor);
bool LoadColorCursor(UINT resourceId, HINSTANCE module, HCURSOR& cursor);
bool MakeCursorBitmaps(Gdiplus::Bitmap* bitmap, HBITMAP& mask, HBITMAP& colour);
void LoadCursorCache();
// The previous cursor, or none when the identifier is not cached or the cursor is already shown.
HCURSOR SetCursorById(UINT identifier);
HCURSOR SetCursorHandle(HCURSOR cursor);
