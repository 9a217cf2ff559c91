// The live link: sessions, the record queue, record handling and sending.
#include "TandemixHelper.h"

#include <cstring>

#include "LXMessage.h"

namespace {
bool SameId(const UUID& a, const UUID& b) { return std::memcmp(&a, &b, sizeof(UUID)) == 0; }
bool IsNil(const UUID& id) {
  static const UUID nil{};
  return SameId(id, nil);
}
uint64_t Word(HWND hwnd) { return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(hwnd)); }
HWND Window(uint64_t word) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(word)); }
}  // namespace

bool CTandemixHelper::WantsPublishedRecord(const CTandemixRecord&) { return false; }
bool CTandemixHelper::ShouldPublish(const CTandemixRecord&) { return false; }

void CTandemixHelper::AddSession(const CSession& session) {
  CLXMutexLock lock(m_lock);
  m_sessions.push_back(session);
}

CTandemixHelper::SessionList::iterator CTandemixHelper::FindSession(const UUID& id) {
  CLXMutexLock lock(m_lock);
  for (auto it = m_sessions.begin(); it != m_sessions.end(); ++it)
    if (SameId(it->m_id, id)) return it;
  return m_sessions.end();
}

bool CTandemixHelper::IsFirstWindow(const CSession& session) {
  CLXMutexLock lock(m_lock);
  for (const CSession& s : m_sessions)
    if (&s == &session) return s.m_firstWindow == GetHelperWindow();
  return false;
}

LRESULT CTandemixHelper::OnCopyData(HWND, const COPYDATASTRUCT* data) {
  CLXMutexLock lock(m_lock);
  // Anything but a whole record is no record.
  if (!data || !data->lpData || data->cbData != sizeof(CTandemixRecord)) return 0;
  CTandemixRecord record;
  std::memcpy(&record, data->lpData, sizeof record);
  if (record.kind != CTandemixRecord::kKind) return 0;
  if (record.code != CTandemixRecord::kInit && FindSession(record.session) == m_sessions.end()) return 0;
  return AcceptRecord(record) ? 1 : 0;
}

bool CTandemixHelper::AcceptRecord(const CTandemixRecord& record) {
  CLXMutexLock lock(m_lock);
  m_queue.push_back(record);
  const HWND window = GetHelperWindow();
  MSG waiting;
  if (window && PeekMessageW(&waiting, window, g_msgTandemixPending, g_msgTandemixPending, PM_NOREMOVE)) return true;
  return window && PostMessageW(window, g_msgTandemixPending, 0, 0);
}

bool CTandemixHelper::ProcessPendingRecords() {
  CLXMutexLock lock(m_lock);
  if (m_queue.empty()) return true;
  // Taken out before it is handled, so that a 'term' clearing its session's records cannot
  // make another record go unhandled.
  const CTandemixRecord record = m_queue.front();
  m_queue.pop_front();
  const CTandemixRecord* previous = m_current;
  m_current = &record;
  HandleRecord(record);
  m_current = previous;
  if (!m_queue.empty()) {
    if (const HWND window = GetHelperWindow()) PostMessageW(window, g_msgTandemixPending, 0, 0);
  }
  return true;
}

bool CTandemixHelper::HandleRecord(const CTandemixRecord& record) {
  CLXMutexLock lock(m_lock);
  const HWND me = GetHelperWindow();
  switch (record.code) {
    case CTandemixRecord::kAck: {
      auto session = FindSession(record.session);
      if (session != m_sessions.end() && !session->m_secondWindow) session->m_secondWindow = Window(record.word);
      return true;
    }
    case CTandemixRecord::kInit: {
      m_sessions.emplace_back(record.session, CString(), Window(record.sender), me);
      CTandemixRecord ack;
      ack.session = record.session;
      ack.sender = Word(me);
      ack.code = CTandemixRecord::kAck;
      ack.word = Word(me);
      SendRecord(ack);
      return true;
    }
    case CTandemixRecord::kNone:
      return true;
    case CTandemixRecord::kTerm: {
      auto session = FindSession(record.session);
      if (session != m_sessions.end()) {
        m_queue.remove_if([&](const CTandemixRecord& r) { return SameId(r.session, record.session); });
        m_sessions.erase(session);
      }
      return true;
    }
    case CTandemixRecord::kUpdate: {
      if (!m_enabled) return true;
      const HWND target = me ? me : LXAppWindows::GetMainFrameWindow();
      const std::list<CTandemixRecord> published = m_published;
      for (const CTandemixRecord& p : published) {
        if (!WantsPublishedRecord(p)) continue;
        CLXMsgTarget action(target, g_msgTandemixAction, 0, static_cast<WPARAM>(p.code));
        action.Send(CLXMessage::kModeSync);
      }
      return true;
    }
    default:
      return false;
  }
}

void CTandemixHelper::SendRecord(const CTandemixRecord& record) {
  CLXMutexLock lock(m_lock);
  const HWND me = GetHelperWindow();
  std::vector<CSession*> targets;
  for (CSession& s : m_sessions)
    if (IsNil(record.session) || SameId(s.m_id, record.session)) targets.push_back(&s);
  for (CSession* s : targets) {
    // A record is not echoed to the session it came from.
    if (m_current && m_current->code == record.code && SameId(m_current->session, s->m_id)) continue;
    CTandemixRecord out = record;
    out.session = s->m_id;
    const HWND addressee = s->m_firstWindow == me ? s->m_secondWindow : s->m_firstWindow;
    if (!addressee) continue;
    COPYDATASTRUCT copy{0, sizeof out, &out};
    if (SendMessageW(addressee, WM_COPYDATA, reinterpret_cast<WPARAM>(me), reinterpret_cast<LPARAM>(&copy)) != 0)
      continue;
    // The peer refused or has gone: the session ends through the queue.
    m_queue.clear();
    CTandemixRecord term;
    term.session = s->m_id;
    term.sender = Word(me);
    term.code = CTandemixRecord::kTerm;
    AcceptRecord(term);
  }
  if (!m_sessions.empty() && ShouldPublish(record)) {
    m_published.remove_if([&](const CTandemixRecord& p) { return p.code == record.code; });
    m_published.push_back(record);
  }
}
