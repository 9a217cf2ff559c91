// Windows font names mapped to installed families, and LOGFONT to QFont.
#include "GdiInternal.h"
#include "Themes.h"

#include <QFontDatabase>
#include <QHash>
#include <QGuiApplication>
#include <QSet>

#include <cmath>
#include <mutex>

namespace {
// Windows faces and the installed families with matching metrics (fonts-liberation2,
// fonts-dejavu-core); the dialog faces take the desktop-like sans family. Names that Windows does
// not have ("Helvetica") are left to the framework's substitution table.
struct FaceMap {
  const char* windows;
  const char* installed;
};
constexpr FaceMap kFaces[] = {
    {"ms shell dlg 2", "DejaVu Sans"},   {"ms shell dlg", "DejaVu Sans"},
    {"tahoma", "DejaVu Sans"},           {"segoe ui", "DejaVu Sans"},
    {"verdana", "DejaVu Sans"},          {"lucida sans unicode", "DejaVu Sans"},
    {"symbol", "DejaVu Sans"},           {"arial", "Liberation Sans"},
    {"arial black", "Liberation Sans"},  {"arial narrow", "Liberation Sans"},
    {"microsoft sans serif", "Liberation Sans"}, {"trebuchet ms", "DejaVu Sans"},
    {"impact", "DejaVu Sans"},           {"palatino linotype", "DejaVu Serif"},
    {"book antiqua", "DejaVu Serif"},
    {"ms sans serif", "Liberation Sans"}, {"arial unicode ms", "DejaVu Sans"},
    {"times new roman", "Liberation Serif"},
    {"georgia", "DejaVu Serif"},         {"ms serif", "Liberation Serif"},
    {"courier new", "Liberation Mono"},
    {"consolas", "DejaVu Sans Mono"},    {"lucida console", "DejaVu Sans Mono"},
};
// Words a Windows family name may carry for a style ("Arial Bold").
constexpr const char* kStyleWords[] = {"bold", "italic", "oblique", "regular", "black", "narrow", "light", "semibold"};

std::mutex g_familyLock;

// Lower-case names, each family both as the database spells it and without a foundry tag.
const QSet<QString>& InstalledFamilies() {
  static QSet<QString> families;
  static bool loaded = false;
  if (!loaded && QGuiApplication::instance()) {
    for (const QString& f : QFontDatabase::families()) {
      families.insert(f.toLower());
      families.insert(qlw::FamilyWithoutFoundry(f).toLower());
    }
    loaded = true;
  }
  return families;
}
}  // namespace

