// Quiet alert output and the hand-off to an installed presenter.
#include "LXAlert.h"
#include "LXAlertFileScope.h"

#include "Status.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

bool g_silentMode = false;

namespace {
std::atomic<CLXAlert::Presenter> g_presenter{nullptr};
thread_local unsigned t_shown = 0;
thread_local CLXAlertFileScope* t_fileScope = nullptr;
}  // namespace

CLXAlertFileScope::CLXAlertFileScope(const CString& path) : m_path(path), m_outer(t_fileScope) { t_fileScope = this; }

CLXAlertFileScope::~CLXAlertFileScope() { t_fileScope = m_outer; }

CString CLXAlertFileScope::GetPath() { return t_fileScope ? t_fileScope->m_path : CString(); }

CLXAlert::CLXAlert(HWND owner) : m_owner(owner) {}

void CLXAlert::SetMessage(UINT kind, const CString parts[kPartCount], const CString& codeText) {
  m_kind = kind;
  for (int i = 0; i < kPartCount; ++i) m_parts[i] = parts[i];
  m_codeText = codeText;
}

bool CLXAlert::IsQuiet() {
  // Only a layer with a GUI installs a presenter, so without one there is nothing to show a box.
  return g_silentMode || std::getenv("QLW_QUIET") != nullptr || g_presenter.load() == nullptr;
}

CLXAlert::Presenter CLXAlert::SetPresenter(Presenter presenter) { return g_presenter.exchange(presenter); }

CString CLXAlert::QuietLine() const {
  CString line;
  line.Format(L"Quillonographic : [%s] : %s (%s)\n", m_codeText, m_parts[1], m_parts[2]);
  return line;
}

unsigned CLXAlert::GetShownCount() { return t_shown; }

UINT CLXAlert::DoModal() {
  // Below what it says, the file it concerns, unless it names that already.
  if (const CString path = CLXAlertFileScope::GetPath(); !path.IsEmpty()) {
    bool named = false;
    for (const CString& part : m_parts) named = named || part.Find(path.GetString()) >= 0;
    if (!named) {
      CString format, line;
      if (!format.LoadString(1205)) format = L"File: %s";
      line.Format(format, path.GetString());
      m_parts[2] = m_parts[2].IsEmpty() ? line : m_parts[2] + L"\n\n" + line;
    }
  }
  // One the user asked not to see again counts as told.
  ++t_shown;
  Presenter presenter = g_presenter.load();
  if (g_silentMode || std::getenv("QLW_QUIET") != nullptr || presenter == nullptr) {
    std::fputs(QuietLine().ToUtf8().c_str(), stderr);
    std::fflush(stderr);
    return 1;
  }
  if (m_dontShowAgain && *m_dontShowAgain) return 1;
  // An empty frame on top hides the progress window while the box is up.
  CStatusEnabler enabler;
  CStatus hide(L"");
  return presenter(*this);
}
