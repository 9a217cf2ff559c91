// The installed fonts as the font enumeration reports them: families by their own names, faces by
// weight and slant, from Qt's font database.
#include "GdiInternal.h"

#include <QFontDatabase>
#include <QGuiApplication>

#include <cwchar>
#include <set>
#include <utility>

namespace {
LOGFONTW FaceFont(const QString& family, LONG weight, bool italic, BYTE charSet) {
  LOGFONTW lf{};
  lf.lfWeight = weight;
  lf.lfItalic = italic ? 1 : 0;
  lf.lfCharSet = charSet;
  lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
  lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  lf.lfQuality = DEFAULT_QUALITY;
  const std::wstring name = family.left(LF_FACESIZE - 1).toStdWString();
  std::wcsncpy(lf.lfFaceName, name.c_str(), LF_FACESIZE - 1);
  return lf;
}

TEXTMETRICW FaceMetrics(const LOGFONTW& lf) {
  TEXTMETRICW tm{};
  tm.tmWeight = lf.lfWeight;
  tm.tmItalic = lf.lfItalic;
  tm.tmCharSet = lf.lfCharSet;
  return tm;
}

// Qt calls an oblique face upright; Windows reports it as the family's italic.
bool Slanted(const QString& entry, const QString& style) {
  return QFontDatabase::italic(entry, style) || style.contains(QLatin1String("Oblique"), Qt::CaseInsensitive);
}

int EnumerateFamilies(FONTENUMPROCW proc, LPARAM data) {
  const QStringList entries = QFontDatabase::families();
  const QStringList latin = QFontDatabase::families(QFontDatabase::Latin);
  std::set<QString> seen;
  int answer = 0;
  for (const QString& entry : entries) {
    const QString family = qlw::FamilyWithoutFoundry(entry);
    if (!seen.insert(family.toLower()).second) continue;
    bool writesLatin = false, scalable = false;
    for (const QString& other : entries)
      if (qlw::FamilyWithoutFoundry(other).compare(family, Qt::CaseInsensitive) == 0) {
        writesLatin = writesLatin || latin.contains(other);
        scalable = scalable || QFontDatabase::isScalable(other);
      }
    const LOGFONTW lf = FaceFont(family, FW_NORMAL, false, writesLatin ? ANSI_CHARSET : SYMBOL_CHARSET);
    const TEXTMETRICW tm = FaceMetrics(lf);
    answer = proc(&lf, &tm, scalable ? TRUETYPE_FONTTYPE : RASTER_FONTTYPE, data);
    if (!answer) break;
  }
  return answer;
}

// Every face of the family over the foundries that share it, once per weight and slant.
int EnumerateFaces(const QString& family, FONTENUMPROCW proc, LPARAM data) {
  const QStringList latin = QFontDatabase::families(QFontDatabase::Latin);
  std::set<std::pair<int, bool>> seen;
  int answer = 0;
  for (const QString& entry : QFontDatabase::families()) {
    if (qlw::FamilyWithoutFoundry(entry).compare(family, Qt::CaseInsensitive) != 0) continue;
    const BYTE charSet = latin.contains(entry) ? ANSI_CHARSET : SYMBOL_CHARSET;
    const DWORD type = QFontDatabase::isScalable(entry) ? TRUETYPE_FONTTYPE : RASTER_FONTTYPE;
    for (const QString& style : QFontDatabase::styles(entry)) {
      const int weight = QFontDatabase::weight(entry, style);
      const bool italic = Slanted(entry, style);
      if (!seen.insert({weight, italic}).second) continue;
      const LOGFONTW lf = FaceFont(qlw::FamilyWithoutFoundry(entry), weight, italic, charSet);
      const TEXTMETRICW tm = FaceMetrics(lf);
      answer = proc(&lf, &tm, type, data);
      if (!answer) return answer;
    }
  }
  return answer;
}
}  // namespace

int EnumFontFamiliesW(HDC, LPCWSTR family, FONTENUMPROCW proc, LPARAM data) {
  if (!proc || !QGuiApplication::instance()) return 0;
  if (!family || !*family) return EnumerateFamilies(proc, data);
  return EnumerateFaces(qlw::FamilyWithoutFoundry(QString::fromWCharArray(family)), proc, data);
}

int EnumFontFamiliesExW(HDC dc, LPLOGFONTW font, FONTENUMPROCW proc, LPARAM data, DWORD) {
  if (!font) return 0;
  const std::wstring face(font->lfFaceName, wcsnlen(font->lfFaceName, LF_FACESIZE));
  return EnumFontFamiliesW(dc, face.c_str(), proc, data);
}