namespace qlw {
// Qt tells foundries that share a family apart as "C059 [urw]" and "C059 [UKWN]"; the family
// itself is "C059", and a font asked for by that name takes one of them.
QString FamilyWithoutFoundry(const QString& family) {
  const QString name = family.trimmed();
  if (!name.endsWith(QLatin1Char(']'))) return name;
  const int open = name.lastIndexOf(QLatin1String(" ["));
  return open > 0 ? name.left(open).trimmed() : name;
}

bool FontFamilyInstalled(const QString& family) {
  std::lock_guard<std::mutex> lock(g_familyLock);
  return InstalledFamilies().contains(family.trimmed().toLower());
}

namespace {
QString LookUpFamily(const QString& windowsName) {
  QString name = windowsName.trimmed().toLower();
  for (int attempt = 0; attempt < 4 && !name.isEmpty(); ++attempt) {
    for (const FaceMap& f : kFaces)
      if (name == QLatin1String(f.windows) && FontFamilyInstalled(QString::fromLatin1(f.installed)))
        return QString::fromLatin1(f.installed);
    if (FontFamilyInstalled(name)) {
      std::lock_guard<std::mutex> lock(g_familyLock);
      const QStringList families = QFontDatabase::families();
      for (const QString& f : families)
        if (f.toLower() == name) return f;
      for (const QString& f : families)
        if (FamilyWithoutFoundry(f).toLower() == name) return FamilyWithoutFoundry(f);
    }
    // Drop one trailing style word and try again.
    int space = name.lastIndexOf(QLatin1Char(' '));
    if (space < 0) break;
    QString last = name.mid(space + 1);
    bool styleWord = false;
    for (const char* w : kStyleWords) styleWord = styleWord || last == QLatin1String(w);
    if (!styleWord) break;
    name = name.left(space).trimmed();
  }
  return {};
}
}  // namespace

// Every text call maps its face name; the answer is kept once the font database is loaded.
QString MapFontFamily(const QString& windowsName) {
  static std::mutex lock;
  static QHash<QString, QString> answers;
  {
    std::lock_guard<std::mutex> guard(lock);
    auto it = answers.constFind(windowsName);
    if (it != answers.constEnd()) return it.value();
  }
  QString family = LookUpFamily(windowsName);
  bool loaded;
  {
    std::lock_guard<std::mutex> guard(g_familyLock);
    loaded = !InstalledFamilies().isEmpty();
  }
  if (loaded) {
    std::lock_guard<std::mutex> guard(lock);
    answers.insert(windowsName, family);
  }
  return family;
}

QFont FontFromLogFont(const LOGFONTW& lf) {
  QString face = QString::fromWCharArray(lf.lfFaceName, int(wcsnlen(lf.lfFaceName, LF_FACESIZE)));
  QString family = MapFontFamily(face);
  if (family.isEmpty()) family = MapFontFamily(QStringLiteral("MS Shell Dlg 2"));
  QFont font(family);
  QString lowered = face.toLower();
  font.setWeight(lf.lfWeight >= 600 || lowered.contains(QLatin1String(" bold")) ? QFont::Bold : QFont::Normal);
  font.setItalic(lf.lfItalic || lowered.contains(QLatin1String(" italic")));
  font.setUnderline(lf.lfUnderline);
  font.setStrikeOut(lf.lfStrikeOut);
  int pixels = 16;  // lfHeight 0: the default size, 12 points
  if (lf.lfHeight < 0) {
    pixels = -lf.lfHeight;
  } else if (lf.lfHeight > 0) {
    // A cell height: take the character height from the family's em to cell ratio.
    QFont probe(font);
    probe.setPixelSize(100);
    QFontMetricsF fm(probe);
    double cell = fm.ascent() + fm.descent();
    pixels = cell > 0 ? std::max(1, int(std::lround(lf.lfHeight * 100.0 / cell))) : lf.lfHeight;
  }
  font.setPixelSize(std::max(1, pixels));
  font.setStyleStrategy(lf.lfQuality == NONANTIALIASED_QUALITY ? QFont::NoAntialias : QFont::PreferDefault);
  if (lf.lfEscapement != 0) font.setLetterSpacing(QFont::AbsoluteSpacing, 0);
  return font;
}
}  // namespace qlw

#include <fontconfig/fontconfig.h>

namespace {
// The desktop's default rendering of text, as fontconfig resolves it for a plain pattern.
struct Smoothing {
  bool on = true;
  bool subpixel = false;
};
Smoothing DesktopSmoothing() {
  static const Smoothing smoothing = [] {
    Smoothing s;
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) return s;
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcBool antialias = FcTrue;
    if (FcPatternGetBool(pattern, FC_ANTIALIAS, 0, &antialias) == FcResultMatch) s.on = antialias;
    int rgba = FC_RGBA_UNKNOWN;
    if (FcPatternGetInteger(pattern, FC_RGBA, 0, &rgba) == FcResultMatch)
      s.subpixel = rgba == FC_RGBA_RGB || rgba == FC_RGBA_BGR || rgba == FC_RGBA_VRGB || rgba == FC_RGBA_VBGR;
    FcPatternDestroy(pattern);
    return s;
  }();
  return smoothing;
}
}  // namespace

BOOL SystemParametersInfoW(UINT action, UINT, PVOID value, UINT) {
  if (!value) return FALSE;
  switch (action) {
    case SPI_GETFONTSMOOTHING: *static_cast<BOOL*>(value) = DesktopSmoothing().on; return TRUE;
    case SPI_GETFONTSMOOTHINGTYPE:
      *static_cast<UINT*>(value) = DesktopSmoothing().subpixel ? FE_FONTSMOOTHINGCLEARTYPE : FE_FONTSMOOTHINGSTANDARD;
      return TRUE;
    case SPI_GETHIGHCONTRAST: {
      auto* contrast = static_cast<HIGHCONTRASTW*>(value);
      contrast->dwFlags = qlw::HighContrastForTesting() ? HCF_HIGHCONTRASTON : 0;
      contrast->lpszDefaultScheme = nullptr;
      return TRUE;
    }
    default: SetLastError(ERROR_INVALID_PARAMETER); return FALSE;
  }
}
