// The page-worker thread on real threads and windows: every run ends with exactly one end message
// that says how it ended, and stopping a worker that is inside a sent message does not deadlock.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <vector>

#include "app/ui/page_worker_win32.h"
#include "platform/win32/win32_api.h"

namespace tessaly {
namespace {

constexpr UINT kEnd = WM_USER + 700;
constexpr UINT kReport = WM_USER + 701;

struct Received {
  std::vector<std::pair<WPARAM, LPARAM>> ends;
  int reports = 0;
};

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* received = reinterpret_cast<Received*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (received && message == kEnd) received->ends.emplace_back(wParam, lParam);
  if (received && message == kReport) ++received->reports;
  return DefWindowProcW(window, message, wParam, lParam);
}

class PageWorkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = RecordingProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"TessalyPageWorkerTest";
    RegisterClassW(&windowClass);
    page = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                           windowClass.hInstance, nullptr);
    ASSERT_NE(page, nullptr);
    SetWindowLongPtrW(page, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&received));
  }
  void TearDown() override { DestroyWindow(page); }

  // Dispatches this thread's messages until the end message has come, or 10 s have passed.
  bool PumpUntilEnded() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (received.ends.empty() && std::chrono::steady_clock::now() < deadline) {
      MSG message;
      while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return !received.ends.empty();
  }
  // Whatever is still queued (a second end message would show here).
  void Drain() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  }

  HWND page = nullptr;
  Received received;
};

TEST_F(PageWorkerTest, EveryRunEndsWithOneMessageSayingHow) {
  const struct {
    const char* what;
    CPageWorker::Work work;
    WorkerEnd end;
    LPARAM error;
  } cases[] = {
      {"completed", [](const CancelFlag&) { return ErrorCode{0}; }, WorkerEnd::Completed, 0},
      {"failed", [](const CancelFlag&) { return ErrorCode{5}; }, WorkerEnd::Failed, 5},
      {"threw", [](const CancelFlag&) -> ErrorCode { throw std::runtime_error("x"); },
       WorkerEnd::Failed, 1359},
  };
  for (const auto& c : cases) {
    received.ends.clear();
    CPageWorker worker;
    ASSERT_EQ(0u, worker.Start(page, kEnd, c.work)) << c.what;
    ASSERT_TRUE(PumpUntilEnded()) << c.what;
    worker.Stop();
    Drain();
    ASSERT_EQ(received.ends.size(), 1u) << c.what;
    EXPECT_EQ(received.ends[0].first, static_cast<WPARAM>(c.end)) << c.what;
    EXPECT_EQ(received.ends[0].second, c.error) << c.what;
    EXPECT_FALSE(worker.IsRunning()) << c.what;
  }
}

TEST_F(PageWorkerTest, StoppingAWorkerInsideASentMessageNeitherWaitsForTheOther) {
  CPageWorker worker;
  std::atomic<bool> sending{false};
  ASSERT_EQ(0u, worker.Start(page, kEnd, [this, &sending](const CancelFlag& stop) {
    // Reports to the page, sent, until told to stop, as the finder's search does per file.
    while (!stop) {
      sending = true;
      SendMessageW(page, kReport, 0, 0);
    }
    return ErrorCode{0};
  }));
  // Let it send a few (this thread answers them here), then stop it without pumping first: the
  // worker is then waiting inside SendMessageW for this very thread.
  while (received.reports < 3) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
  ASSERT_TRUE(sending);
  EXPECT_TRUE(worker.IsRunning());
  worker.Stop();
  EXPECT_FALSE(worker.IsRunning());
  ASSERT_TRUE(PumpUntilEnded());
  Drain();
  ASSERT_EQ(received.ends.size(), 1u);
  EXPECT_EQ(received.ends[0].first, static_cast<WPARAM>(WorkerEnd::Stopped));
  EXPECT_EQ(received.ends[0].second, 0);
}

TEST_F(PageWorkerTest, AWorkerThatIsStillRunningIsStoppedBeforeTheNextStarts) {
  CPageWorker worker;
  ASSERT_EQ(0u, worker.Start(page, kEnd, [](const CancelFlag& stop) {
    while (!stop) Sleep(1);
    return ErrorCode{0};
  }));
  ASSERT_EQ(0u, worker.Start(page, kEnd, [](const CancelFlag&) { return ErrorCode{0}; }));
  ASSERT_TRUE(PumpUntilEnded());
  while (worker.IsRunning()) Sleep(1);
  Drain();
  ASSERT_EQ(received.ends.size(), 2u);
  EXPECT_EQ(received.ends[0].first, static_cast<WPARAM>(WorkerEnd::Stopped));
  EXPECT_EQ(received.ends[1].first, static_cast<WPARAM>(WorkerEnd::Completed));
}

}  // namespace
}  // namespace tessaly
