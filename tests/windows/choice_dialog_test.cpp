// Questions whose answers are named actions, on real windows: the task dialog with one button per
// action (found and pressed by its text, Esc and the close box deciding later, drawn in the skin's
// colours where its controls are ordinary windows), and the message box that asks instead where
// the system has no task dialog, each of its buttons standing for its action.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/ui/access_keys.h"
#include "app/ui/skin_win32.h"
#include "app/ui/system_dialogs_win32.h"
#include "platform/text.h"
#include "tests/windows/program_templates.h"

#include <commctrl.h>

namespace tessaly {
namespace {

ChoiceQuestion ThreeWays() {
  ChoiceQuestion q;
  q.instruction = L"A relocation of your files did not end when Tessaly last ran.";
  q.content = L"Original Location: C:\\Samples";
  q.buttons = {{L"&Finish the move", L"Finishes it.", BoxButton::Yes},
               {L"&Put my files back", L"Puts them back.", BoxButton::No},
               {L"&Decide later", L"Changes nothing.", BoxButton::Cancel}};
  q.laterChoice = 2;
  q.boxText = L"Yes: finish. No: put back. Cancel: decide later.";
  return q;
}

// What the timer does once the question is up: press a button found by its text, or send a
// message-box answer or a key.
struct Reply {
  std::wstring press;  // a button's text as shown
  int command = 0;     // else a WM_COMMAND id
  HWND seen = nullptr;
  std::vector<std::wstring> buttons;  // the buttons' texts as shown, in order
  COLORREF background = CLR_INVALID;  // what the dialog answers WM_CTLCOLORDLG with
  int ticks = 0;
};
Reply* g_reply = nullptr;

BOOL CALLBACK FindQuestion(HWND hwnd, LPARAM result) {
  wchar_t title[32] = {}, className[16] = {};
  GetClassNameW(hwnd, className, 16);
  GetWindowTextW(hwnd, title, 32);
  if (wcscmp(className, L"#32770") == 0 && wcscmp(title, L"Tessaly") == 0 &&
      IsWindowVisible(hwnd)) {
    *reinterpret_cast<HWND*>(result) = hwnd;
    return FALSE;
  }
  return TRUE;
}

std::wstring ShownFirstLine(HWND control) {
  wchar_t text[512] = {};
  GetWindowTextW(control, text, 512);
  std::wstring line(text);
  return WithoutAccessKeys(line.substr(0, line.find(L'\n')));
}

void CALLBACK AnswerQuestion(HWND, UINT, UINT_PTR, DWORD) {
  HWND dialog = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindQuestion, reinterpret_cast<LPARAM>(&dialog));
  if (++g_reply->ticks > 500 && dialog) PostMessageW(dialog, WM_CLOSE, 0, 0);  // never hang
  if (!dialog || g_reply->seen) return;
  g_reply->seen = dialog;
  HWND target = nullptr;
  for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    wchar_t className[16] = {};
    GetClassNameW(c, className, 16);
    if (_wcsicmp(className, L"Button") != 0 || !IsWindowVisible(c)) continue;
    g_reply->buttons.push_back(ShownFirstLine(c));
    if (g_reply->buttons.back() == g_reply->press) target = c;
  }
  HDC dc = CreateCompatibleDC(nullptr);
  const auto brush = reinterpret_cast<HBRUSH>(SendMessageW(
      dialog, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(dialog)));
  LOGBRUSH logBrush{};
  if (brush && GetObjectW(brush, sizeof logBrush, &logBrush) == sizeof logBrush) {
    g_reply->background = logBrush.lbColor;
  }
  DeleteDC(dc);
  if (target) {
    PostMessageW(target, BM_CLICK, 0, 0);
  } else {
    PostMessageW(dialog, WM_COMMAND, g_reply->command, 0);
  }
}

class ChoiceDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const std::string why = testing::ProgramTemplates::NoDisplay(); !why.empty())
      GTEST_SKIP() << why;
    // The program's own manifest (common controls 6), active before the first question.
    const std::wstring program = testing::BuiltProgramPath();
    ACTCTXW context{};
    context.cbSize = sizeof context;
    context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    context.lpSource = program.c_str();
    context.lpResourceName = MAKEINTRESOURCEW(1);
    context_ = CreateActCtxW(&context);
    ASSERT_NE(context_, INVALID_HANDLE_VALUE) << ToUtf8(program) << ": " << GetLastError();
    ASSERT_TRUE(ActivateActCtx(context_, &cookie_)) << GetLastError();
  }
  void TearDown() override {
    UnloadSkin();
    if (cookie_) DeactivateActCtx(0, cookie_);
    if (context_ != INVALID_HANDLE_VALUE) ReleaseActCtx(context_);
  }

  // Asks `question` (in the message box when `inBox`) and replies as `reply` says.
  size_t Ask(const ChoiceQuestion& question, Reply& reply, bool inBox) {
    g_reply = &reply;
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, AnswerQuestion);
    EXPECT_NE(timer, 0u);
    const size_t choice =
        inBox ? AskChoiceInMessageBox(nullptr, question) : AskChoice(nullptr, question);
    KillTimer(nullptr, timer);
    g_reply = nullptr;
    EXPECT_NE(reply.seen, nullptr) << "no question was shown";
    return choice;
  }

  HANDLE context_ = INVALID_HANDLE_VALUE;
  ULONG_PTR cookie_ = 0;
};

TEST_F(ChoiceDialogTest, TheTaskDialogNamesEachActionAndItsButtonsChooseThem) {
  if (!HasTaskDialog()) {
    GTEST_SKIP() << "this system's comctl32 has no TaskDialogIndirect: the questions are asked "
                    "in message boxes (the next test)";
  }
  const struct {
    const wchar_t* press;
    int command;  // when no button is pressed
    size_t choice;
  } cases[] = {
      {L"Finish the move", 0, 0},
      {L"Put my files back", 0, 1},
      {L"Decide later", 0, 2},
      {L"", IDCANCEL, 2},  // Esc or the close box
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.press[0] ? ToUtf8(c.press) : "Esc");
    Reply reply;
    reply.press = c.press;
    reply.command = c.command;
    EXPECT_EQ(Ask(ThreeWays(), reply, false), c.choice);
    EXPECT_EQ(reply.buttons, (std::vector<std::wstring>{L"Finish the move", L"Put my files back",
                                                        L"Decide later"}));
  }
}

TEST_F(ChoiceDialogTest, TheTaskDialogTakesTheSkinWhereItsControlsAreOrdinaryWindows) {
  if (!HasTaskDialog()) GTEST_SKIP() << "this system's comctl32 has no TaskDialogIndirect";
  ASSERT_EQ(LoadSkinFromText("[Colors]\nWindow = 10,20,30\nText = 240,240,200\n"), 0u);
  Reply reply;
  reply.press = L"Decide later";
  EXPECT_EQ(Ask(ThreeWays(), reply, false), 2u);
  ASSERT_NE(reply.seen, nullptr);
  // Windows draws its task dialog as one DirectUI surface, with no button windows, that the skin
  // cannot reach.
  if (reply.buttons.empty())
    GTEST_SKIP() << "the task dialog is one DirectUI surface: system colours";
  EXPECT_EQ(reply.background, RGB(10, 20, 30));
}

TEST_F(ChoiceDialogTest, TheMessageBoxThatStandsInMapsYesNoAndCancel) {
  const struct {
    int command;
    size_t choice;
  } cases[] = {{IDYES, 0}, {IDNO, 1}, {IDCANCEL, 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    Reply reply;
    reply.command = c.command;
    EXPECT_EQ(Ask(ThreeWays(), reply, true), c.choice);
    // Yes, No and Cancel, and the text that says what each does.
    EXPECT_EQ(reply.buttons.size(), 3u);
  }
}

}  // namespace
}  // namespace tessaly
