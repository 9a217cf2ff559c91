// CPath: the class library's path object, a string with path operations; the subset the program uses.
#pragma once
#include "CString.h"

class CPath {
 public:
  CPath() = default;
  CPath(const wchar_t* path) : m_strPath(path) {}
  CPath(const CString& path) : m_strPath(path) {}

  operator const wchar_t*() const { return m_strPath.GetString(); }
  bool IsEmpty() const { return m_strPath.IsEmpty(); }
  bool operator==(const CPath& other) const { return m_strPath == other.m_strPath; }

  CString m_strPath;
};
