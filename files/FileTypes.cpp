#include "FileTypes.h"

#include "QLCIFFile.h"
#include "QLCrystalFile.h"
#include "QLDatasetFile.h"
#include "QLLXTXFile.h"
#include "QLRigakuFile.h"
#include "QLListingFile.h"
#include "QLProfileFile.h"
#include "QLPre5CrystalFile.h"
#include "QLSessionFile.h"
#include "QLSessionPre6File.h"
#include "QLPattern.h"

#include <cstdio>
#include <new>

namespace {
// As a candidate of its extension the x-y test still defers to the stricter CIF test, so that a
// CIF saved as .txt is not taken for x-y data.
bool TestDatasetCandidate(const wchar_t* path, uint32_t& typeCode) {
  uint32_t cif = 0;
  if (CQLCIFFile::TestFile(path, cif)) {
    typeCode = 0;
    return false;
  }
  return CQLDatasetFile::TestFile(path, typeCode);
}

using TestFn = bool (*)(const wchar_t*, uint32_t&);

// The content test of a type code, or null when that format has no test in this program.
TestFn TestForType(uint32_t code) {
  switch (code) {
    case kFileTypeLXTX: return &CQLLXTXFile::TestFile;
    case kFileTypeCIF: return &CQLCIFFile::TestFile;
    case kFileTypeCrystal:
    case kFileTypeMolecule:
    case kFileTypeCrystal5:
    case kFileTypeMolecule5: return &CQLCrystalFile::TestFile;
    case kFileTypeCrystalPre5:
    case kFileTypeMoleculePre5: return &CQLPre5CrystalFile::TestFile;
    case kFileTypeSession: return &CQLSessionFile::TestFile;
    case kFileTypeSessionPre6: return &CQLSessionPre6File::TestFile;
    case kFileTypeDataset: return &TestDatasetCandidate;
    case kFileTypeRigaku: return &CQLRigakuFile::TestFile;
    case kFileTypeProfile: return &CQLProfileFile::TestFile;
    default: return nullptr;
  }
}

// Only plain files are sniffed: a pipe or a device could block a content test or never end it.
bool FileExists(const wchar_t* path) { return path && ::GetFileAttributesW(path) == FILE_ATTRIBUTE_NORMAL; }

bool IsKnownResult(uint32_t code) {
  return (code >= 1 && code <= 7) || (code >= 10 && code <= 13) || code == kFileTypeCIF || code == kFileTypeRigaku ||
         code == kFileTypeStruplo;
}
}  // namespace

CQlwFile* CreateFileForType(uint32_t code) {
  try {
    switch (code) {
      case kFileTypeLXTX: return new CQLLXTXFile;
      case kFileTypeCIF: return new CQLCIFFile;
      case kFileTypeCrystal:
      case kFileTypeCrystal5: return new CQLCrystalFile(code);
      case kFileTypeCrystalPre5: return new CQLPre5CrystalFile;
      case kFileTypeSession: return new CQLSessionFile;
      case kFileTypeSessionPre6: return new CQLSessionPre6File;
      case kFileTypeDataset: return new CQLDatasetFile;
      case kFileTypeRigaku: return new CQLRigakuFile;
      case kFileTypeProfile: return new CQLProfileFile;
      case kFileTypeListing: return new CQLListingFile;
      case kFileTypeStructFac: return new CQLStructFacFile;
      default: return nullptr;  // no class reads or writes this type here
    }
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

CString& GetPathExtension(const wchar_t* path, CString& out) {
  std::wstring p(path ? path : L"");
  const size_t slash = p.find_last_of(L'/');
  const size_t start = slash == std::wstring::npos ? 0 : slash + 1;
  const size_t dot = p.find_last_of(L'.');
  out = (dot == std::wstring::npos || dot < start) ? CString() : CString(p.substr(dot));
  return out;
}

uint32_t IdentifyFileType(const wchar_t* path, bool sniff, void*) {
  if (!FileExists(path)) return 0;
  CString extension;
  std::vector<uint32_t> candidates;
  FileTypesFromExtension(GetPathExtension(path, extension), candidates);
  uint32_t result = 0;
  if (!sniff && candidates.size() == 1) return IsKnownResult(candidates[0]) ? candidates[0] : 0;
  if (sniff) {
    for (uint32_t code : candidates) {
      const TestFn test = TestForType(code);
      if (!test) continue;
      // The written code counts, not the answer: a molecule file yields its molecule code.
      test(path, result);
      if (result != 0) return IsKnownResult(result) ? result : 0;
    }
    // A CIF cut short fails its content test, yet it is a CIF: its reader says what is wrong with
    // it, where the loose tests below could take it for x–y data.
    for (uint32_t code : candidates)
      if (code == kFileTypeCIF && CQLCIFFile::StartsAsCIF(path)) return code;
  }
  // Strict tests before loose ones: a CIF has many lines of two numbers and would pass as x-y data.
  for (TestFn test : {&CQLSessionFile::TestFile, &CQLSessionPre6File::TestFile, &CQLCrystalFile::TestFile,
                      &CQLPre5CrystalFile::TestFile, &CQLLXTXFile::TestFile, &CQLCIFFile::TestFile,
                      &CQLRigakuFile::TestFile,
                      &CQLDatasetFile::TestFile, &CQLProfileFile::TestFile}) {
    if (test(path, result)) break;
  }
  return result;
}

namespace {
uint32_t RecogniseByContent(const CString& path) { return IdentifyFileType(path.GetString(), true); }
}  // namespace

void InstallFileTypeRecogniser() { CQLPattern::SetFileTypeRecogniser(&RecogniseByContent); }
