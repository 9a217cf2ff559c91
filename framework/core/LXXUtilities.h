// Error classes of the utility library: a singular matrix, a path or URL that cannot be opened.
// Their base CLXXUtilities is declared with the framework's other error classes in LXException.h.
#pragma once

#include "LXException.h"

LX_DECLARE_EXCEPTION(CLXXInvalidMatrix, CLXXUtilities, 21585);
LX_DECLARE_EXCEPTION(CLXXBadPath, CLXXUtilities, 21581);
LX_DECLARE_EXCEPTION(CLXXBadURL, CLXXUtilities, 21582);
