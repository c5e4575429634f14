// Receivers of sent messages, one factor at a time, and the list-box fill.
#include "tests/bench/ui_factors.h"

#include <commctrl.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "app/ui/dialog_win32.h"
#include "app/ui/list_box_win32.h"
#include "app/ui/skin_win32.h"
#include "tests/bench/bench_output.h"

namespace tessaly::bench {
namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// The messages of the receivers; the file message has the number of the finder page's.
constexpr UINT kFileMessage = WM_USER + 602;
constexpr UINT kEndMessage = WM_USER + 700;
constexpr UINT kReadyMessage = WM_USER + 701;

constexpr DWORD kThrottleMs = 50;
constexpr wchar_t kWindowClass[] = L"TessalyBenchReceiver";

// Control ids of the page-shaped dialog (the finder page's layout, ids of our own).
enum : WORD {
  kStatusId = 1001,
  kFileId,
  kShowDuplicatesId,
  kShowSinglesId,
  kDuplicateNamesId,
  kDuplicateFilesId,
  kDuplicateDeleteId,
  kDuplicateBrowseId,
  kDuplicateLaunchId,
  kUnexpectedNamesId,
  kUnexpectedFilesId,
  kUnexpectedDeleteId,
  kUnexpectedBrowseId,
  kBackId,
};

// The tips the finder page gives its controls.
constexpr ToolTipText kTips[] = {
    {kShowDuplicatesId, L"Show or hide files with duplicates."},
    {kShowSinglesId, L"Show or hide unique (single-instance) files."},
    {kDuplicateNamesId, L"List of detected files with duplicates. Select a file to see more info."},
    {kDuplicateDeleteId, L"Delete selected file."},
    {kDuplicateBrowseId, L"Browse to selected file in Windows Explorer."},
    {kDuplicateLaunchId,
     L"Opens selected file in an external plugin host (configured in Preferences)."},
    {kUnexpectedNamesId,
     L"List of discovered files for different OS platforms. Select a file to see more info."},
    {kUnexpectedDeleteId, L"Delete selected file."},
    {kUnexpectedBrowseId, L"Browse to selected file in Windows Explorer."},
};

// Fails with the thread's last error.
[[noreturn]] void FailWithError(const char* what) {
  Fail(std::string(what) + " (error " + std::to_string(GetLastError()) + ")");
}

// An in-memory dialog template (DLGTEMPLATE and DLGITEMTEMPLATE records), so the benchmark needs
// no resources of its own for its dialogs.
class DialogTemplate {
 public:
  DialogTemplate(DWORD style, short cx, short cy, const wchar_t* caption) {
    Dword(style | DS_SETFONT);
    Dword(0);             // extended style
    words_.push_back(0);  // item count, set by AddItem
    Short(0), Short(0), Short(cx), Short(cy);
    words_.push_back(0);  // no menu
    words_.push_back(0);  // the dialog class
    String(caption);
    words_.push_back(8);  // point size
    String(L"MS Shell Dlg");
  }
  // `atom`: 0x80 button, 0x82 static, 0x83 list box; or `className` when atom is 0.
  void AddItem(DWORD style, short x, short y, short cx, short cy, WORD id, WORD atom,
               const wchar_t* className, const wchar_t* text) {
    if (words_.size() % 2) words_.push_back(0);  // items start on a DWORD boundary
    Dword(style | WS_CHILD | WS_VISIBLE);
    Dword(0);
    Short(x), Short(y), Short(cx), Short(cy);
    words_.push_back(id);
    if (atom) {
      words_.push_back(0xFFFF);
      words_.push_back(atom);
    } else {
      String(className);
    }
    String(text);
    words_.push_back(0);  // no creation data
    ++words_[4];
  }
  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

