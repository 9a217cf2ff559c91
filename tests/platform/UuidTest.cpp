// UUIDs: text form, field layout, fresh and time-based UUIDs.
#include "Uuid.h"

#include <gtest/gtest.h>

#include <string>

TEST(Uuid, TextFormRoundTripsThroughTheFields) {
  UUID u;
  wchar_t text[] = L"13DCA11D-78cb-484a-892b-10aa643d11ae";
  ASSERT_EQ(UuidFromStringW(text, &u), RPC_S_OK);
  EXPECT_EQ(u.Data1, 0x13dca11du);
  EXPECT_EQ(u.Data2, 0x78cb);
  EXPECT_EQ(u.Data3, 0x484a);
  const uint8_t tail[8] = {0x89, 0x2b, 0x10, 0xaa, 0x64, 0x3d, 0x11, 0xae};
  EXPECT_EQ(0, memcmp(u.Data4, tail, 8));
  RPC_WSTR back = nullptr;
  ASSERT_EQ(UuidToStringW(&u, &back), RPC_S_OK);
  EXPECT_EQ(std::wstring(back), L"13dca11d-78cb-484a-892b-10aa643d11ae");
  RpcStringFreeW(&back);
  EXPECT_EQ(back, nullptr);
}

TEST(Uuid, MalformedTextIsRefused) {
  for (const wchar_t* bad : {L"", L"13dca11d-78cb-484a-892b-10aa643d11a", L"{13dca11d-78cb-484a-892b-10aa643d11ae}",
                             L"13dca11d-78cb-484a-892b-10aa643d11ag", L"13dca11d 78cb 484a 892b 10aa643d11ae"}) {
    UUID u;
    std::wstring copy = bad;
    EXPECT_EQ(UuidFromStringW(copy.data(), &u), RPC_S_INVALID_STRING_UUID) << std::string(copy.begin(), copy.end());
  }
  UUID nil;
  nil.Data1 = 5;
  EXPECT_EQ(UuidFromStringW(nullptr, &nil), RPC_S_OK);  // a null text is the nil UUID
  RPC_STATUS status;
  EXPECT_TRUE(UuidIsNil(&nil, &status));
}

TEST(Uuid, CreatedUuidsAreDistinctAndCarryTheirVersion) {
  UUID a, b, seq1, seq2, nil;
  ASSERT_EQ(UuidCreate(&a), RPC_S_OK);
  ASSERT_EQ(UuidCreate(&b), RPC_S_OK);
  const RPC_STATUS s = UuidCreateSequential(&seq1);
  EXPECT_TRUE(s == RPC_S_OK || s == RPC_S_UUID_LOCAL_ONLY);
  UuidCreateSequential(&seq2);
  UuidCreateNil(&nil);
  RPC_STATUS status;
  EXPECT_FALSE(UuidEqual(&a, &b, &status));
  EXPECT_FALSE(UuidEqual(&seq1, &seq2, &status));
  EXPECT_FALSE(UuidIsNil(&a, &status));
  EXPECT_TRUE(UuidIsNil(&nil, &status));
  EXPECT_EQ(a.Data3 >> 12, 4);     // random
  EXPECT_EQ(seq1.Data3 >> 12, 1);  // time-based
  EXPECT_EQ(a.Data4[0] & 0xC0, 0x80);
  EXPECT_EQ(UuidCompare(&nil, &a, &status), -1);
  EXPECT_EQ(UuidCompare(&a, &a, &status), 0);
}
