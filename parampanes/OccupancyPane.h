// COccupancyPane: the Parameters pane "Site Occupancy": for the one selected crystal, a chosen
// site's elements with a slider and occupancy each, "+" and "–" to add and remove elements, the
// site's include and lock flags, its total, and the "*" menu that equalises or zeroes.
#pragma once
#include <memory>

#include "DiscloseablePane.h"
#include "IDCombo.h"
#include "SliderRowList.h"

class CQLCrystalPattern;
class CQLSite;

class COccupancyPane : public CDiscloseablePane {
 public:
  static constexpr UINT kTemplateId = 5770;
  enum : UINT {
    kHeader = 2370, kAction = 2371, kAdd = 2372, kFrame = 2373, kListLabel = 2374, kList = 2375, kLock = 2376,
    kRemove = 2377, kTotal = 2378, kTotalLabel = 2379, kInclude = 2380, kSiteLabel = 2381, kSite = 2382,
    kFirstSlider = 2383,
  };
  enum : UINT { kActionMenu = 140, kEqualise = 34072, kZero = 34073, kActionImage = 2002 };
  static constexpr int kHint = 10;

  // The elements of one site of the shown crystal; the crystal is held weakly, the site by index.
  class COccList : public CSliderRowList {
   public:
    COccList() : CSliderRowList(24, 40, 36) {}
    void SetSite(const std::weak_ptr<CQLCrystalPattern>& pattern, int site);
    CQLSite* GetSite() const;

   protected:
    double GetShare(int row) const override;
    void SetShare(int row, double share) override;
    CString GetName(int row) const override;
    bool SetName(int row, const CString& name) override;
    void NotifyChanged(Change change) override;

    std::weak_ptr<CQLCrystalPattern> m_pattern;
    int m_site = -1;
  };

  explicit COccupancyPane(CWnd* parent);
  UINT GetTemplateID() override { return kTemplateId; }
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  bool ApplyChanges() override;
  void UpdateControls(bool fromModel) override;
  bool WantsUpdate(CView* sender, const void* hint) override;
  void ShowPaneControls(bool show) override;
  CPrefScalar<bool>* OpenPreference() override;

  COccList& GetList() { return m_list; }
  void OnAddElement();
  void OnRemoveElement();
  void EqualiseOccupancies();
  void ZeroOccupancies();

 protected:
  // The chosen site of the shown crystal; null when there is none or the crystal went.
  CQLSite* ChosenSite() const;
  // The shown crystal is still the one selected crystal: edits may go to it.
  bool TargetIsShown() const;
  void FillSiteCombo();
  void ShowSite();
  void ShowTotal();
  // After the list or the buttons changed the site: mark modified, apply, update.
  void ApplyEdit();
  void SendModified();
  void OnSiteChange();
  LRESULT OnButton(WPARAM id, LPARAM);
  LRESULT OnRefreshLater(WPARAM, LPARAM);
  LRESULT OnOccupancyModified(WPARAM, LPARAM);
  void OnListNotify(NMHDR*, LRESULT* result);
  void OnEqualise() { EqualiseOccupancies(); }
  void OnZero() { ZeroOccupancies(); }
  void OnUpdateEqualise(CCmdUI* ui);
  void OnUpdateZero(CCmdUI* ui);

  CIDCombo<std::uint32_t> m_siteCombo;
  COccList m_list;
  CAlphaButton m_add, m_remove, m_action;
  CButton m_include, m_lock;
  std::weak_ptr<CQLCrystalPattern> m_pattern;
  bool m_busy = false;
  const void* m_lastPattern = nullptr;
  DECLARE_MESSAGE_MAP()
};
