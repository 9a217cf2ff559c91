// The crash report: on a fatal signal a handler on its own stack writes what failed (signal,
// address, thread, backtrace) to "Quillonographic_Crash_Info.dmp" in the documents folder's
// program folder (else the temporary folder), then lets the system's own handling follow.
#pragma once
#include "Win.h"

// Installs the handler once (the application base's constructor calls it first thing). Later
// attempts by any library to replace it for the fatal signals are refused.
void InstallCrashHandler();
// The file the handler writes; empty before installation or when no folder could be found.
CString GetCrashReportPath();
