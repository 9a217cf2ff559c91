// The update check's GET, in the module libqlwfetch.so (NetworkFetch.cpp), which the program
// loads on its first check. A plain C entry, looked up by name.
#pragma once
#include <cstddef>
#include <string>

// What qlw_fetch_get answers: as LXUpdateCheckQt::Fetch.
enum QlwFetchResult { kQlwFetchOk = 0, kQlwFetchNotConnected = 1, kQlwFetchFailed = 2, kQlwFetchTooLarge = 3 };

// A GET of url with headerCount name and value pairs (headers[2i], headers[2i + 1]), in a local
// event loop; given up after stallMs without progress, cut off past maxBytes. body holds what
// was received.
extern "C" int qlw_fetch_get(const char* url, const char* const* headers, size_t headerCount, int stallMs,
                             size_t maxBytes, std::string* body);
using QlwFetchGet = int (*)(const char*, const char* const*, size_t, int, size_t, std::string*);
inline constexpr const char* kQlwFetchModule = "libqlwfetch.so";
inline constexpr const char* kQlwFetchEntry = "qlw_fetch_get";
