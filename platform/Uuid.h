// UUIDs (GUIDs) in the platform's layout, made and parsed with libuuid.
#pragma once
#include "WinError.h"
#include "WinTypes.h"

#ifndef QLW_GUID_DEFINED
#define QLW_GUID_DEFINED
// Data1..Data3 are numbers in the machine's order; Data4 is a byte array. The text form is
// "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx".
struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};
typedef GUID UUID;
typedef GUID CLSID;
typedef GUID IID;
inline bool operator==(const GUID& a, const GUID& b) {
  return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
         __builtin_memcmp(a.Data4, b.Data4, 8) == 0;
}
inline bool operator!=(const GUID& a, const GUID& b) { return !(a == b); }
inline bool IsEqualGUID(const GUID& a, const GUID& b) { return a == b; }
#endif

typedef LONG RPC_STATUS;
typedef wchar_t* RPC_WSTR;

#define RPC_S_OK 0
#define RPC_S_INVALID_STRING_UUID 1705
#define RPC_S_UUID_LOCAL_ONLY 1824
#define RPC_S_UUID_NO_ADDRESS 1739

RPC_STATUS UuidCreate(UUID* uuid);
// Time-based; RPC_S_OK, or RPC_S_UUID_LOCAL_ONLY when no hardware address could be used.
RPC_STATUS UuidCreateSequential(UUID* uuid);
RPC_STATUS UuidCreateNil(UUID* uuid);
// Accepts the text form without braces, either case; a null text gives the nil UUID.
RPC_STATUS UuidFromStringW(RPC_WSTR text, UUID* uuid);
// Lower-case text form, freed with RpcStringFreeW.
RPC_STATUS UuidToStringW(const UUID* uuid, RPC_WSTR* text);
RPC_STATUS RpcStringFreeW(RPC_WSTR* text);
int UuidIsNil(const UUID* uuid, RPC_STATUS* status);
int UuidEqual(const UUID* a, const UUID* b, RPC_STATUS* status);
// -1, 0 or 1 in the order of the fields.
int UuidCompare(const UUID* a, const UUID* b, RPC_STATUS* status);

#define UuidFromString UuidFromStringW
#define UuidToString UuidToStringW
#define RpcStringFree RpcStringFreeW
