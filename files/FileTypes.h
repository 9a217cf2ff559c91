// The file-type factory and recogniser: which class reads a type code, and which code a path has.
#pragma once

#include "QlwFile.h"

#include <cstdint>

// File-type codes of the formats that the program reads or writes.
enum QLFileType : uint32_t {
  kFileTypeCrystal = 1,
  kFileTypeMolecule = 2,
  kFileTypeLXTX = 3,
  kFileTypeCrystal5 = 4,
  kFileTypeMolecule5 = 5,
  kFileTypeCrystalPre5 = 6,
  kFileTypeMoleculePre5 = 7,
  kFileTypeSession = 10,
  kFileTypeSessionPre6 = 11,
  kFileTypeDataset = 12,
  kFileTypeProfile = 13,
  kFileTypeListing = 14,
  kFileTypeStructFac = 15,
  kFileTypeCIF = 22,
  kFileTypeRigaku = 34,
  kFileTypeStruplo = 37,
};

// A new file object for the type code, or null when no class reads or writes that type.
// The caller owns the object.
CQlwFile* CreateFileForType(uint32_t code);

// The type code of an existing file, from its extension and, where that does not settle it,
// from its content; 0 when unknown.
uint32_t IdentifyFileType(const wchar_t* path, bool sniff, void* unused = nullptr);

// Hands the pattern factory, which lives below the file layer, this recogniser with its content
// tests. Called once at start-up by every program that opens files.
void InstallFileTypeRecogniser();

// The extension of the path's last component from its last "." on, "." included; empty if none.
CString& GetPathExtension(const wchar_t* path, CString& out);
