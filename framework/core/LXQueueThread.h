// Starting and ending the framework's threads that own a message queue (the status manager in
// StatusMgr.h, the watchdog in Watchdog.h).
#pragma once
#include "Win.h"

#include <functional>
#include <thread>

// Starts run on thread and answers its id once its message queue exists, so that a message posted
// to it at once is not lost.
DWORD StartQueueThread(std::thread& thread, std::function<void()> run);
// Joins thread when it ends within timeout ms and answers true. A stuck thread is left running,
// still using thread: the object that holds it must then be left alive.
bool JoinThreadWithin(std::thread& thread, DWORD timeout);
