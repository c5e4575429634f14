// The page-worker thread.
#include "app/ui/page_worker_win32.h"

#include <memory>
#include <new>

#include "app/ui/dialog_win32.h"
#include "platform/text.h"

namespace tessaly {

struct CPageWorker::Run {
  HWND page;
  UINT endMessage;
  Work work;
  const CancelFlag* stop;
};

CPageWorker::~CPageWorker() { Stop(); }

ErrorCode CPageWorker::Start(HWND page, UINT endMessage, Work work) {
  Stop();
  stop_ = 0;
  std::unique_ptr<Run> run;
  try {
    run.reset(new Run{page, endMessage, std::move(work), &stop_});
  } catch (const std::bad_alloc&) {
    PostMessageW(page, endMessage, static_cast<WPARAM>(WorkerEnd::Failed), err::InternalError);
    return err::InternalError;
  }
  DWORD threadId = 0;
  thread_ = CreateThread(nullptr, 0, ThreadMain, run.get(), 0, &threadId);
  if (!thread_) {
    const DWORD system = GetLastError();
    const ErrorCode error = system != 0 ? system : err::InternalError;
    PostMessageW(page, endMessage, static_cast<WPARAM>(WorkerEnd::Failed),
                 static_cast<LPARAM>(error));
    return error;
  }
  run.release();  // the thread owns it now
  return err::Success;
}

DWORD WINAPI CPageWorker::ThreadMain(void* argument) {
  std::unique_ptr<Run> run(static_cast<Run*>(argument));
  ErrorCode result = err::InternalError;
  try {
    result = run->work(*run->stop);
  } catch (...) {
    // Nothing may escape the thread: an exception is a failed run like any other.
    result = err::InternalError;
  }
  WorkerEnd end = WorkerEnd::Completed;
  if (result != err::Success) {
    end = WorkerEnd::Failed;
  } else if (run->stop->load() != 0) {
    end = WorkerEnd::Stopped;
  }
  PostMessageW(run->page, run->endMessage, static_cast<WPARAM>(end), static_cast<LPARAM>(result));
  return result;
}

bool CPageWorker::IsRunning() const {
  return thread_ && WaitForSingleObject(thread_, 0) == WAIT_TIMEOUT;
}

void CPageWorker::Stop() {
  if (!thread_) return;
  stop_ = 1;
  for (;;) {
    const DWORD wait = MsgWaitForMultipleObjects(1, &thread_, FALSE, INFINITE, QS_SENDMESSAGE);
    if (wait != WAIT_OBJECT_0 + 1) break;
    // Peeking delivers the messages sent to this thread; nothing is removed from the queue.
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
  CloseHandle(thread_);
  thread_ = nullptr;
}

std::wstring WorkerStartFailureMessage(DWORD error) {
  return FormatText(L"Encountered error %lu attempting to create thread! Ouch!",
                    static_cast<uint32_t>(error));
}

void ShowWorkerStartFailure(HWND page, DWORD error) {
  ShowMessage(page, WorkerStartFailureMessage(error), MessageStyle::Plain);
}

}  // namespace tessaly
