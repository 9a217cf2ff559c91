// CFileAssociation: the modal dialog in which the user ticks the document types that the program
// is to open by default; it hands back the ticked types and writes nothing itself. Its list is a
// CSubEditList of one row per type the application registers with the shell.
#pragma once
#include <cstdint>
#include <list>
#include <vector>

#include "SubEditList.h"
#include "ToolTipDialog.h"

class CFileAssociationItem {
 public:
  CFileAssociationItem(CSubEditList* list, UINT fileType, UINT native, bool ticked);
  virtual ~CFileAssociationItem() = default;

  CSubEditList* m_pList;
  uint64_t m_fileType;
  CString m_shortName;
  CString m_description;
  CString m_extensions;
  UINT m_native;
  UINT m_state;  // bit 0 ticked, bit 1 mixed
};

class CFileAssociation : public CToolTipDialog {
 public:
  static constexpr UINT kTemplateId = 1020;
  enum : UINT { kList = 1100, kChooseAll = 1101, kChooseNative = 1102, kChooseNone = 1103 };

  class CTypeList : public CSubEditList {
   public:
    bool IsCellEditable(int row, int column) override;
    bool GetColumnSpecs(const ColumnSpec*& specs, bool& stretch, int& stretchColumn) override;
    void SortBy(int column, bool ascending) override;
    void AccessCellCheck(int row, int column, bool set, UINT& state) override;
    void AccessCellText(int row, int column, bool set, CString& text) override;

   private:
    CFileAssociation* Dialog() const;
    CFileAssociationItem* Item(int row) const;
  };

  CFileAssociation(CWnd* parent, const std::vector<UINT>* chosen);

  // The ticked types, in row order, once the dialog ended with OK.
  const std::vector<UINT>& GetChosenTypes() const { return m_chosen; }
  const std::list<CFileAssociationItem>& GetRows() const { return m_rows; }
  CTypeList& GetTypeList() { return m_typeList; }
  // The chooser of CLXApp::RegisterFileTypesElevated: false when the user cancels.
  static bool ChooseFileTypes(std::vector<uint32_t>& types);

  BOOL OnInitDialog() override;
  void OnOK() override;

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  void OnChooseAll();
  void OnChooseNative();
  void OnChooseNone();
  void OnGetMinMaxInfo(MINMAXINFO* info);
  void OnSize(UINT type, int cx, int cy);
  void SetAllStates(UINT (*state)(const CFileAssociationItem&));
  // Makes the window wide enough that each text column shows its widest text at its share of the list.
  void WidenToFitTexts();
  DECLARE_MESSAGE_MAP()

  bool m_initialising = true;
  CTypeList m_typeList;
  CButton m_chooseAll, m_chooseNative, m_chooseNone;
  std::vector<UINT> m_chosen;
  std::list<CFileAssociationItem> m_rows;
  RECT m_lastClient{0, 0, 0, 0};
  int m_minHeight = 0;
  int m_fixedWidth = 0;
};
