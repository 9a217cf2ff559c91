// Parsing and printing of symmetry operators and their 24-bit codes.
#include "SymmetryOperator.h"

#include <cmath>
#include <cstring>
#include <cwchar>

namespace {
const wchar_t* const kTranslationTexts[8] = {L"   ", L"1/6", L"1/4", L"1/3", L"1/2", L"2/3", L"3/4", L"5/6"};
const wchar_t* const kRotationTerms[8] = {L"+x", L"-x", L"+y", L"-y", L"+z", L"-z", L"+x-y", L"-x+y"};
const wchar_t* const kRotationAlternatives[8] = {nullptr, nullptr, nullptr, nullptr,
                                                 nullptr, nullptr, L"-y+x", L"+y-x"};

// Translations are kept in [0, 1]; one further out is reduced by whole cells.
double ShiftOnce(double t) {
  if (t > 1.0 || t < 0.0) return t - std::floor(t);
  return t;
}

bool NearZeroModuloOne(double d) {
  double f = d - std::floor(d);
  return f < kOperatorTolerance || 1.0 - f < kOperatorTolerance;
}

// Translation part of one row from the last three digits of "%5.3f".
const wchar_t* TranslationPart(double t) {
  if (t < 0.0) t += 1.0;
  CString text;
  text.Format(L"%5.3f", t);
  CString last = text.Right(3);
  struct Entry {
    const wchar_t* digits;
    const wchar_t* part;
  };
  static const Entry kParts[] = {
      {L"000", L"   "}, {L"166", L"1/6"}, {L"167", L"1/6"}, {L"125", L"1/8"}, {L"250", L"1/4"},
      {L"333", L"1/3"}, {L"375", L"3/8"}, {L"500", L"1/2"}, {L"625", L"5/8"}, {L"666", L"2/3"},
      {L"667", L"2/3"}, {L"750", L"3/4"}, {L"833", L"5/6"}, {L"875", L"7/8"},
  };
  for (const Entry& e : kParts)
    if (last == e.digits) return e.part;
  return L"";
}
}  // namespace

CSymmetryOperator::CSymmetryOperator() {
  std::memset(m_rotation, 0, sizeof m_rotation);
  std::memset(m_translation, 0, sizeof m_translation);
}

CSymmetryOperator::CSymmetryOperator(const wchar_t* text) : CSymmetryOperator() {
  m_text = text;
  if (!text) return;
  int row = 0;
  double sign = 1.0, numerator = 0.0, denominator = 1.0;
  bool fraction = false, rowStarted = false;
  auto endRow = [&] {
    m_translation[row] = ShiftOnce(numerator / denominator);
    sign = 1.0;
    numerator = 0.0;
    denominator = 1.0;
    fraction = false;
    rowStarted = false;
    ++row;
  };
  for (const wchar_t* p = text; *p && row < 3; ++p) {
    wchar_t c = *p;
    if (c == L',') {
      endRow();
      continue;
    }
    if (c == L' ' || c == L'\t') {
      if (rowStarted) endRow();
      continue;
    }
    rowStarted = true;
    if (c < L'+' || c > L'z') continue;
    if (c == L'+') {
      sign = 1.0;
    } else if (c == L'-') {
      sign = -1.0;
    } else if (c == L'/') {
      fraction = true;
    } else if ((c >= L'0' && c <= L'9') || c == L'.') {
      // Whole decimal numbers: "x+0.5" is a half, not a translation of 5.
      double value = 0.0, scale = 0.0;
      for (; (*p >= L'0' && *p <= L'9') || (*p == L'.' && scale == 0.0); ++p) {
        if (*p == L'.') {
          scale = 1.0;
        } else if (scale == 0.0) {
          value = value * 10.0 + (*p - L'0');
        } else {
          scale /= 10.0;
          value += (*p - L'0') * scale;
        }
      }
      --p;
      if (fraction) {
        if (value != 0.0) denominator = value;
      } else {
        numerator = value * sign;
      }
    } else if (c == L'x' || c == L'X') {
      m_rotation[row][0] = sign;
    } else if (c == L'y' || c == L'Y') {
      m_rotation[row][1] = sign;
    } else if (c == L'z' || c == L'Z') {
      m_rotation[row][2] = sign;
    }
  }
  if (row < 3) m_translation[row] = ShiftOnce(numerator / denominator);
}

