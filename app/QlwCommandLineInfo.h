// The program's command line: the framework's, plus the live-link session ("LXS=", a UUID) and
// window ("LXW=", a 64-bit word), which lead its hand-over block.
#pragma once
#include "LXCommandLineInfo.h"
#include "Uuid.h"

class CQlwCommandLineInfo : public CLXCommandLineInfo {
 public:
  static constexpr size_t kPrefixSize = 24;

  using CLXCommandLineInfo::ParseParam;
  void ParseParam(const wchar_t* param, BOOL isSwitch, BOOL isLast) override;
  uint8_t* PackToBlock() const override;
  size_t GetBlockSize() const override { return kPrefixSize + GetFrameworkBlockSize(); }
  size_t GetBlockPrefixSize() const override { return kPrefixSize; }
  bool UnpackFromBlock(const uint8_t* block, size_t size) override;

  UUID m_sessionId{};
  uint64_t m_linkWindow = 0;
};
