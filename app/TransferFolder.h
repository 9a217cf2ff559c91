// The folders where a structure handed to the visualiser waits for it: one new folder per
// hand-over under the user's runtime folder, else the cache folder. They outlive the program (the
// visualiser reads the file after the hand-over), so start-up clears those older than a day.
#pragma once
#include <ctime>
#include <vector>

#include "CString.h"
#include "Uuid.h"

namespace TransferFolder {
constexpr std::time_t kMaxAgeSeconds = 24 * 60 * 60;

// A new time-based UUID; false on any failure other than "local only", and for the nil UUID,
// which every failed hand-over would share.
bool NewId(UUID& id);
// The transfer roots, best first: "$XDG_RUNTIME_DIR/quillonographic/Xfer", then
// "$XDG_CACHE_HOME/quillonographic/Xfer" ("~/.cache" when that is unset).
std::vector<CString> Roots();
// A new, empty folder ROOT/<uuid> of this user only (mode 0700), in the first root that can be
// made or is a folder of this user. False when no UUID or no such folder could be had.
bool Create(CString& folder);
// Removes this user's folders in the roots last changed more than kMaxAgeSeconds before now.
void RemoveStale(std::time_t now);
}  // namespace TransferFolder
