// The rich-edit viewer: the RTF reader, web-address words and which links may open, and loading
// texts and files into the control.
#include "LXRichEdit.h"
#include "WidgetApp.h"

#include <QTextEdit>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "TestSupport.h"
#include "WndQt.h"

namespace fs = std::filesystem;

namespace {
std::wstring Read(const std::string& rtf, bool* ok = nullptr) {
  CRichTextDocument document;
  const bool read = LXRichText::ReadRtf(rtf, document);
  if (ok) *ok = read;
  return document.Text(L" | ");
}
}  // namespace

TEST(LXRichText, ReadsTheRtfSubsetItShows) {
  struct Case {
    const char* rtf;
    const wchar_t* text;
  };
  const Case cases[] = {
      {R"({\rtf1 Hello\par World})", L"Hello | World"},
      {R"({\rtf1{\fonttbl{\f0\fswiss Arial;}}{\colortbl;\red0\green0\blue0;}{\*\unknowndest skipped}Text})", L"Text"},
      {R"({\rtf1{\info{\title T}{\author A}}{\pict\pngblip 89504e47}Shown})", L"Shown"},
      {R"({\rtf1 a\tab b\line c})", L"a\tb | c"},
      {R"({\rtf1 Caf\'e9 \'80 \'93q\'94})", L"Caf\u00e9 \u20ac \u201cq\u201d"},
      {R"({\rtf1 \u8364? \uc2\u8364xyz \uc0\u8364!})", L"\u20ac \u20acz \u20ac!"},
      {R"({\rtf1 \u-4064?x})", L"\uF020x"},  // a signed 16-bit value
      {R"({\rtf1 \u-10179?\u-8704?.})", L"\U0001F600."},  // a pair of surrogates is one character
      {R"({\rtf1 \\ \{ \}})", L"\\ { }"},
      {R"({\rtf1 a{\b b}c\bin3 {}}d})", L"abcd"},  // binary data skipped, braces in it included
      {R"({\rtf1 x}})", L"x"},                    // a brace too many closes nothing
      {"{\\rtf1 one\\par\n}", L"one"},
  };
  for (const Case& c : cases) {
    bool ok = false;
    EXPECT_EQ(Read(c.rtf, &ok), c.text) << c.rtf;
    EXPECT_TRUE(ok) << c.rtf;
  }
}

TEST(LXRichText, KeepsBoldItalicAndUnderlinePerRun) {
  CRichTextDocument document;
  ASSERT_TRUE(LXRichText::ReadRtf(R"({\rtf1 \b B\b0 {\i I}\ul U\ulnone\i\ul BOTH\plain N})", document));
  ASSERT_EQ(document.paragraphs.size(), 1u);
  const auto& runs = document.paragraphs[0].runs;
  ASSERT_EQ(runs.size(), 5u);
  EXPECT_TRUE(runs[0].bold && !runs[0].italic);
  EXPECT_TRUE(runs[1].italic && !runs[1].bold);
  EXPECT_TRUE(runs[2].underline && !runs[2].italic);  // the group's italic ended with it
  EXPECT_TRUE(runs[3].italic && runs[3].underline);
  EXPECT_EQ(runs[4].text, L"N");
  EXPECT_FALSE(runs[4].bold || runs[4].italic || runs[4].underline);
}

TEST(LXRichText, RefusesTextsThatWouldRunAwayAndSurvivesTruncation) {
  bool ok = true;
  Read("{\\rtf1 " + std::string(LXRichText::kMaxDepth + 10, '{') + "deep", &ok);
  EXPECT_FALSE(ok);
  Read(R"({\rtf1 a\bin99999999999999999999 b})", &ok);
  EXPECT_FALSE(ok);
  Read(R"({\rtf1 a\bin-5 b})", &ok);
  EXPECT_FALSE(ok);
  // Cut off anywhere, the reader stops where the text does.
  const std::string whole = R"({\rtf1{\fonttbl{\f0 A;}}\b x\'e9\u8364?\par y})";
  for (size_t n = 0; n <= whole.size(); ++n) Read(whole.substr(0, n));
  EXPECT_EQ(Read(R"({\rtf1 \'e)"), std::wstring(1, wchar_t(0x0e)));
}

