// The change-folder and relocate-products dialogs on real windows, run modally in this process
// from Tessaly.exe's own templates: what they show on opening, the codes their buttons end with,
// the questions they ask, the folders they refuse, and what they keep from one run to the next.
#include "product_manager/change_folder_dlg.h"

#include <commctrl.h>
#include <shlobj.h>
#include <gtest/gtest.h>

#include <memory>

#include <functional>
#include <string>
#include <vector>

#include "app/settings/profile_store.h"
#include "platform/text.h"
#include "product_manager/change_folder_text.h"
#include "resources/resource.h"
#include "tests/support/fake_file_system.h"
#include "tests/support/fake_registry.h"
#include "tests/support/fake_system.h"
#include "tests/windows/program_templates.h"

namespace tessaly {
namespace {

constexpr wchar_t kChangeFolder[] = L"Tessaly - Change Folder";
constexpr wchar_t kRelocate[] = L"Tessaly - Relocate";
constexpr wchar_t kMessage[] = L"Tessaly";
constexpr int kMessageText = 0xFFFF;  // the text of a message box

std::wstring Text(HWND window, int id) { return WindowText(GetDlgItem(window, id)); }
bool Enabled(HWND window, int id) { return IsWindowEnabled(GetDlgItem(window, id)) != FALSE; }
bool IsMessageBox(HWND window) { return GetDlgItem(window, kMessageText) != nullptr; }

// The user's actions are posted, so a step returns before the dialog acts on them.
void Click(HWND window, int id) {
  PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
}
void ListNotify(HWND dialog, int row, WORD code) {
  HWND list = GetDlgItem(dialog, IDC_FOLDER_LIST);
  SendMessageW(list, LB_SETCURSEL, row, 0);
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_FOLDER_LIST, code),
               reinterpret_cast<LPARAM>(list));
}
void Select(HWND dialog, int row) { ListNotify(dialog, row, LBN_SELCHANGE); }
void DoubleClick(HWND dialog, int row) { ListNotify(dialog, row, LBN_DBLCLK); }
LRESULT Selection(HWND dialog) {
  return SendDlgItemMessageW(dialog, IDC_FOLDER_LIST, LB_GETCURSEL, 0, 0);
}
POINT Center(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  return {r.left + (r.right - r.left) / 2, r.top + (r.bottom - r.top) / 2};
}

// Plays the user's part in a modal run of this thread. A thread timer looks at every tick for the
// dialog window the user can reach now (the thread's enabled #32770: a modal child disables its
// owner) and hands it to the next step, which names the window's title. Posted messages come
// before timer ticks, so each tick sees what the previous step's action led to. A window that is
// not the one the next step expects (or any window after the last step) fails the test, and the
// script then closes every window it meets, so a fault ends the run instead of hanging it.
class Script {
 public:
  using Action = std::function<void(HWND)>;

  // `title` null: any window (the shell's folder browser).
  Script& On(const wchar_t* title, Action act) {
    steps_.push_back({title, std::move(act)});
    return *this;
  }
  // A message box: its text, whether it asks Yes/No (else it has only OK), and the answer.
  Script& Message(std::wstring text, bool question, int answer) {
    return On(kMessage, [text = std::move(text), question, answer](HWND box) {
      EXPECT_EQ(Text(box, kMessageText), text);
      EXPECT_EQ(GetDlgItem(box, IDYES) != nullptr, question) << text;
      EXPECT_EQ(GetDlgItem(box, IDNO) != nullptr, question) << text;
      Click(box, answer);
    });
  }

  INT_PTR Run(CDialog& dialog) {
    current_ = this;
    const UINT_PTR timer = SetTimer(nullptr, 0, 10, Tick);
    const INT_PTR code = dialog.DoModal(nullptr);
    KillTimer(nullptr, timer);
    current_ = nullptr;
    EXPECT_EQ(next_, steps_.size()) << "the dialog ended before the script did";
    return code;
  }

