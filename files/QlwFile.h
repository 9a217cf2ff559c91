// The program's file class: read and write entry points with progress and error reporting.
// The type factory and recogniser are in FileTypes.h.
#pragma once

#include "LXFile.h"
#include "QLPattern.h"

class CDiffractionSettings;
struct CQlwDocWindowState;  // the document's window-state record; only session files use it

LX_DECLARE_EXCEPTION(CLXXFileNotOpen, CLXXFile, 21103);
LX_DECLARE_EXCEPTION(CLXXFileImportNoAtoms, CLXXFile, 21092);
LX_DECLARE_EXCEPTION(CLXXFileMissingSymmetry, CLXXFile, 21098);
LX_DECLARE_EXCEPTION(CLXXQLFile, CLXException, 22828);
// Molecule data is refused by every structure format.
LX_DECLARE_EXCEPTION(CLXXFileNoMoleculeDiffract, CLXXQLFile, 22838);

class CQlwFile : public CLXFile {
 public:
  CQlwFile() = default;
  ~CQlwFile() override = default;

  // Reads every data block of the open file into target. False when an error was met; it has
  // then been shown to the user and the file closed.
  virtual bool ReadFile(CQLPatternList* target, CDiffractionSettings* settings,
                        CQlwDocWindowState* windowState);
  // Writes source as the file's one block and completes the file on the disk. False when a file
  // error was met and shown; the file is then closed and a file it was to replace is unchanged.
  virtual bool WriteFile(CQLPatternList* source, CDiffractionSettings* settings,
                         CQlwDocWindowState* windowState);

  // Opens path for reading, denying writes to others, for a format's content test. With report
  // set, a failed open is shown to the user with the system's text (a CLXXMFC from throwSite).
  bool OpenForTest(const wchar_t* path, bool report, UINT throwSite);

 protected:
  // WriteFile's body: stores the source, writes block 0 and completes the file; a file error is
  // reported and answers false, and any failure drops the unfinished file. withStatus pushes
  // the "Writing data to file..." frame around the block.
  bool WriteGuarded(CQLPatternList* source, CDiffractionSettings* settings, CQlwDocWindowState* windowState,
                    bool withStatus);
  // Whether the pattern's cell (if it has a crystal) is one the editors take. When it is not, the
  // alert naming the pattern has been shown and the reader leaves the pattern out: a structure
  // read here must come back from the session it is saved in.
  bool AcceptCellOf(const CQLPattern& pattern);

  uint32_t m_refusedCells = 0;  // patterns left out for their cell by the current ReadFile

  CQLPatternList* m_readTarget = nullptr;
  CDiffractionSettings* m_readSettings = nullptr;
  CQlwDocWindowState* m_readWindowState = nullptr;
  CQLPatternList* m_writeSource = nullptr;
  CDiffractionSettings* m_writeSettings = nullptr;
  CQlwDocWindowState* m_writeWindowState = nullptr;
};
