// `gallery DIR`: one PNG per drawing routine of the framework's drawing layer, and one scene
// through every encoder (PNG, SVG, JPEG, TIFF, BMP, GIF).
#include "Probe.h"

#include "ImageBuffer.h"
#include "LXCursors.h"
#include "LXGdiplus.h"
#include "LXImages.h"
#include "LXPen.h"
#include "LXShapes.h"
#include "LXText.h"

#include <QDir>
#include <QGuiApplication>

#include <cstdio>
#include <functional>
#include <memory>

using namespace Gdiplus;

namespace {
const ARGB kInk = 0xFF202020u;
const ARGB kBlue = 0xFF1A4FB0u;
const ARGB kRed = 0xFFB01A1Au;
const CString kArial(L"Arial");

LXGraphics::CSyncRect Box(float x, float y, float w, float h) { return LXGraphics::CSyncRect(x, y, x + w, y + h); }

void Caption(Graphics& g, const wchar_t* text, float x, float y) {
  DrawTextAtPoint(&g, text, kArial, 8, kTextAlignCentre, 0xFF606060u, LXGraphics::CSyncPoint(x, y));
}

// A white canvas with anti-aliasing, as the plot draws.
std::unique_ptr<Bitmap> Canvas(int w, int h, const std::function<void(Graphics&)>& draw) {
  std::unique_ptr<Bitmap> b(CreateBitmap(UINT(w), UINT(h)));
  Graphics g(b.get());
  g.Clear(Color(0xFFFFFFFFu));
  g.SetSmoothingMode(SmoothingModeAntiAlias);
  draw(g);
  return b;
}

void DrawCallouts(Graphics& g) {
  // Each pointer position of a rounded box, then the capsules and the circle.
  LXGraphics::CSyncRect box = Box(0, 0, 70, 30);
  const float tips[9][2] = {{35, 15}, {40, -18}, {100, -20}, {105, 12}, {100, 55}, {30, 52}, {-30, 55}, {-35, 18}, {-30, -20}};
  LXGraphics::CSyncPoint none(0, 0);
  SolidBrush fill(Color(0xFFFFF6D8u));
  LXGraphics::CLXPen pen(kInk, 1);
  for (int i = 0; i < 9; ++i) {
    float ox = 50 + float(i % 3) * 170, oy = 40 + float(i / 3) * 110;
    LXGraphics::CSyncRect b = Box(ox, oy, box.m_float.Width, box.m_float.Height);
    LXGraphics::CSyncPoint tip(ox + tips[i][0], oy + tips[i][1]);
    GraphicsPath path;
    BuildMarkerPath(path, b, 8, i != 0, tip);
    g.FillPath(&fill, &path);
    g.DrawPath(&pen, &path);
    wchar_t label[16];
    swprintf(label, 16, L"pointer %u", ChooseMarkerPointer(b, tip));
    Caption(g, i == 0 ? L"no pointer" : label, ox + 35, oy + 9);
  }
  const struct {
    float w, h, r, tx, ty;
    const wchar_t* name;
  } shapes[] = {{30, 70, 15, 15, -25, L"vertical capsule"},
                {90, 30, 15, 120, 15, L"horizontal capsule"},
                {40, 40, 20, 60, -20, L"circle"},
                {90, 30, 15, 45, 60, L"badge"}};
  for (int i = 0; i < 4; ++i) {
    float ox = 40 + float(i) * 135, oy = 390;
    GraphicsPath path;
    LXGraphics::CSyncPoint tip(ox + shapes[i].tx, oy + shapes[i].ty);
    BuildMarkerPath(path, Box(ox, oy, shapes[i].w, shapes[i].h), shapes[i].r, i != 3, tip);
    g.FillPath(&fill, &path);
    g.DrawPath(&pen, &path);
    Caption(g, shapes[i].name, ox + shapes[i].w / 2, oy + 95);
  }
}

void DrawArrows(Graphics& g) {
  const float angles[] = {0, 45, 90, 135, 180, 225, 270, 315};
  for (int i = 0; i < 8; ++i) {
    float cx = 50 + float(i % 4) * 100, cy = 50 + float(i / 4) * 90;
    FillArrow(g, LXGraphics::CSyncPoint(cx, cy), 18, 18, 40, 6, angles[i], i % 2 ? kRed : kBlue);
    wchar_t label[16];
    swprintf(label, 16, L"%g\u00B0", double(angles[i]));
    Caption(g, label, cx, cy + 32);
  }
  FillArrow(g, LXGraphics::CSyncPoint(450, 50), 30, 24, 0, 0, 0, kInk);
  Caption(g, L"head only", 450, 82);
  FillArrow(g, LXGraphics::CSyncPoint(450, 140), 0, 0, 50, 8, 0, kInk);
  Caption(g, L"shaft only", 450, 172);
}

void DrawMarkers(Graphics& g) {
  for (int d = 0; d < 4; ++d) {
    LXGraphics::CSyncRect r = Box(20 + float(d) * 70, 20, 40, 40);
    LXGraphics::CLXPen frame(0xFFC0C0C0u, 1);
    g.DrawRectangle(&frame, r.m_float.X, r.m_float.Y, r.m_float.Width, r.m_float.Height);
    DrawMarkerInRect(g, r, d, 0xFF888888u);
    wchar_t label[16];
    swprintf(label, 16, L"direction %d", d);
    Caption(g, label, r.m_float.X + 20, 68);
  }
}

void DrawTexts(Graphics& g) {
  struct Row {
    const wchar_t* text;
    UINT style;
    const wchar_t* name;
  } rows[] = {
      {L"Plain text", 0, L"plain"},
      {L"Bold text", kTextBold, L"bold"},
      {L"Italic text", kTextItalic, L"italic"},
      {L"Underlined text", kTextUnderline, L"underline"},
      {L"Struck out", kTextStrikeout, L"strikeout"},
      {L"(1 \u00AF1\u00AF 0) and (\u00AF2\u00AF 1 \u00AF3\u00AF)", kTextOverbar, L"overbars"},
      {L"a < b > c <<", kTextArrows, L"arrows"},
      {L"Outlined", kTextOutlined | kTextBold, L"outlined"},
  };
  float y = 12;
  for (const Row& r : rows) {
    DrawTextAtPoint(&g, r.text, kArial, 14, r.style, kInk, LXGraphics::CSyncPoint(20, y), 0xFFFFC040u);
    DrawTextAtPoint(&g, r.name, kArial, 8, kTextAlignRight, 0xFF808080u, LXGraphics::CSyncPoint(470, y + 5));
    y += 30;
  }
  // Scripts next to normal text.
  // Each piece starts where the one before it ends.
  float x = 20;
  auto piece = [&](const wchar_t* text, UINT style) {
    DrawTextAtPoint(&g, text, kArial, 14, style, kInk, LXGraphics::CSyncPoint(x, y));
    SizeF m;
    CTextBox tb;
    tb.style = style | kTextSingleLine;
    tb.measured = &m;
    MeasureTextBox(&g, text, kArial, 14, tb);
    x += m.Width;
  };
  piece(L"Cu K\u03B1", 0);
  piece(L"1", kTextSubscript);
  piece(L"  d = 2.5 \u00C5, q in \u00C5", 0);
  piece(L"\u22121", kTextSuperscript);
  DrawTextAtPoint(&g, L"subscript, superscript", kArial, 8, kTextAlignRight, 0xFF808080u, LXGraphics::CSyncPoint(470, y + 5));
  y += 34;
  // Alignment about one point.
  LXGraphics::CLXPen guide(0xFFE0A0A0u, 1);
  g.DrawLine(&guide, 250.0f, y - 4, 250.0f, y + 70);
  DrawTextAtPoint(&g, L"left", kArial, 11, 0, kInk, LXGraphics::CSyncPoint(250, y));
  DrawTextAtPoint(&g, L"centre", kArial, 11, kTextAlignCentre, kInk, LXGraphics::CSyncPoint(250, y + 22));
  DrawTextAtPoint(&g, L"right", kArial, 11, kTextAlignRight, kInk, LXGraphics::CSyncPoint(250, y + 44));
  y += 76;
  // Boxes: wrapping, trimming, alignment.
  LXGraphics::CSyncRect b1 = Box(20, y, 140, 60), b2 = Box(180, y, 140, 60), b3 = Box(340, y, 140, 60);
  for (const auto* b : {&b1, &b2, &b3}) g.DrawRectangle(&guide, b->m_float.X, b->m_float.Y, b->m_float.Width, b->m_float.Height);
  DrawTextBox(&g, L"A longer text that wraps inside its box", kArial, 10, 0, kInk, b1);
  DrawTextBox(&g, L"Trimmed with an ellipsis at the end", kArial, 10, kTextSingleLine | kTextEllipsisChar, kInk, b2);
  DrawTextBox(&g, L"Centred", kArial, 12, kTextAlignCentre | kTextVCentre | kTextSingleLine, kBlue, b3);
  y += 74;
  // Rotated labels, fitted to their boxes and embossed; -30 and 330 are drawn alike.
  const float angles[] = {0, 30, -30, 330, 90, 150};
  for (int i = 0; i < 6; ++i) {
    LXGraphics::CSyncRect b = Box(20 + float(i) * 78, y, 70, 70);
    g.DrawRectangle(&guide, b.m_float.X, b.m_float.Y, b.m_float.Width, b.m_float.Height);
    DrawRotatedLabel(&g, L"Label", kArial, 0, kTextAlignCentre, kBlue, angles[i], i == 1 ? 1.0f : 0.0f, b, false);
    wchar_t label[16];
    swprintf(label, 16, L"%g\u00B0", double(angles[i]));
    Caption(g, label, b.m_float.X + 35, y + 74);
  }
}

void DrawFocusFrames(Graphics& g) {
  DrawFocusFrame(g, RECT{10, 10, 110, 40});
  DrawFocusFrame(g, RECT{130, 10, 230, 40});
  DrawTextAtPoint(&g, L"focused", kArial, 9, kTextAlignCentre | kTextVCentre, kInk, LXGraphics::CSyncPoint(180, 25));
}

std::unique_ptr<Bitmap> Colours() {
  return Canvas(240, 80, [](Graphics& g) {
    const ARGB bars[] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFF00u, 0xFF00FFFFu, 0xFFFF00FFu};
    for (int i = 0; i < 6; ++i) {
      SolidBrush b{Color(bars[i])};
      g.FillRectangle(&b, float(i) * 40, 0.0f, 40.0f, 50.0f);
    }
    LinearGradientBrush ramp(PointF(0, 0), PointF(240, 0), Color(0xFF000000u), Color(0xFFFFFFFFu));
    g.FillRectangle(&ramp, 0.0f, 50.0f, 240.0f, 30.0f);
  });
}

