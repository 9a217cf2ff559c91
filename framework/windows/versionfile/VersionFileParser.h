// The update check's version file: the versions listed for one product and platform, read with
// irrXML through a callback over the bytes received (VersionFileParser.cpp, built as C++17).
#pragma once
#include <cstddef>
#include <string>
#include <vector>

namespace LXVersionFile {
// The texts of the "version" elements of <versionfile version="1"><productlist><product name=
// product><platform name=platform><versionlist>, names compared without regard to case. False
// when the file does not have that shape (a missing element or attribute, a version without text).
bool ReadVersionTexts(const char* data, size_t size, const std::string& product, const std::string& platform,
                      std::vector<std::string>& versions);
}  // namespace LXVersionFile
