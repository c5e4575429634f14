// A page's frame on a real modal dialog: its controls follow a change of size by the page's anchor
// table, the smallest size it may take, the size the user chose kept for the next opening, and a
// change of monitor DPI (sent here as Windows sends it when a window moves to a monitor of
// another scale, which Wine never does).
#include <gtest/gtest.h>

#include <functional>

#include "app/settings/profile_store.h"
#include "app/ui/page_win32.h"
#include "resources/resource.h"
#include "tests/support/fake_file_system.h"
#include "tests/support/fake_registry.h"
#include "tests/support/fake_system.h"
#include "tests/windows/program_templates.h"

namespace tessaly {
namespace {

struct NoCommands : PageCommands {
  void RunPreferences(HWND) override {}
  void RunAbout(HWND) override {}
};

constexpr Anchor kAnchors[] = {
    GrowWidth(IDC_FILE_DATABASE_PATH), FollowRight(IDC_FILE_DATABASE_BROWSE),
    FollowBottomRight(IDC_BACK),       FollowBottomRight(IDC_NEXT),
    FollowBottomRight(IDCANCEL),
};

// The file database's page with the anchors above; once open, it runs `check` and closes.
class FramePage : public CPage {
 public:
  FramePage(const PageContext& context, std::function<void(FramePage&)> check)
      : CPage(context, IDD_FILE_DATABASE, PageOptions{.systemMenu = false}),
        check_(std::move(check)) {}

  HWND Window() const { return Hwnd(); }
  HWND Control(int id) const { return Item(id); }
  int scaleChanges = 0;

 protected:
  std::span<const Anchor> Anchors() const override { return kAnchors; }
  void OnScaleChanged() override { ++scaleChanges; }
  bool OnInitPage() override {
    PostMessageW(Hwnd(), WM_APP, 0, 0);
    return true;
  }
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override {
    if (message != WM_APP) return CPage::OnMessage(message, wParam, lParam, result);
    check_(*this);
    EndDialog(IDCANCEL);
    return true;
  }

