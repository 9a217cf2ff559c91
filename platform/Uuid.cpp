// UUIDs on libuuid: uuid_t is the big-endian byte form, GUID keeps its first three fields as numbers.
#include "Uuid.h"

#include "Utf16.h"

#include <cstdlib>
#include <cstring>
#include <uuid/uuid.h>

namespace {

void FromBytes(const uuid_t bytes, UUID* out) {
  out->Data1 = (uint32_t(bytes[0]) << 24) | (uint32_t(bytes[1]) << 16) | (uint32_t(bytes[2]) << 8) | bytes[3];
  out->Data2 = static_cast<uint16_t>((bytes[4] << 8) | bytes[5]);
  out->Data3 = static_cast<uint16_t>((bytes[6] << 8) | bytes[7]);
  memcpy(out->Data4, bytes + 8, 8);
}

void ToBytes(const UUID* in, uuid_t bytes) {
  bytes[0] = static_cast<unsigned char>(in->Data1 >> 24);
  bytes[1] = static_cast<unsigned char>(in->Data1 >> 16);
  bytes[2] = static_cast<unsigned char>(in->Data1 >> 8);
  bytes[3] = static_cast<unsigned char>(in->Data1);
  bytes[4] = static_cast<unsigned char>(in->Data2 >> 8);
  bytes[5] = static_cast<unsigned char>(in->Data2);
  bytes[6] = static_cast<unsigned char>(in->Data3 >> 8);
  bytes[7] = static_cast<unsigned char>(in->Data3);
  memcpy(bytes + 8, in->Data4, 8);
}

const UUID kNil = {};

}  // namespace

RPC_STATUS UuidCreate(UUID* uuid) {
  if (!uuid) return ERROR_INVALID_PARAMETER;
  uuid_t bytes;
  uuid_generate_random(bytes);
  FromBytes(bytes, uuid);
  return RPC_S_OK;
}

RPC_STATUS UuidCreateSequential(UUID* uuid) {
  if (!uuid) return ERROR_INVALID_PARAMETER;
  uuid_t bytes;
  // uuid_generate_time_safe answers -1 when it could not guarantee uniqueness across processes.
  const int safe = uuid_generate_time_safe(bytes);
  FromBytes(bytes, uuid);
  return safe == 0 ? RPC_S_OK : RPC_S_UUID_LOCAL_ONLY;
}

RPC_STATUS UuidCreateNil(UUID* uuid) {
  if (!uuid) return ERROR_INVALID_PARAMETER;
  *uuid = kNil;
  return RPC_S_OK;
}

RPC_STATUS UuidFromStringW(RPC_WSTR text, UUID* uuid) {
  if (!uuid) return ERROR_INVALID_PARAMETER;
  if (!text) {
    *uuid = kNil;
    return RPC_S_OK;
  }
  const std::string narrow = qlw::ToUtf8(text);
  uuid_t bytes;
  if (narrow.size() != 36 || uuid_parse(narrow.c_str(), bytes) != 0) return RPC_S_INVALID_STRING_UUID;
  FromBytes(bytes, uuid);
  return RPC_S_OK;
}

RPC_STATUS UuidToStringW(const UUID* uuid, RPC_WSTR* text) {
  if (!uuid || !text) return ERROR_INVALID_PARAMETER;
  uuid_t bytes;
  ToBytes(uuid, bytes);
  char narrow[37];
  uuid_unparse_lower(bytes, narrow);
  auto* out = static_cast<wchar_t*>(malloc(sizeof(wchar_t) * 37));
  if (!out) return ERROR_OUTOFMEMORY;
  for (int i = 0; i < 37; ++i) out[i] = static_cast<wchar_t>(narrow[i]);
  *text = out;
  return RPC_S_OK;
}

RPC_STATUS RpcStringFreeW(RPC_WSTR* text) {
  if (text) {
    free(*text);
    *text = nullptr;
  }
  return RPC_S_OK;
}

int UuidIsNil(const UUID* uuid, RPC_STATUS* status) {
  if (status) *status = RPC_S_OK;
  return !uuid || *uuid == kNil;
}

int UuidEqual(const UUID* a, const UUID* b, RPC_STATUS* status) {
  return UuidCompare(a, b, status) == 0;
}

int UuidCompare(const UUID* a, const UUID* b, RPC_STATUS* status) {
  if (status) *status = RPC_S_OK;
  const UUID& x = a ? *a : kNil;
  const UUID& y = b ? *b : kNil;
  uuid_t bx, by;
  ToBytes(&x, bx);
  ToBytes(&y, by);
  const int c = memcmp(bx, by, 16);
  return c < 0 ? -1 : c > 0 ? 1 : 0;
}
