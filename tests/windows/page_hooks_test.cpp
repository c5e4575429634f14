// The page base's command hooks on a real modal dialog: which commands reach OnButton, how Back
// and Next end a wizard page (and not a dialog without the wizard endings), and the kit's texts
// for a failed shell open and a worker that could not start.
#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

#include "app/settings/profile_store.h"
#include "app/ui/page_win32.h"
#include "app/ui/page_worker_win32.h"
#include "app/ui/system_dialogs_win32.h"
#include "resources/resource.h"
#include "tests/support/fake_file_system.h"
#include "tests/support/fake_registry.h"
#include "tests/support/fake_system.h"
#include "tests/windows/program_templates.h"

namespace tessaly {
namespace {

constexpr int kOwnButton = 4321;
constexpr WORD kNotAClick = EN_CHANGE;

struct NoCommands : PageCommands {
  void RunPreferences(HWND) override {}
  void RunAbout(HWND) override {}
};

// A page that posts its commands to itself once open and records what its hooks were told.
class RecordingPage : public CPage {
 public:
  RecordingPage(const PageContext& context, bool wizardEndings, bool holdNext,
                std::vector<std::pair<int, WORD>> commands)
      : CPage(context, IDD_FILE_DATABASE,
              PageOptions{.systemMenu = false,
                          .restorePosition = false,
                          .savePosition = false,
                          .wizardEndings = wizardEndings}),
        holdNext_(holdNext),
        commands_(std::move(commands)) {}

  std::vector<int> buttons;
  int backs = 0;
  int nextAsked = 0;

 protected:
  bool OnInitPage() override {
    for (const auto& [id, code] : commands_)
      PostMessageW(Hwnd(), WM_COMMAND, MAKEWPARAM(id, code), 0);
    // Whatever the commands did, the run ends.
    PostMessageW(Hwnd(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    return true;
  }
  bool OnButton(int id) override {
    buttons.push_back(id);
    return id == kOwnButton || (holdNext_ && id == IDC_NEXT);
  }
  void OnBack() override { ++backs; }
  bool CanGoNext() override {
    ++nextAsked;
    return true;
  }

 private:
  bool holdNext_;
  std::vector<std::pair<int, WORD>> commands_;
};

class PageHooksTest : public testing::ProgramTemplatesTest {
 protected:
  FakeRegistry registry;
  FakeFileSystem files;
  FakeSystem system;
  CProfileStore settings{registry};
  NoCommands commands;
  PageContext context{registry, files, system, settings, commands};
};

TEST_F(PageHooksTest, ClicksReachOnButtonAndBackAndNextEndOnlyAWizardPage) {
  const struct {
    const char* name;
    bool wizardEndings;
    bool holdNext;
    std::vector<std::pair<int, WORD>> commands;
    std::vector<int> buttons;  // what OnButton saw (the closing Cancel included)
    int backs;
    int nextAsked;
    INT_PTR end;
  } cases[] = {
      {"another notification is no click",
       true,
       false,
       {{kOwnButton, kNotAClick}, {IDC_BACK, kNotAClick}, {IDC_NEXT, kNotAClick}},
       {IDCANCEL},
       0,
       0,
       IDCANCEL},
      {"a click the page handles ends nothing",
       true,
       false,
       {{kOwnButton, BN_CLICKED}},
       {kOwnButton, IDCANCEL},
       0,
       0,
       IDCANCEL},
      {"Back tells the page, then ends it",
       true,
       false,
       {{IDC_BACK, BN_CLICKED}},
       {IDC_BACK},
       1,
       0,
       IDC_BACK},
      {"Next asks the page, then ends it",
       true,
       false,
       {{IDC_NEXT, BN_CLICKED}},
       {IDC_NEXT},
       0,
       1,
       IDC_NEXT},
      {"a busy page holds Next back",
       true,
       true,
       {{IDC_NEXT, BN_CLICKED}, {IDC_BACK, BN_CLICKED}},
       {IDC_NEXT, IDC_BACK},
       1,
       0,
       IDC_BACK},
      {"without the wizard endings Back and Next are plain buttons",
       false,
       false,
       {{IDC_BACK, BN_CLICKED}, {IDC_NEXT, BN_CLICKED}},
       {IDC_BACK, IDC_NEXT, IDCANCEL},
       0,
       0,
       IDCANCEL},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingPage page(context, c.wizardEndings, c.holdNext, c.commands);
    EXPECT_EQ(page.DoModal(nullptr), c.end);
    EXPECT_EQ(page.buttons, c.buttons);
    EXPECT_EQ(page.backs, c.backs);
    EXPECT_EQ(page.nextAsked, c.nextAsked);
  }
}

TEST(PageKitTextTest, FailureMessagesNameWhatFailedAndTheError) {
  EXPECT_EQ(ShellOpenFailureMessage(ShellTarget::File, L"C:\\Guide.pdf", 2),
            L"Attempt to open file C:\\Guide.pdf failed with error 2.");
  EXPECT_EQ(ShellOpenFailureMessage(ShellTarget::Address, L"https://example.invalid/", 31),
            L"Attempt to browse to https://example.invalid/ failed with error 31.");
  EXPECT_EQ(WorkerStartFailureMessage(8),
            L"Encountered error 8 attempting to create thread! Ouch!");
}

}  // namespace
}  // namespace tessaly
