// Framework file base: a file served from a mapped view or an aligned buffer, with byte order,
// block list, record helpers, the "CRCK" trailer and the extension-to-type table.
#pragma once

#include "Win.h"
#include "LXColor.h"
#include "LXException.h"
#include "LXSyncRect.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Errors of the file base. CLXXFile itself is declared with the framework's exceptions.
LX_DECLARE_EXCEPTION(CLXXFileEOF, CLXXFile, 21090);
// Errors of the binary readers (fields are in LXFileFields.cpp).
LX_DECLARE_EXCEPTION(CLXXFileBadHeader, CLXXFile, 21084);
LX_DECLARE_EXCEPTION(CLXXFileBadVersion, CLXXFile, 21085);
LX_DECLARE_EXCEPTION(CLXXFileCRCFailed, CLXXFile, 21088);
LX_DECLARE_EXCEPTION(CLXXFileInvalid, CLXXFile, 21093);
LX_DECLARE_EXCEPTION(CLXXFileMapError, CLXXFile, 21095);
LX_DECLARE_EXCEPTION(CLXXFileObsolete2, CLXXFile, 21105);
LX_DECLARE_EXCEPTION(CLXXFileObsolete5, CLXXFile, 21106);
LX_DECLARE_EXCEPTION(CLXXFileObsolete7, CLXXFile, 21107);
LX_DECLARE_EXCEPTION(CLXXFileTooNew, CLXXFile, 21115);
LX_DECLARE_EXCEPTION(CLXXFileUnsupportedType, CLXXFile, 21117);

// Where a failed open says why: the operating-system error and the path.
struct LXFileOpenError {
  int m_lOsError = 0;
  CString m_strFileName;
};

class CLXFile {
 public:
  // Open flags, with the values of the class library's file class.
  enum OpenFlags : uint32_t {
    modeRead = 0x0000,
    modeWrite = 0x0001,
    modeReadWrite = 0x0002,
    shareDenyWrite = 0x0020,
    modeCreate = 0x1000,
    modeNoTruncate = 0x2000,
    typeText = 0x4000,
    typeBinary = 0x8000,
  };
  enum SeekPosition { begin = 0, current = 1, end = 2 };

  // One data block of a file: where it starts and whether it counts (holds a structure).
  struct BlockRecord {
    uint32_t m_start = 0;
    uint8_t m_flag = 0;
  };

  CLXFile();
  virtual ~CLXFile();
  CLXFile(const CLXFile&) = delete;
  CLXFile& operator=(const CLXFile&) = delete;

  virtual uint64_t GetPosition() const;
  virtual CString GetFileName() const;
  virtual CString GetFileTitle() const;
  virtual CString GetFilePath() const;
  virtual void SetFilePath(const wchar_t* path);
  virtual bool Open(const wchar_t* path, uint32_t flags, LXFileOpenError* error = nullptr);
  virtual CLXFile* Duplicate() const { return nullptr; }
  virtual uint64_t Seek(int64_t offset, uint32_t from);
  virtual void SetLength(uint64_t length);
  virtual uint64_t GetLength() const;
  virtual uint32_t Read(void* dst, uint32_t count);
  virtual void Write(const void* src, uint32_t count);
  virtual void LockRange(uint64_t, uint64_t);
  virtual void UnlockRange(uint64_t, uint64_t);
  virtual void Abort();
  virtual void Flush();
  virtual void Close();
  virtual bool CanRead() const { return true; }
  virtual bool CanWrite() const { return false; }
  virtual uint32_t GetBlockCount(bool all) const;
  virtual uint32_t GetFileType() const { return m_fileType; }
  virtual uint32_t GetOpenFlags() const { return m_openFlags; }
  virtual void SetOpenFlags(uint32_t flags) { m_openFlags = flags; }
  virtual bool IsBigEndian() const { return false; }
  virtual void ReadBlock(uint32_t index) = 0;
  virtual void WriteBlock(uint32_t index) = 0;
  virtual bool IndexBlocks() { return true; }
  virtual uint32_t CountBlocks(const wchar_t* path);
  virtual void ParseBlock() {}
  virtual bool CheckCRC();
  virtual void AppendCRC();
  // Four signed 16-bit values top, left, bottom, right in the file's byte order.
  virtual void ReadRect(LXGraphics::CSyncRect& out);

  bool IsOpen() const { return m_hFile != INVALID_HANDLE_VALUE; }
  bool IsMapped() const { return m_mapped; }
  // True while the open file is a new one beside the file it is to replace.
  bool IsWritingBeside() const { return !m_besidePath.IsEmpty(); }

  // Ends a write: the buffered bytes go out, the file is synced to the disk once and, when it
  // was written beside the file it replaces, renamed over that one. Throws CLXXFile when any
  // step fails; the old file is then still in place.
  void CompleteWrite();

  // Record helpers shared by the binary formats.
  void ReadExact(uint64_t count, void* dst);
  uint64_t ReadMacString(uint64_t count, wchar_t* out);
  uint64_t ReadUTF16String(uint64_t count, CString& out);
  uint64_t ReadUTF8String(uint64_t count, CString& out);
  uint64_t WriteUTF8String(const CString& text);
  uint32_t PatchBlockLength(uint64_t start);
  uint32_t ComputeCRC(bool excludeTrailer);
  // CRC of the first `length` bytes of the file.
  uint32_t ComputeCRCOf(uint64_t length);
  // For a format that knows where its data end: true when the file ends at `at`, or when exactly
  // one "CRCK" trailer follows there and its CRC matches the bytes before it.
  bool CheckCRCAt(uint64_t at);
  void ReadDoubleRect(LXGraphics::CSyncRect& out);
  void WriteDoubleRect(const LXGraphics::CSyncRect& rect);
  void ReadColor(LXGraphics::CColor& out);

