// CMixturePane: the Parameters pane "Mixture": the components of the one selected mixture, each
// with a slider and its weight fraction, the mixture's lock on the total, the total, and the "*"
// menu that equalises or zeroes the fractions.
#pragma once
#include <memory>
#include <vector>

#include "DiscloseablePane.h"
#include "SliderRowList.h"

class CQLMixturePattern;
class CQLPattern;

class CMixturePane : public CDiscloseablePane {
 public:
  static constexpr UINT kTemplateId = 5760;
  enum : UINT {
    kHeader = 2360, kAction = 2361, kFrame = 2362, kList = 2363, kLock = 2364, kTotal = 2365, kTotalLabel = 2366,
    kFirstSlider = 2367,
  };
  enum : UINT { kActionMenu = 139, kEqualise = 34070, kZero = 34071, kActionImage = 2002 };
  static constexpr int kHint = 9, kHintTitle = 20;

  // One row: a component of the mixture, both held while the row lives.
  struct CFracItem {
    std::shared_ptr<CQLMixturePattern> mixture;
    std::shared_ptr<CQLPattern> component;
  };

  class CFracList : public CSliderRowList {
   public:
    // Wider values than names allow: "0.3333" must fit the inspector's narrow column.
    CFracList() : CSliderRowList(32, 30, 38) {}
    void SetMixture(const std::shared_ptr<CQLMixturePattern>& mixture);
    const std::vector<CFracItem>& GetItems() const { return m_items; }

   protected:
    double GetShare(int row) const override;
    void SetShare(int row, double share) override;
    CString GetName(int row) const override;
    bool SetName(int row, const CString& name) override;
    void NotifyChanged(Change change) override;

    std::vector<CFracItem> m_items;
  };

  explicit CMixturePane(CWnd* parent);
  UINT GetTemplateID() override { return kTemplateId; }
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  bool ApplyChanges() override;
  void UpdateControls(bool fromModel) override;
  bool WantsUpdate(CView* sender, const void* hint) override;
  void ShowPaneControls(bool show) override;
  CPrefScalar<bool>* OpenPreference() override;

  CFracList& GetList() { return m_list; }
  void EqualiseFractions();
  void ZeroFractions();

 protected:
  // The mixture the pane edits: the one selected mixture, else null.
  std::shared_ptr<CQLMixturePattern> ShownMixture() const;
  void ShowTotal();
  void SendModified(CSliderRowList::Change change);
  LRESULT OnMixtureModified(WPARAM change, LPARAM);
  void OnListNotify(NMHDR*, LRESULT* result);
  void OnEqualise() { EqualiseFractions(); }
  void OnZero() { ZeroFractions(); }
  void OnUpdateEqualise(CCmdUI* ui);
  void OnUpdateZero(CCmdUI* ui);

  CFracList m_list;
  CAlphaButton m_action;
  CButton m_lock;
  int m_hintCode = kHint;
  // What the last hint concerned, compared only: the mixture and its components.
  const CQLPattern* m_lastPattern = nullptr;
  std::vector<const CQLPattern*> m_lastComponents;
  DECLARE_MESSAGE_MAP()
};
