// Hex fixtures of tests/data and byte helpers for patching them.
#pragma once

#include "FilesTestUtil.h"
#include "HexBytes.h"

#include <cctype>
#include <cstring>
#include <stdexcept>
#include <string>

namespace filestest {
// The bytes of tests/data/NAME.
inline std::string LoadHex(const std::string& name) { return qlwtest::ParseHex(Slurp(qlwtest::DataPath(name))); }

// Little- and big-endian pieces for patching fixtures.
inline std::string LE32(uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; }
inline std::string BE32(uint32_t v) { return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; }

// The bytes with those at `at` overwritten by `with`.
inline std::string Patch(std::string bytes, size_t at, const std::string& with) { return bytes.replace(at, with.size(), with); }
}  // namespace filestest
