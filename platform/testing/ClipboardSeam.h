// Seams for tests: the clipboard held open by another program (on X11 it never is), and memory
// blocks that cannot be allocated.
#pragma once
#include "WinTypes.h"

namespace qlw::testing {
// While set, OpenClipboard fails with ERROR_ACCESS_DENIED and changes nothing.
void SetClipboardHeldElsewhere(bool held);
// After `after` more successful calls, the next `count` GlobalAlloc or GlobalReAlloc calls fail
// with ERROR_NOT_ENOUGH_MEMORY.
void FailNextGlobalAllocations(int count, int after = 0);
}  // namespace qlw::testing