 private:
  void Dword(DWORD v) {
    words_.push_back(LOWORD(v));
    words_.push_back(HIWORD(v));
  }
  void Short(short v) { words_.push_back(static_cast<WORD>(v)); }
  void String(const wchar_t* s) {
    for (; *s; ++s) words_.push_back(static_cast<WORD>(*s));
    words_.push_back(0);
  }
  std::vector<WORD> words_;
};

// The finder page's template, with its styles and layout (in dialog units).
const DialogTemplate& PageTemplate() {
  static const DialogTemplate t = [] {
    constexpr WORD kButton = 0x80, kStatic = 0x82, kListBox = 0x83;
    constexpr DWORD kPageStyle = DS_FIXEDSYS | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION |
                                 WS_SYSMENU | WS_MINIMIZEBOX;
    constexpr DWORD kNamesStyle =
        LBS_SORT | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_BORDER | WS_TABSTOP;
    constexpr DWORD kFilesStyle =
        LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_BORDER | WS_TABSTOP;
    constexpr DWORD kLineStyle = SS_LEFT | SS_NOPREFIX | SS_PATHELLIPSIS;
    DialogTemplate d(kPageStyle, 600, 400, L"Tessaly bench - receiver");
    d.AddItem(BS_GROUPBOX, 7, 7, 586, 46, 0xFFFF, kButton, nullptr, L"Search status:");
    d.AddItem(kLineStyle, 17, 20, 566, 9, kStatusId, kStatic, nullptr, L"");
    d.AddItem(kLineStyle, 17, 35, 566, 9, kFileId, kStatic, nullptr, L"");
    d.AddItem(BS_AUTOCHECKBOX | WS_TABSTOP | WS_GROUP, 9, 59, 100, 10, kShowDuplicatesId, kButton,
              nullptr, L"Show duplicates.");
    d.AddItem(BS_AUTOCHECKBOX | WS_TABSTOP, 115, 59, 100, 10, kShowSinglesId, kButton, nullptr,
              L"Show singles.");
    d.AddItem(BS_GROUPBOX | WS_GROUP, 7, 74, 586, 150, 0xFFFF, kButton, nullptr,
              L"Duplicate files:");
    d.AddItem(kNamesStyle, 15, 87, 150, 130, kDuplicateNamesId, kListBox, nullptr, L"");
    d.AddItem(kFilesStyle, 172, 87, 348, 130, kDuplicateFilesId, 0, WC_LISTVIEWW, L"");
    d.AddItem(BS_PUSHBUTTON | WS_TABSTOP, 528, 87, 58, 16, kDuplicateDeleteId, kButton, nullptr,
              L"Delete...");
    d.AddItem(BS_PUSHBUTTON | WS_TABSTOP, 528, 108, 58, 16, kDuplicateBrowseId, kButton, nullptr,
              L"Browse To");
    d.AddItem(BS_PUSHBUTTON | WS_TABSTOP, 528, 129, 58, 16, kDuplicateLaunchId, kButton, nullptr,
              L"Launch...");
    d.AddItem(BS_GROUPBOX | WS_GROUP, 7, 230, 586, 140, 0xFFFF, kButton, nullptr,
              L"Unexpected files:");
    d.AddItem(kNamesStyle, 15, 243, 150, 120, kUnexpectedNamesId, kListBox, nullptr, L"");
    d.AddItem(kFilesStyle, 172, 243, 348, 120, kUnexpectedFilesId, 0, WC_LISTVIEWW, L"");
    d.AddItem(BS_PUSHBUTTON | WS_TABSTOP, 528, 243, 58, 16, kUnexpectedDeleteId, kButton, nullptr,
              L"Delete...");
    d.AddItem(BS_PUSHBUTTON | WS_TABSTOP, 528, 264, 58, 16, kUnexpectedBrowseId, kButton, nullptr,
              L"Browse To");
    d.AddItem(BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, 486, 377, 52, 16, kBackId, kButton, nullptr,
              L"Back");
    d.AddItem(BS_DEFPUSHBUTTON | WS_TABSTOP, 541, 377, 52, 16, IDCANCEL, kButton, nullptr,
              L"&Quit");
    return d;
  }();
  return t;
}

void InitControls() {
  static const bool done = [] {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = 0xFF;  // the classic control classes, as the program asks for
    return InitCommonControlsEx(&controls) != FALSE;
  }();
  (void)done;
}

bool SwitchSkinOn() {
  CSkinFrameworkWrapper skin;  // reads NORMALBLACK.INI from the benchmark's own resources
  return skin.LoadSkin(kNormalBlackSkin);
}

// The state of one receiver, shared by its thread and the sender.
struct Receiver {
  ReceiverSetup setup;
  std::atomic<HWND> target{nullptr};  // where the messages go
  std::atomic<HWND> status{nullptr};  // the status static
  std::atomic<bool> ready{false};
  std::atomic<bool> failed{false};
  std::wstring pending;
  DWORD lastTick = 0;
  bool done = false;
  CToolTips tips;