 private:
  struct Step {
    const wchar_t* title;
    Action act;
  };

  static BOOL CALLBACK FindDialog(HWND window, LPARAM found) {
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (lstrcmpW(name, L"#32770") != 0 || !IsWindowEnabled(window)) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
  }

  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    Script* script = current_;
    if (!script || script->busy_) return;
    HWND window = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&window));
    if (!window) return;
    script->busy_ = true;
    script->Act(window);
    script->busy_ = false;
  }

  void Act(HWND window) {
    const std::wstring title = WindowText(window);
    if (!failed_) {
      if (next_ < steps_.size() && (!steps_[next_].title || title == steps_[next_].title)) {
        steps_[next_++].act(window);
        return;
      }
      ADD_FAILURE() << "step " << next_ << " of " << steps_.size() << " expected "
                    << (next_ < steps_.size() && steps_[next_].title ? steps_[next_].title
                                                                     : L"no window")
                    << ", found " << title
                    << (IsMessageBox(window) ? L": " + Text(window, kMessageText) : L"");
      failed_ = true;
    }
    if (IsMessageBox(window)) {
      Click(window, GetDlgItem(window, IDNO) ? IDNO : IDOK);
    } else {
      Click(window, IDCANCEL);
    }
  }

  static inline Script* current_ = nullptr;
  std::vector<Step> steps_;
  size_t next_ = 0;
  bool busy_ = false;
  bool failed_ = false;
};

// Records which of the program's dialogs the system menu asked for.
struct RecordingCommands : PageCommands {
  int preferences = 0;
  int about = 0;
  void RunPreferences(HWND) override { ++preferences; }
  void RunAbout(HWND) override { ++about; }
};

BOOL CALLBACK FindTips(HWND window, LPARAM found) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  if (lstrcmpiW(name, TOOLTIPS_CLASSW) != 0) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

std::wstring FolderOfLength(size_t length) {
  std::wstring folder = L"D:\\";
  folder.append(length - folder.size(), L'x');
  return folder;
}

class ChangeFolderDlgTest : public testing::ProgramTemplatesTest {
 protected:
  // The rows of the folder list.
  enum Row { kTrailing, kCurrent, kAudio, kRelative, kTooLong, kRows };

  void SetUp() override {
    testing::ProgramTemplatesTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    settings.WriteProfileInt(kSettingsSection, kCenterX, 400);
    settings.WriteProfileInt(kSettingsSection, kCenterY, 300);
    files.AddVolume(L"E:", 1u << 30, 1u << 30);
    files.AddFolder(L"E:\\Audio");
    product.keyName = L"Massive";
    product.productType = producttype::AppPlugin;
    product.presentValues = valuekind::InstallVst64Dir | valuekind::HasPluginFolder;
    product.vst64Dir = L"c:\\plugins\\vst64";  // listed in other letter case
  }

  FakeRegistry registry;
  FakeFileSystem files;
  FakeSystem system;
  CProfileStore settings{registry};
  RecordingCommands commands;
  PageContext context{registry, files, system, settings, commands};
  CNiProduct product;
  // The trailing backslash makes the first row another text than the product's folder.
  std::vector<std::wstring> folders = {L"C:\\Plugins\\VST64\\", L"C:\\Plugins\\VST64",
                                       L"D:\\Audio\\Plugins", L"Kontakt", FolderOfLength(260)};
  CChangeFolderDlg dialog{context};
};

