// A relocation cut off at each point after its rename (the program ended there), then finished or
// put back from its journal over the fake disk: each action leaves the exact state it promises,
// every file of the source is found with its bytes somewhere the message names, and the journal
// goes only when the action succeeded. A journal that does not parse is refused.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/text.h"
#include "relocation/interrupted_relocation.h"
#include "relocation/relocation_engine.h"
#include "relocation/relocation_journal.h"
#include "tests/support/fake_file_system.h"
#include "tests/support/fake_system.h"
#include "tests/support/relocation_recorder.h"
#include "tests/unit/forwarding_file_system.h"
#include "tests/unit/relocation_fixture.h"

namespace tessaly {
namespace {

using Op = FakeFileSystem::Operation;

using testing::kFiles;
using testing::kJournal;
using testing::kRenamed;
using testing::kSource;
using testing::kTarget;

// The program ending at this point of a run.
struct CutOff {};

// Ends the run at the deletion of one path.
class CuttingFileSystem : public testing::ForwardingFileSystem {
 public:
  using ForwardingFileSystem::ForwardingFileSystem;
  ErrorCode DeleteFile(std::wstring_view path) override {
    if (!cutAtDeleteOf.empty() && EqualsNoCase(path, cutAtDeleteOf)) throw CutOff{};
    return ForwardingFileSystem::DeleteFile(path);
  }
  std::wstring cutAtDeleteOf;
};

struct Disk {
  Disk() {
    fs.AddVolume(L"D:\\", 1'000'000, 2'000'000);
    for (const auto& [relative, bytes] : kFiles)
      fs.AddFile(kSource + relative, std::string_view(bytes));
    fs.AddFolder(L"D:\\Content");
  }

  // Runs a move that the program's end cuts off (or that ends by itself when nothing cuts it).
  void RunUntilCutOff() {
    try {
      RunRelocation(cutting, system, {kSource, kTarget, false, false}, cancel, recorder);
    } catch (const CutOff&) {
    }
  }
  void CutAtLog(const wchar_t* start) {
    recorder.onLog = [start](const std::wstring& line) {
      if (line.rfind(start, 0) == 0) throw CutOff{};
    };
  }

  // Every file of the source is at one of the real folders with its bytes; the renamed folder
  // counts only when the message names it.
  void ExpectNothingLost(const std::wstring& message) {
    for (const auto& [relative, bytes] : kFiles) {
      bool found = false;
      for (const wchar_t* root : {kSource, kRenamed, kTarget}) {
        if (fs.IsLink(root) || !fs.IsFile(root + relative)) continue;
        if (fs.ContentsText(root + relative) != bytes) continue;
        if (root == kRenamed) {
          EXPECT_NE(message.find(kRenamed), std::wstring::npos) << "the message names not the "
                                                                   "folder that holds the files";
        }
        found = true;
      }
      EXPECT_TRUE(found) << ToUtf8(relative) << " is found nowhere";
    }
  }

