// The live link with sibling programs: 112-byte records with four-character codes and session
// UUIDs, exchanged between windows of different processes as WM_COPYDATA, queued on arrival and
// handled one at a time from the receiving window's own message loop.
#pragma once
#include <cstdint>
#include <list>

#include "LXMutex.h"
#include "Uuid.h"
#include "Win.h"

// Four-character code as a number, first character most significant.
constexpr uint32_t LXFourCC(const char (&c)[5]) {
  return uint32_t(uint8_t(c[0])) << 24 | uint32_t(uint8_t(c[1])) << 16 | uint32_t(uint8_t(c[2])) << 8 |
         uint32_t(uint8_t(c[3]));
}

#pragma pack(push, 4)
struct CTandemixRecord {
  static constexpr uint32_t kKind = 1;
  static constexpr uint32_t kInit = LXFourCC("init");
  static constexpr uint32_t kAck = LXFourCC("ack ");
  static constexpr uint32_t kNone = LXFourCC("none");
  static constexpr uint32_t kTerm = LXFourCC("term");
  static constexpr uint32_t kUpdate = LXFourCC("updt");

  uint32_t kind = kKind;
  UUID session{};
  uint32_t unused1 = 0;
  uint64_t sender = 0;
  uint32_t code = 0;
  uint32_t unused2 = 0;
  uint64_t word = 0;  // in 'ack ': the acknowledging window
  uint8_t payload[64] = {};
};
#pragma pack(pop)
static_assert(sizeof(CTandemixRecord) == 112, "a live-link record is 112 bytes");

class CSession {
 public:
  CSession() = default;
  CSession(const UUID& id, const CString& path, HWND first, HWND second)
      : m_id(id), m_path(path), m_firstWindow(first), m_secondWindow(second) {}
  virtual ~CSession() = default;

  UUID m_id{};
  CString m_path;
  HWND m_firstWindow = nullptr;
  HWND m_secondWindow = nullptr;
};

class CTandemixHelper {
 public:
  using SessionList = std::list<CSession>;

  CTandemixHelper() = default;
  CTandemixHelper(const CTandemixHelper&) = delete;
  CTandemixHelper& operator=(const CTandemixHelper&) = delete;
  virtual ~CTandemixHelper() = default;

  virtual bool WantsPublishedRecord(const CTandemixRecord& record);
  virtual bool HandleRecord(const CTandemixRecord& record);
  virtual bool AcceptRecord(const CTandemixRecord& record);
  virtual bool ShouldPublish(const CTandemixRecord& record);
  virtual void SendRecord(const CTandemixRecord& record);

  // The window's WM_COPYDATA: 1 when the record was taken, 0 when it was refused.
  LRESULT OnCopyData(HWND sender, const COPYDATASTRUCT* data);
  // The window's "TandemixPending": handles the first queued record.
  bool ProcessPendingRecords();
  SessionList::iterator FindSession(const UUID& id);
  bool IsFirstWindow(const CSession& session);

  // Sessions opened by this program's hand-over of a structure come in here.
  void AddSession(const CSession& session);
  const SessionList& GetSessions() const { return m_sessions; }
  size_t GetQueuedCount() const { return m_queue.size(); }
  void SetEnabled(bool enabled) { m_enabled = enabled; }

 protected:
  // The window that the helper is part of; null when it has none.
  virtual HWND GetHelperWindow() const = 0;

  SessionList m_sessions;
  std::list<CTandemixRecord> m_queue;
  std::list<CTandemixRecord> m_published;
  const CTandemixRecord* m_current = nullptr;
  bool m_enabled = true;
  CLXMutex m_lock;
};
