#include "QlwFile.h"

#include "Status.h"

#include <cerrno>
#include <new>
#include <stdexcept>

bool CQlwFile::ReadFile(CQLPatternList* target, CDiffractionSettings* settings, CQlwDocWindowState* windowState) {
  m_readTarget = target;
  m_readSettings = settings;
  m_readWindowState = windowState;
  try {
    try {
      if (!IsOpen()) throw CLXXFileNotOpen(kLXSeverityMessage, 0, 629);
      CStatus status(1300u);
      const uint32_t count = IndexBlocks() ? GetBlockCount(false) : 0;
      for (uint32_t i = 0; i < count; ++i) ReadBlock(i);
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

bool CQlwFile::WriteFile(CQLPatternList* source, CDiffractionSettings* settings, CQlwDocWindowState* windowState) {
  try {
    if (!IsOpen()) throw CLXXFileNotOpen(kLXSeverityMessage, 0, 714);
    m_writeSource = source;
    m_writeSettings = settings;
    m_writeWindowState = windowState;
    CStatus status(1301u);
    WriteBlock(0);
  } catch (CLXXFile& e) {
    e.Report();
    return false;
  }
  return true;
}
