// The twelve document types; their document strings are entries 1001 to 1035 of the string table.
#include "QlwDocTypes.h"

const std::vector<CLXDocTypeRow> g_DocTypeTable = {
    {1001, 1, 1, 0},  {1003, 4, 1, 0},  {1005, 3, 1, 0},  {1009, 22, 1, 0}, {1018, 34, 1, 0}, {1021, 37, 1, 0},
    {1030, 10, 1, 1}, {1031, 11, 1, 0}, {1032, 13, 0, 0}, {1033, 14, 0, 0}, {1034, 15, 0, 0}, {1035, 12, 0, 0},
};
