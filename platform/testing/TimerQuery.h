// Test seam: when the calling thread's next window or thread timer is due, so that a driver of the
// windows can wait for work that a short timer defers (a throttled repaint, say).
#pragma once

namespace qlw::testing {
// Milliseconds until the calling thread's soonest timer is due (0 when overdue); -1 when it has none.
long NextTimerDueMs();
}  // namespace qlw::testing
