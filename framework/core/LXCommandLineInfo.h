// The framework's command line: the class library's switches plus "DefTypes=", "HKCU",
// "SavePrefs", "Inst=" and "SID=", every file name given, and the flat block in which a second
// start hands its command line to the running instance.
#pragma once
#include <cstdint>
#include <vector>

#include "AfxApp.h"

class CLXCommandLineInfo : public CCommandLineInfo {
 public:
  // Hand-over block: fixed text fields of 260 UTF-16 units, zero-terminated.
  static constexpr size_t kTextField = 520;
  // The user field ends where the types text begins, so that no two fields overlap.
  static constexpr size_t kSidOffset = 3660, kSidField = 512;
  static constexpr size_t kTypesOffset = 4172, kTypesField = 512;
  static constexpr size_t kFileCountOffset = 4684;
  static constexpr size_t kFilesOffset = 4688;
  static constexpr int kLotsOfFiles = 20;

  CLXCommandLineInfo() = default;

  using CCommandLineInfo::ParseParam;
  void ParseParam(const wchar_t* param, BOOL isSwitch, BOOL isLast) override;
  void ParseParam(const char* param, BOOL isSwitch, BOOL isLast) override;

  // A new zero-filled block of GetBlockSize bytes (free with delete[]).
  virtual uint8_t* PackToBlock() const;
  // Whether every file name fits its field of the block whole (a longer one would be cut).
  bool FilesFitTheBlock() const;
  virtual size_t GetBlockSize() const;
  // Bytes that a derived command line puts in front of the framework block.
  virtual size_t GetBlockPrefixSize() const { return 0; }
  // Whether there is a file or command to process; sets m_strFileName to the next file.
  virtual bool NextFile();
  // The block must hold GetBlockSize bytes of the packed form; false when size is too small.
  virtual bool UnpackFromBlock(const uint8_t* block, size_t size);
  // Puts the cursor on the first file; asks before more than 20 files are opened.
  virtual void BeginFiles();

  // "crystal+cif": the lower-cased short names of the types' registry file-type ids.
  static CString GetDefTypesText(const std::vector<uint32_t>& fileTypes);
  // The file types that a "DefTypes=" value names, in the order of the document types.
  static std::vector<uint32_t> ParseDefTypes(const CString& value);

  bool m_chooseTypes = false;
  bool m_noTypes = true;
  bool m_perUser = false;
  bool m_savePrefs = false;
  int32_t m_callerProcessId = -1;
  CString m_callerExecutable;
  CString m_userSid;
  std::vector<uint32_t> m_fileTypes;
  std::vector<CString> m_files;
  size_t m_fileCursor = 0;
  bool m_filesDone = true;

 protected:
  // The framework block at block (GetBlockSize of the framework's own part).
  void PackFrameworkBlock(uint8_t* block) const;
  bool UnpackFrameworkBlock(const uint8_t* block, size_t size);
  size_t GetFrameworkBlockSize() const { return kFilesOffset + kTextField * m_files.size(); }

 private:
  void ParseTypesValue(CString value);
};
