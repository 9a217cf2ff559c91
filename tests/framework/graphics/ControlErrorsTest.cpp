// The controls' error classes: each is caught by its family's base and keeps its own texts.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "LXEdit.h"
#include "SubEditList.h"

namespace {
// Throws through `thrower` and catches by Family; the message id and the message of what was
// caught, or 0 and nothing when the family did not catch it.
template <class Family>
std::pair<UINT, std::wstring> CatchAs(const std::function<void()>& thrower) {
  try {
    thrower();
  } catch (const Family& e) {
    return {e.GetMessageId(), e.GetExplanation().Str()};
  } catch (...) {
  }
  return {0u, L""};
}
}  // namespace

TEST(ControlErrors, FamilyMembersAreCaughtByTheirFamilyWithTheirOwnTexts) {
  const auto range = [] { throw CLXXFloatRange(kLXSeverityMessage, 0, __LINE__, CString(L"0.0"), CString(L"10.0")); };
  const auto syntax = [] { throw CLXXFloatSyntax(kLXSeverityMessage, 0, __LINE__); };
  const auto listInit = [] { throw CLXXSubEditInit(kLXSeverityMessage, 0, __LINE__); };
  struct Case {
    const char* name;
    std::pair<UINT, std::wstring> caught;
    UINT id;
    const wchar_t* explanation;
  };
  const Case cases[] = {
      {"range", CatchAs<CLXXFloatEdit>(range), 21181,
       L"Please enter a value between 0.0 and 10.0. The previous value has been restored."},
      {"syntax", CatchAs<CLXXFloatEdit>(syntax), 21182,
       L"You entered one or more invalid characters. The previous value has been restored."},
      {"list", CatchAs<CLXXSubEditList>(listInit), 21481,
       L"The requested operation failed because a list control could not be initialised. Please check that the "
       L"application was correctly installed and try again."},
      {"list as product", CatchAs<CLXXProduct>(listInit), 21481, nullptr},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.caught.first, c.id) << c.name;
    if (c.explanation) EXPECT_EQ(c.caught.second, c.explanation) << c.name;
  }
}