CString CSymmetryOperator::Format(int mode) const {
  static const wchar_t* const kPlus[3] = {L"+x", L"+y", L"+z"};
  static const wchar_t* const kMinus[3] = {L"-x", L"-y", L"-z"};
  CString rows[3];
  for (int i = 0; i < 3; ++i) {
    CString row = TranslationPart(m_translation[i]);
    for (int j = 0; j < 3; ++j) {
      if (m_rotation[i][j] > 0.0)
        row += kPlus[j];
      else if (m_rotation[i][j] < 0.0)
        row += kMinus[j];
    }
    while (row.GetLength() < 7) row += L' ';
    rows[i] = row;
  }
  CString out;
  if (mode == 0) {
    out.Format(L"%s  %s  %s", rows[0].GetString(), rows[1].GetString(), rows[2].GetString());
  } else {
    out.Format(L"%*s,%*s,%*s", 7, rows[0].GetString(), 7, rows[1].GetString(), 7, rows[2].GetString());
    out.Remove(L' ');
  }
  return out;
}

bool CSymmetryOperator::HasSameRotation(const CSymmetryOperator& other) const {
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      if (std::fabs(m_rotation[i][j] - other.m_rotation[i][j]) >= kOperatorTolerance) return false;
  return true;
}

bool CSymmetryOperator::HasSameTranslation(const CSymmetryOperator& other) const {
  for (int i = 0; i < 3; ++i)
    if (!NearZeroModuloOne(m_translation[i] - other.m_translation[i])) return false;
  return true;
}

bool CSymmetryOperator::EqualsShifted(const CSymmetryOperator& other, const double shift[3]) const {
  if (!HasSameRotation(other)) return false;
  for (int i = 0; i < 3; ++i)
    if (!NearZeroModuloOne(m_translation[i] - other.m_translation[i] - shift[i])) return false;
  return true;
}

void CSymmetryOperator::Apply(const double p[3], double out[3]) const {
  for (int i = 0; i < 3; ++i)
    out[i] = m_rotation[i][0] * p[0] + m_rotation[i][1] * p[1] + m_rotation[i][2] * p[2] + m_translation[i];
}

uint32_t OperatorCodeFromText(const wchar_t* codeText) {
  if (!codeText) return 0;
  const size_t length = std::wcslen(codeText);
  uint32_t code = 0;
  for (size_t row = 0; row < 3; ++row) {
    const size_t start = 9 * row;
    uint32_t high = 0, low = 0;
    if (start + 3 <= length) {
      for (uint32_t k = 0; k < 8; ++k)
        if (std::wcsncmp(codeText + start, kTranslationTexts[k], 3) == 0) {
          high = k;
          break;
        }
    }
    if (start + 3 < length) {
      std::wstring term;
      for (size_t k = start + 3; k < length && k < start + 7 && codeText[k] != L' '; ++k) term += codeText[k];
      for (uint32_t k = 0; k < 8; ++k)
        if (term == kRotationTerms[k] || (kRotationAlternatives[k] && term == kRotationAlternatives[k])) {
          low = k;
          break;
        }
    }
    code = (code << 8) | (high << 4) | low;
  }
  return code;
}

CString OperatorTextFromCode(uint32_t code) {
  const wchar_t* parts[6];
  for (int row = 0; row < 3; ++row) {
    uint32_t byte = (code >> (8 * (2 - row))) & 0xFF;
    uint32_t high = byte >> 4, low = byte & 0xF;
    // Nibbles above 7 name nothing: they print as blanks rather than reading past the tables.
    parts[2 * row] = high < 8 ? kTranslationTexts[high] : L"";
    parts[2 * row + 1] = low < 8 ? kRotationTerms[low] : L"";
  }
  CString text;
  text.Format(L"%3s%-4s  %3s%-4s  %3s%-4s", parts[0], parts[1], parts[2], parts[3], parts[4], parts[5]);
  return text;
}
