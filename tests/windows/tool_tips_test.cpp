// Tool tips: the tools' mouse messages reach the tip window, and the tools get their own window
// procedures back when the tips go.
#include "app/ui/dialog_win32.h"

#include <commctrl.h>
#include <gtest/gtest.h>

namespace tessaly {
namespace {

constexpr int kButton = 101;
constexpr int kOther = 102;

// What the watched tip window was asked to relay.
struct Watch {
  WNDPROC original = nullptr;
  HWND tool = nullptr;
  int relayed = 0;
  int relayedFromOthers = 0;
};
Watch watch;

LRESULT CALLBACK WatchTips(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == TTM_RELAYEVENT) {
    const auto* relayed = reinterpret_cast<const MSG*>(lParam);
    ++(relayed && relayed->hwnd == watch.tool ? watch.relayed : watch.relayedFromOthers);
  }
  return CallWindowProcW(watch.original, hwnd, message, wParam, lParam);
}

BOOL CALLBACK FindTips(HWND window, LPARAM found) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  if (lstrcmpiW(name, TOOLTIPS_CLASSW) != 0) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

TEST(ToolTipsTest, ToolsPassTheirMouseMessagesToTheTipsUntilTheTipsGo) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr,
                                nullptr, nullptr);
  if (!parent)
    GTEST_SKIP() << "no window (error " << GetLastError() << "): the tier needs a display";
  HWND button = CreateWindowExW(0, L"BUTTON", L"Go", WS_CHILD | WS_VISIBLE, 10, 10, 80, 24, parent,
                                reinterpret_cast<HMENU>(kButton), nullptr, nullptr);
  HWND other = CreateWindowExW(0, L"BUTTON", L"Other", WS_CHILD | WS_VISIBLE, 10, 40, 80, 24,
                               parent, reinterpret_cast<HMENU>(kOther), nullptr, nullptr);
  ASSERT_NE(button, nullptr);
  ASSERT_NE(other, nullptr);
  const LONG_PTR buttonProc = GetWindowLongPtrW(button, GWLP_WNDPROC);
  const LONG_PTR otherProc = GetWindowLongPtrW(other, GWLP_WNDPROC);

  CToolTips tips;
  ASSERT_TRUE(tips.Create(parent));
  ASSERT_TRUE(tips.Add(kButton, L"Starts it."));
  EXPECT_FALSE(tips.Add(999, L"No such control."));
  HWND tipWindow = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindTips, reinterpret_cast<LPARAM>(&tipWindow));
  ASSERT_NE(tipWindow, nullptr);
  EXPECT_EQ(SendMessageW(tipWindow, TTM_GETTOOLCOUNT, 0, 0), 1);
  EXPECT_NE(GetWindowLongPtrW(button, GWLP_WNDPROC), buttonProc);
  EXPECT_EQ(GetWindowLongPtrW(other, GWLP_WNDPROC), otherProc);

  watch = Watch{};
  watch.tool = button;
  watch.original = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(tipWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WatchTips)));
  // Mouse messages are relayed; others are not, and the control still answers them.
  SendMessageW(button, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  SendMessageW(button, WM_MBUTTONDOWN, MK_MBUTTON, MAKELPARAM(5, 5));
  SendMessageW(button, WM_MBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(SendMessageW(button, WM_GETTEXTLENGTH, 0, 0), 2);
  SendMessageW(other, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(watch.relayed, 3);
  EXPECT_EQ(watch.relayedFromOthers, 0);
  SetWindowLongPtrW(tipWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(watch.original));

  // Gone with the tips: the button has its own procedure again and keeps working.
  tips.Destroy();
  EXPECT_FALSE(IsWindow(tipWindow));
  EXPECT_EQ(GetWindowLongPtrW(button, GWLP_WNDPROC), buttonProc);
  EXPECT_EQ(SendMessageW(button, WM_GETTEXTLENGTH, 0, 0), 2);

  // A tool destroyed while its tips live leaves nothing behind for them.
  ASSERT_TRUE(tips.Create(parent));
  ASSERT_TRUE(tips.Add(kOther, L"Something else."));
  EXPECT_NE(GetWindowLongPtrW(other, GWLP_WNDPROC), otherProc);
  DestroyWindow(other);
  tips.Destroy();
  DestroyWindow(parent);
}

}  // namespace
}  // namespace tessaly
