// The start-up question about a cut-off relocation, answered by a stand-in for the user: each
// named button leads to its own action on the fake disk (finish, put back, decide later, forget),
// and the answers of a task dialog and of the message box that stands in for it map onto the same
// choices.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "app/ui/access_keys.h"
#include "app/ui/choice_question.h"
#include "platform/file_ops.h"
#include "platform/text.h"
#include "relocation/interrupted_relocation.h"
#include "relocation/relocation_engine.h"
#include "relocation/relocation_journal.h"
#include "relocation/relocation_recovery.h"
#include "tests/support/fake_file_system.h"
#include "tests/support/fake_system.h"
#include "tests/support/relocation_recorder.h"
#include "tests/unit/relocation_fixture.h"

namespace tessaly {
namespace {

using testing::kFiles;
using testing::kJournal;
using testing::kRenamed;
using testing::kSource;
using testing::kTarget;

// The user: presses the button whose text (without its access key) is the answer given for each
// question in turn, and answers Yes/No questions as told.
class ScriptedUser : public RecoveryPrompts {
 public:
  void Tell(const std::wstring& text, Tone tone) override { told.push_back({text, tone}); }
  bool Confirm(const std::wstring& question) override {
    confirmations.push_back(question);
    return confirmAnswer;
  }
  size_t Choose(const ChoiceQuestion& question) override {
    questions.push_back(question);
    for (size_t i = 0; i < question.buttons.size(); ++i) {
      if (WithoutAccessKeys(question.buttons[i].text) == press) return i;
    }
    ADD_FAILURE() << "no button \"" << ToUtf8(press) << "\"";
    return question.laterChoice;
  }

