#include "QlwFile.h"

#include "CFile.h"
#include "QLCrystal.h"
#include "Status.h"

#include <cerrno>
#include <new>
#include <optional>
#include <stdexcept>

bool CQlwFile::ReadFile(CQLPatternList* target, CDiffractionSettings* settings, CQlwDocWindowState* windowState) {
  m_readTarget = target;
  m_readSettings = settings;
  m_readWindowState = windowState;
  m_refusedCells = 0;
  const size_t before = target ? target->size() : 0;
  try {
    try {
      if (!IsOpen()) throw CLXXFileNotOpen(kLXSeverityMessage, 0, 629);
      CStatus status(1300u);
      const uint32_t count = IndexBlocks() ? GetBlockCount(false) : 0;
      for (uint32_t i = 0; i < count; ++i) ReadBlock(i);
      // Every structure refused for its cell: the file gave nothing, and the alerts said why.
      if (m_refusedCells > 0 && (!target || target->size() == before)) {
        Close();
        return false;
      }
    } catch (const std::bad_alloc&) {
      // A file that asks for more memory than there is must not take the program down.
      throw CLXXFile(kLXSeverityMessage, ENOMEM, __LINE__);
    } catch (const std::length_error&) {
      throw CLXXFile(kLXSeverityMessage, ENOMEM, __LINE__);
    }
  } catch (CLXException& e) {
    Close();
    e.Report();
    return false;
  }
  return true;
}

bool CQlwFile::AcceptCellOf(const CQLPattern& pattern) {
  const CQLCrystal* crystal = pattern.GetPatternType() == kPatternCrystal ? pattern.GetCrystal() : nullptr;
  if (!crystal || crystal->AcceptCell(pattern.m_title)) return true;
  ++m_refusedCells;
  return false;
}

bool CQlwFile::OpenForTest(const wchar_t* path, bool report, UINT throwSite) {
  LXFileOpenError error;
  if (Open(path, modeRead | shareDenyWrite, &error)) return true;
  if (report) {
    const CFileException e(CFileException::OsErrorToException(error.m_lOsError), error.m_lOsError, path);
    wchar_t text[512] = {};
    e.GetErrorMessage(text, 511);
    CLXXMFC(CString(text), kLXSeverityMessage, error.m_lOsError, throwSite).Report();
  }
  return false;
}

bool CQlwFile::WriteFile(CQLPatternList* source, CDiffractionSettings* settings, CQlwDocWindowState* windowState) {
  return WriteGuarded(source, settings, windowState, true);
}

bool CQlwFile::WriteGuarded(CQLPatternList* source, CDiffractionSettings* settings, CQlwDocWindowState* windowState,
                            bool withStatus) {
  try {
    if (!IsOpen()) throw CLXXFileNotOpen(kLXSeverityMessage, 0, 714);
    m_writeSource = source;
    m_writeSettings = settings;
    m_writeWindowState = windowState;
    {
      std::optional<CStatus> status;
      if (withStatus) status.emplace(1301u);
      WriteBlock(0);
    }
    // Only a complete file on the disk counts as written.
    CompleteWrite();
  } catch (CLXXFile& e) {
    Abort();
    e.Report();
    return false;
  } catch (...) {
    // Other errors are the caller's to report, but a half-written file never replaces the old one.
    Abort();
    throw;
  }
  return true;
}
