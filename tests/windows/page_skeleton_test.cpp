// The page skeleton on real windows: the system-menu commands appended to a menu, commands that
// are not ours passed on, and the window position saved and restored through the settings.
#include <gtest/gtest.h>

#include "app/ui/page_win32.h"
#include "app/settings/profile_store.h"
#include "platform/win32/win32_api.h"
#include "platform/win32/win32_registry.h"

namespace tessaly {
namespace {

TEST(PageSkeletonTest, SystemMenuGetsASeparatorAndTheFiveCommands) {
  EXPECT_FALSE(AddSystemMenuCommands(nullptr));
  HMENU menu = CreatePopupMenu();
  ASSERT_NE(menu, nullptr);
  AppendMenuW(menu, MF_STRING, SC_CLOSE, L"Close");
  ASSERT_TRUE(AddSystemMenuCommands(menu));
  ASSERT_EQ(GetMenuItemCount(menu), 7);
  EXPECT_TRUE(GetMenuState(menu, 1, MF_BYPOSITION) & MF_SEPARATOR);
  const struct {
    UINT id;
    const wchar_t* text;
  } expected[] = {{0x100, L"Preferences"},
                  {0x20, L"Open User Guide"},
                  {0x40, L"Check For Updates"},
                  {0x80, L"Tessaly News and Info"},
                  {0x10, L"About Tessaly"}};
  for (int i = 0; i < 5; ++i) {
    wchar_t text[64] = {};
    GetMenuStringW(menu, i + 2, text, 64, MF_BYPOSITION);
    EXPECT_EQ(GetMenuItemID(menu, i + 2), expected[i].id);
    EXPECT_STREQ(text, expected[i].text);
  }
  DestroyMenu(menu);
}

// Records which of the program's dialogs a page asked for.
struct RecordingCommands : PageCommands {
  int preferences = 0;
  int about = 0;
  void RunPreferences(HWND) override { ++preferences; }
  void RunAbout(HWND) override { ++about; }
};

TEST(PageSkeletonTest, SystemMenuCommandsReachTheProgramsDialogs) {
  RecordingCommands commands;
  // The low four bits are the system's: the same command whatever they hold.
  EXPECT_TRUE(HandleSystemMenuCommand(commands, 0x10 | 0xF, nullptr));
  EXPECT_TRUE(HandleSystemMenuCommand(commands, 0x100 | 0x3, nullptr));
  EXPECT_EQ(commands.about, 1);
  EXPECT_EQ(commands.preferences, 1);
  // Commands that are not one of the five go to the default handling and open nothing.
  for (UINT command :
       {0x0u, 0x30u, 0x200u, static_cast<UINT>(SC_CLOSE), static_cast<UINT>(SC_MOVE)}) {
    EXPECT_FALSE(HandleSystemMenuCommand(commands, command, nullptr)) << command;
  }
  EXPECT_EQ(commands.about, 1);
  EXPECT_EQ(commands.preferences, 1);
}

class PageWindowCenterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window = CreateWindowExW(0, L"STATIC", L"page", WS_POPUP, 100, 100, 301, 201, nullptr, nullptr,
                             nullptr, nullptr);
    if (!window)
      GTEST_SKIP() << "no window (error " << GetLastError() << "): the tier needs a display";
  }
  void TearDown() override {
    if (window) DestroyWindow(window);
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\TessalyTests\\PageSkeleton");
  }
  POINT Center() {
    RECT rect;
    GetWindowRect(window, &rect);
    return {rect.left + (rect.right - rect.left) / 2, rect.top + (rect.bottom - rect.top) / 2};
  }
  void Store(int x, int y) {
    ASSERT_TRUE(profile.WriteProfileInt(kSettingsSection, kCenterX, x));
    ASSERT_TRUE(profile.WriteProfileInt(kSettingsSection, kCenterY, y));
  }

  HWND window = nullptr;
  Win32Registry registry;
  CProfileStore profile{registry, L"TessalyTests", L"PageSkeleton"};
};

TEST_F(PageWindowCenterTest, ACentreIsRestoredSavedAndKeptOnScreen) {
  // Nothing stored: the window stays where it is, and its centre is what gets saved.
  ASSERT_TRUE(RestoreWindowCenter(window, profile));
  EXPECT_EQ(Center().x, 250);
  EXPECT_EQ(Center().y, 200);

  Store(400, 300);
  ASSERT_TRUE(RestoreWindowCenter(window, profile));
  EXPECT_EQ(Center().x, 400);
  EXPECT_EQ(Center().y, 300);
  RECT rect;
  GetWindowRect(window, &rect);
  EXPECT_EQ(rect.right - rect.left, 301);  // the size stays
  SetWindowPos(window, nullptr, 10, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ASSERT_TRUE(SaveWindowCenter(window, profile));
  EXPECT_EQ(profile.GetProfileInt(kSettingsSection, kCenterX, 0), 160u);
  EXPECT_EQ(profile.GetProfileInt(kSettingsSection, kCenterY, 0), 120u);

  // Off every monitor: the middle of the virtual screen.
  Store(-1, 500);
  ASSERT_TRUE(RestoreWindowCenter(window, profile));
  EXPECT_EQ(Center().x,
            GetSystemMetrics(SM_XVIRTUALSCREEN) + GetSystemMetrics(SM_CXVIRTUALSCREEN) / 2);
  EXPECT_EQ(Center().y,
            GetSystemMetrics(SM_YVIRTUALSCREEN) + GetSystemMetrics(SM_CYVIRTUALSCREEN) / 2);

  EXPECT_FALSE(RestoreWindowCenter(nullptr, profile));
  EXPECT_FALSE(SaveWindowCenter(nullptr, profile));
}

TEST_F(PageWindowCenterTest, APageIsKeptInsideTheWorkArea) {
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  ASSERT_TRUE(GetMonitorInfoW(MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor));
  const RECT work = monitor.rcWork;
  auto inside = [&] {
    RECT rect;
    GetWindowRect(window, &rect);
    return rect.left >= work.left && rect.top >= work.top && rect.right <= work.right &&
           rect.bottom <= work.bottom;
  };
  // A centre near the work area's corner: the window moves in just far enough, its size kept.
  Store(work.right - 10, work.bottom - 10);
  ASSERT_TRUE(RestoreWindowCenter(window, profile));
  RECT rect;
  GetWindowRect(window, &rect);
  EXPECT_TRUE(inside());
  EXPECT_EQ(rect.right, work.right);
  EXPECT_EQ(rect.bottom, work.bottom);
  EXPECT_EQ(rect.right - rect.left, 301);
  // Larger than the work area: the work area's size, wholly inside it.
  ASSERT_TRUE(
      PlaceWindow(window, &profile, {work.right - work.left + 200, work.bottom - work.top + 100}));
  GetWindowRect(window, &rect);
  EXPECT_TRUE(inside());
  EXPECT_EQ(rect.right - rect.left, work.right - work.left);
  EXPECT_EQ(rect.bottom - rect.top, work.bottom - work.top);
  // Without a stored centre the window's own centre counts, and a size it is given is taken.
  ASSERT_TRUE(PlaceWindow(window, nullptr, {400, 300}));
  GetWindowRect(window, &rect);
  EXPECT_TRUE(inside());
  EXPECT_EQ(rect.right - rect.left, 400);
  EXPECT_EQ(rect.bottom - rect.top, 300);
}

}  // namespace
}  // namespace tessaly
