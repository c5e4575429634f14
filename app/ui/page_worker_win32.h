// CPageWorker: the one way a page runs work on a thread of its own. It owns the thread and its
// stop flag, and always tells the page how the run ended, so that no page waits forever.
#pragma once

#include <functional>
#include <string>

#include "platform/cancel.h"
#include "platform/types.h"
#include "platform/win32/win32_api.h"

namespace tessaly {

// How a run ended: the wParam of the page's end message. Its lParam is the error code (0 when
// the run completed or was stopped).
enum class WorkerEnd : WPARAM {
  Completed = 0,  // the work returned 0 without being asked to stop
  Stopped = 1,    // the page asked it to stop
  Failed = 2,     // the work returned an error, threw, or the thread could not be started
};

class CPageWorker {
 public:
  // The work, run on the worker thread: 0 on success or an error code. It polls `stop` and
  // returns soon after it is set. It may send messages to the page (SendMessageW), never touch
  // the page's controls itself.
  using Work = std::function<ErrorCode(const CancelFlag& stop)>;

  CPageWorker() = default;
  // Stops the worker and waits for it (see Stop).
  ~CPageWorker();
  CPageWorker(const CPageWorker&) = delete;
  CPageWorker& operator=(const CPageWorker&) = delete;

  // Runs `work` on a new thread; when it has returned, the thread posts `endMessage` to `page`
  // as its last act (wParam a WorkerEnd, lParam the error code). Returns 0, or the error of a
  // thread that could not be started (the system's, else 1359); the end message then follows at
  // once with Failed and that error. A worker that is still running is stopped first.
  [[nodiscard]] ErrorCode Start(HWND page, UINT endMessage, Work work);

  // True from Start until the thread has ended.
  bool IsRunning() const;

  // Asks the worker to stop and waits for its thread to end. While waiting it keeps answering
  // the messages other threads send to this one, so that a worker inside SendMessageW to the
  // page is never left waiting for the thread that waits for it.
  void Stop();

 private:
  struct Run;
  static DWORD WINAPI ThreadMain(void* run);

  HANDLE thread_ = nullptr;
  CancelFlag stop_{0};
};

// What a page tells the user when its worker's thread could not be created (`error` is the
// system's), and the message box that says it, owned by `page`.
std::wstring WorkerStartFailureMessage(DWORD error);
void ShowWorkerStartFailure(HWND page, DWORD error);

}  // namespace tessaly
