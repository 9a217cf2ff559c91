// Seams of the GDI+ stand-in for tests: make the next bitmap allocations fail with a status.
#pragma once
#include "gdi/GdiPlusTypes.h"

namespace qlw::testing {
// The next `count` bitmaps made with a size fail with `status` (OutOfMemory by default).
void FailNextBitmapAllocations(int count, Gdiplus::Status status = Gdiplus::OutOfMemory);
}  // namespace qlw::testing