 private:
  std::function<void(FramePage&)> check_;
};

RECT RectIn(HWND page, HWND control) {
  RECT rect{};
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

SIZE SizeOf(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  return {rect.right - rect.left, rect.bottom - rect.top};
}

SIZE ClientSize(HWND window) {
  RECT rect{};
  GetClientRect(window, &rect);
  return {rect.right, rect.bottom};
}

class PageFrameTest : public testing::ProgramTemplatesTest {
 protected:
  FakeRegistry registry;
  FakeFileSystem files;
  FakeSystem system;
  CProfileStore settings{registry};
  NoCommands commands;
  PageContext context{registry, files, system, settings, commands};

  void Run(std::function<void(FramePage&)> check) {
    FramePage page(context, std::move(check));
    ASSERT_EQ(page.DoModal(nullptr), IDCANCEL);
  }
};

TEST_F(PageFrameTest, ControlsFollowTheirAnchorsAndThePageKeepsItsSmallestSize) {
  Run([](FramePage& page) {
    HWND w = page.Window();
    EXPECT_TRUE(GetWindowLongPtrW(w, GWL_STYLE) & WS_THICKFRAME) << "the page has a sizing border";
    const SIZE opened = SizeOf(w);
    const RECT label = RectIn(w, GetWindow(w, GW_CHILD));  // the unnamed text at the top left
    const RECT edit = RectIn(w, page.Control(IDC_FILE_DATABASE_PATH));
    const RECT browse = RectIn(w, page.Control(IDC_FILE_DATABASE_BROWSE));
    const RECT next = RectIn(w, page.Control(IDC_NEXT));
    // A template that fits 1280 x 672 at 100% is its own smallest size.
    MINMAXINFO limits{};
    SendMessageW(w, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    EXPECT_EQ(limits.ptMinTrackSize.x, opened.cx);
    EXPECT_EQ(limits.ptMinTrackSize.y, opened.cy);

    SetWindowPos(w, nullptr, 0, 0, opened.cx + 200, opened.cy + 100, SWP_NOMOVE | SWP_NOZORDER);
    const RECT edit2 = RectIn(w, page.Control(IDC_FILE_DATABASE_PATH));
    const RECT browse2 = RectIn(w, page.Control(IDC_FILE_DATABASE_BROWSE));
    const RECT next2 = RectIn(w, page.Control(IDC_NEXT));
    const RECT label2 = RectIn(w, GetWindow(w, GW_CHILD));
    EXPECT_EQ(label2.left, label.left);
    EXPECT_EQ(label2.right, label.right);
    EXPECT_EQ(edit2.left, edit.left);
    EXPECT_EQ(edit2.right, edit.right + 200);
    EXPECT_EQ(edit2.top, edit.top);
    EXPECT_EQ(browse2.left, browse.left + 200);
    EXPECT_EQ(browse2.top, browse.top);
    EXPECT_EQ(next2.left, next.left + 200);
    EXPECT_EQ(next2.top, next.top + 100);
    EXPECT_EQ(next2.bottom - next2.top, next.bottom - next.top);
    // Back to the template's size, everything is where the template put it.
    SetWindowPos(w, nullptr, 0, 0, opened.cx, opened.cy, SWP_NOMOVE | SWP_NOZORDER);
    const RECT next3 = RectIn(w, page.Control(IDC_NEXT));
    EXPECT_EQ(next3.left, next.left);
    EXPECT_EQ(next3.top, next.top);
  });
}

TEST_F(PageFrameTest, TheSizeTheUserChoseOpensTheNextTime) {
  SIZE preferred{};
  Run([&](FramePage& page) {
    HWND w = page.Window();
    preferred = SizeOf(w);
    // A size the page was only given (by the placement, say) is not stored...
    SetWindowPos(w, nullptr, 0, 0, preferred.cx + 40, preferred.cy + 30, SWP_NOMOVE | SWP_NOZORDER);
  });
  const std::wstring width = std::wstring(kPageWidthPrefix) + std::to_wstring(IDD_FILE_DATABASE);
  const std::wstring height = std::wstring(kPageHeightPrefix) + std::to_wstring(IDD_FILE_DATABASE);
  EXPECT_EQ(settings.GetProfileInt(kSettingsSection, width, 0), 0u);

  // ... one the user dragged is, in logical pixels (this tier runs at 100%).
  Run([&](FramePage& page) {
    HWND w = page.Window();
    EXPECT_EQ(SizeOf(w).cx, preferred.cx);
    RECT dragged{0, 0, preferred.cx + 120, preferred.cy + 60};
    SendMessageW(w, WM_SIZING, WMSZ_BOTTOMRIGHT, reinterpret_cast<LPARAM>(&dragged));
    SetWindowPos(w, nullptr, 0, 0, preferred.cx + 120, preferred.cy + 60,
                 SWP_NOMOVE | SWP_NOZORDER);
  });
  EXPECT_EQ(settings.GetProfileInt(kSettingsSection, width, 0),
            static_cast<uint32_t>(preferred.cx + 120));
  EXPECT_EQ(settings.GetProfileInt(kSettingsSection, height, 0),
            static_cast<uint32_t>(preferred.cy + 60));
  Run([&](FramePage& page) {
    EXPECT_EQ(SizeOf(page.Window()).cx, preferred.cx + 120);
    EXPECT_EQ(SizeOf(page.Window()).cy, preferred.cy + 60);
  });

  // A stored size below the smallest the page may take opens at that smallest size.
  ASSERT_TRUE(settings.WriteProfileInt(kSettingsSection, width, 100));
  ASSERT_TRUE(settings.WriteProfileInt(kSettingsSection, height, 100));
  Run([&](FramePage& page) {
    EXPECT_EQ(SizeOf(page.Window()).cx, preferred.cx);
    EXPECT_EQ(SizeOf(page.Window()).cy, preferred.cy);
  });
}

TEST_F(PageFrameTest, AChangeOfDpiTakesTheSuggestedRectangleAndRescalesFontAndLayout) {
  Run([](FramePage& page) {
    HWND w = page.Window();
    HWND browse = page.Control(IDC_FILE_DATABASE_BROWSE);
    const int dpi = WindowDpi(w);
    const int newDpi = dpi * 3 / 2;
    LOGFONTW before{};
    ASSERT_EQ(GetObjectW(reinterpret_cast<HFONT>(SendMessageW(browse, WM_GETFONT, 0, 0)),
                         sizeof before, &before),
              static_cast<int>(sizeof before));
    const SIZE client = ClientSize(w);
    const SIZE opened = SizeOf(w);
    const RECT browseBefore = RectIn(w, browse);
    RECT window{};
    GetWindowRect(w, &window);
    // The suggestion, as Windows makes it: the window 1.5 times as large.
    RECT suggested{window.left, window.top, window.left + opened.cx * 3 / 2,
                   window.top + opened.cy * 3 / 2};
    SendMessageW(w, WM_DPICHANGED, MAKEWPARAM(newDpi, newDpi),
                 reinterpret_cast<LPARAM>(&suggested));

    RECT now{};
    GetWindowRect(w, &now);
    EXPECT_EQ(now.left, suggested.left);
    EXPECT_EQ(now.top, suggested.top);
    EXPECT_EQ(now.right, suggested.right);
    EXPECT_EQ(now.bottom, suggested.bottom);
    LOGFONTW after{};
    ASSERT_EQ(GetObjectW(reinterpret_cast<HFONT>(SendMessageW(browse, WM_GETFONT, 0, 0)),
                         sizeof after, &after),
              static_cast<int>(sizeof after));
    EXPECT_EQ(after.lfHeight, ScaleForDpi(before.lfHeight, dpi, newDpi));
    EXPECT_STREQ(after.lfFaceName, before.lfFaceName);
    // The template's places at the new scale: the button 1.5 times as large and as far from the
    // top and from the right edge it follows, within the rounding of a pixel or two.
    const SIZE clientAfter = ClientSize(w);
    const RECT browseAfter = RectIn(w, browse);
    EXPECT_NEAR(clientAfter.cx - browseAfter.right, (client.cx - browseBefore.right) * 3 / 2, 2);
    EXPECT_NEAR(browseAfter.top, browseBefore.top * 3 / 2, 2);
    EXPECT_NEAR(browseAfter.right - browseAfter.left,
                (browseBefore.right - browseBefore.left) * 3 / 2, 2);
    EXPECT_NEAR(browseAfter.bottom - browseAfter.top,
                (browseBefore.bottom - browseBefore.top) * 3 / 2, 2);
    EXPECT_EQ(page.scaleChanges, 1);
    // The smallest size is now the template's at the new scale.
    MINMAXINFO limits{};
    SendMessageW(w, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    EXPECT_NEAR(limits.ptMinTrackSize.x, ScaleForDpi(opened.cx, dpi, newDpi), 2);
    EXPECT_NEAR(limits.ptMinTrackSize.y, ScaleForDpi(opened.cy, dpi, newDpi), 2);
  });
}

}  // namespace
}  // namespace tessaly