  // Single values in the file's byte order. Tags and magics use the big-endian pair, so their
  // four characters stay first character first whatever the order.
  uint16_t ReadUInt16();
  int32_t ReadInt32();
  int32_t ReadInt32BigEndian();
  double ReadDouble();
  void WriteUInt16(uint16_t v);
  void WriteInt32(int32_t v);
  void WriteInt32BigEndian(int32_t v);
  void WriteDouble(double v);
  // Binary fields of the program's formats, in the file's byte order.
  uint8_t ReadByte();
  float ReadFloat();
  // A 32-bit length n, then n bytes skipped.
  void SkipRecord();
  void WriteByte(uint8_t v);
  void WriteFloat(float v);
  // Tag, the length 16, then WriteColorRGBA of the colour.
  void WriteColorRecord(uint32_t tag, const LXGraphics::CColor& color);
  // Four floats red, green, blue, alpha, each its 8-bit channel / 255.
  void WriteColorRGBA(uint32_t argb);
  // Bytes between the position and the end of the file.
  uint64_t BytesRemaining() const;

  // CRC-32 with polynomial 0x04C11DB7, most significant bit first, initial 0xFFFFFFFF, final
  // inversion. `crc` carries a running value between calls (start with 0xFFFFFFFF, invert at the end).
  static uint32_t UpdateCRC(uint32_t crc, const uint8_t* data, size_t size);

  const std::vector<BlockRecord>& Blocks() const { return m_blocks; }
  uint32_t CurrentBlock() const { return m_currentBlock; }
  void SetCurrentBlock(uint32_t i) { m_currentBlock = i; }
  const CString& BlockName() const { return m_blockName; }
  void SetTitle(const CString& title) { m_title = title; }
  bool IsNativeOrder() const { return m_nativeOrder; }

 protected:
  // What the class library's file keeps: the platform handle, close-on-delete and the path.
  HANDLE m_hFile = INVALID_HANDLE_VALUE;
  bool m_bCloseOnDelete = false;
  CString m_strFileName;
  // A file opened to replace another is written under a new name beside it (m_besidePath) and
  // renamed over m_replacedPath only when complete, so a failed write leaves the old file whole.
  CString m_besidePath;
  CString m_replacedPath;
  bool m_unsynced = false;  // written since the last sync to the disk

  uint32_t m_fileType = 0;
  char m_fourCC[4] = {' ', ' ', ' ', ' '};
  bool m_nativeOrder = true;
  std::map<uint32_t, uint64_t> m_chunkMap;
  std::vector<BlockRecord> m_blocks;
  uint32_t m_currentBlock = 0;
  CString m_blockName;
  uint8_t* m_scratch = nullptr;
  uint64_t m_scratchCapacity = 0;
  CString m_title;
  uint32_t m_warnings = 0;  // counter that readers use for their warnings
  uint32_t m_programVersion = 0;
  uint32_t m_formatVersion = 0;
  uint8_t m_platform = 1;

  // The path to open for path and flags: a new file beside path when the open replaces a file
  // (write with create and truncation), else path itself. False with error filled on failure.
  bool PrepareWriteBeside(const wchar_t* path, uint32_t flags, CString& openPath, LXFileOpenError* error);
  // Deletes an unfinished file written beside the one it was to replace.
  void DiscardWriteBeside();
  void SyncToDisk();
  void CloseMapping();
  void ResetWindow();
  // Throws CLXXFileEOF when fewer than count bytes are left after the position.
  void RequireBytes(uint64_t count);
  void AcquireBuffer(uint64_t size);
  uint64_t PlatformPosition() const;
  uint64_t PlatformLength() const;
  uint32_t PlatformRead(void* dst, uint64_t count);
  void PlatformWrite(const void* src, uint64_t count);
  uint64_t PlatformSeek(int64_t offset, int from);
  void PlatformClose();
  void PlatformSetLength(uint64_t length);
  [[noreturn]] static void ThrowLastError(UINT line);

 private:
  uint8_t* m_buffer = nullptr;
  uint64_t m_capacity = 0;
  uint64_t m_valid = 0;
  uint64_t m_bufferPos = 0;
  uint8_t* m_cursor = nullptr;
  HANDLE m_mapping = nullptr;
  bool m_mapped = false;
  bool m_dirty = false;  // the window holds bytes not yet written to the file
  uint32_t m_openFlags = 0;
};

// The bits unchanged when native, else their eight bytes reversed.
uint64_t SwapDoubleBytes(uint64_t bits, bool native);

// The extension table: one file-type code per known extension (several codes may share one).
bool FileTypesFromExtension(const CString& extension, std::vector<uint32_t>& codes);
bool GetFileTypeExtensions(uint32_t code, std::vector<CString>& extensions);
bool GetFileTypeExtension(uint32_t code, CString& out);
bool IsMoleculeFileType(uint32_t code);
