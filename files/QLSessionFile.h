// The session file: window state, settings and the pattern tree as tagged, length-prefixed
// records (always little-endian) with a CRC trailer. Writing is in QLSessionWrite.cpp, the
// block readers in QLSessionRead.cpp; the legacy form is in QLSessionPre6File.h.
#pragma once

#include "QlwDocWindowState.h"
#include "QlwFile.h"

#include <cstdint>

class CQLCrystal;
class CQLCrystalPattern;
class CQLObservedPattern;

LX_DECLARE_EXCEPTION(CLXXFileObsoleteMac5, CLXXQLFile, 22842);
LX_DECLARE_EXCEPTION(CLXXFileSessionDataExpected, CLXXQLFile, 22852);
LX_DECLARE_EXCEPTION(CLXXFileSessionNumPatterns, CLXXQLFile, 22853);
LX_DECLARE_EXCEPTION(CLXXFileSessionPatDataExpected, CLXXQLFile, 22854);
LX_DECLARE_EXCEPTION(CLXXFileSessionPlotDataExpected, CLXXQLFile, 22855);
LX_DECLARE_EXCEPTION(CLXXFileSessionUnknownPattern, CLXXQLFile, 22856);
LX_DECLARE_EXCEPTION(CLXXFileSessionADPMismatch, CLXXQLFile, 22851);
LX_DECLARE_EXCEPTION(CLXXFileSessionWinDataExpected, CLXXQLFile, 22860);

class CQLSessionFile : public CQlwFile {
 public:
  static constexpr uint32_t kFormatVersion = 6;
  // Mixtures nest no deeper than this; a deeper file is refused rather than exhausting the stack.
  static constexpr int kMaxNesting = 32;

  CQLSessionFile() { m_fileType = 10; }

  // QLSF naming the program, then VERS, PLAT and FVER of at least 6.
  static bool TestFile(const wchar_t* path, uint32_t& typeCode);
  // reportFailedOpen false: a file that cannot be opened answers no without telling the user.
  static bool TestFile(const wchar_t* path, uint32_t& typeCode, bool reportFailedOpen);

  bool CanRead() const override { return true; }
  bool CanWrite() const override { return true; }
  bool IsBigEndian() const override { return false; }
  void ReadBlock(uint32_t index) override;
  void WriteBlock(uint32_t index) override;

  // The graphics layer's font family for a font name (ResolveFontFamilyName); the plot font of a
  // session saved on the Mac platform is replaced by it. The program sets it at start-up.
  using FontFamilyResolver = bool (*)(const CString& name, CString& family);
  static void SetFontFamilyResolver(FontFamilyResolver resolver);

  uint32_t ProgramVersion() const { return m_programVersion; }
  uint32_t FormatVersion() const { return m_formatVersion; }
  bool IsFromWindows() const { return m_platform != 0; }

 private:
  // ----- writing -----
  uint64_t BeginRecord(uint32_t tag);  // the length is patched by EndRecord
  void EndRecord(uint64_t start);
  void WriteRecordHeader(uint32_t tag, uint32_t length);
  void WriteBool(uint32_t tag, bool value);
  void WriteByteRecord(uint32_t tag, uint32_t value);
  void WriteU32(uint32_t tag, uint32_t value);
  void WriteFloatRecord(uint32_t tag, double value);
  void WriteString(uint32_t tag, const CString& text);
  void WriteColour(uint32_t tag, uint32_t argb);
  void WriteWindowState(const CQlwDocWindowState& state);
  void WriteSettings(const CDiffractionSettings& settings);
  void WritePatternList(const CQLPatternList& list);
  void WritePattern(const CQLPattern& pattern);
  void WriteBase(const CQLPattern& pattern);
  void WriteCrystal(const CQLCrystal& crystal);
  void WriteSites(const CQLCrystal& crystal);
  void WriteObserved(const CQLObservedPattern& pattern);

  // ----- reading -----
  void ReadHeader();
  // Where the trailer stands, right after STOP, found by stepping over the top-level records by
  // their lengths; false when they do not lead to STOP.
  bool FindTrailer(uint64_t& at);
  uint32_t ReadTag();
  // Reads the records of a block of `length` bytes. handler(tag, length) reads a record it
  // knows and answers true, or false to have it skipped. A record must end exactly where its
  // length says and inside its block; anything else is a file error.
  template <class Handler>
  void ReadRecords(uint64_t length, Handler&& handler);
  // Fixed-size values: the record's length must equal the value's size.
  bool GetBool(uint32_t length);
  uint8_t GetByte(uint32_t length);
  uint32_t GetU32(uint32_t length);
  float GetFloat(uint32_t length);
  // A single-precision value typed as a decimal (a wavelength): widened to the double of its
  // shortest decimal, so that 1.5405 saved comes back as 1.5405 and not 1.54050004.
  double GetTypedDecimal(uint32_t length);
  uint32_t GetColour(uint32_t length);
  CString GetString(uint32_t length);
  // Throws CLXXFileInvalid unless count items of itemSize bytes fit in what is left of length.
  void NeedItems(uint64_t count, uint64_t itemSize, uint64_t length, uint64_t used);

  void ReadWindowState(uint32_t length, CQlwDocWindowState& state);
  void ReadSettings(uint32_t length, CDiffractionSettings& settings);
  void ReadPatternList(uint64_t length, CQLPatternList& list, int depth);
  void ReadBase(uint32_t length, CQLPattern& pattern, int depth);
  void ReadCrystal(uint32_t length, CQLCrystal& crystal);
  void ReadOperators(uint32_t length, CQLCrystal& crystal);
  void ReadReflexions(uint32_t length, CQLCrystal& crystal);
  void ReadSites(uint32_t length, CQLCrystal& crystal);
  bool ReadObservedRecord(uint32_t tag, uint32_t length, CQLObservedPattern& pattern);
};
