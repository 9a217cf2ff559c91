// The program's document-type table: one row per document template, in registration order.
#pragma once
#include <vector>

#include "LXDocTypes.h"

extern const std::vector<CLXDocTypeRow> g_DocTypeTable;
