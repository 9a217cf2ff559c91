// CEditCrystal: the modal "Edit Crystal" dialog over one crystal (space group, origin, cell and
// the sites of the asymmetric unit). It writes into the crystal only when OK succeeds. The site
// list, its rows and the occupancy text are in EditCrystalSites.cpp.
#pragma once
#include <array>
#include <cstdint>
#include <vector>

#include "IDCombo.h"
#include "LXAlphaButton.h"
#include "LXDialog.h"
#include "LXEdit.h"
#include "LXException.h"
#include "QLCrystal.h"
#include "SubEditList.h"
#include "ToolTipDialog.h"

LX_DECLARE_EXCEPTION(CLXXBadADPAnisotropic, CLXXProduct, 23030);
LX_DECLARE_EXCEPTION(CLXXBadADPUIso, CLXXProduct, 23031);
LX_DECLARE_EXCEPTION(CLXXBadSpacegroup, CLXXProduct, 23032);
LX_DECLARE_EXCEPTION(CLXXInvalidSiteOcc, CLXXProduct, 23035);
LX_DECLARE_EXCEPTION(CLXXSiteOccSumNotOne, CLXXProduct, 23036);

class CEditCrystal : public CToolTipDialog, public CContextHelpHelper {
 public:
  static constexpr UINT kTemplateId = 5200;
  static constexpr UINT kHelpCommand = 32786;
  enum : UINT {
    kA = 1800, kAdd = 1801, kWarning = 1803, kAlpha = 1804, kAlphaLabel = 1805, kList = 1806, kB = 1807,
    kBeta = 1808, kBetaLabel = 1809, kLayoutStatic = 1811, kC = 1812, kLayoutStatic2 = 1814, kGamma = 1815,
    kGammaLabel = 1816, kOrigin = 1817, kOriginLabel = 1818, kDelete = 1819, kSymbolStatus = 1820, kSymbol = 1821,
    kStatus = 1822, kHelp = 1150
  };
  enum OriginChoice : std::uint32_t { kOriginDefault = 0, kOrigin1 = 1, kOrigin2 = 2 };
  enum ADPType : std::int32_t { kADPNone = 0, kADPUiso = 1, kADPUij = 2 };
  // The menu of the Type column and its commands.
  static constexpr UINT kTypeMenu = 136, kCmdNone = 33868, kCmdUij = 33869, kCmdUiso = 33870;

  struct SiteRec {
    ADPType adpType = kADPNone;
    std::vector<CSiteSpecies> species;
    std::uint64_t number = 0;
    CString label;
    double x = 0.0, y = 0.0, z = 0.0;
    // Row order: U11 U12 U13 / U21 U22 U23 / U31 U32 U33; edits write the upper triangle.
    std::array<double, 9> u = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    double uiso = 0.0;
    bool on = true;
    bool deleteMark = false;

    // The row of a site; U from the site's β and the cell's reciprocal lengths a*, b*, c* (1/Å).
    static SiteRec FromSite(const CQLSite& site, const std::array<double, 3>& star, std::uint64_t number);
    // A new row: "Label", carbon at the origin, U the identity, no displacement.
    static SiteRec NewRow(std::uint64_t number);
  };

  class CSiteList : public CSubEditList {
   public:
    ~CSiteList() override;
    bool IsCellEditable(int row, int column) override;
    bool IsColumnSortable(int column) override;
    bool GetColumnSpecs(const ColumnSpec*& specs, bool& stretch, int& stretchColumn) override;
    void SortBy(int column, bool ascending) override;
    void AccessCellCheck(int row, int column, bool set, UINT& state) override;
    void AccessCellMenu(int row, int column, bool set, HMENU& menu, int& choice, bool& disabled) override;
    void AccessCellText(int row, int column, bool set, CString& text) override;
    bool CompareRows(const SiteRec& a, const SiteRec& b);
    bool CompareADP(const SiteRec& a, const SiteRec& b, int element, bool ascending) const;

    std::vector<ColumnSpec> m_specs;

   private:
    CEditCrystal* Dialog() const;
    SiteRec* Row(int row) const;
    CMenu m_typeMenu;
  };

  CEditCrystal(CQLCrystal* crystal, CWnd* parent);

  BOOL OnInitDialog() override;
  void OnOK() override;
  int GetHelpCommand(LPARAM context) override;
  BOOL PreTranslateMessage(MSG* msg) override;

  void OnAddSite();
  void OnDeleteSites();
  void UpdateState();
  void LookupSymbol();
  // The status line for a recognised symbol of the crystal system `system`.
  void FormatSpaceGroupStatus(int system, CString& out);

  // The species of an occupancy text such as "Fe0.5Ni0.5"; an empty text takes the label's element.
  static std::vector<CSiteSpecies> ParseOccupancy(const CString& label, const CString& text);
  // The fractions 1/6, 1/3, 2/3 and 5/6 that cubic, hexagonal and trigonal rows snap to.
  static double SnapCoordinate(double value);

  std::vector<SiteRec>& Rows() { return m_rows; }
  CSiteList& List() { return m_list; }
  bool IsSymbolValid() const { return m_symbolValid; }

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  void SetUpSiteList();
  void SetItemCountOrThrow(bool atInit);
  OriginChoice SelectedOrigin() const;
  LRESULT OnAlphaButton(WPARAM id, LPARAM);
  void OnSymbolChanged();
  void OnOriginChanged();
  void OnListChanged(NMHDR*, LRESULT* result);
  void OnGetMinMaxInfo(MINMAXINFO* info);
  void OnHelpCommand();
  // F1 (WM_HELP) does what the Help button does, through ID_HELP.
  LRESULT OnHelpRequest(WPARAM, LPARAM);
  DECLARE_MESSAGE_MAP()

  CQLCrystal* m_crystal;
  // Rows in list order; a vector, so that a row is found at once among many thousands.
  std::vector<SiteRec> m_rows;
  CSiteList m_list;
  CEdit m_symbol;
  CIDCombo<OriginChoice> m_origin;
  CLXEdit<double> m_a, m_b, m_c, m_alpha, m_beta, m_gamma;
  CAlphaButton m_add, m_delete, m_help;
  CString m_currentSymbol;
  bool m_symbolValid = true;
  std::array<double, 3> m_originOffset = {0.0, 0.0, 0.0};
  std::uint64_t m_counter = 0;
  bool m_writingSymbol = false;
  bool m_initialising = true;
  SIZE m_minTrack{0, 0};
};
