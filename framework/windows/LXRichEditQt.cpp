// The rich-edit viewer's text on its QTextEdit: runs with their style, web addresses as anchors,
// and a left click on one reported to the viewer.
#include <QEvent>
#include <QMouseEvent>
#include <QTextCursor>
#include <QTextEdit>

#include "LXRichEdit.h"
#include "WndQt.h"

namespace {
QTextEdit* EditOf(CLXRichEdit* edit) { return edit && edit->m_hWnd ? qobject_cast<QTextEdit*>(qlw::WidgetOf(edit->m_hWnd)) : nullptr; }

QString Q(const std::wstring& text) { return QString::fromStdWString(text); }

class LinkClicks : public QObject {
 public:
  LinkClicks(QTextEdit* text, HWND hwnd) : QObject(text), m_text(text), m_hwnd(hwnd) {}

 protected:
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() != QEvent::MouseButtonRelease) return false;
    auto* mouse = static_cast<QMouseEvent*>(e);
    if (mouse->button() != Qt::LeftButton) return false;
    const QString anchor = m_text->anchorAt(mouse->position().toPoint());
    if (anchor.isEmpty()) return false;
    if (auto* edit = dynamic_cast<CLXRichEdit*>(CWnd::FromHandlePermanent(m_hwnd)))
      edit->OnLinkClicked(CString(anchor.toStdWString().c_str()));
    return false;
  }

 private:
  QTextEdit* m_text;
  HWND m_hwnd;
};
}  // namespace

namespace LXRichEditQt {
void Show(CLXRichEdit* edit, const CRichTextDocument& document, bool detectUrls) {
  QTextEdit* text = EditOf(edit);
  if (!text) return;
  if (!text->property("qlwLinkClicks").toBool()) {
    text->viewport()->installEventFilter(new LinkClicks(text, edit->m_hWnd));
    text->setProperty("qlwLinkClicks", true);
  }
  text->clear();
  QTextCursor cursor(text->document());
  for (size_t p = 0; p < document.paragraphs.size(); ++p) {
    if (p) cursor.insertBlock();
    const CRichTextParagraph& paragraph = document.paragraphs[p];
    const std::wstring whole = paragraph.Text();
    const auto links = detectUrls ? LXRichText::FindUrlWords(whole) : std::vector<std::pair<size_t, size_t>>{};
    size_t offset = 0;
    for (const CRichTextRun& run : paragraph.runs) {
      QTextCharFormat format;
      format.setFontWeight(run.bold ? QFont::Bold : QFont::Normal);
      format.setFontItalic(run.italic);
      format.setFontUnderline(run.underline);
      // Split the run where links begin and end.
      size_t at = 0;
      while (at < run.text.size()) {
        const size_t here = offset + at;
        size_t end = run.text.size();
        const std::pair<size_t, size_t>* link = nullptr;
        for (const auto& l : links) {
          if (here >= l.first && here < l.second) link = &l;
          else if (l.first > here) end = std::min(end, l.first - offset);
        }
        if (link) end = std::min(end, link->second - offset);
        QTextCharFormat piece = format;
        if (link) {
          piece.setAnchor(true);
          piece.setAnchorHref(Q(whole.substr(link->first, link->second - link->first)));
          piece.setFontUnderline(true);
          piece.setForeground(text->palette().link());
        }
        cursor.insertText(Q(run.text.substr(at, end - at)), piece);
        at = end;
      }
      offset += run.text.size();
    }
  }
  text->moveCursor(QTextCursor::Start);
}

void SetReadOnly(CLXRichEdit* edit, bool readOnly) {
  if (QTextEdit* text = EditOf(edit)) {
    text->setReadOnly(readOnly);
    text->setTextInteractionFlags(readOnly ? Qt::TextBrowserInteraction : Qt::TextEditorInteraction);
  }
}
}  // namespace LXRichEditQt
