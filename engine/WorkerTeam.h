// Loops spread over a team of threads that sleep between loops. The OpenMP runtime's threads wait
// by spinning, which took the processor from the serial stretches between the loops and from
// each other whenever other programs kept the cores busy: eight threads were then slower than one.
#pragma once

#include <functional>

namespace qlw
{
// Calls body(begin, end) for consecutive pieces of [0, count), each at most `grain` indices long,
// on as many threads as OpenMP would use (the calling thread among them), and returns when every
// piece is done. Pieces are handed out in order to whichever thread is free, so a body must write
// only what belongs to its own indices. Runs on the calling thread alone when `parallel` is false,
// when called from inside such a loop or an OpenMP parallel region, or while another thread's loop
// has the team. The first exception thrown by a body is rethrown here once all threads stopped.
void ParallelFor(long count, long grain, bool parallel, const std::function<void(long begin, long end)>& body);
}
