// CLXRichEdit: a read-only viewer of RTF or plain text, from memory or a file, whose web addresses
// are links that open in the desktop's browser. The reader is LXRichText.h, the Qt side
// LXRichEditQt.cpp.
#pragma once
#include <vector>

#include "ControlWnds.h"
#include "LXRichText.h"

class CLXRichEdit : public CRichEditCtrl {
 public:
  // Larger files are refused: their length would not fit the control's 32-bit stream.
  static constexpr unsigned long long kMaxFileBytes = 16ull << 20;

  CLXRichEdit() = default;

  void Clear();
  // Read-only, links detected and reported.
  void Initialise();
  // A text beginning with "{\rtf" is read as RTF, any other as plain text.
  bool SetText(const CString& text);
  // The whole file, as RTF when its extension is that of the RTF type, else as plain text. False,
  // the control left as it was, when the file cannot be opened or read.
  bool LoadFile(const CString& path);
  // A click on a link whose text is text: opens it when it is a web or mail address.
  void OnLinkClicked(const CString& text);

  bool IsRtf() const { return m_rtf; }
  const CRichTextDocument& GetDocument() const { return m_document; }

 private:
  bool Show(bool rtf, bool ok);

  bool m_readOnly = false;
  bool m_detectUrls = false;
  bool m_rtf = false;
  CRichTextDocument m_document;
};

namespace LXRichEditQt {
void Show(CLXRichEdit* edit, const CRichTextDocument& document, bool detectUrls);
void SetReadOnly(CLXRichEdit* edit, bool readOnly);
}  // namespace LXRichEditQt