  void OnFile(const wchar_t* text) {
    switch (setup.status) {
      case StatusLine::Kept: pending = text; break;
      case StatusLine::PerMessage: SetWindowTextW(status.load(), text); break;
      case StatusLine::Throttled: {
        pending = text;
        const DWORD now = GetTickCount();
        if (now - lastTick >= kThrottleMs) {
          lastTick = now;
          SetWindowTextW(status.load(), pending.c_str());
          pending.clear();
        }
        break;
      }
    }
  }
};

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* r = reinterpret_cast<Receiver*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  switch (message) {
    case kFileMessage:
      if (r) r->OnFile(reinterpret_cast<const wchar_t*>(lParam));
      return TRUE;
    case kReadyMessage:
      if (r) r->ready = true;
      return 0;
    case kEndMessage: DestroyWindow(hwnd); return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default: return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

LRESULT CALLBACK NoOpSubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                  UINT_PTR id, DWORD_PTR) {
  if (message == WM_NCDESTROY) RemoveWindowSubclass(hwnd, NoOpSubclassProc, id);
  return DefSubclassProc(hwnd, message, wParam, lParam);
}

// The dialog class's own procedure, which the no-op window procedure passes everything to.
WNDPROC dialogClassProc = nullptr;

LRESULT CALLBACK NoOpWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return CallWindowProcW(dialogClassProc, hwnd, message, wParam, lParam);
}

void SubclassDialog(HWND hwnd, ReceiverSetup::Subclass subclass) {
  switch (subclass) {
    case ReceiverSetup::Subclass::None: break;
    case ReceiverSetup::Subclass::Comctl32: SetWindowSubclass(hwnd, NoOpSubclassProc, 1, 0); break;
    case ReceiverSetup::Subclass::WindowProc:
      dialogClassProc = reinterpret_cast<WNDPROC>(
          SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(NoOpWindowProc)));
      break;
  }
}

INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    auto* r = reinterpret_cast<Receiver*>(lParam);
    SubclassDialog(hwnd, r->setup.subclass);
    r->status = GetDlgItem(hwnd, kFileId);
    if (r->setup.tips) r->tips.Create(hwnd, kTips);
    // Ready once the loop runs: this posted message is handled only then.
    PostMessageW(hwnd, kReadyMessage, 0, 0);
    return TRUE;
  }
  auto* r = reinterpret_cast<Receiver*>(GetWindowLongPtrW(hwnd, DWLP_USER));
  if (!r) return FALSE;
  switch (message) {
    case kFileMessage: r->OnFile(reinterpret_cast<const wchar_t*>(lParam)); return TRUE;
    case kReadyMessage: r->ready = true; return TRUE;
    case kEndMessage:
      if (r->setup.host == Host::ModalDialog) {
        EndDialog(hwnd, IDOK);
      } else {
        r->done = true;
        DestroyWindow(hwnd);
        PostQuitMessage(0);
      }
      return TRUE;
    case WM_COMMAND: return TRUE;  // nobody clicks; Esc or Enter must not end a measured dialog
    case WM_DESTROY: r->tips.Destroy(); return FALSE;
    default: return FALSE;
  }
}

void RegisterWindowClass() {
  static const bool registered = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kWindowClass;
    return RegisterClassExW(&wc) != 0;
  }();
  if (!registered) FailWithError("cannot register the receiver's window class");
}

