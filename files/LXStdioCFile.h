// The text-file template over the class library's plain CFile: a C stream, a read-only file
// mapped whole, a large stream buffer otherwise. The scattering-factor table file uses it;
// structure and data files use the instance over CQlwFile (LXStdioFile.h).
#pragma once

#include "CFile.h"
#include "LXStdioFile.h"

#include <cstdio>

template <>
class CLXStdioFile<CFile> : public CFile {
 public:
  static constexpr uint64_t kStreamBufferSize = 0x500000;

  CLXStdioFile() = default;
  // Creates or truncates path for writing text; throws CLXXMFC with the class library's message.
  explicit CLXStdioFile(const wchar_t* path);
  ~CLXStdioFile() override;

  BOOL Open(LPCWSTR path, UINT flags, CFileException* error = nullptr) override;
  ULONGLONG GetLength() const override;
  void Flush() override;
  void Close() override;
  void Abort() override { Close(); }
  virtual UINT GetOpenFlags() const { return m_openFlags; }
  virtual void SetOpenFlags(UINT flags) { m_openFlags = flags; }
  virtual void BuildModeString();

  FILE* Stream() const { return m_stream; }
  bool IsMappedView() const { return m_mapping != nullptr; }
  const CString& ModeString() const { return m_mode; }
  uint64_t RegionSize() const { return m_regionSize; }

 private:
  FILE* m_stream = nullptr;
  HANDLE m_mapping = nullptr;
  uint8_t* m_view = nullptr;
  uint64_t m_regionSize = 0;
  uint8_t* m_regionEnd = nullptr;
  uint8_t* m_regionCursor = nullptr;
  UINT m_openFlags = 0;
  CString m_mode;
  char* m_streamBuffer = nullptr;
};
