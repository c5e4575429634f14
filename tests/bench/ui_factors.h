// What a message sent to another thread's window costs, depending on what the receiving UI thread
// is: a plain window or a dialog, run by the system's modal loop or by a loop of our own, with or
// without the program's skin, tool tips and a status line. Also the time to fill a sorted list
// box the old way and through SetListBoxLines. Everything runs inside the benchmark's process,
// so each factor can be switched on alone.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/win32/win32_api.h"

namespace tessaly::bench {

// Who receives the messages and which loop its thread runs.
enum class Host {
  HiddenWindow,     // a hidden top-level window of our own class, GetMessageW/DispatchMessageW
  ShownWindow,      // the same, shown, with a status static as its child
  ModalDialog,      // a dialog run by DialogBoxIndirectParamW (the system's modal loop)
  ModelessOwnLoop,  // the same dialog made by CreateDialogIndirectParamW, GetMessageW/IsDialogMessageW
  ModelessMsgWait,  // the same, MsgWaitForMultipleObjectsEx(QS_ALLINPUT) then PeekMessageW until empty
};

// How the receiver shows the text of each message on its status line.
enum class StatusLine {
  Kept,        // the text is only kept (the page's behaviour between two updates)
  PerMessage,  // SetWindowTextW on the status static for every message
  Throttled,   // the newest text at most every 50 ms, as the finder page does
};

struct ReceiverSetup {
  Host host = Host::HiddenWindow;
  bool skin = false;  // the program's skin (NormalBlack) on for the receiver's thread
  bool tips = false;  // tool tips on the dialog's controls (CToolTips, TTF_SUBCLASS)
  // A subclass on the dialog that does nothing, made with comctl32's SetWindowSubclass (as the
  // skin makes its own), or by replacing the window procedure (SetWindowLongPtrW).
  enum class Subclass { None, Comctl32, WindowProc } subclass = Subclass::None;
  StatusLine status = StatusLine::Kept;
  // Someone reads the status line with WM_GETTEXTLENGTH + WM_GETTEXT this often, as the
  // benchmark's driver reads the page's; 0: nobody does.
  int pollMs = 0;
  // ... from another process (the benchmark started again), else from a thread of this one.
  bool pollFromProcess = false;
  // The receiver runs on the thread that asks for the measure and the messages come from a thread
  // of their own, as in the program, where the page is the main thread and the worker sends.
  bool receiverOnCallingThread = false;
};

// Makes a receiver as `setup` says, gives it a few messages untimed and a pause, runs `send` (which
// sends the messages to `target` and returns the milliseconds it took) and ends the receiver.
// `send` runs on the calling thread and the receiver on a thread of its own, or the other way
// round with setup.receiverOnCallingThread.
double TimeWithReceiver(const ReceiverSetup& setup, const std::vector<std::wstring>& texts,
                        const std::function<double(HWND target)>& send);

// Sends one report (the finder page's message for a file found) to a receiver's target and waits
// for it to be handled.
void Report(HWND target, const wchar_t* text);

// Makes the receiver, sends it one message per text of `texts` (in turn) `count` times from the
// calling thread with SendMessageW, then ends it; returns the milliseconds the sends took. Between
// two messages the caller spins for `workUs` microseconds, standing in for the worker's I/O.
double TimeSentMessages(const ReceiverSetup& setup, const std::vector<std::wstring>& texts,
                        int count, double workUs);

// The body of `tessaly_bench.exe --poll-window <hwnd> <ms>`: polls the window from this process
// until it is gone.
int PollWindowMain(HWND control, int pollMs);

// Fills the sorted names list of a skinned dialog shaped like the finder page (shown, on a thread
// of its own) with `names`, and returns the milliseconds until the list is filled and painted:
// one LB_ADDSTRING per line with redraw on (`setLines` false), or SetListBoxLines. With `tips`,
// the dialog's controls have the page's tool tips (CToolTips), which subclass the list box.
double TimeListBoxFill(bool setLines, bool tips, const std::vector<std::wstring>& names);

}  // namespace tessaly::bench