void RunReceiver(Receiver& r) {
  InitControls();
  if (r.setup.skin && !SwitchSkinOn()) {
    r.failed = true;
    return;
  }
  const HINSTANCE module = GetModuleHandleW(nullptr);
  MSG msg;
  switch (r.setup.host) {
    case Host::HiddenWindow:
    case Host::ShownWindow: {
      RegisterWindowClass();
      const bool shown = r.setup.host == Host::ShownWindow;
      HWND w = CreateWindowExW(0, kWindowClass, L"Tessaly bench - receiver",
                               shown ? WS_OVERLAPPEDWINDOW | WS_VISIBLE : WS_OVERLAPPEDWINDOW, 40,
                               40, 900, 120, nullptr, nullptr, module, &r);
      if (!w) break;
      if (shown) {
        r.status = CreateWindowExW(0, L"STATIC", L"",
                                   WS_CHILD | WS_VISIBLE | SS_NOPREFIX | SS_PATHELLIPSIS, 10, 10,
                                   860, 16, w, nullptr, module, nullptr);
      }
      r.target = w;
      PostMessageW(w, kReadyMessage, 0, 0);
      while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
      break;
    }
    case Host::ModalDialog: {
      // The target is known only inside the dialog: WM_INITDIALOG stores it through this hook.
      struct Start {
        static INT_PTR CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
          if (message == WM_INITDIALOG) reinterpret_cast<Receiver*>(lParam)->target = hwnd;
          return DialogProc(hwnd, message, wParam, lParam);
        }
      };
      DialogBoxIndirectParamW(module, PageTemplate().Get(), nullptr, Start::Proc,
                              reinterpret_cast<LPARAM>(&r));
      break;
    }
    case Host::ModelessOwnLoop:
    case Host::ModelessMsgWait: {
      HWND dialog = CreateDialogIndirectParamW(module, PageTemplate().Get(), nullptr, DialogProc,
                                               reinterpret_cast<LPARAM>(&r));
      if (!dialog) break;
      r.target = dialog;
      ShowWindow(dialog, SW_SHOW);
      if (r.setup.host == Host::ModelessOwnLoop) {
        while (!r.done && GetMessageW(&msg, nullptr, 0, 0) > 0) {
          if (!IsDialogMessageW(dialog, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
          }
        }
      } else {
        while (!r.done) {
          MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
          while (!r.done && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
              r.done = true;
            } else if (!IsDialogMessageW(dialog, &msg)) {
              TranslateMessage(&msg);
              DispatchMessageW(&msg);
            }
          }
        }
      }
      break;
    }
  }
  if (!r.target.load()) r.failed = true;
  if (r.setup.skin) UnloadSkin();
}

void Spin(double us) {
  if (us <= 0) return;
  const auto end = Clock::now() + std::chrono::duration<double, std::micro>(us);
  while (Clock::now() < end) {
  }
}

// Reads a status line the way the benchmark's driver reads the page's (WM_GETTEXTLENGTH, then
// WM_GETTEXT, each sent with a timeout) every `pollMs`, until the window is gone or `stop` is set.
void PollWindow(HWND control, int pollMs, const std::atomic<bool>* stop) {
  wchar_t text[1024];
  while (IsWindow(control) && !(stop && stop->load())) {
    DWORD_PTR length = 0;
    SendMessageTimeoutW(control, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length);
    SendMessageTimeoutW(control, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                        5000, &length);
    Sleep(static_cast<DWORD>(pollMs));
  }
}

// A poller on a thread of the benchmark's process, or in a process of its own (the benchmark
// started again with --poll-window), as the driver polls the program's page from outside.
class Poller {
 public:
  Poller(HWND control, int pollMs, bool otherProcess) : control_(control) {
    if (!control || pollMs <= 0) return;
    if (!otherProcess) {
      thread_ = std::thread([this, control, pollMs] { PollWindow(control, pollMs, &stop_); });
      return;
    }
    wchar_t exe[MAX_PATH];
    if (!GetModuleFileNameW(nullptr, exe, MAX_PATH))
      FailWithError("cannot find the benchmark's own path");
    std::wstring command = L"\"" + std::wstring(exe) + L"\" --poll-window " +
                           std::to_wstring(reinterpret_cast<uintptr_t>(control)) + L" " +
                           std::to_wstring(pollMs);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &info)) {
      FailWithError("cannot start the polling process");
    }
    CloseHandle(info.hThread);
    process_ = info.hProcess;
  }
  // The thread stops at once; the process ends when the polled window is gone.
  void Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  ~Poller() {
    Stop();
    if (process_) {
      if (WaitForSingleObject(process_, 10000) != WAIT_OBJECT_0) TerminateProcess(process_, 1);
      CloseHandle(process_);
    }
  }

 private:
  HWND control_;
  std::thread thread_;
  HANDLE process_ = nullptr;
  std::atomic<bool> stop_{false};
};

}  // namespace

