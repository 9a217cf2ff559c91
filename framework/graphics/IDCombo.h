// CIDCombo<T>: the combo box that offers the values of an enumeration. Each item carries the value
// it stands for; the combo is filled from a static table of {string id, value, bitmap id} rows
// (IDComboTables.cpp), selects by value and answers the selected value. Owner-drawn combos show a
// picture of each value (line and marker styles) in place of its name.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <type_traits>
#include <vector>

#include "ControlWnds.h"
#include "GdiPlus.h"
#include "OwnerDraw.h"
#include "Themes.h"

// One row of a fill table; a row with string id 0 ends the table and names the value to select.
struct IDComboEntry {
  UINT nameId;
  UINT value;
  UINT bitmapId;  // kIDComboNoBitmap: no picture
};
constexpr UINT kIDComboNoBitmap = 0xFFFFFFFFu;

namespace LXTypes {
enum QLLineStyle : std::uint32_t { kLineNone = 0, kLineSolid = 1, kLineDashed = 2, kLineDotted = 3, kLineDotDash = 4 };
enum QLMarkerStyle : std::uint32_t {
  kMarkerNone = 0,
  kMarkerPlus = 1,
  kMarkerCross = 2,
  kMarkerHollowTriangle = 3,
  kMarkerHollowNabla = 4,
  kMarkerHollowDiamond = 5,
  kMarkerHollowSquare = 6,
  kMarkerHollowCircle = 7,
  kMarkerSolidTriangle = 8,
  kMarkerSolidNabla = 9,
  kMarkerSolidDiamond = 10,
  kMarkerSolidSquare = 11,
  kMarkerSolidCircle = 12,
};
enum QLLabelAlignment : std::uint32_t { kLabelTop = 1, kLabelBottom = 2, kLabelFloat = 3 };
}  // namespace LXTypes

// The program's tables.
namespace IDComboTables {
extern const IDComboEntry kLineStyles[];
extern const IDComboEntry kMarkerStyles[];
extern const IDComboEntry kProfileTypes[];
extern const IDComboEntry kSimulationTypes[];        // the preferences' five instruments
extern const IDComboEntry kSimulationTypes2Theta[];  // the 2θ instrument pane: X-rays and neutrons
extern const IDComboEntry kLabelAlignments[];
extern const IDComboEntry kFilmTypes[];
}  // namespace IDComboTables

// The name of a marker style ("Hollow Circle" for an unknown one); always true.
bool MarkerStyleName(LXTypes::QLMarkerStyle style, CString& name);
// The name of a line style ("Dashed" for an unknown one); always true.
bool LineStyleName(LXTypes::QLLineStyle style, CString& name);

// What every instantiation shares: items, ids, pictures, owner drawing, drop height, focus loss.
class CIDComboBase : public CComboBox {
 public:
  CIDComboBase();
  ~CIDComboBase() override;
  // Ids are 64 bits wide, so that a combo of pointers (sites, say) keeps them whole.
  int AddItem(const CString& text, std::uint64_t id);
  int AddItemUnique(const CString& text, std::uint64_t id, bool unique);
  virtual void DrawItem(LPDRAWITEMSTRUCT item);
  virtual void MeasureItem(LPMEASUREITEMSTRUCT item);
  virtual int CompareItem(LPCOMPAREITEMSTRUCT item);
  virtual void DeleteItem(LPDELETEITEMSTRUCT item);
  // Rows the drop-down shows: 0 all, positive that many (at least 2), negative as many as fit.
  int m_visibleItems = 0;
  // The number of rows the drop-down was last set to show.
  int GetDropRows() const { return static_cast<int>(SendMessage(CB_GETMINVISIBLE)); }
  // Whether pictures are drawn inverted: high-contrast mode with a dark window colour.
  static bool InvertsPictures(COLORREF window);

 protected:
  int FillRows(const IDComboEntry* table, bool unique, bool addPlainly);
  int SelectValue(std::uint64_t value, const CString& unknownName);
  std::uint64_t SelectedValue() const;
  // The value of an item; false when the item or its id entry does not exist.
  bool ValueOf(int index, std::uint64_t& value) const;
  // The name of a value in the table last filled from; empty when it has none.
  CString TableName(std::uint64_t value) const;
  BOOL AdjustDropHeight();
  BOOL SelectByText();
  LRESULT OnThemeChanged(WPARAM, LPARAM);

  std::map<std::uint64_t, std::unique_ptr<Gdiplus::Bitmap>> m_images;
  std::vector<std::uint64_t> m_ids;
  HTHEME m_theme = nullptr;
  const IDComboEntry* m_table = nullptr;
  DECLARE_MESSAGE_MAP()
};

namespace IDComboDetail {
// Line and marker styles take AddItem (a style may repeat), the others AddItemUnique.
template <class T>
constexpr bool kAddsPlainly = std::is_same_v<T, LXTypes::QLLineStyle> || std::is_same_v<T, LXTypes::QLMarkerStyle>;
template <class T>
std::uint64_t ToId(T value) {
  if constexpr (std::is_pointer_v<T>) return reinterpret_cast<std::uintptr_t>(value);
  else return static_cast<std::uint64_t>(value);
}
template <class T>
T FromId(std::uint64_t id) {
  if constexpr (std::is_pointer_v<T>) return reinterpret_cast<T>(static_cast<std::uintptr_t>(id));
  else return static_cast<T>(id);
}
}  // namespace IDComboDetail

template <class T>
class CIDCombo : public CIDComboBase {
 public:
  // Adds the table's rows, then selects the end row's value (the first item when no item has
  // it); answers the selected index, or -1 when a name is missing from the string table.
  int Fill(const IDComboEntry* table, bool unique) { return FillRows(table, unique, IDComboDetail::kAddsPlainly<T>); }
  // Selects the first item of the value; without one, a combo whose two type bits are clear shows
  // the value's name and any other shows no selection. Answers the index or -1.
  int SelectID(T value) {
    CString name;
    if constexpr (std::is_same_v<T, LXTypes::QLMarkerStyle>) MarkerStyleName(value, name);
    else if constexpr (std::is_same_v<T, LXTypes::QLLineStyle>) LineStyleName(value, name);
    else name = TableName(IDComboDetail::ToId(value));
    return SelectValue(IDComboDetail::ToId(value), name);
  }
  // The selected item's value; 0 when nothing (or nothing known) is selected.
  T GetSelectedID() const { return IDComboDetail::FromId<T>(SelectedValue()); }
};
