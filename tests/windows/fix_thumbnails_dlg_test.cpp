// The thumbnail page on a real window, run modally in this process from Tessaly.exe's own
// template over the in-memory machine: while its pass runs the page is locked, and closing it
// then stops the pass and waits for it before the page's window is gone.
#include "thumbnails/fix_thumbnails_dlg.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <memory>

#include <atomic>
#include <string>
#include <vector>

#include "app/settings/profile_store.h"
#include "resources/resource.h"
#include "tests/support/fake_file_system.h"
#include "tests/support/fake_registry.h"
#include "tests/support/fake_system.h"
#include "tests/unit/forwarding_file_system.h"
#include "tests/windows/program_templates.h"

namespace tessaly {
namespace {

constexpr wchar_t kTitle[] = L"Tessaly - Fix Product Thumbnails";
const std::wstring kCommon64 = L"C:\\Program Files\\Common Files\\Native Instruments";

struct NoCommands : PageCommands {
  void RunPreferences(HWND) override {}
  void RunAbout(HWND) override {}
};

// Holds the worker inside the look at one path until the page it works for is being destroyed.
class GateFileSystem : public testing::ForwardingFileSystem {
 public:
  GateFileSystem(FileSystem& inner, std::wstring gate)
      : ForwardingFileSystem(inner), gate_(std::move(gate)) {}
  ~GateFileSystem() override {
    if (worker) CloseHandle(worker);
  }

  // The pass looks at the folder by listing it or by its attributes: either holds it.
  ErrorCode FindFiles(std::wstring_view pattern, const Visitor& visit) override {
    Hold(pattern);
    return inner_.FindFiles(pattern, visit);
  }
  ErrorCode GetAttributes(std::wstring_view path, uint32_t& attributes) override {
    Hold(path);
    return inner_.GetAttributes(path, attributes);
  }

  void Hold(std::wstring_view path) {
    if (path != gate_ || worker) return;
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &worker,
                    SYNCHRONIZE, FALSE, 0);
    entered = true;
    // Bounded, so that a page that never closes fails the test instead of hanging it.
    for (int i = 0; i < 2000 && !release; ++i) Sleep(5);
  }

  std::atomic<bool> entered{false};
  std::atomic<bool> release{false};
  HANDLE worker = nullptr;  // the thread that came to the gate

 private:
  std::wstring gate_;
};

class FixThumbnailsDlgTest : public testing::ProgramTemplatesTest {
 protected:
  void AddProduct(const std::wstring& name) {
    const std::wstring art = kCommon64 + L"\\" + name + L"\\PAResources\\image\\" + name;
    files.AddFile(art + L"\\MST_artwork.png", "art");
    files.AddFile(art + L"\\VB_artwork.png", "art");
  }

  FakeRegistry registry;
  FakeFileSystem files;
  FakeSystem system;
  CProfileStore settings{registry};
  NoCommands commands;
};

struct Watch {
  GateFileSystem* gate = nullptr;
  bool acted = false;
  int ticks = 0;
  std::wstring status;
  std::vector<bool> enabled;
  WNDPROC pageProc = nullptr;
  bool destroyed = false;
  DWORD workerAfterDestroy = WAIT_FAILED;  // the worker's state once the page handled WM_DESTROY
};
Watch* g_watch = nullptr;

// The page's own window procedure, watched: its destruction lets the held worker go on, and once
// the page has handled it, the worker must be gone, since what it fills goes with the page.
LRESULT CALLBACK WatchDestroy(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Watch* watch = g_watch;
  if (message != WM_DESTROY)
    return CallWindowProcW(watch->pageProc, window, message, wParam, lParam);
  watch->gate->release = true;
  const LRESULT result = CallWindowProcW(watch->pageProc, window, message, wParam, lParam);
  watch->destroyed = true;
  watch->workerAfterDestroy = WaitForSingleObject(watch->gate->worker, 0);
  return result;
}

BOOL CALLBACK FindPage(HWND window, LPARAM found) {
  if (WindowText(window) != kTitle) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

// Once the worker waits at the gate: reads what the page shows, then closes it as Escape does.
void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
  Watch* watch = g_watch;
  if (!watch || watch->acted) return;
  // A pass that never reaches the gate ends the page after a while, failing the test, so that the
  // run does not hang.
  if (!watch->gate->entered && ++watch->ticks < 1500) return;
  HWND page = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindPage, reinterpret_cast<LPARAM>(&page));
  if (!page) return;
  watch->acted = true;
  watch->status = WindowText(GetDlgItem(page, IDC_THUMBNAIL_STATUS));
  for (int id : {IDC_BACK, IDC_FIX_THUMBNAILS, IDCANCEL, IDC_THUMBNAIL_LIST}) {
    watch->enabled.push_back(IsWindowEnabled(GetDlgItem(page, id)) != FALSE);
  }
  watch->pageProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(page, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WatchDestroy)));
  PostMessageW(page, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(page, IDCANCEL)));
}

TEST_F(FixThumbnailsDlgTest, ClosingThePageDuringAPassEndsThePassWithThePagesWindow) {
  files.AddFolder(L"C:\\Program Files (x86)\\Common Files\\Native Instruments");
  for (const wchar_t* name : {L"Absynth 5", L"Battery 4", L"Massive"}) AddProduct(name);
  // The worker is held where it looks for Battery 4's artwork.
  GateFileSystem gate(files, kCommon64 + L"\\Battery 4\\PAResources\\image\\Battery 4");
  PageContext context{registry, gate, system, settings, commands};

  Watch watch;
  watch.gate = &gate;
  g_watch = &watch;
  INT_PTR code = -1;
  {
    CDialogFixThumbnails page(context);
    const UINT_PTR timer = SetTimer(nullptr, 0, 10, Tick);
    code = page.DoModal(nullptr);
    KillTimer(nullptr, timer);
  }
  g_watch = nullptr;

  EXPECT_EQ(code, IDCANCEL);
  ASSERT_TRUE(watch.acted);
  // The worker was held until the page's window was being destroyed, and it had ended by the
  // time the page had handled its destruction.
  ASSERT_NE(gate.worker, nullptr) << "the pass never reached Battery 4";
  ASSERT_TRUE(watch.destroyed);
  EXPECT_EQ(watch.workerAfterDestroy, WAIT_OBJECT_0);
  EXPECT_EQ(watch.status, L"Scanning for product thumbnails. Please wait...");
  EXPECT_EQ(watch.enabled, (std::vector<bool>{false, false, false, false}))
      << "Back, Fix Thumbnails, Quit and the list while the pass runs";
}

}  // namespace
}  // namespace tessaly