namespace {

// Waits for the receiver, gives it a few messages untimed and a pause (so that it has painted and
// is idle when timing starts), starts its poller, runs `send` and ends the receiver.
double DriveReceiver(Receiver& r, const std::vector<std::wstring>& texts,
                     const std::function<double(HWND target)>& send) {
  while (!r.ready.load() && !r.failed.load()) Sleep(1);
  if (r.failed.load()) return -1;
  HWND target = r.target.load();
  for (int i = 0; i < 20; ++i) {
    SendMessageW(target, kFileMessage, 0,
                 reinterpret_cast<LPARAM>(texts[i % texts.size()].c_str()));
  }
  Sleep(100);
  HWND polled = r.status.load() ? r.status.load() : target;
  Poller poller(polled, r.setup.pollMs, r.setup.pollFromProcess);
  const double ms = send(target);
  poller.Stop();
  SendMessageW(target, kEndMessage, 0, 0);
  return ms;
}

}  // namespace

double TimeWithReceiver(const ReceiverSetup& setup, const std::vector<std::wstring>& texts,
                        const std::function<double(HWND target)>& send) {
  Receiver r;
  r.setup = setup;
  double ms = -1;
  if (setup.receiverOnCallingThread) {
    std::thread sender([&] { ms = DriveReceiver(r, texts, send); });
    RunReceiver(r);
    sender.join();
  } else {
    std::thread receiver([&r] { RunReceiver(r); });
    ms = DriveReceiver(r, texts, send);
    receiver.join();
  }
  if (r.failed.load() || ms < 0) FailWithError("the receiver could not be made");
  return ms;
}

void Report(HWND target, const wchar_t* text) {
  SendMessageW(target, kFileMessage, 0, reinterpret_cast<LPARAM>(text));
}

double TimeSentMessages(const ReceiverSetup& setup, const std::vector<std::wstring>& texts,
                        int count, double workUs) {
  return TimeWithReceiver(setup, texts, [&](HWND target) {
    const auto t0 = Clock::now();
    for (int i = 0; i < count; ++i) {
      Spin(workUs);
      SendMessageW(target, kFileMessage, 0,
                   reinterpret_cast<LPARAM>(texts[i % texts.size()].c_str()));
    }
    return Ms(Clock::now() - t0);
  });
}

int PollWindowMain(HWND control, int pollMs) {
  PollWindow(control, pollMs, nullptr);
  return 0;
}

double TimeListBoxFill(bool setLines, bool tips, const std::vector<std::wstring>& names) {
  double ms = -1;
  std::thread thread([&] {
    InitControls();
    if (!SwitchSkinOn()) return;
    Receiver r;  // only for the dialog procedure's bookkeeping
    r.setup.host = Host::ModelessOwnLoop;
    r.setup.tips = tips;
    HWND dialog = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), PageTemplate().Get(),
                                             nullptr, DialogProc, reinterpret_cast<LPARAM>(&r));
    if (dialog) {
      ShowWindow(dialog, SW_SHOW);
      auto pump = [dialog] {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
          if (!IsDialogMessageW(dialog, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
          }
        }
      };
      HWND list = GetDlgItem(dialog, kDuplicateNamesId);
      // The page's list shows "Searching..." until the search ends.
      SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Searching..."));
      UpdateWindow(dialog);
      pump();
      std::vector<const wchar_t*> lines;
      lines.reserve(names.size());
      for (const std::wstring& name : names) lines.push_back(name.c_str());
      const auto t0 = Clock::now();
      if (setLines) {
        SetListBoxLines(list, lines);
      } else {
        SendMessageW(list, LB_RESETCONTENT, 0, 0);
        for (const wchar_t* line : lines)
          SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
      }
      // Until the filled list has painted.
      UpdateWindow(list);
      pump();
      ms = Ms(Clock::now() - t0);
      if (SendMessageW(list, LB_GETCOUNT, 0, 0) != static_cast<LRESULT>(names.size())) ms = -1;
      r.done = true;
      DestroyWindow(dialog);
      pump();
    }
    UnloadSkin();
  });
  thread.join();
  if (ms < 0) FailWithError("the list-box fill failed");
  return ms;
}

}  // namespace tessaly::bench