void DrawBufferSteps(Graphics& target) {
  // A buffer drawn at 200 x 120, wiped and grown to 260 x 150 (20 % spare room), drawn again.
  CImageBuffer buffer;
  buffer.Prepare(Box(0, 0, 200, 120), 96, 96);
  {
    std::unique_ptr<Graphics> g(buffer.CreateGraphics());
    SolidBrush fill(Color(0xFFCCE0FFu));
    g->FillRectangle(&fill, 0.0f, 0.0f, 200.0f, 120.0f);
    DrawTextAtPoint(g.get(), L"first drawing", kArial, 10, 0, kInk, LXGraphics::CSyncPoint(10, 10));
  }
  target.DrawImage(buffer.m_pBitmap, 10.0f, 20.0f);
  Caption(target, L"200 x 120", 110, 150);
  buffer.m_bClearPending = true;
  buffer.Prepare(Box(50, 30, 260, 150), 96, 96);
  {
    std::unique_ptr<Graphics> g(buffer.CreateGraphics());
    LXGraphics::CLXPen pen(kRed, 2);
    g->DrawRectangle(&pen, 50.0f, 30.0f, 260.0f, 150.0f);
    DrawTextAtPoint(g.get(), L"wiped, grown", kArial, 10, 0, kInk, LXGraphics::CSyncPoint(60, 40));
  }
  // The bitmap on a chequer, so that the wiped (transparent) part shows.
  float ox = 230, oy = 20;
  HatchBrush chequer(HatchStyle50Percent, Color(0xFFE0E0E0u), Color(0xFFFFFFFFu));
  target.FillRectangle(&chequer, ox, oy, float(buffer.m_pBitmap->GetWidth()), float(buffer.m_pBitmap->GetHeight()));
  target.DrawImage(buffer.m_pBitmap, ox, oy);
  wchar_t label[32];
  swprintf(label, 32, L"bitmap %u x %u", buffer.m_pBitmap->GetWidth(), buffer.m_pBitmap->GetHeight());
  Caption(target, label, ox + 156, 215);
}

