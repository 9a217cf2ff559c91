// Helpers shared by every test executable: fixture paths and the private registry folder.
#pragma once
#include <functional>
#include <string>

namespace qlwtest {
// Absolute path of a file under tests/data/.
std::string DataPath(const std::string& name);
// Absolute path of a file under ../shared/testdata/, or "" when that folder is absent.
std::string SharedTestDataPath(const std::string& relative);
// The temporary folder that this test process uses for its registry and runtime files.
std::string ScratchDir();
// The message line (second "|" field) of an alert text in the string table, in UTF-8; "" when
// the id has no text. Tests match alerts through it rather than copying the program's wording.
std::string AlertMessage(unsigned id);
// Polls the condition until it holds (true), for at most a minute (false): the bound only ends a
// test that would otherwise hang, so a slow or busy machine passes as a fast one does.
bool WaitUntil(const std::function<bool()>& condition);
}
