// CScatteringFactors: the floating palette of the element scattering-factor table ("ASF" in the
// preferences): an editable, sortable list of the records, the X-ray f against d* of the selected
// rows, and import, export and reset of the table through its text file (files/ASFTableFile.h).
// The list is ScatteringFactorsList.cpp, the graph and its mouse ScatteringFactorsGraph.cpp.
#pragma once

#include "DiffractionSettings.h"
#include "LXASF.h"
#include "LXAlphaButton.h"
#include "LXPalette.h"
#include "SplitterControl.h"
#include "SubEditList.h"

#include <memory>
#include <vector>

class CGraphRenderer;

LX_DECLARE_EXCEPTION(CLXXScatteringSplitter, CLXXProduct, 23529);

class CScatteringFactors : public CLXPalette {
  DECLARE_DYNAMIC(CScatteringFactors)
 public:
  static constexpr UINT kTemplateId = 5320;
  static constexpr UINT kActionId = 3500, kAddId = 3501, kGraphId = 3502, kListId = 3503, kDeleteId = 3504,
                        kSplitterId = 3505, kStatusId = 3506;
  static constexpr UINT kActionMenuId = 142, kGraphMenuId = 143;
  static constexpr UINT kCmdExport = 34268, kCmdImport = 34269, kCmdFactoryReset = 34270, kCmdCopyGraphics = 34271,
                        kCmdShowCursor = 34274, kCmdShowGridlines = 34275, kCmdExportGraphics = 34276,
                        kCmdHelp = 32788;
  static constexpr int kColumnCount = 14;

  class CASFList;
  // One row: its record and the mark that selection and deletion use.
  struct ASFRec {
    CLXASF asf;
    std::uint8_t marked = 0;
    CASFList* list = nullptr;
  };

  class CASFList : public CSubEditList {
   public:
    bool IsCellEditable(int row, int column) override;
    bool IsColumnSortable(int column) override { return column >= 1 && column <= kColumnCount; }
    bool GetColumnSpecs(const ColumnSpec*& specs, bool& stretch, int& stretchColumn) override;
    void SortBy(int column, bool ascending) override;
    void AccessCellText(int row, int column, bool set, CString& text) override;

    // Whole symbols compared, so that the order is strict ("C" < "Ca" < "Cl").
    static bool CompareRows(int column, const ASFRec& a, const ASFRec& b);
    // The text of a cell, and an edit applied to a record: false when the text leaves it unchanged.
    static CString CellText(const CLXASF& record, int column);
    static bool ApplyEdit(CLXASF& record, int column, const CString& text);

   protected:
    CScatteringFactors* GetPalette() const;
  };

  // The owner-drawn graph: paints through DrawGraph, hands its mouse to the palette.
  class CGraphArea : public CWnd {
   public:
    CScatteringFactors* m_palette = nullptr;

   protected:
    void OnPaint();
    BOOL OnEraseBkgnd(CDC*) { return TRUE; }
    void OnLButtonDown(UINT flags, CPoint point);
    void OnMouseMove(UINT flags, CPoint point);
    void OnLButtonUp(UINT flags, CPoint point);
    BOOL OnSetCursor(CWnd* window, UINT hitTest, UINT message);
    void OnContextMenu(CWnd* window, CPoint point);
    DECLARE_MESSAGE_MAP()
  };

  // How the graph is drawn: on screen, or into an image for copy and export.
  struct RenderRequest {
    std::uint32_t kind = 1;  // 1 bitmap, 2 metafile
    bool transparent = false;
    double scale = 1.0;
  };
  // The curves of one drawing, as DrawGraph built them (for the window-script runner and tests).
  struct GraphCurve {
    CString title;
    std::vector<std::pair<double, double>> points;
  };

  CScatteringFactors();
  ~CScatteringFactors() override;

  // The one palette of the run: made on first use and opened at its stored place. mode 0 takes
  // the visibility from the preferences, 1 shows, 2 hides.
  static CScatteringFactors* OpenPalette(int mode);
  static CScatteringFactors* GetPalette();
  // Shows the palette, or hides it when it is visible (the main window's command).
  static void TogglePalette();