  std::wstring press;
  bool confirmAnswer = false;
  struct Told {
    std::wstring text;
    Tone tone;
  };
  std::vector<Told> told;
  std::vector<std::wstring> confirmations;
  std::vector<ChoiceQuestion> questions;
};

// A move cut off after its rename and the copy, before the check: both ways out are open.
struct CutOffMove {
  CutOffMove() {
    fs.AddVolume(L"D:\\", 1'000'000, 2'000'000);
    for (const auto& [relative, bytes] : kFiles)
      fs.AddFile(kSource + relative, std::string_view(bytes));
    fs.AddFolder(L"D:\\Content");
    struct Stop {};
    recorder.onLog = [](const std::wstring& line) {
      if (line.rfind(L"Checking ", 0) == 0) throw Stop{};
    };
    try {
      RunRelocation(fs, system, {kSource, kTarget, false, false}, cancel, recorder);
    } catch (const Stop&) {
    }
    recorder.onLog = nullptr;
  }
  FakeFileSystem fs;
  FakeSystem system;
  CancelFlag cancel{0};
  testing::RelocationRecorder recorder;
};

std::vector<std::wstring> ShownTexts(const ChoiceQuestion& question) {
  std::vector<std::wstring> texts;
  for (const ChoiceButton& button : question.buttons)
    texts.push_back(WithoutAccessKeys(button.text));
  return texts;
}

TEST(RelocationRecoveryTest, EachNamedButtonDoesWhatItSays) {
  using Tone = RecoveryPrompts::Tone;
  const struct {
    const wchar_t* press;
    bool journalStays;
    bool sourceIsLink;
    bool renamedStays;
    std::optional<Tone> told;  // the outcome's message, if any
  } cases[] = {
      {L"Finish the move", false, true, false, Tone::Information},
      {L"Put my files back", false, false, false, Tone::Information},
      {L"Decide later", true, false, true, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ToUtf8(c.press));
    CutOffMove move;
    ASSERT_TRUE(move.fs.Exists(kJournal));
    ScriptedUser user;
    user.press = c.press;
    CheckInterruptedRelocation(move.fs, move.system, user);

    ASSERT_EQ(user.questions.size(), 1u);
    const ChoiceQuestion& asked = user.questions[0];
    EXPECT_EQ(ShownTexts(asked), (std::vector<std::wstring>{
                                     L"Finish the move", L"Put my files back", L"Decide later"}));
    EXPECT_EQ(asked.instruction, L"A relocation of your files did not end when Tessaly last ran.");
    for (const wchar_t* place : {kSource, kRenamed, kTarget, kJournal}) {
      EXPECT_NE(asked.content.find(place), std::wstring::npos) << ToUtf8(place);
    }
    EXPECT_TRUE(user.confirmations.empty());

    EXPECT_EQ(move.fs.Exists(kJournal), c.journalStays);
    EXPECT_EQ(move.fs.IsLink(kSource), c.sourceIsLink);
    EXPECT_EQ(move.fs.Exists(kRenamed), c.renamedStays);
    ASSERT_EQ(user.told.size(), c.told ? 1u : 0u);
    if (c.told) {
      EXPECT_EQ(user.told[0].tone, *c.told) << ToUtf8(user.told[0].text);
    }
    // Wherever the files went, each is whole somewhere: through the link, back in place, or in
    // the renamed folder.
    for (const auto& [relative, bytes] : kFiles) {
      EXPECT_EQ(move.fs.ContentsText(kTarget + relative), bytes) << ToUtf8(relative);
      const std::wstring kept = c.renamedStays   ? kRenamed + relative
                                : c.sourceIsLink ? kTarget + relative
                                                 : kSource + relative;
      EXPECT_EQ(move.fs.ContentsText(kept), bytes) << ToUtf8(relative);
    }
  }
}

TEST(RelocationRecoveryTest, WhenNeitherWayIsOpenOnlyForgettingTwiceConfirmedRemovesTheRecord) {
  const struct {
    const wchar_t* press;
    bool confirm;
    bool confirmationAsked;
    bool journalStays;
  } cases[] = {
      {L"Decide later", true, false, true},
      {L"Forget this relocation", false, true, true},
      {L"Forget this relocation", true, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ToUtf8(c.press) + (c.confirm ? ", confirmed" : ", not confirmed"));
    CutOffMove move;
    // The copy is gone and a file stands at the Original Location: neither way can be taken.
    ASSERT_EQ(DeleteTree(move.fs, {L"*.*"}, kTarget, {.removeFolders = true}), 0u);
    move.fs.AddFile(kSource, std::string_view("a file in the way"));
    ScriptedUser user;
    user.press = c.press;
    user.confirmAnswer = c.confirm;
    CheckInterruptedRelocation(move.fs, move.system, user);

    ASSERT_EQ(user.questions.size(), 1u);
    EXPECT_EQ(ShownTexts(user.questions[0]),
              (std::vector<std::wstring>{L"Forget this relocation", L"Decide later"}));
    EXPECT_EQ(user.confirmations.size(), c.confirmationAsked ? 1u : 0u);
    EXPECT_EQ(move.fs.Exists(kJournal), c.journalStays);
    EXPECT_EQ(user.told.size(), c.journalStays ? 0u : 1u);
    // Nothing is moved or deleted either way.
    EXPECT_EQ(move.fs.ContentsText(kSource), "a file in the way");
    for (const auto& [relative, bytes] : kFiles) {
      EXPECT_EQ(move.fs.ContentsText(kRenamed + relative), bytes) << ToUtf8(relative);
    }
  }
}

TEST(RelocationRecoveryTest, NoJournalNoQuestion) {
  FakeFileSystem fs;
  FakeSystem system;
  ScriptedUser user;
  CheckInterruptedRelocation(fs, system, user);
  EXPECT_TRUE(user.questions.empty());
  EXPECT_TRUE(user.told.empty());
}

// The answers of both forms of each question: the task dialog's own button ids, and the message
// box's Yes, No and Cancel, whose meaning the box's text spells out. Esc, the close box and a
// dialog that failed (0) decide later.
TEST(RelocationRecoveryTest, TaskDialogAndMessageBoxAnswersMapToTheSameChoices) {
  CutOffMove move;
  RelocationJournal journal;
  ASSERT_EQ(ReadRelocationJournal(move.fs, kJournal, journal), err::Success);
  const InterruptedRelocation state = DescribeInterruptedRelocation(move.fs, journal);
  const ChoiceQuestion interrupted = InterruptedRelocationChoice(state, kJournal);
  const ChoiceQuestion stuck = StuckRelocationChoice(state, kJournal, L"It cannot.", L"Nor this.");
  constexpr int kIdCancel = 2, kIdYes = 6, kIdNo = 7;

  const auto finish = static_cast<size_t>(RecoveryChoice::Finish);
  const auto putBack = static_cast<size_t>(RecoveryChoice::PutBack);
  const auto later = static_cast<size_t>(RecoveryChoice::DecideLater);
  const auto forget = static_cast<size_t>(StuckChoice::Forget);
  const auto stuckLater = static_cast<size_t>(StuckChoice::DecideLater);
  const struct {
    const char* name;
    const ChoiceQuestion& question;
    bool taskDialog;
    int answer;
    size_t choice;
  } cases[] = {
      {"task dialog: first button", interrupted, true, kFirstChoiceId, finish},
      {"task dialog: second button", interrupted, true, kFirstChoiceId + 1, putBack},
      {"task dialog: third button", interrupted, true, kFirstChoiceId + 2, later},
      {"task dialog: Esc or the close box", interrupted, true, kIdCancel, later},
      {"task dialog: failed", interrupted, true, 0, later},
      {"task dialog: an id beyond the buttons", interrupted, true, kFirstChoiceId + 3, later},
      {"message box: Yes", interrupted, false, kIdYes, finish},
      {"message box: No", interrupted, false, kIdNo, putBack},
      {"message box: Cancel", interrupted, false, kIdCancel, later},
      {"message box: failed", interrupted, false, 0, later},
      {"stuck, task dialog: first button", stuck, true, kFirstChoiceId, forget},
      {"stuck, task dialog: Esc", stuck, true, kIdCancel, stuckLater},
      {"stuck, message box: Yes", stuck, false, kIdYes, forget},
      {"stuck, message box: No", stuck, false, kIdNo, stuckLater},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.taskDialog ? ChoiceOfTaskDialog(c.question, c.answer)
                           : ChoiceOfMessageBox(c.question, c.answer),
              c.choice);
  }
  // The box's text names what its buttons do, in the program's words; the task dialog's buttons
  // carry the same explanations as their notes.
  EXPECT_EQ(interrupted.boxText, InterruptedRelocationQuestion(state, kJournal));
  EXPECT_EQ(stuck.boxText, StuckRelocationQuestion(state, kJournal, L"It cannot.", L"Nor this."));
  for (const ChoiceQuestion* question : {&interrupted, &stuck}) {
    std::wstring keys;
    for (const ChoiceButton& button : question->buttons) {
      EXPECT_NE(question->boxText.find(button.note), std::wstring::npos) << ToUtf8(button.note);
      const wchar_t key = AccessKeyOf(button.text);
      EXPECT_NE(key, 0) << ToUtf8(button.text);
      EXPECT_EQ(keys.find(key), std::wstring::npos)
          << "access key used twice: " << ToUtf8(button.text);
      keys += key;
    }
  }
}

TEST(AccessKeysTest, CaptionsShownKeysAndEscapedNames) {
  const struct {
    const wchar_t* caption;
    const wchar_t* shown;
    wchar_t key;
  } cases[] = {
      {L"&Next", L"Next", L'N'},
      {L"Apply &Sort...", L"Apply Sort...", L'S'},
      {L"Use for &all Drums && Bass products...", L"Use for all Drums & Bass products...", L'A'},
      {L"Rock && Roll", L"Rock & Roll", 0},
      {L"No key", L"No key", 0},
      {L"Trailing &", L"Trailing ", 0},
      {L"&32-bit plugin files.", L"32-bit plugin files.", L'3'},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ToUtf8(c.caption));
    EXPECT_EQ(WithoutAccessKeys(c.caption), c.shown);
    EXPECT_EQ(AccessKeyOf(c.caption), c.key);
  }
  // A name put into a caption keeps its "&" as text and adds no key.
  const std::wstring caption = L"Use for " + EscapeAccessKeys(L"Drums & Bass") + L" only";
  EXPECT_EQ(WithoutAccessKeys(caption), L"Use for Drums & Bass only");
  EXPECT_EQ(AccessKeyOf(caption), 0);
}

}  // namespace
}  // namespace tessaly
