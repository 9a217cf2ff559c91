// The Export Graphics dialog: the file format and, for pixel formats, the magnification and a
// transparent background, asked before the plot is written to a file.
#pragma once
#include "ControlWnds.h"
#include "Dialog.h"
#include "LXColor.h"
#include "OwnerDraw.h"

// A format button drawn flat, filled in the highlight colour while checked.
class FlatButton : public CButton {
 public:
  bool m_checked = false;
  void SetChecked(bool checked);
  // Registered message answering 1 + the checked flag (0 from any other window).
  static UINT CheckMessage();

 protected:
  virtual void DrawItem(LPDRAWITEMSTRUCT item);
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  DECLARE_MESSAGE_MAP()
};

// A static text drawn in a colour of its own (grey by default) on the dialog's face.
class ColourStatic : public CStatic {
 public:
  ColourStatic();
  LXGraphics::CColor m_colour{0xFF888888u};

 protected:
  LRESULT OnCtlColor(WPARAM dc, LPARAM);
  DECLARE_MESSAGE_MAP()
};

class GraphicsExportDialog : public CDialog {
 public:
  static constexpr UINT kTemplateId = 6100;
  struct Format {
    UINT id;
    int code;
  };
  static const Format kFormats[6];

  GraphicsExportDialog();
  // The window the modal dialog stays in front of.
  void SetTransientParent(CWnd* parent) { m_pParentWnd = parent; }
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  void OnOK() override;

  // The format code of a button id (0 for none), and whether a format may keep a transparent
  // background: the vector format, GIF, PNG and TIFF can; BMP and JPEG cannot. The dialog
  // answers the box as ticked whatever the format; whoever saves asks this of the format used.
  static int CodeOf(UINT id);
  static bool AllowsTransparency(int code);
  // The three lines for a magnification on a base size: value, pixels, centimetres at 300 dpi.
  static void SizeTexts(int width, int height, double magnification, CString& value, CString& pixels, CString& cm);

  int m_baseWidth = 100;
  int m_baseHeight = 100;
  int m_formatCode = 0;
  bool m_transparent = false;
  double m_magnification = 2.0;

  FlatButton m_buttons[6];
  CSliderCtrl m_slider;
  CButton m_transparentBox;
  // The two headings, "Output Size:", the two size lines and the two notes.
  ColourStatic m_texts[7];

 protected:
  void OnFormat(UINT id);
  void OnSliderScroll(UINT, UINT);
  void SelectFormatButton(UINT id);
  void UpdateSizes();
  LRESULT OnHScroll(WPARAM, LPARAM);
  DECLARE_MESSAGE_MAP()
};