TEST(LXRichText, UrlWordsAndTheLinksThatMayOpen) {
  const std::wstring text = L"See (https://a.example/x), www.b.example. mailto:c@d.example C:\\dir file:///etc/passwd http:";
  std::vector<std::wstring> words;
  for (const auto& [begin, end] : LXRichText::FindUrlWords(text)) words.push_back(text.substr(begin, end - begin));
  EXPECT_EQ(words, (std::vector<std::wstring>{L"https://a.example/x", L"www.b.example", L"mailto:c@d.example",
                                               L"file:///etc/passwd"}));
  struct Case {
    const wchar_t* link;
    const wchar_t* target;
  };
  const Case cases[] = {
      {L"https://a.example/x", L"https://a.example/x"}, {L"HTTP://a.example", L"HTTP://a.example"},
      {L"www.b.example", L"http://www.b.example"},      {L"mailto:c@d.example", L"mailto:c@d.example"},
      {L"file:///etc/passwd", L""},                     {L"javascript:alert(1)", L""},
      {L"http:", L""},                                  {L"ftp://e.example", L""},
  };
  for (const Case& c : cases) EXPECT_EQ(LXRichText::LinkTarget(c.link), c.target) << c.link;
}

TEST(LXRichEdit, LoadsTextsAndFilesAsTheirKindSays) {
  qlwtest::EnsureWidgetApp("test_windows");
  CWnd host;
  ASSERT_TRUE(host.CreateEx(0, nullptr, L"host", WS_OVERLAPPED, RECT{0, 0, 300, 200}, nullptr, 0));
  CLXRichEdit edit;
  ASSERT_TRUE(edit.Create(WS_VISIBLE | ES_MULTILINE, RECT{0, 0, 300, 200}, &host, 100));
  edit.Initialise();
  auto* widget = qobject_cast<QTextEdit*>(qlw::WidgetOf(edit.m_hWnd));
  ASSERT_NE(widget, nullptr);
  EXPECT_TRUE(widget->isReadOnly());

  EXPECT_TRUE(edit.SetText(L"{\\rtf1 \\b bold\\b0  see www.a.example}"));
  EXPECT_TRUE(edit.IsRtf());
  EXPECT_EQ(widget->toPlainText().toStdString(), "bold see www.a.example");
  EXPECT_NE(widget->toHtml().indexOf(QStringLiteral("href=\"www.a.example\"")), -1);
  // A leading blank makes it plain text.
  EXPECT_TRUE(edit.SetText(L" {\\rtf1 \\b bold}"));
  EXPECT_FALSE(edit.IsRtf());
  EXPECT_EQ(widget->toPlainText().toStdString(), " {\\rtf1 \\b bold}");
  EXPECT_TRUE(edit.SetText(L""));
  EXPECT_TRUE(widget->toPlainText().isEmpty());

  const fs::path folder = fs::path(qlwtest::ScratchDir()) / "richedit";
  fs::create_directories(folder);
  std::ofstream(folder / "notes.rtf") << "{\\rtf1 from\\par file}";
  std::ofstream(folder / "notes.txt") << "{\\rtf1 kept}\r\nline \xe9";  // not UTF-8: Windows-1252
  std::ofstream(folder / "empty.rtf");
  {
    std::ofstream big(folder / "big.txt");
    big.seekp(static_cast<std::streamoff>(CLXRichEdit::kMaxFileBytes));
    big << 'x';
  }
  struct Case {
    const char* name;
    bool ok;
    bool rtf;
    const wchar_t* text;
  };
  const Case cases[] = {
      {"notes.rtf", true, true, L"from | file"},
      {"notes.txt", true, false, L"{\\rtf1 kept} | line \u00e9"},
      {"empty.rtf", true, true, L""},
      {"big.txt", false, true, L""},    // refused, the control as it was
      {"missing.txt", false, true, L""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(edit.LoadFile(CString((folder / c.name).c_str())), c.ok) << c.name;
    EXPECT_EQ(edit.IsRtf(), c.rtf) << c.name;
    EXPECT_EQ(edit.GetDocument().Text(L" | "), c.text) << c.name;
  }
  edit.DestroyWindow();
  host.DestroyWindow();
}
