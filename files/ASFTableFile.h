// The scattering-factor table as a text file: one element per line, "!" and "//" comments. The
// palette that imports and exports it is panes/ScatteringFactors.h; the records are LXASF.h's.
#pragma once

#include "LXASF.h"
#include "LXException.h"

#include <string>
#include <vector>

LX_DECLARE_EXCEPTION(CLXXFileASFBadLine, CLXXFile, 21081);
LX_DECLARE_EXCEPTION(CLXXFileASFNotFound, CLXXFile, 21082);
LX_DECLARE_EXCEPTION(CLXXFileASFNotOpen, CLXXFile, 21083);

// Characters of a note that a record keeps (its stored form holds 80 UTF-16 units).
constexpr int kMaxASFNoteLength = 80;

// The symbol a record gets from a typed or read field: white space dropped, at most 9
// characters, and an element symbol in any case ("CA", "fe") put in its normal case. Anything
// else ("Li+1", "H-1", "11B", "xx") stays as written, so ions and isotopes keep their names.
CString NormalizeASFSymbol(const wchar_t* text);
// At most kMaxASFNoteLength UTF-16 units of text, never splitting a character.
CString CapASFNote(const CString& text);

// The whole file for the table, lines ended by CR LF.
std::string FormatASFFile(const std::vector<CLXASF>& table);
// Writes the table beside path and renames it over path only when complete, so a failed write
// leaves an old file whole. Throws CLXXMFC with the system's text when the file cannot be made
// or written.
void WriteASFFile(const wchar_t* path, const std::vector<CLXASF>& table);

// Empties out, then reads the file's records into it; true when at least one was read. Throws
// CLXXFileASFNotFound or CLXXFileASFNotOpen. A bad line (CLXXFileASFBadLine, with its line
// number) or a read error is reported here and answers false; records read before a bad line are
// left in out, for the caller to discard. A file without records answers false unreported.
bool ReadASFFile(const wchar_t* path, std::vector<CLXASF>& out);
