// For tests that run the program's dialogs in their own process: Tessaly.exe loaded as a data
// file and made the module the dialogs take their templates from, with the common controls.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/ui/dialog_win32.h"
#include "platform/win32/win32_api.h"

#include <commctrl.h>

namespace tessaly::testing {

// The tests run from build/windows/tests; the program is build/windows/Tessaly.exe.
inline std::wstring BuiltProgramPath() {
  wchar_t self[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path(self, n);
  path.resize(path.rfind(L'\\'));
  path.resize(path.rfind(L'\\'));
  return path + L"\\Tessaly.exe";
}

class ProgramTemplates {
 public:
  ProgramTemplates()
      : module_(LoadLibraryExW(BuiltProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)),
        error_(module_ ? 0 : GetLastError()) {
    SetProgramModule(module_);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
  }
  ~ProgramTemplates() {
    SetProgramModule(nullptr);
    if (module_) FreeLibrary(module_);
  }
  ProgramTemplates(const ProgramTemplates&) = delete;
  ProgramTemplates& operator=(const ProgramTemplates&) = delete;

  bool Loaded() const { return module_ != nullptr; }
  DWORD Error() const { return error_; }

  // Empty when this process can make windows; otherwise why not, for GTEST_SKIP.
  static std::string NoDisplay() {
    HWND probe = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 nullptr, nullptr);
    if (!probe) {
      return "no window (error " + std::to_string(GetLastError()) + "): the tier needs a display";
    }
    DestroyWindow(probe);
    return {};
  }

 private:
  HMODULE module_;
  DWORD error_;
};

// The base of a test that runs the program's dialogs: the templates loaded before each test,
// which is skipped where this process cannot make windows. A fixture's own SetUp calls this one
// first and returns when it skipped or failed.
class ProgramTemplatesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    templates_ = std::make_unique<ProgramTemplates>();
    ASSERT_TRUE(templates_->Loaded()) << "no Tessaly.exe (error " << templates_->Error() << ")";
    if (const std::string reason = ProgramTemplates::NoDisplay(); !reason.empty()) {
      GTEST_SKIP() << reason;
    }
  }
  void TearDown() override { templates_.reset(); }

 private:
  std::unique_ptr<ProgramTemplates> templates_;
};

}  // namespace tessaly::testing