TEST_F(ChangeFolderDlgTest, OpensOnTheProductsFolderAndDoubleClickUsesItForTheProduct) {
  dialog.SetInputs(&product, valuekind::InstallVst64Dir, &folders);
  Script script;
  script.On(kChangeFolder, [&](HWND d) {
    ASSERT_EQ(SendDlgItemMessageW(d, IDC_FOLDER_LIST, LB_GETCOUNT, 0, 0), kRows);
    EXPECT_EQ(Selection(d), kCurrent);
    EXPECT_EQ(Text(d, IDC_FOLDER_PROMPT), L"Choose 64-bit VST plugin folder for Massive:");
    EXPECT_EQ(Text(d, IDC_USE_FOR_PRODUCT), L"&Use for Massive only");
    EXPECT_EQ(Text(d, IDC_USE_FOR_ALL), L"Use for &all App/Plugin products...");
    EXPECT_EQ(Text(d, IDC_RELOCATE_PRODUCTS), L"&Relocate App/Plugin products from C:\\Plugins...");
    EXPECT_FALSE(Enabled(d, IDC_USE_FOR_PRODUCT));
    EXPECT_EQ(Center(d).x, 400);
    EXPECT_EQ(Center(d).y, 300);
    HWND tips = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindTips, reinterpret_cast<LPARAM>(&tips));
    ASSERT_NE(tips, nullptr);
    EXPECT_EQ(SendMessageW(tips, TTM_GETTOOLCOUNT, 0, 0), 6);
    // The system menu's commands reach the program's dialogs.
    PostMessageW(d, WM_SYSCOMMAND, 0x10 | 0x3, 0);
    PostMessageW(d, WM_SYSCOMMAND, 0x100, 0);
    // Enter with the default button disabled ends nothing.
    Click(d, IDOK);
  });
  script.On(kChangeFolder, [&](HWND d) {
    EXPECT_EQ(commands.about, 1);
    EXPECT_EQ(commands.preferences, 1);
    // The product's own folder, though its button is still disabled.
    DoubleClick(d, kCurrent);
  });
  EXPECT_EQ(script.Run(dialog), IDC_USE_FOR_PRODUCT);
  EXPECT_EQ(dialog.ChosenFolder(), L"C:\\Plugins\\VST64");
  EXPECT_FALSE(dialog.Limit());
  EXPECT_EQ(folders.size(), size_t{kRows}) << "the dialog adds only browsed folders";
}