  FakeFileSystem fs;
  CuttingFileSystem cutting{fs};
  FakeSystem system;
  CancelFlag cancel{0};
  testing::RelocationRecorder recorder;
};

// What stands where after an action.
struct After {
  bool done;
  OriginalPlace original;
  bool renamedExists;
};

TEST(InterruptedRelocationTest, FinishAndPutBackFromEveryPointOfACutOffRun) {
  const After finished{true, OriginalPlace::LinkToTarget, false};
  const After back{true, OriginalPlace::Folder, false};
  const struct {
    const char* name;
    std::function<void(Disk&)> cut;
    OriginalPlace originalFound;  // as the question describes it
    bool renamedFound;
    After finish, putBack;
    bool copySpoilt = false;  // the case changed the copy on purpose
  } cases[] = {
      {"after the rename, before the check", [](Disk& d) { d.CutAtLog(L"Checking "); },
       OriginalPlace::Missing, true, finished, back},
      {"after a link, before the check",
       [](Disk& d) {
         d.CutAtLog(L"Checking ");
         d.RunUntilCutOff();
         d.fs.AddFolderLink(kSource, kTarget);
       },
       OriginalPlace::LinkToTarget, true, finished, back},
      {"after the link, before the deletion", [](Disk& d) { d.CutAtLog(L"Deleting "); },
       OriginalPlace::LinkToTarget, true, finished, back},
      {"during the deletion",
       [](Disk& d) { d.cutting.cutAtDeleteOf = std::wstring(kRenamed) + L"\\sub\\deep\\c.nki"; },
       OriginalPlace::LinkToTarget, true, finished, back},
      {"after the deletion, before the journal went",
       [](Disk& d) { d.cutting.cutAtDeleteOf = kJournal; },
       OriginalPlace::LinkToTarget,
       false,
       finished,
       {false, OriginalPlace::LinkToTarget, false}},
      {"after the rename back, before the journal went",
       [](Disk& d) {
         d.fs.InjectFailure(Op::CreateFolderLink, kSource, 1314);
         d.cutting.cutAtDeleteOf = kJournal;
       },
       OriginalPlace::Folder,
       false,
       {true, OriginalPlace::Folder, false},
       back},
      // Finish refuses what a run would refuse, and the journal stays.
      {"a copy cut short since",
       [](Disk& d) {
         d.CutAtLog(L"Checking ");
         d.RunUntilCutOff();
         d.fs.AddFile(std::wstring(kTarget) + L"\\sub\\b.wav", std::string_view("vio"));
       },
       OriginalPlace::Missing,
       true,
       {false, OriginalPlace::Missing, true},
       back,
       true},
      {"a link that cannot be made",
       [](Disk& d) {
         d.CutAtLog(L"Checking ");
         d.RunUntilCutOff();
         d.fs.InjectFailure(Op::CreateFolderLink, kSource, 1314);
       },
       OriginalPlace::Missing,
       true,
       {false, OriginalPlace::Missing, true},
       back},
      {"a folder made again at the Original Location",
       [](Disk& d) {
         d.CutAtLog(L"Checking ");
         d.RunUntilCutOff();
         d.fs.AddFolder(kSource);
       },
       OriginalPlace::Folder,
       true,
       {false, OriginalPlace::Folder, true},
       {false, OriginalPlace::Folder, true}},
  };
  for (const auto& c : cases) {
    for (const bool finish : {true, false}) {
      SCOPED_TRACE(std::string(c.name) + (finish ? ": finish" : ": put back"));
      Disk d;
      c.cut(d);
      d.RunUntilCutOff();
      RelocationJournal journal;
      ASSERT_EQ(ReadRelocationJournal(d.fs, kJournal, journal), err::Success);
      const InterruptedRelocation found = DescribeInterruptedRelocation(d.fs, journal);
      EXPECT_EQ(found.original, c.originalFound);
      EXPECT_EQ(found.renamedExists, c.renamedFound);
      EXPECT_TRUE(found.copyExists);
      const std::wstring question = InterruptedRelocationQuestion(found, kJournal);
      for (const wchar_t* place : {kSource, kRenamed, kTarget, kJournal}) {
        EXPECT_NE(question.find(place), std::wstring::npos) << ToUtf8(place);
      }

      const RecoveryOutcome outcome = finish
                                          ? FinishInterruptedRelocation(d.fs, kJournal, journal)
                                          : PutBackInterruptedRelocation(d.fs, kJournal, journal);
      const After& expected = finish ? c.finish : c.putBack;
      EXPECT_EQ(outcome.done, expected.done) << ToUtf8(outcome.message);
      EXPECT_FALSE(outcome.message.empty());
      EXPECT_EQ(d.fs.Exists(kJournal), !expected.done) << "the journal goes exactly on success";
      const InterruptedRelocation now = DescribeInterruptedRelocation(d.fs, journal);
      EXPECT_EQ(now.original, expected.original);
      EXPECT_EQ(now.renamedExists, expected.renamedExists);
      if (expected.original == OriginalPlace::LinkToTarget) {
        EXPECT_EQ(d.fs.LinkTarget(kSource), kTarget);
      }
      // A folder put back holds every file that was not already deleted from it; the copy
      // stays whole in any case.
      for (const auto& [relative, bytes] : kFiles) {
        if (c.copySpoilt) break;
        EXPECT_EQ(d.fs.ContentsText(kTarget + relative), bytes) << ToUtf8(relative);
      }
      if (expected.done && expected.original == OriginalPlace::Folder &&
          c.originalFound != OriginalPlace::LinkToTarget) {
        for (const auto& [relative, bytes] : kFiles) {
          EXPECT_EQ(d.fs.ContentsText(kSource + relative), bytes) << ToUtf8(relative);
        }
      }
      d.ExpectNothingLost(outcome.message);
    }
  }
}

// A folder put back after the deletion had begun may lack files; the message says so and where
// all of them are.
TEST(InterruptedRelocationTest, APutBackAfterTheDeletionBeganSaysWhereEveryFileIs) {
  Disk d;
  d.cutting.cutAtDeleteOf = std::wstring(kRenamed) + L"\\sub\\deep\\c.nki";
  d.RunUntilCutOff();
  RelocationJournal journal;
  ASSERT_EQ(ReadRelocationJournal(d.fs, kJournal, journal), err::Success);
  const RecoveryOutcome outcome = PutBackInterruptedRelocation(d.fs, kJournal, journal);
  ASSERT_TRUE(outcome.done) << ToUtf8(outcome.message);
  size_t back = 0;
  for (const auto& [relative, bytes] : kFiles) back += d.fs.IsFile(kSource + relative) ? 1 : 0;
  EXPECT_LT(back, kFiles.size()) << "the deletion had begun";
  d.ExpectNothingLost(outcome.message);
  EXPECT_NE(outcome.message.find(L"all of them are in D:\\Content\\Strings, which was left"),
            std::wstring::npos)
      << ToUtf8(outcome.message);
}

// A journal that names the renamed folder (or the Original Location) as the copy under another
// spelling, or paths that are not full, is refused by finish and put back alike: nothing moves,
// nothing is deleted, the journal stays, and the message shows what it names.
TEST(InterruptedRelocationTest, AJournalWhoseCopyIsTheOriginalUnderAnotherSpellingIsRefused) {
  const struct {
    const char* name;
    std::function<void(Disk&)> prepare;
    RelocationJournal journal;
  } cases[] = {
      {"the renamed folder through \"..\"",
       [](Disk&) {},
       {kSource, kRenamed, L"C:\\Samples\\Other\\..\\Strings.orig0", false}},
      {"the renamed folder by its short name",
       [](Disk& d) { d.fs.SetShortName(kRenamed, L"STRING~1.ORI"); },
       {kSource, kRenamed, L"C:\\Samples\\STRING~1.ORI", false}},
      {"the renamed folder through a link",
       [](Disk& d) { d.fs.AddFolderLink(L"D:\\Content\\Alias", kRenamed); },
       {kSource, kRenamed, L"D:\\Content\\Alias", false}},
      {"a folder inside the renamed folder",
       [](Disk&) {},
       {kSource, kRenamed, L"C:\\Samples\\Strings.orig0\\sub", false}},
      {"the Original Location's parent", [](Disk&) {}, {kSource, kRenamed, L"C:\\Samples", false}},
      {"relative paths",
       [](Disk& d) { d.fs.SetCurrentFolder(L"C:\\"); },
       {L"Samples\\Strings", L"Samples\\Strings.orig0", kTarget, false}},
  };
  for (const auto& c : cases) {
    for (const bool finish : {true, false}) {
      SCOPED_TRACE(std::string(c.name) + (finish ? ": finish" : ": put back"));
      Disk d;
      d.CutAtLog(L"Checking ");
      d.RunUntilCutOff();
      c.prepare(d);
      ASSERT_EQ(WriteRelocationJournal(d.fs, kJournal, c.journal), err::Success);
      const RecoveryOutcome outcome = finish
                                          ? FinishInterruptedRelocation(d.fs, kJournal, c.journal)
                                          : PutBackInterruptedRelocation(d.fs, kJournal, c.journal);
      EXPECT_FALSE(outcome.done);
      EXPECT_EQ(outcome.message.rfind(
                    L"The record " + std::wstring(kJournal) + L" cannot be acted on:", 0),
                0u)
          << ToUtf8(outcome.message);
      EXPECT_NE(outcome.message.find(L"as the copy " + c.journal.target + L"."), std::wstring::npos)
          << ToUtf8(outcome.message);
      EXPECT_TRUE(d.fs.Exists(kJournal));
      EXPECT_FALSE(d.fs.Exists(kSource));
      for (const auto& [relative, bytes] : kFiles) {
        EXPECT_EQ(d.fs.ContentsText(kRenamed + relative), bytes) << ToUtf8(relative);
      }
    }
  }
}

// A journal that can be neither finished nor put back offers the one way out, forgetting it:
// both reasons and where the files are in the first question, where they are again in the
// second, and only the journal goes.
TEST(InterruptedRelocationTest, ARelocationThatCanBeNeitherFinishedNorPutBackCanBeForgotten) {
  Disk d;
  d.CutAtLog(L"Checking ");
  d.RunUntilCutOff();
  // A file now stands at the Original Location, and the copy is gone.
  ASSERT_EQ(DeleteTree(d.fs, {L"*.*"}, kTarget, {.removeFolders = true}), 0u);
  d.fs.AddFile(kSource, std::string_view("a file in the way"));
  RelocationJournal journal;
  ASSERT_EQ(ReadRelocationJournal(d.fs, kJournal, journal), err::Success);
  const InterruptedRelocation state = DescribeInterruptedRelocation(d.fs, journal);
  const std::wstring finish = FinishRefusal(d.fs, kJournal, state);
  const std::wstring putBack = PutBackRefusal(d.fs, kJournal, state);
  ASSERT_FALSE(finish.empty());
  ASSERT_FALSE(putBack.empty());
  // The refusals are those of the actions themselves, which change nothing.
  EXPECT_EQ(FinishInterruptedRelocation(d.fs, kJournal, journal).message, finish);
  EXPECT_EQ(PutBackInterruptedRelocation(d.fs, kJournal, journal).message, putBack);

  const std::wstring first = StuckRelocationQuestion(state, kJournal, finish, putBack);
  const std::wstring second = ForgetRelocationQuestion(state, kJournal);
  for (const std::wstring& text : {first, second}) {
    EXPECT_NE(text.find(L"Your original files are in " + std::wstring(kRenamed) + L"."),
              std::wstring::npos)
        << ToUtf8(text);
    EXPECT_NE(text.find(kJournal), std::wstring::npos);
  }
  EXPECT_NE(first.find(finish), std::wstring::npos);
  EXPECT_NE(first.find(putBack), std::wstring::npos);

  const RecoveryOutcome forgotten = ForgetInterruptedRelocation(d.fs, kJournal, state);
  EXPECT_TRUE(forgotten.done);
  EXPECT_NE(forgotten.message.find(kRenamed), std::wstring::npos);
  EXPECT_FALSE(d.fs.Exists(kJournal));
  for (const auto& [relative, bytes] : kFiles) {
    EXPECT_EQ(d.fs.ContentsText(kRenamed + relative), bytes) << ToUtf8(relative);
  }
  EXPECT_EQ(d.fs.ContentsText(kSource), "a file in the way");

  // A relocation with a way out is not one of these.
  Disk other;
  other.CutAtLog(L"Checking ");
  other.RunUntilCutOff();
  const InterruptedRelocation open = DescribeInterruptedRelocation(other.fs, journal);
  EXPECT_TRUE(FinishRefusal(other.fs, kJournal, open).empty());
  EXPECT_TRUE(PutBackRefusal(other.fs, kJournal, open).empty());
}

// The renamed folder swapped for a link between the finish's check and its deletion: nothing is
// deleted through it.
TEST(InterruptedRelocationTest, AFinishNeverDeletesThroughAFolderSwappedForALink) {
  Disk d;
  d.CutAtLog(L"Checking ");
  d.RunUntilCutOff();
  d.fs.AddFile(L"C:\\Precious\\keep.wav", std::string_view("not the finish's to delete"));
  RelocationJournal journal;
  ASSERT_EQ(ReadRelocationJournal(d.fs, kJournal, journal), err::Success);
  // The swap comes with the link the finish makes, after its check.
  class SwappingFileSystem : public testing::ForwardingFileSystem {
   public:
    using ForwardingFileSystem::ForwardingFileSystem;
    ErrorCode CreateFolderLink(std::wstring_view link, std::wstring_view target) override {
      const ErrorCode e = ForwardingFileSystem::CreateFolderLink(link, target);
      if (EqualsNoCase(link, kSource)) {
        EXPECT_EQ(inner_.MoveFile(kRenamed, L"C:\\Samples\\Moved", 0), err::Success);
        ForwardingFileSystem::CreateFolderLink(kRenamed, L"C:\\Precious");
      }
      return e;
    }
  } swapping(d.fs);
  const RecoveryOutcome outcome = FinishInterruptedRelocation(swapping, kJournal, journal);
  EXPECT_FALSE(outcome.done);
  EXPECT_EQ(outcome.message.rfind(std::wstring(kRenamed) + L" is no longer the folder that was "
                                                           L"checked",
                                  0),
            0u)
      << ToUtf8(outcome.message);
  EXPECT_EQ(d.fs.ContentsText(L"C:\\Precious\\keep.wav"), "not the finish's to delete");
  for (const auto& [relative, bytes] : kFiles) {
    EXPECT_EQ(d.fs.ContentsText(kTarget + relative), bytes) << ToUtf8(relative);
    EXPECT_EQ(d.fs.ContentsText(L"C:\\Samples\\Moved" + relative), bytes) << ToUtf8(relative);
  }
  EXPECT_TRUE(d.fs.Exists(kJournal));
}

// A folder made at the Original Location after the question was asked, in place of the link: the
// put-back removes nothing that is not a link.
TEST(InterruptedRelocationTest, APutBackRemovesTheOriginalLocationOnlyWhileItIsALink) {
  Disk d;
  d.CutAtLog(L"Deleting ");
  d.RunUntilCutOff();
  RelocationJournal journal;
  ASSERT_EQ(ReadRelocationJournal(d.fs, kJournal, journal), err::Success);
  class SwappingFileSystem : public testing::ForwardingFileSystem {
   public:
    using ForwardingFileSystem::ForwardingFileSystem;
    ErrorCode GetItemIdentity(std::wstring_view path, ItemIdentity& out) override {
      if (EqualsNoCase(path, kSource) && !swapped) {
        swapped = true;
        EXPECT_EQ(inner_.RemoveFolder(kSource), err::Success);
        EXPECT_EQ(inner_.CreateFolder(kSource), err::Success);
      }
      return ForwardingFileSystem::GetItemIdentity(path, out);
    }
    bool swapped = false;
  } swapping(d.fs);
  const RecoveryOutcome outcome = PutBackInterruptedRelocation(swapping, kJournal, journal);
  EXPECT_TRUE(swapping.swapped);
  EXPECT_FALSE(outcome.done);
  EXPECT_EQ(outcome.message.rfind(std::wstring(kSource) + L" is no longer a link", 0), 0u)
      << ToUtf8(outcome.message);
  EXPECT_TRUE(d.fs.IsFolder(kSource));
  EXPECT_FALSE(d.fs.IsLink(kSource));
  d.ExpectNothingLost(outcome.message);
  EXPECT_TRUE(d.fs.Exists(kJournal));
}

// The journal is written whole under another name, flushed, then renamed into place.
TEST(InterruptedRelocationTest, TheJournalIsWrittenWholeOrNotAtAll) {
  FakeFileSystem fs;
  fs.AddFile(kJournal, std::string_view("an older journal"));
  fs.ClearOperations();
  const RelocationJournal journal{kSource, kRenamed, kTarget, false};
  ASSERT_EQ(WriteRelocationJournal(fs, kJournal, journal), err::Success);
  const std::wstring temporary = std::wstring(kJournal) + L".new";
  EXPECT_EQ(fs.Operations(),
            (std::vector<std::wstring>{L"WriteFile " + temporary, L"FlushFile " + temporary,
                                       L"MoveFile " + temporary + L" -> " + kJournal}));
  RelocationJournal read;
  EXPECT_EQ(ReadRelocationJournal(fs, kJournal, read), err::Success);
  EXPECT_FALSE(fs.Exists(temporary));
  // A flush that fails leaves the journal as it was and nothing beside it.
  fs.InjectFailure(Op::FlushFile, temporary, 5);
  EXPECT_EQ(WriteRelocationJournal(fs, kJournal,
                                   {kSource, L"C:\\Samples\\Strings.orig7", kTarget, false}),
            5u);
  EXPECT_EQ(ReadRelocationJournal(fs, kJournal, read), err::Success);
  EXPECT_EQ(read.renamed, kRenamed);
  EXPECT_FALSE(fs.Exists(temporary));
}

TEST(InterruptedRelocationTest, TheJournalReadsBackAndAnythingElseIsRefused) {
  const RelocationJournal journal{kSource, kRenamed, kTarget, true};
  RelocationJournal read;
  ASSERT_TRUE(ParseRelocationJournal(FormatRelocationJournal(journal), read));
  EXPECT_EQ(read.source, kSource);
  EXPECT_EQ(read.renamed, kRenamed);
  EXPECT_EQ(read.target, kTarget);
  EXPECT_TRUE(read.compareContents);

  const std::wstring good = FormatRelocationJournal(journal);
  const auto replaced = [&good](const std::wstring& from, const std::wstring& to) {
    std::wstring text = good;
    text.replace(text.find(from), from.size(), to);
    return text;
  };
  const struct {
    const char* name;
    std::wstring text;
  } refused[] = {
      {"empty", L""},
      {"no heading", good.substr(good.find(L'\n') + 1)},
      {"a field missing", replaced(L"Mode=move\r\n", L"")},
      {"a field twice", good + L"Mode=move\r\n"},
      {"an unknown field", good + L"Colour=red\r\n"},
      {"a line without a value", good + L"Original Location\r\n"},
      {"another mode", replaced(L"Mode=move", L"Mode=link")},
      {"an empty Original Location", replaced(L"=C:\\Samples\\Strings\r\n", L"=\r\n")},
      {"a renamed folder not named after the source", replaced(L"Strings.orig0", L"Violins.orig0")},
      {"a renamed folder without its number", replaced(L"Strings.orig0", L"Strings.orig")},
      {"an empty target", replaced(L"=D:\\Content\\Strings", L"=")},
      {"a comparison neither yes nor no", replaced(L"Compare contents=yes", L"Compare contents=1")},
  };
  for (const auto& c : refused) {
    SCOPED_TRACE(c.name);
    RelocationJournal out;
    EXPECT_FALSE(ParseRelocationJournal(c.text, out));
  }

  // A file that does not parse is reported as such and left as it was.
  FakeFileSystem fs;
  fs.AddFile(kJournal, std::string_view("Original Location=C:\\Samples\\Strings\r\n"));
  EXPECT_EQ(ReadRelocationJournal(fs, kJournal, read), err::InvalidData);
  EXPECT_EQ(fs.ContentsText(kJournal), "Original Location=C:\\Samples\\Strings\r\n");
  EXPECT_NE(UnreadableJournalMessage(kJournal, err::InvalidData).find(kJournal),
            std::wstring::npos);
  EXPECT_EQ(ReadRelocationJournal(fs, L"C:\\None.txt", read), err::FileNotFound);
}

}  // namespace
}  // namespace tessaly
