// The file that the alerts of a thread concern, while several files are opened at once.
#pragma once
#include "CString.h"

// While one lives, the alerts of its thread that do not name the file say which file they
// concern: of several files opened together, "Syntax error in CIF file." alone would not tell
// which one it meant.
class CLXAlertFileScope {
 public:
  explicit CLXAlertFileScope(const CString& path);
  ~CLXAlertFileScope();
  CLXAlertFileScope(const CLXAlertFileScope&) = delete;
  CLXAlertFileScope& operator=(const CLXAlertFileScope&) = delete;

  // The path of the innermost scope of the calling thread; empty when none lives.
  static CString GetPath();

 private:
  CString m_path;
  CLXAlertFileScope* m_outer;
};