TEST_F(ChangeFolderDlgTest, AnotherFolderEnablesUseForProductForGood) {
  dialog.SetInputs(&product, valuekind::InstallVst64Dir, &folders);
  POINT moved{};
  Script script;
  script.On(kChangeFolder, [&](HWND d) {
    SetWindowPos(d, nullptr, 10, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    moved = Center(d);
    Select(d, kAudio);
  });
  script.On(kChangeFolder, [&](HWND d) {
    EXPECT_TRUE(Enabled(d, IDC_USE_FOR_PRODUCT));
    EXPECT_EQ(Text(d, IDC_RELOCATE_PRODUCTS), L"&Relocate App/Plugin products from D:\\Audio...");
    Select(d, kCurrent);
  });
  script.On(kChangeFolder, [&](HWND d) {
    EXPECT_TRUE(Enabled(d, IDC_USE_FOR_PRODUCT)) << "stays enabled on the product's own folder";
    Select(d, kAudio);
    Click(d, IDC_USE_FOR_PRODUCT);
  });
  EXPECT_EQ(script.Run(dialog), IDC_USE_FOR_PRODUCT);
  EXPECT_EQ(dialog.ChosenFolder(), L"D:\\Audio\\Plugins");
  // The dialog stores where it was for the next page or dialog.
  EXPECT_EQ(settings.GetProfileInt(kSettingsSection, kCenterX, 0), static_cast<uint32_t>(moved.x));
  EXPECT_EQ(settings.GetProfileInt(kSettingsSection, kCenterY, 0), static_cast<uint32_t>(moved.y));
}

TEST_F(ChangeFolderDlgTest, UseForAllAsksFirstAndThenWhetherToLimit) {
  const std::wstring proceed =
      changefolder::UseForAllQuestion(L"64-bit VST plugin", L"App/Plugin", L"D:\\Audio\\Plugins");
  const std::wstring limit = changefolder::LimitQuestion(L"App/Plugin", L"c:\\plugins\\vst64");
  const struct {
    const wchar_t* current;  // the product's folder
    int limitAnswer;         // 0: no second question
    bool limited;
  } cases[] = {
      {L"c:\\plugins\\vst64", IDYES, true},
      {L"c:\\plugins\\vst64", IDNO, false},
      {L"", 0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.limitAnswer);
    product.vst64Dir = c.current;
    dialog.SetInputs(&product, valuekind::InstallVst64Dir, &folders);
    Script script;
    script.On(kChangeFolder, [&](HWND d) {
      Select(d, kAudio);
      Click(d, IDC_USE_FOR_ALL);
    });
    // No to the first question keeps the dialog open.
    script.Message(proceed, true, IDNO);
    script.On(kChangeFolder, [&](HWND d) { Click(d, IDC_USE_FOR_ALL); });
    script.Message(proceed, true, IDYES);
    if (c.limitAnswer) script.Message(limit, true, c.limitAnswer);
    EXPECT_EQ(script.Run(dialog), IDC_USE_FOR_ALL);
    EXPECT_EQ(dialog.ChosenFolder(), L"D:\\Audio\\Plugins");
    EXPECT_EQ(dialog.Limit(), c.limited);
  }
  // Each opening starts unlimited.
  Script cancel;
  cancel.On(kChangeFolder, [&](HWND d) { Click(d, IDCANCEL); });
  product.vst64Dir = L"c:\\plugins\\vst64";
  dialog.SetInputs(&product, valuekind::InstallVst64Dir, &folders);
  Script limited;
  limited.On(kChangeFolder, [&](HWND d) {
    Select(d, kAudio);
    Click(d, IDC_USE_FOR_ALL);
  });
  limited.Message(proceed, true, IDYES).Message(limit, true, IDYES);
  ASSERT_EQ(limited.Run(dialog), IDC_USE_FOR_ALL);
  ASSERT_TRUE(dialog.Limit());
  EXPECT_EQ(cancel.Run(dialog), IDCANCEL);
  EXPECT_FALSE(dialog.Limit());
}

TEST_F(ChangeFolderDlgTest, FoldersThatCannotBeUsedAreRefusedAndTheDialogStaysOpen) {
  const std::wstring tooLong = FolderCheckMessage(FolderCheck::TooLong, FolderOfLength(260));
  const std::wstring noParent = FolderCheckMessage(FolderCheck::NoParent, L"Kontakt");
  const std::wstring selectFirst = L"Please select a folder first.";
  dialog.SetInputs(&product, valuekind::InstallVst64Dir, &folders);
  Script script;
  // A folder too long for Windows, by every way of using it.
  for (int button : {IDC_USE_FOR_PRODUCT, IDC_USE_FOR_ALL, IDC_RELOCATE_PRODUCTS}) {
    script.On(kChangeFolder, [button](HWND d) {
      Select(d, kTooLong);
      Click(d, button);
    });
    script.Message(tooLong, false, IDOK);
  }
  script.On(kChangeFolder, [](HWND d) { DoubleClick(d, kTooLong); });
  script.Message(tooLong, false, IDOK);
  // A value without a parent folder cannot be relocated (but may be used as it is).
  script.On(kChangeFolder, [](HWND d) {
    Select(d, kRelative);
    Click(d, IDC_RELOCATE_PRODUCTS);
  });
  script.Message(noParent, false, IDOK);
  script.On(kChangeFolder, [](HWND d) { Click(d, IDCANCEL); });
  EXPECT_EQ(script.Run(dialog), IDCANCEL);

  // A product whose folder is not listed: nothing selected, the template's captions, and the
  // buttons ask for a selection first, even with the folder of the earlier run still kept.
  product.vst64Dir = L"F:\\Elsewhere";
  dialog.SetInputs(&product, valuekind::InstallVst64Dir, &folders);
  Script unlisted;
  unlisted.On(kChangeFolder, [](HWND d) {
    EXPECT_EQ(Selection(d), LB_ERR);
    EXPECT_EQ(Text(d, IDC_USE_FOR_PRODUCT), L"&Use for LONG PRODUCT NAME only");
    EXPECT_EQ(Text(d, IDC_FOLDER_PROMPT), L"Select a new folder:");
    EXPECT_FALSE(Enabled(d, IDC_USE_FOR_PRODUCT));
    Click(d, IDC_RELOCATE_PRODUCTS);
  });
  unlisted.Message(selectFirst, false, IDOK);
  unlisted.On(kChangeFolder, [](HWND d) { Click(d, IDC_USE_FOR_ALL); });
  unlisted.Message(selectFirst, false, IDOK);
  unlisted.On(kChangeFolder, [](HWND d) { Click(d, IDC_OPEN_SELECTED_FOLDER); });
  unlisted.Message(selectFirst, false, IDOK);
  unlisted.On(kChangeFolder, [](HWND d) { PostMessageW(d, WM_CLOSE, 0, 0); });
  EXPECT_EQ(unlisted.Run(dialog), IDCANCEL);
}

TEST_F(ChangeFolderDlgTest, RelocationConfirmsAnExistingNewParentAndKeepsItForTheNextRun) {
  dialog.SetInputs(&product, valuekind::InstallVst64Dir, &folders);
  const std::wstring longParent = L"E:\\" + std::wstring(257, L'x');
  Script script;
  script.On(kChangeFolder, [](HWND d) {
    Select(d, kAudio);
    Click(d, IDC_RELOCATE_PRODUCTS);
  });
  script.On(kRelocate, [&](HWND r) {
    EXPECT_EQ(Text(r, IDC_RELOCATE_EXPLANATION),
              relocate::Explanation(L"64-bit VST plugin", L"App/Plugin", L"D:\\Audio"));
    EXPECT_EQ(Text(r, IDC_OLD_PARENT_LABEL), L"Old parent 64-bit VST plugin folder:");
    EXPECT_EQ(Text(r, IDC_OLD_PARENT), L"D:\\Audio");
    EXPECT_FALSE(Enabled(r, IDC_OLD_PARENT));
    EXPECT_EQ(Text(r, IDC_NEW_PARENT_LABEL), L"New parent 64-bit VST plugin folder:");
    EXPECT_EQ(Text(r, IDC_NEW_PARENT), L"");
    EXPECT_EQ(Center(r).x, 400);
    EXPECT_EQ(Center(r).y, 300);
    // Moved away: the relocate dialog does not store its position.
    SetWindowPos(r, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    Click(r, IDC_RELOCATE);
  });
  script.Message(L"Please select a new parent folder before attempting to continue.", false, IDOK);
  const struct {
    std::wstring typed;
    std::wstring refusal;
  } refused[] = {
      {L"E:\\Missing", NewParentCheckMessage(NewParentCheck::NotAFolder, L"E:\\Missing")},
      {L"Audio", NewParentCheckMessage(NewParentCheck::NotFullPath, L"Audio")},
      {longParent, NewParentCheckMessage(NewParentCheck::TooLong, longParent)},
  };
  for (const auto& r : refused) {
    script.On(kRelocate, [&r](HWND w) {
      SetDlgItemTextW(w, IDC_NEW_PARENT, r.typed.c_str());
      Click(w, IDC_RELOCATE);
    });
    script.Message(r.refusal, false, IDOK);
  }
  // Declining the question keeps the typed folder; cancelling keeps the change-folder dialog.
  script.On(kRelocate, [](HWND r) {
    SetDlgItemTextW(r, IDC_NEW_PARENT, L"E:\\Audio");
    Click(r, IDC_RELOCATE);
  });
  const std::wstring ready = relocate::Question(L"64-bit VST plugin", L"E:\\Audio");
  script.Message(ready, true, IDNO);
  script.On(kRelocate, [](HWND r) {
    EXPECT_EQ(Text(r, IDC_NEW_PARENT), L"E:\\Audio");
    Click(r, IDCANCEL);
  });
  script.On(kChangeFolder, [&](HWND d) {
    EXPECT_EQ(settings.GetProfileInt(kSettingsSection, kCenterX, 0), 400u);
    Click(d, IDC_RELOCATE_PRODUCTS);
  });
  script.On(kRelocate, [&](HWND r) {
    EXPECT_EQ(Text(r, IDC_NEW_PARENT), L"E:\\Audio") << "the last new parent comes back";
    // Of the system menu's commands, About among them.
    PostMessageW(r, WM_SYSCOMMAND, 0x10, 0);
    Click(r, IDC_RELOCATE);
  });
  script.Message(ready, true, IDYES);
  EXPECT_EQ(script.Run(dialog), IDC_RELOCATE_PRODUCTS);
  EXPECT_EQ(dialog.OldParent(), L"D:\\Audio");
  EXPECT_EQ(dialog.NewParent(), L"E:\\Audio");
  EXPECT_EQ(commands.about, 1);

  // The next run, for another product, starts with the same new parent; a drive root is a parent.
  CNiProduct other;
  other.keyName = L"Kontakt Factory";
  other.productType = producttype::Content;
  other.presentValues = valuekind::ContentDir;
  other.contentDir = L"E:\\Kontakt";
  std::vector<std::wstring> content = {L"E:\\Kontakt"};
  dialog.SetInputs(&other, valuekind::ContentDir, &content);
  Script next;
  next.On(kChangeFolder, [](HWND d) {
    EXPECT_EQ(Text(d, IDC_RELOCATE_PRODUCTS), L"&Relocate Content Library products from E:\\...");
    Click(d, IDC_RELOCATE_PRODUCTS);
  });
  next.On(kRelocate, [](HWND r) {
    EXPECT_EQ(Text(r, IDC_OLD_PARENT), L"E:\\");
    EXPECT_EQ(Text(r, IDC_OLD_PARENT_LABEL), L"Old parent content folder:");
    EXPECT_EQ(Text(r, IDC_NEW_PARENT), L"E:\\Audio");
    Click(r, IDCANCEL);
  });
  next.On(kChangeFolder, [](HWND d) { Click(d, IDCANCEL); });
  EXPECT_EQ(next.Run(dialog), IDCANCEL);
  EXPECT_EQ(dialog.NewParent(), L"E:\\Audio");
}

TEST_F(ChangeFolderDlgTest, BrowsedFoldersAreAddedAndSelectedEvenWhenListed) {
  // The shell's folder browser of the system, told which folder to pick.
  const auto pick = [](HWND browser) {
    SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(L"C:\\windows"));
    Click(browser, IDOK);
  };
  std::wstring picked;
  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE(run);
    dialog.SetInputs(&product, valuekind::InstallVst64Dir, &folders);
    Script script;
    script.On(kChangeFolder, [](HWND d) { Click(d, IDC_SELECT_ANOTHER_FOLDER); });
    script.On(nullptr, pick);
    script.On(kChangeFolder, [&, run](HWND d) {
      const LRESULT rows = SendDlgItemMessageW(d, IDC_FOLDER_LIST, LB_GETCOUNT, 0, 0);
      ASSERT_EQ(rows, kRows + run + 1);
      EXPECT_EQ(Selection(d), rows - 1);
      EXPECT_TRUE(Enabled(d, IDC_USE_FOR_PRODUCT));
      Click(d, IDCANCEL);
    });
    EXPECT_EQ(script.Run(dialog), IDCANCEL);
    // Cancelled, yet the page's list keeps the folder for the next run, which adds it again.
    ASSERT_EQ(folders.size(), size_t{kRows} + run + 1);
    if (run == 0) picked = folders.back();
    EXPECT_TRUE(EqualsNoCase(folders.back(), L"C:\\windows")) << folders.back();
    EXPECT_EQ(folders.back(), picked);
  }
}

}  // namespace
}  // namespace tessaly
