// Format arguments of exception and log texts: 64-bit numbers keep every bit, smaller ones and
// strings travel as C varargs expect.
#include <gtest/gtest.h>

#include <cstdint>
#include <type_traits>

#include "LXException.h"

using LXExceptionDetail::Arg;

static_assert(std::is_same_v<decltype(Arg(long{1})), long long>);
static_assert(std::is_same_v<decltype(Arg(uint64_t{1})), unsigned long long>);
static_assert(std::is_same_v<decltype(Arg(short{1})), int>);
static_assert(std::is_same_v<decltype(Arg(uint16_t{1})), int>);
static_assert(std::is_same_v<decltype(Arg(1u)), unsigned int>);
static_assert(std::is_same_v<decltype(Arg(1.5f)), double>);
static_assert(std::is_same_v<decltype(Arg(CString(L"x"))), const wchar_t*>);

namespace {
template <typename T>
concept Passable = requires(T v) { Arg(v); };
struct Record {
  int a;
};
}  // namespace
// Only numbers and strings may reach the varargs.
static_assert(!Passable<Record>);
static_assert(!Passable<void*>);

TEST(ExceptionArguments, SixtyFourBitValuesKeepTheirHighBits) {
  CString text;
  const long big = 0x123456789L;
  text.Format(L"%lld %s %d", Arg(big), Arg(CString(L"mid")), Arg(short{-3}));
  EXPECT_EQ(text, CString(L"4886718345 mid -3"));
}