void DrawCursors(Graphics& g) {
  const UINT ids[] = {2100, 2101, 2102, 2103, 2104};
  float x = 20;
  for (UINT id : ids) {
    std::unique_ptr<Bitmap> b(LoadBitmapResource(id));
    if (!b) continue;
    g.DrawImage(b.get(), x, 20.0f, float(b->GetWidth()) * 2, float(b->GetHeight()) * 2);
    wchar_t label[16];
    swprintf(label, 16, L"%u", id);
    Caption(g, label, x + float(b->GetWidth()), 90);
    x += 80;
  }
}

void DrawScene(Graphics& g) {
  SolidBrush back(Color(0xFFFFFFFFu));
  g.FillRectangle(&back, 0.0f, 0.0f, 320.0f, 200.0f);
  g.SetSmoothingMode(SmoothingModeAntiAlias);
  LinearGradientBrush sky(PointF(0, 0), PointF(0, 200), Color(0xFFE8F0FFu), Color(0xFFFFFFFFu));
  g.FillRectangle(&sky, 10.0f, 10.0f, 300.0f, 180.0f);
  // A peak clipped below y = 90: its top is cut off in every format, the SVG included.
  g.SetClip(RectF(10, 90, 300, 100));
  GraphicsPath peak;
  peak.AddBezier(PointF(40, 180), PointF(140, 180), PointF(150, -60), PointF(160, 180));
  peak.AddLine(160, 180, 280, 180);
  Pen line(Color(kBlue), 2);
  g.DrawPath(&line, &peak);
  g.ResetClip();
  GraphicsPath label;
  BuildMarkerPath(label, Box(190, 30, 90, 26), 6, true, LXGraphics::CSyncPoint(158, 70));
  SolidBrush fill(Color(0xFFFFF6D8u));
  LXGraphics::CLXPen pen(kInk, 1);
  g.FillPath(&fill, &label);
  g.DrawPath(&pen, &label);
  DrawTextAtPoint(&g, L"(1 \u00AF1\u00AF 0)", kArial, 10, kTextOverbar | kTextAlignCentre | kTextVCentre, kInk,
                  LXGraphics::CSyncPoint(235, 43));
  FillArrow(g, LXGraphics::CSyncPoint(60, 30), 10, 10, 20, 3, 0, kRed);
  LXGraphics::CLXPen frame(kInk, 1);
  g.DrawRectangle(&frame, 10.0f, 10.0f, 300.0f, 180.0f);
}

