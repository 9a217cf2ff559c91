// Error classes of the drawing layer: Windows and graphics failures and unexpected nulls.
#pragma once
#include "LXException.h"

LX_DECLARE_EXCEPTION(CLXXNull, CLXException, 20480);
LX_DECLARE_EXCEPTION(CLXXWinAPI, CLXException, 20488);
LX_DECLARE_EXCEPTION(CLXXGDIPlus, CLXXWinAPI, 20489);
// A graph that cannot be rendered for copy or export (too large an image, a failed metafile).
LX_DECLARE_EXCEPTION(CLXXCopyGrfx, CLXException, 20881);
LX_DECLARE_EXCEPTION(CLXXCopyGrfxNoBitmap, CLXXCopyGrfx, 20881);
