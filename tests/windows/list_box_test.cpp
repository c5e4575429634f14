// Moving folder lists into and out of a real list box.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/ui/list_box_win32.h"

namespace tessaly {
namespace {

std::vector<std::wstring> Items(HWND list) {
  std::vector<std::wstring> items;
  const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    wchar_t text[300] = {};
    SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
    items.emplace_back(text);
  }
  return items;
}

TEST(ListBoxTest, ReadSkipsEmptyAndRepeatedItemsAndFillReproducesTheRest) {
  HWND list = CreateWindowExW(0, L"LISTBOX", L"", WS_POPUP | LBS_HASSTRINGS, 0, 0, 200, 200,
                              nullptr, nullptr, nullptr, nullptr);
  if (!list) GTEST_SKIP() << "no window (error " << GetLastError() << "): the tier needs a display";
  for (const wchar_t* item : {L"C:\\VST", L"", L"c:\\vst", L"D:\\Plugins"}) {
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
  }
  CSafeStringList folders;
  folders.Add(L"stale", false);
  ReadListBox(folders, list);
  EXPECT_EQ(folders.Entries(), (std::vector<std::wstring>{L"C:\\VST", L"D:\\Plugins"}));

  FillListBox(folders, list);
  EXPECT_EQ(Items(list), (std::vector<std::wstring>{L"C:\\VST", L"D:\\Plugins"}));
  FillListBox(CSafeStringList(), list);
  EXPECT_TRUE(Items(list).empty());
  DestroyWindow(list);
}

}  // namespace
}  // namespace tessaly
