// libFuzzer target of the rich-edit viewer's RTF reader, and of the web-address words of its text.
#include "LXRichText.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CRichTextDocument document;
  LXRichText::ReadRtf(std::string_view(reinterpret_cast<const char*>(data), size), document);
  for (const CRichTextParagraph& paragraph : document.paragraphs)
    for (const auto& [begin, end] : LXRichText::FindUrlWords(paragraph.Text())) LXRichText::LinkTarget(paragraph.Text().substr(begin, end - begin));
  return 0;
}
