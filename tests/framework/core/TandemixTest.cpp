// The live link between two windows: opening a session, acknowledging it, queued handling,
// no echo to the sending session, and the end of a session.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "LXMessage.h"
#include "TandemixHelper.h"

namespace {
constexpr uint32_t kOwn = LXFourCC("abcd");

class TestHelper : public CTandemixHelper {
 public:
  HWND window = nullptr;
  std::vector<CTandemixRecord> handled;
  bool forward = false;  // sends every own record on to all sessions while handling it

  bool HandleRecord(const CTandemixRecord& record) override {
    handled.push_back(record);
    if (CTandemixHelper::HandleRecord(record)) return true;
    if (forward) {
      CTandemixRecord copy = record;
      copy.session = UUID{};
      copy.sender = reinterpret_cast<uintptr_t>(window);
      SendRecord(copy);
    }
    return true;
  }
  using CTandemixHelper::m_queue;

 protected:
  HWND GetHelperWindow() const override { return window; }
};

std::map<HWND, TestHelper*>& Helpers() {
  static std::map<HWND, TestHelper*> helpers;
  return helpers;
}

LRESULT CALLBACK LinkProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto it = Helpers().find(hwnd);
  if (it != Helpers().end()) {
    if (message == WM_COPYDATA)
      return it->second->OnCopyData(reinterpret_cast<HWND>(wParam), reinterpret_cast<COPYDATASTRUCT*>(lParam));
    if (message == g_msgTandemixPending) return it->second->ProcessPendingRecords();
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

class TandemixTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSW wc{};
    wc.lpfnWndProc = LinkProc;
    wc.lpszClassName = L"TandemixTestWindow";
    RegisterClassW(&wc);
    for (TestHelper* h : {&a, &b, &c}) {
      h->window = CreateWindowW(L"TandemixTestWindow", L"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
      Helpers()[h->window] = h;
    }
  }
  void TearDown() override {
    for (TestHelper* h : {&a, &b, &c}) {
      Helpers().erase(h->window);
      if (IsWindow(h->window)) DestroyWindow(h->window);
    }
  }
  static void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
  static UUID Id(uint8_t n) {
    UUID id{};
    id.Data1 = n;
    return id;
  }
  static CTandemixRecord Record(uint32_t code, const UUID& session, HWND sender) {
    CTandemixRecord r;
    r.code = code;
    r.session = session;
    r.sender = reinterpret_cast<uintptr_t>(sender);
    return r;
  }
  static LRESULT Deliver(TestHelper& to, const CTandemixRecord& r) {
    COPYDATASTRUCT copy{0, sizeof r, const_cast<CTandemixRecord*>(&r)};
    return to.OnCopyData(nullptr, &copy);
  }

  TestHelper a, b, c;
};
}  // namespace

TEST_F(TandemixTest, AnInitOpensASessionAnsweredByOneAck) {
  a.AddSession(CSession(Id(1), L"/tmp/structure.lxtx", a.window, nullptr));
  a.SendRecord(Record(CTandemixRecord::kInit, Id(1), a.window));
  Pump();
  ASSERT_EQ(b.GetSessions().size(), 0u) << "no window was addressed: the session has no second window yet";

  // The visualiser's side: an 'init' from an unknown session.
  EXPECT_EQ(Deliver(b, Record(CTandemixRecord::kInit, Id(1), a.window)), 1);
  Pump();
  ASSERT_EQ(b.GetSessions().size(), 1u);
  EXPECT_EQ(b.GetSessions().front().m_firstWindow, a.window);
  EXPECT_EQ(b.GetSessions().front().m_secondWindow, b.window);
  ASSERT_EQ(a.handled.size(), 1u);
  const CTandemixRecord& ack = a.handled[0];
  uint8_t bytes[112];
  std::memcpy(bytes, &ack, sizeof bytes);
  const uint8_t code[4] = {0x20, 0x6b, 0x63, 0x61};
  EXPECT_EQ(std::memcmp(bytes + 32, code, 4), 0);
  EXPECT_EQ(ack.sender, reinterpret_cast<uintptr_t>(b.window));
  EXPECT_EQ(ack.word, reinterpret_cast<uintptr_t>(b.window));
  for (int i = 48; i < 112; ++i) EXPECT_EQ(bytes[i], 0) << i;
  EXPECT_EQ(a.GetSessions().front().m_secondWindow, b.window);

  // A second acknowledgement changes nothing.
  CTandemixRecord again = Record(CTandemixRecord::kAck, Id(1), c.window);
  again.word = reinterpret_cast<uintptr_t>(c.window);
  EXPECT_EQ(Deliver(a, again), 1);
  Pump();
  EXPECT_EQ(a.GetSessions().front().m_secondWindow, b.window);
}