  UINT GetTemplateID() override { return kTemplateId; }
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  BOOL OnCmdMsg(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* info) override;
  BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  void RefreshControls() override;
  void UpdateControls(bool fromModel) override;
  void SaveState() override { StoreToPreferences(); }
  void FillSyncState(void* view) override;
  void ReadSyncState(const void* view) override;
  size_t GetSyncStateSize() override;

  // Rectangle and visibility into the preferences; the rows replace "ASF" when modified.
  void StoreToPreferences();
  // Rows from source, or from the stored table when null.
  void LoadList(const std::vector<CLXASF>* source);
  void OnAddFactor();
  void OnDeleteFactors();
  void OnImport();
  void OnExport();
  void OnFactoryReset();
  void OnCopyGraphics();
  void OnExportGraphics();

  // The records of the selected rows in row order.
  std::vector<CLXASF> CollectSelected() const;
  // f = Σ aᵢ·exp(−bᵢ·s²) + c at s = x / 2 (x is d*) for x = x0 + k·h, k = 0 .. n − 1, into out.
  static void SampleFormFactor(const CLXASF& record, double x0, double h, int n, double* out);
  // The plot title for the records ("X-ray Atomic Scattering Factors for Fe, Co, and Ni").
  static CString GraphTitle(const std::vector<CLXASF>& records);
  // Draws the graph of the selected rows into rect; tools only on screen.
  void DrawGraph(Gdiplus::Graphics* graphics, const RECT& rect, const RenderRequest& request, bool screen);
  // The same for any records (the benchmark draws the whole table).
  void DrawRecords(Gdiplus::Graphics* graphics, const RECT& rect, const RenderRequest& request, bool screen,
                   const std::vector<CLXASF>& records);
  // The graph as an image of its size times the scale, without the cursor; null on failure.
  Gdiplus::Image* RenderGraphImage(const RenderRequest& request);

  std::vector<ASFRec>& GetRows() { return m_rows; }
  CASFList& GetList() { return m_list; }
  CDiffractionSettings& GetGraphSettings() { return m_graphSettings; }
  CCursor* GetGraphCursor() { return m_graphSettings.GetCursor(true); }
  const std::vector<GraphCurve>& GetLastCurves() const { return m_lastCurves; }
  int GetSelectedCount() const;
  // Selects the row alone, as a click on it would.
  void SelectOnly(int row);
  // Every edit, addition, deletion, import and reset; cleared when the rows are stored.
  void MarkTableModified() { m_tableModified = true; }
  bool IsTableModified() const { return m_tableModified; }

  // The mouse on the graph, in its client pixels.
  void GraphButtonDown(const POINT& point);
  void GraphMouseMove(const POINT& point, bool buttonDown);
  void GraphButtonUp(const POINT& point);
  bool GraphSetCursor();
  void GraphContextMenu(const POINT& screen);

 protected:
  void LayOut();
  void RepaintGraph();
  void SetItemCount(bool allocation);
  void OnSize(UINT type, int cx, int cy);
  void OnGetMinMaxInfo(MINMAXINFO* info);
  LRESULT OnToolGetPlotRect(WPARAM, LPARAM lParam);
  LRESULT OnToolUpdateRequest(WPARAM, LPARAM);
  LRESULT OnCursorColour(WPARAM colour, LPARAM);
  LRESULT OnAlphaButton(WPARAM id, LPARAM);
  DECLARE_MESSAGE_MAP()

  std::vector<ASFRec> m_rows;
  CASFList m_list;
  CGraphArea m_graph;
  CSplitterControl m_splitter;
  CAlphaButton m_actionButton;
  CAlphaButton m_addButton;
  CAlphaButton m_deleteButton;
  CStatic m_status;
  CMenu m_actionMenu;
  CDiffractionSettings m_graphSettings{true};
  std::shared_ptr<CGraphRenderer> m_renderer;
  std::vector<GraphCurve> m_lastCurves;
  bool m_tableModified = false;
  bool m_initialised = false;
  int m_minTrackHeight = 0;
  int m_minTrackWidth = 0;
  int m_bottomBand = 0;
  // The mouse on the graph.
  bool m_buttonDown = false;
  bool m_dragging = false;
  bool m_pressOnCursor = false;
  POINT m_lastPoint{0, 0};
  POINT m_currentPoint{0, 0};
};
