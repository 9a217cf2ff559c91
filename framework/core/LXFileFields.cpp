// Binary fields of CLXFile: bytes, floats, skipped records and colour records.
#include "LXFile.h"

#include <cstring>

uint8_t CLXFile::ReadByte() {
  uint8_t v;
  ReadExact(1, &v);
  return v;
}

float CLXFile::ReadFloat() {
  uint32_t bits;
  ReadExact(4, &bits);
  if (!m_nativeOrder) bits = __builtin_bswap32(bits);
  float v;
  std::memcpy(&v, &bits, 4);
  return v;
}

void CLXFile::SkipRecord() {
  const auto n = static_cast<uint32_t>(ReadInt32());
  // A skip past the end would leave the position outside the file.
  RequireBytes(n);
  Seek(static_cast<int64_t>(n), current);
}

void CLXFile::WriteByte(uint8_t v) { Write(&v, 1); }

void CLXFile::WriteFloat(float v) {
  uint32_t bits;
  std::memcpy(&bits, &v, 4);
  if (!m_nativeOrder) bits = __builtin_bswap32(bits);
  Write(&bits, 4);
}

void CLXFile::WriteColorRecord(uint32_t tag, const LXGraphics::CColor& color) {
  WriteInt32BigEndian(static_cast<int32_t>(tag));
  WriteInt32(16);
  WriteColorRGBA(color.GetValue());
}

void CLXFile::WriteColorRGBA(uint32_t argb) {
  const float k = 255.0f;
  WriteFloat(static_cast<float>((argb >> 16) & 0xFF) / k);
  WriteFloat(static_cast<float>((argb >> 8) & 0xFF) / k);
  WriteFloat(static_cast<float>(argb & 0xFF) / k);
  WriteFloat(static_cast<float>(argb >> 24) / k);
}

uint64_t CLXFile::BytesRemaining() const {
  const uint64_t length = GetLength(), position = GetPosition();
  return position < length ? length - position : 0;
}
