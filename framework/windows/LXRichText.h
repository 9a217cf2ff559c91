// Formatted text for the rich-edit viewer (LXRichEdit.h): our own reader of the RTF subset it shows
// (groups, skipped destinations, paragraphs, tabs, Windows-1252 and Unicode characters, bold,
// italic, underline), plain text split into paragraphs, and the words that are web addresses.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct CRichTextRun {
  std::wstring text;
  bool bold = false;
  bool italic = false;
  bool underline = false;
};

struct CRichTextParagraph {
  std::vector<CRichTextRun> runs;
  std::wstring Text() const;
};

struct CRichTextDocument {
  std::vector<CRichTextParagraph> paragraphs;
  // The paragraphs' texts joined with sep.
  std::wstring Text(std::wstring_view sep) const;
};

namespace LXRichText {
// Groups nested deeper than this, or binary data running past the end, make the text unreadable.
constexpr int kMaxDepth = 256;

// Reads RTF; false (out holding what was read so far) for a text that is malformed past repair.
bool ReadRtf(std::string_view rtf, CRichTextDocument& out);
// Bytes of Windows-1252 as text.
std::wstring FromWindows1252(std::string_view bytes);
// Plain text: one paragraph per line (CR LF, LF or CR).
void ReadPlain(std::wstring_view text, CRichTextDocument& out);
// The web addresses among the whitespace-separated words of text: a scheme and ":" ("https://…",
// "mailto:…"), or "www." at the start; trailing punctuation is not part of one. [begin, end) each.
std::vector<std::pair<size_t, size_t>> FindUrlWords(std::wstring_view text);
// The address to open for a link's text: "www." gets "http://"; only http, https and mailto are
// opened, so a link can never start a program or open a local file. Empty when refused.
std::wstring LinkTarget(std::wstring_view text);
}  // namespace LXRichText
