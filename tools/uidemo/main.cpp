// Shows a frame with a menu bar, a status bar and a form of standard controls, and a dialog made
// from a template beside it. With "--grab DIR" it saves both windows as PNG and quits.
// "--controls [--grab DIR]" shows the framework's value-controls demo (dialog 9300) instead.
#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <string>

#include "ControlsDemo.h"
#include "Dialog.h"
#include "LXAlertDialog.h"
#include "Frame.h"
#include "ResourceText.h"
#include "WndQt.h"

namespace {
const char kResources[] = R"(
MENU 9000
  POPUP "&File"
    ITEM 9001 "&Open...\tCtrl+O"
    ITEM 9002 "&Save\tCtrl+S"
    SEPARATOR
    ITEM 9003 "E&xit"
  END
  POPUP "&View"
    ITEM 9004 "Show &Grid"
    ITEM 9005 "Show &Legend"
  END
  POPUP "&Help"
    ITEM 9006 "&About..."
  END
END
ACCELERATORS 9000
  9001 "Ctrl+O"
  9002 "Ctrl+S"
END
DIALOG 9100 "Plot Range"
  ROW
    LABEL -1 "Minimum 2θ (°):"
    EDIT 9101 ""
  END
  ROW
    LABEL -1 "Maximum 2θ (°):"
    EDIT 9102 ""
  END
  CHECKBOX 9103 "Autoscale Y"
  RADIO 9104 "X-rays" GROUP
  RADIO 9105 "Neutrons"
  BUTTON 1 "OK" DEFAULT
  BUTTON 2 "Cancel"
END
DIALOG 9200 ""
  ROW
    LABEL -1 "Profile:"
    DROPLIST 9201 ""
    LABEL -1 "Step:"
    EDIT 9202 "0.02"
    SPIN 9203 ""
  END
  LIST 9204 "" OWNERDATA
  ROW
    SLIDER 9205 ""
    PROGRESS 9206 ""
  END
END
)";

class DemoForm : public CFormView {
 public:
  DemoForm() : CFormView(9200) {}
  void OnGetDispInfo(NMHDR* hdr, LRESULT*) {
    auto* info = reinterpret_cast<NMLVDISPINFOW*>(hdr);
    static const wchar_t* names[] = {L"Rutile", L"Anatase", L"Brookite", L"Corundum"};
    if (!(info->item.mask & LVIF_TEXT)) return;
    const int row = info->item.iItem;
    if (info->item.iSubItem == 0)
      std::swprintf(info->item.pszText, static_cast<size_t>(info->item.cchTextMax), L"%ls", names[row % 4]);
    else
      std::swprintf(info->item.pszText, static_cast<size_t>(info->item.cchTextMax), L"%.3f", 20.0 + row * 1.7 + info->item.iSubItem);
  }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(DemoForm, CFormView)
ON_NOTIFY(LVN_GETDISPINFOW, 9204, &DemoForm::OnGetDispInfo)
END_MESSAGE_MAP()

class DemoFrame : public CFrameWnd {
 public:
  bool grid = true;
  void OnExit() { DestroyWindow(); }
  void OnGrid() { grid = !grid; }
  void OnUpdateGrid(CCmdUI* ui) { ui->SetCheck(grid ? 1 : 0); }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(DemoFrame, CFrameWnd)
ON_COMMAND(9003, &DemoFrame::OnExit)
ON_COMMAND(9004, &DemoFrame::OnGrid)
ON_UPDATE_COMMAND_UI(9004, &DemoFrame::OnUpdateGrid)
END_MESSAGE_MAP()

class RangeDialog : public CDialog {
 public:
  RangeDialog() : CDialog(9100) {}
  double low = 5, high = 90;
  int autoscale = 1, radiation = 0;
  void DoDataExchange(CDataExchange* dx) override {
    DDX_Text(dx, 9101, low);
    DDX_Text(dx, 9102, high);
    DDX_Check(dx, 9103, autoscale);
    DDX_Radio(dx, 9104, radiation);
  }
};
}  // namespace

int RunControlsDemo(int argc, char** argv) {
  CLXAlertDialog::Install();
  CControlsDemo demo;
  if (!demo.Create(CControlsDemo::kTemplateId, nullptr)) {
    std::fprintf(stderr, "the controls demo did not open\n");
    return 1;
  }
  QWidget* window = qlw::WidgetOf(demo.m_hWnd);
  QObject::connect(window, &QObject::destroyed, qApp, &QApplication::quit);
  if (argc == 4 && std::string(argv[2]) == "--grab") {
    const QString dir = QString::fromLocal8Bit(argv[3]);
    QTimer::singleShot(800, [dir, window] {
      window->grab().save(dir + "/controls.png");
      QApplication::quit();
    });
  }
  const int result = QApplication::exec();
  if (demo.m_hWnd) demo.DestroyWindow();
  return result;
}

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc >= 2 && std::string(argv[1]) == "--controls") return RunControlsDemo(argc, argv);
  std::string error;
  if (!qlw::AddResourceText(kResources, &error)) {
    std::fprintf(stderr, "resources: %s\n", error.c_str());
    return 1;
  }
  auto* frame = new DemoFrame;
  frame->LoadFrame(9000);
  frame->SetWindowText(L"Quillonographic - rutile.cif");
  frame->MoveWindow(20, 20, 560, 400);
  auto* form = new DemoForm;
  form->Create(nullptr, nullptr, WS_CHILD | WS_VISIBLE, CRect(0, 0, 10, 10), frame, AFX_IDW_PANE_FIRST);
  for (const wchar_t* s : {L"Pseudo-Voigt", L"Gaussian", L"Lorentzian"})
    form->SendDlgItemMessage(9201, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
  form->SendDlgItemMessage(9201, CB_SETCURSEL, 0);
  const wchar_t* titles[] = {L"Phase", L"2θ (°)", L"d (Å)"};
  for (int c = 0; c < 3; ++c) {
    LVCOLUMNW col{LVCF_TEXT | LVCF_WIDTH | LVCF_FMT, c ? LVCFMT_RIGHT : LVCFMT_LEFT, c ? 90 : 140,
                  const_cast<LPWSTR>(titles[c]), 0, c};
    form->SendDlgItemMessage(9204, LVM_INSERTCOLUMNW, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&col));
  }
  form->SendDlgItemMessage(9204, LVM_SETITEMCOUNT, 250);
  form->SendDlgItemMessage(9205, TBM_SETPOS, TRUE, 40);
  form->SendDlgItemMessage(9206, PBM_SETPOS, 65);
  CStatusBar status;
  status.Create(frame);
  const UINT panes[] = {0, 0};
  status.SetIndicators(panes, 2);
  status.SetPaneText(0, L"Ready");
  status.SetPaneText(1, L"250 reflexions");
  frame->RecalcLayout();
  frame->ShowWindow(SW_SHOW);

  RangeDialog dialog;
  dialog.Create(9100, frame);
  dialog.SetWindowPos(nullptr, 600, 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER);

  if (argc == 3 && std::string(argv[1]) == "--grab") {
    const QString dir = QString::fromLocal8Bit(argv[2]);
    QTimer::singleShot(800, [dir, frame, &dialog] {
      qlw::WidgetOf(frame->m_hWnd)->grab().save(dir + "/frame.png");
      qlw::WidgetOf(dialog.m_hWnd)->grab().save(dir + "/dialog.png");
      QApplication::quit();
    });
  }
  return app.exec();
}