TEST_F(TandemixTest, ForeignRecordsAreRefused) {
  CTandemixRecord foreignKind = Record(CTandemixRecord::kInit, Id(1), a.window);
  foreignKind.kind = 2;
  EXPECT_EQ(Deliver(b, foreignKind), 0);
  EXPECT_EQ(Deliver(b, Record(kOwn, Id(9), a.window)), 0) << "unknown session";
  EXPECT_EQ(Deliver(b, Record(CTandemixRecord::kTerm, Id(9), a.window)), 0);
  COPYDATASTRUCT shortRecord{0, 40, &foreignKind};
  EXPECT_EQ(b.OnCopyData(nullptr, &shortRecord), 0);
  EXPECT_EQ(b.GetQueuedCount(), 0u);
}

TEST_F(TandemixTest, ABurstIsHandledOnceEachInArrivalOrderWithOnePendingMessage) {
  b.AddSession(CSession(Id(1), L"", a.window, b.window));
  for (uint32_t n = 0; n < 3; ++n) {
    CTandemixRecord r = Record(kOwn, Id(1), a.window);
    r.word = n;
    EXPECT_EQ(Deliver(b, r), 1);
  }
  MSG pending;
  ASSERT_TRUE(PeekMessageW(&pending, b.window, g_msgTandemixPending, g_msgTandemixPending, PM_REMOVE));
  EXPECT_FALSE(PeekMessageW(&pending, b.window, g_msgTandemixPending, g_msgTandemixPending, PM_NOREMOVE));
  DispatchMessageW(&pending);
  Pump();
  ASSERT_EQ(b.handled.size(), 3u);
  for (uint64_t n = 0; n < 3; ++n) EXPECT_EQ(b.handled[n].word, n);
}

TEST_F(TandemixTest, ARecordIsNotEchoedToTheSessionItCameFrom) {
  // b is linked to a (session 1) and to c (session 2) and passes its own records on.
  b.forward = true;
  b.AddSession(CSession(Id(1), L"", a.window, b.window));
  b.AddSession(CSession(Id(2), L"", b.window, c.window));
  a.AddSession(CSession(Id(1), L"", a.window, b.window));
  c.AddSession(CSession(Id(2), L"", b.window, c.window));
  EXPECT_EQ(Deliver(b, Record(kOwn, Id(1), a.window)), 1);
  Pump();
  EXPECT_TRUE(a.handled.empty());
  ASSERT_EQ(c.handled.size(), 1u);
  EXPECT_EQ(c.handled[0].code, kOwn);
  EXPECT_EQ(c.handled[0].session.Data1, 2u);
}

TEST_F(TandemixTest, ATermEndsOnlyItsOwnSession) {
  b.AddSession(CSession(Id(1), L"", a.window, b.window));
  b.AddSession(CSession(Id(2), L"", c.window, b.window));
  Deliver(b, Record(kOwn, Id(1), a.window));
  Deliver(b, Record(kOwn, Id(2), c.window));
  Deliver(b, Record(kOwn, Id(1), a.window));
  b.HandleRecord(Record(CTandemixRecord::kTerm, Id(1), a.window));
  ASSERT_EQ(b.m_queue.size(), 1u);
  EXPECT_EQ(b.m_queue.front().session.Data1, 2u);
  ASSERT_EQ(b.GetSessions().size(), 1u);
  EXPECT_EQ(b.GetSessions().front().m_id.Data1, 2u);
  b.HandleRecord(Record(CTandemixRecord::kTerm, Id(7), a.window));
  EXPECT_EQ(b.GetSessions().size(), 1u);
}

TEST_F(TandemixTest, APeerThatHasGoneEndsTheSession) {
  a.AddSession(CSession(Id(1), L"", a.window, b.window));
  Helpers().erase(b.window);
  DestroyWindow(b.window);
  a.SendRecord(Record(kOwn, Id(1), a.window));
  Pump();
  EXPECT_TRUE(a.GetSessions().empty());
  ASSERT_EQ(a.handled.size(), 1u);
  EXPECT_EQ(a.handled[0].code, CTandemixRecord::kTerm);
}
