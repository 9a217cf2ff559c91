// Error classes of the drawing layer: Windows and graphics failures and unexpected nulls.
#pragma once
#include "LXException.h"

LX_DECLARE_EXCEPTION(CLXXNull, CLXException, 20480);
LX_DECLARE_EXCEPTION(CLXXWinAPI, CLXException, 20488);
LX_DECLARE_EXCEPTION(CLXXGDIPlus, CLXXWinAPI, 20489);
