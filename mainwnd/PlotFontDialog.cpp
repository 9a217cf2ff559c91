#include "PlotFontDialog.h"

#include <QFontDatabase>
#include <QFontDialog>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

#include "CommonDialogs.h"
#include "GdiQt.h"
#include "Wnd.h"
#include "WndQt.h"

namespace {
constexpr std::uint32_t kBold = 1, kItalic = 2, kUnderline = 4, kStrikeOut = 8;
constexpr int kBoldWeight = 600;
// Face names are kept to the length the settings' record gives them.
constexpr int kMaxFaceLength = 31;
// The family's own name for the style (as "Book" or "Oblique"): without it the dialog matches a
// generic name such as "Normal" to none of the family's styles and selects its first, so that an
// unchanged OK would change the font.
QString StyleNameFor(const QString& family, bool bold, bool italic) {
  QString best;
  int bestDistance = 1 << 20;
  const int wanted = bold ? QFont::Bold : QFont::Normal;
  for (const QString& style : QFontDatabase::styles(family)) {
    // Oblique counts as italic, as the plot's text draws it.
    if (QFontDatabase::font(family, style, 10).italic() != italic) continue;
    // Narrow and wide forms come last; among equals the plainest (shortest) name.
    static const QRegularExpression kStretched(QStringLiteral("condensed|narrow|expanded|extended"),
                                               QRegularExpression::CaseInsensitiveOption);
    const int distance = 10 * std::abs(QFontDatabase::weight(family, style) - wanted) +
                         (style.contains(kStretched) ? 100000 : 0) + int(style.size());
    if (distance < bestDistance) {
      bestDistance = distance;
      best = style;
    }
  }
  return best;
}
}  // namespace

bool RunPlotFontDialog(CWnd* parent, PlotFontChoice& choice) {
  HWND owner = parent && parent->m_hWnd ? ::GetAncestor(parent->m_hWnd, GA_ROOT) : nullptr;
  QFontDialog dialog(owner ? qlw::WidgetOf(owner) : nullptr);
  dialog.setOption(QFontDialog::DontUseNativeDialog, true);
  dialog.setOption(QFontDialog::ScalableFonts, true);

  const CString face = choice.face.Left(kMaxFaceLength);
  QString family = qlw::MapFontFamily(QString::fromWCharArray(face.GetString(), face.GetLength()));
  if (family.isEmpty()) family = qlw::MapFontFamily(QStringLiteral("MS Shell Dlg 2"));
  QFont font(family);
  // Points throughout: a pixel or cell height here would drift with every OK.
  font.setPointSizeF(std::isfinite(choice.points) && choice.points > 0 ? choice.points : 10.0);
  font.setWeight((choice.style & kBold) ? QFont::Bold : QFont::Normal);
  font.setItalic((choice.style & kItalic) != 0);
  font.setUnderline((choice.style & kUnderline) != 0);
  font.setStrikeOut((choice.style & kStrikeOut) != 0);
  if (const QString style = StyleNameFor(family, (choice.style & kBold) != 0, (choice.style & kItalic) != 0);
      !style.isEmpty())
    font.setStyleName(style);
  dialog.setCurrentFont(font);
  // The dialog offers whole points; a size it only rounded is kept as it was.
  const double offered = dialog.currentFont().pointSizeF();

  if (qlw::RunCommonDialog(dialog) != QDialog::Accepted) return false;
  const QFont chosen = dialog.selectedFont();
  std::uint32_t style = 0;
  if (chosen.italic()) style |= kItalic;
  if (chosen.underline()) style |= kUnderline;
  if (chosen.strikeOut()) style |= kStrikeOut;
  if (chosen.weight() >= kBoldWeight) style |= kBold;
  // The family by its own name: the dialog lists foundries that share a family apart.
  const std::wstring chosenFamily = qlw::FamilyWithoutFoundry(chosen.family()).left(kMaxFaceLength).toStdWString();
  choice.face = CString(chosenFamily.c_str());
  // Tenths of a point, as the dialog's size list offers them.
  const double points = chosen.pointSizeF() > 0 ? chosen.pointSizeF() : chosen.pixelSize() * 72.0 / 96.0;
  const bool validBefore = std::isfinite(choice.points) && choice.points > 0;
  if (!validBefore || std::fabs(points - offered) > 1e-6) choice.points = static_cast<float>(std::lround(points * 10.0) / 10.0);
  choice.style = style;
  return true;
}
