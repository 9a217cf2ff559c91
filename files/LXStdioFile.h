// Text files: a C stream, with a read-only file also mapped whole so that the parsers'
// character reads are memory loads. Instantiated over CQlwFile in LXStdioFile.cpp.
#pragma once

#include "QlwFile.h"

#include <cstdio>
#include <string>

template <class Base>
class CLXStdioFile : public Base {
 public:
  static constexpr uint64_t kStreamBufferSize = 0x500000;

  CLXStdioFile() = default;
  ~CLXStdioFile() override;

  bool Open(const wchar_t* path, uint32_t flags, LXFileOpenError* error = nullptr) override;
  void Close() override;
  void Abort() override;
  // Throws CLXXFile when the stream has failed (a full disk shows here or in the sync).
  void Flush() override;
  uint64_t GetLength() const override;
  void SetOpenFlags(uint32_t flags) override { m_stdioOpenFlags = flags; }
  uint32_t GetOpenFlags() const override { return m_stdioOpenFlags; }
  virtual void BuildModeString();

  bool IsStreamOpen() const { return m_stream != nullptr; }
  bool IsMappedView() const { return m_mapped; }
  FILE* Stream() const { return m_stream; }
  const std::wstring& ModeString() const { return m_mode; }

  // Character reading for the text parsers. NextChar answers 0..255, or -1 at end of file.
  // Defined here so that the parsers' loops inline them: a call per character was a sixth of
  // reading a large file.
  int NextChar() {
    if (m_mapped) {
      if (m_cursor > m_last) return -1;
      return *m_cursor++;
    }
    return m_stream ? std::getc(m_stream) : -1;
  }
  // Steps back over the character last read; pushing back end of file does nothing, so a
  // parser that peeked at the end never re-reads the last real byte.
  void PushBack(int c) {
    if (c < 0) return;
    if (m_mapped) {
      if (m_cursor > m_view) --m_cursor;
    } else if (m_stream) {
      std::ungetc(c, m_stream);
    }
  }
  long Position() const {
    if (m_mapped) return static_cast<long>(m_cursor - m_view);
    return m_stream ? std::ftell(m_stream) : 0;
  }
  int SeekTo(long offset) {
    if (m_mapped) {
      if (offset < 0 || static_cast<uint64_t>(offset) >= m_length) {
        m_cursor = m_last + 1;
        return offset == static_cast<long>(m_length) ? 0 : -1;
      }
      m_cursor = m_view + offset;
      return 0;
    }
    return m_stream ? std::fseek(m_stream, static_cast<int32_t>(offset), SEEK_SET) : -1;
  }
  // Appends the characters before the first for which stop(c) holds to out, leaving that one
  // unread; returns it, or -1 at end of file. Over a mapped file a run is copied at once.
  template <class Stop>
  int AppendUntil(std::string& out, Stop stop) {
    if (m_mapped) {
      const uint8_t* p = m_cursor;
      while (p <= m_last && !stop(static_cast<int>(*p))) ++p;
      out.append(reinterpret_cast<const char*>(m_cursor), static_cast<size_t>(p - m_cursor));
      m_cursor = const_cast<uint8_t*>(p);
      return p <= m_last ? static_cast<int>(*p) : -1;
    }
    for (;;) {
      const int c = NextChar();
      if (c < 0) return -1;
      if (stop(c)) {
        PushBack(c);
        return c;
      }
      out += static_cast<char>(c);
    }
  }
  // Gives the pages of a mapped file back to the system: read again from the file when next
  // touched, so a parser that is done with a large file's text does not hold it beside its results.
  void ReleaseViewPages();
  void SkipLine();
  // Reads one line without its end (CR, LF or CR-LF) into buffer, keeping at most size - 1
  // bytes and dropping the rest of the line. Returns the bytes kept, or -1 at end of file.
  int ReadLine(char* buffer, int size);
  int ReadLine(std::string& line, int size);

 protected:
  // Closes the stream and frees the view and buffer, without finishing a write.
  void Release();

  FILE* m_stream = nullptr;
  HANDLE m_mapping = nullptr;
  bool m_mapped = false;
  uint8_t* m_view = nullptr;
  uint64_t m_length = 0;
  uint8_t* m_last = nullptr;
  uint8_t* m_cursor = nullptr;
  uint32_t m_stdioOpenFlags = 0;
  std::wstring m_mode;
  char* m_streamBuffer = nullptr;
};

extern template class CLXStdioFile<CQlwFile>;