int RunGallery(const std::vector<std::string>& args) {
  if (args.size() != 1) {
    std::fprintf(stderr, "usage: qlwprobe gallery DIR\n");
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  int argc = 1;
  char name[] = "qlwprobe";
  char* argv[] = {name, nullptr};
  QGuiApplication app(argc, argv);
  QString dir = QString::fromStdString(args[0]);
  if (!QDir().mkpath(dir)) {
    std::fprintf(stderr, "qlwprobe: cannot create %s\n", args[0].c_str());
    return 1;
  }
  StartGdiplus();
  int failures = 0;
  auto save = [&](Image* image, const char* file) {
    QString path = QDir(dir).filePath(QString::fromLatin1(file));
    bool ok = SaveImageToFile(image, CString(path.toStdWString().c_str()));
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", file);
    failures += ok ? 0 : 1;
  };
  save(Canvas(540, 510, DrawCallouts).get(), "callouts.png");
  save(Canvas(520, 200, DrawArrows).get(), "arrows.png");
  save(Canvas(300, 80, DrawMarkers).get(), "markers.png");
  save(Canvas(490, 600, DrawTexts).get(), "text.png");
  save(Canvas(240, 50, DrawFocusFrames).get(), "focusframe.png");
  {
    std::unique_ptr<Bitmap> colours = Colours();
    std::unique_ptr<Bitmap> grey(MakeGrayscaleBitmap(colours.get()));
    save(Canvas(250, 180, [&](Graphics& g) {
           g.DrawImage(colours.get(), 5.0f, 5.0f);
           g.DrawImage(grey.get(), 5.0f, 95.0f);
         }).get(),
         "grayscale.png");
  }
  save(Canvas(560, 230, DrawBufferSteps).get(), "buffer.png");
  save(Canvas(420, 110, DrawCursors).get(), "cursors.png");
  std::unique_ptr<Bitmap> scene = Canvas(320, 200, DrawScene);
  for (const char* file : {"scene.png", "scene.jpg", "scene.tif", "scene.bmp", "scene.gif"}) save(scene.get(), file);
  {
    Metafile meta(static_cast<HDC>(nullptr));
    {
      Graphics g(&meta);
      DrawScene(g);
    }
    save(&meta, "scene.svg");
  }
  StopGdiplus();
  return failures ? 1 : 0;
}
}  // namespace

QLW_PROBE_COMMAND(gallery, "gallery", "DIR", RunGallery);
