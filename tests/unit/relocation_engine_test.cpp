// The relocation engine against the fake file system: a failure injected at each step of a move
// leaves every file of the source, with its bytes, at the source or the target, and the message
// names every folder that still holds one; the success paths of both modes.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/text.h"
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

using Recorder = testing::RelocationRecorder;

// A file system whose link call can claim success without making a link, and whose renames of
// one path can be refused (a rename back after a failure, without refusing the first rename).
class BentFileSystem : public testing::ForwardingFileSystem {
 public:
  using ForwardingFileSystem::ForwardingFileSystem;
  ErrorCode CreateFolderLink(std::wstring_view link, std::wstring_view target) override {
    if (silentLink) return err::Success;
    return ForwardingFileSystem::CreateFolderLink(link, target);
  }
  ErrorCode MoveFile(std::wstring_view from, std::wstring_view to, uint32_t flags) override {
    if (!refuseMovesOf.empty() && EqualsNoCase(from, refuseMovesOf)) return err::AccessDenied;
    return ForwardingFileSystem::MoveFile(from, to, flags);
  }
  ErrorCode FindFiles(std::wstring_view pattern, const Visitor& visit) override {
    bool more = true;
    ErrorCode e = ForwardingFileSystem::FindFiles(
        pattern, [&](const FindData& entry) { return more = visit(entry); });
    // A case-sensitive folder lists a second name that differs only in case.
    if (e == err::Success && more && !twinIn.empty() && EqualsNoCase(pattern, twinIn)) {
      visit(twin);
    }
    if (afterListing) afterListing(pattern);
    return e;
  }
  std::wstring twinIn;  // the listing pattern that also lists `twin`
  FindData twin;
  bool silentLink = false;
  std::wstring refuseMovesOf;
  std::function<void(std::wstring_view pattern)> afterListing;  // after each listing
};

// Another user's folder that a link swapped into the renamed folder leads to.
constexpr const wchar_t* kPrecious = L"C:\\Precious";
constexpr const wchar_t* kPreciousFile = L"C:\\Precious\\keep.wav";

// A machine with the source tree on C: and an empty D: volume with room for it.
struct Machine {
  Machine() {
    fs.AddVolume(L"D:\\", 1'000'000, 2'000'000);
    for (const auto& [relative, bytes] : kFiles)
      fs.AddFile(kSource + relative, std::string_view(bytes));
    fs.AddFolder(L"D:\\Content");
    fs.AddFile(kPreciousFile, std::string_view("not the run's to delete"));
  }

  // Replaces the folder `path` with a link to kPrecious, keeping its files in `keptIn`.
  void SwapForLink(const std::wstring& path, const std::wstring& keptIn) {
    ASSERT_EQ(fs.MoveFile(path, keptIn, 0), err::Success);
    fs.AddFolderLink(path, kPrecious);
  }

  RelocationResult Relocate(bool linkOnly = false, std::wstring source = kSource) {
    return Relocate(linkOnly, std::move(source), requestTarget);
  }
  RelocationResult Relocate(bool linkOnly, std::wstring source, std::wstring target) {
    return RunRelocation(bent, system, {source, target, linkOnly, compareContents}, cancel,
                         recorder);
  }

  // Overwrites the target's copy of a file, as another program might.
  void Spoil(const std::wstring& relative, const std::string& bytes) {
    fs.AddFile(kTarget + relative, std::string_view(bytes));
    spoilt.insert(kTarget + relative);
  }

  // The target already holds a version of a source file written an hour later: the copy keeps
  // it, and it is not the source's file.
  void KeepNewerAtTarget(const std::wstring& relative, const std::string& bytes) {
    fs.AddFile(kTarget + relative, std::string_view(bytes), attr::Archive,
               fs.Clock() + 3600 * kFileTimeTicksPerSecond);
    spoilt.insert(kTarget + relative);
  }

  // A file that appears in the source (before or during the run) and must not be lost either.
  void AddSourceFile(const std::wstring& relative, const std::string& bytes) {
    fs.AddFile(kSource + relative, std::string_view(bytes));
    files[relative] = bytes;
  }

  // Every file of the source is at the source or the target (or, when the message names it, in
  // the renamed folder), with its bytes; only a file the test spoilt itself may differ.
  void ExpectNothingLost(const RelocationResult& result) {
    EXPECT_EQ(fs.ContentsText(kPreciousFile), "not the run's to delete");
    for (const auto& [relative, bytes] : files) {
      std::vector<std::wstring> places;
      for (const std::wstring& root :
           {std::wstring(kSource), std::wstring(kTarget), result.renamedFolder}) {
        if (root.empty() || !fs.IsFile(root + relative)) continue;
        if (spoilt.count(root + relative) != 0) continue;
        EXPECT_EQ(fs.ContentsText(root + relative), bytes) << ToUtf8(root + relative);
        places.push_back(root);
      }
      EXPECT_FALSE(places.empty()) << ToUtf8(relative) << " is lost";
    }
    if (!result.renamedFolder.empty()) {
      ASSERT_FALSE(recorder.failures.empty());
      EXPECT_NE(recorder.failures.back().find(result.renamedFolder), std::wstring::npos)
          << "the message does not name " << ToUtf8(result.renamedFolder);
    }
  }
  bool SourceUnchanged() const {
    if (fs.IsLink(kSource)) return false;
    for (const auto& [relative, bytes] : files) {
      if (!fs.IsFile(kSource + relative) || fs.ContentsText(kSource + relative) != bytes)
        return false;
    }
    return true;
  }
  bool TargetComplete() const {
    for (const auto& [relative, bytes] : kFiles) {
      if (!fs.IsFile(kTarget + relative) || fs.ContentsText(kTarget + relative) != bytes)
        return false;
    }
    return true;
  }

  std::map<std::wstring, std::string> files = kFiles;  // what the source holds
  std::set<std::wstring> spoilt;                       // copies the test changed on purpose
  bool compareContents = false;
  std::wstring requestTarget = kTarget;          // the target as the request spells it
  std::unique_ptr<System::NamedLock> otherCopy;  // the lock of another running copy
  FakeFileSystem fs;
  BentFileSystem bent{fs};
  FakeSystem system;
  CancelFlag cancel{0};
  Recorder recorder;
};

class RelocationEngineTest : public ::testing::Test, public Machine {};

TEST_F(RelocationEngineTest, AMoveLeavesALinkAndRemovesTheRenamedFolder) {
  // The journal is on disk, naming the three places, before the source is renamed.
  RelocationJournal journal;
  ErrorCode journalRead = err::NotReady;
  bool sourceStillThere = false;
  recorder.onLog = [&](const std::wstring& line) {
    if (line.rfind(L"Renaming ", 0) != 0) return;
    journalRead = ReadRelocationJournal(fs, kJournal, journal);
    sourceStillThere = fs.IsFolder(kSource) && !fs.Exists(kRenamed);
  };
  const RelocationResult result = Relocate();
  EXPECT_EQ(journalRead, err::Success);
  EXPECT_TRUE(sourceStillThere);
  EXPECT_EQ(journal.source, kSource);
  EXPECT_EQ(journal.renamed, kRenamed);
  EXPECT_EQ(journal.target, kTarget);
  EXPECT_FALSE(journal.compareContents);
  EXPECT_FALSE(fs.Exists(kJournal)) << "cleared after the renamed folder was deleted";
  EXPECT_TRUE(result.success);
  EXPECT_TRUE(fs.IsLink(kSource));
  EXPECT_EQ(fs.LinkTarget(kSource), kTarget);
  EXPECT_TRUE(TargetComplete());
  EXPECT_FALSE(fs.Exists(kRenamed));
  EXPECT_EQ(recorder.finished, std::vector<bool>{true});
  EXPECT_EQ(recorder.files.size(), 6u);  // copied, then checked; deleting reports nothing
  EXPECT_EQ(recorder.phases,
            (std::vector<std::wstring>{L"Copy files progress: 3", L"Check files progress: 3",
                                       L"Delete files progress: 0"}));
  const std::vector<std::wstring> expectedLog = {
      L"Discovering files in C:\\Samples\\Strings...",
      L"Found 3 files in source, totaling 30.0 B in size.",
      L"Free space in D:\\: 976.6 KB.",
      L"Copying files to D:\\Content\\Strings...",
      L"Copied 3 files with 0 errors.",
      L"Renaming C:\\Samples\\Strings to C:\\Samples\\Strings.orig0 (only temporary; files will be "
      L"deleted after operation is successful...)",
      L"Checking that every file and folder of C:\\Samples\\Strings.orig0 is in "
      L"D:\\Content\\Strings "
      L"(alternate data streams are not copied)...",
      L"Creating symbolic link so applications can find files at their new location...",
      L"Deleting contents of C:\\Samples\\Strings.orig0...",
  };
  EXPECT_EQ(recorder.log, expectedLog);
  ExpectNothingLost(result);
}

TEST_F(RelocationEngineTest, AFailureAtEveryStepLosesNothing) {
  enum class Source { Unchanged, BackInPlace, Renamed, Link };
  const struct {
    const char* name;
    std::function<void(Machine&)> inject;
    Source source;
    bool targetComplete;
    const wchar_t* message;  // the start of the failure message, or null for none
    bool steps;
  } cases[] = {
      {"counting",
       [](auto& t) { t.fs.InjectFailure(Op::FindFiles, L"C:\\Samples\\Strings\\*", 5); },
       Source::Unchanged, false, L"Unable to read every folder of C:\\Samples\\Strings (1 errors)",
       false},
      {"space", [](auto& t) { t.fs.SetFreeSpace(L"D:\\", 29); }, Source::Unchanged, false,
       L"ERROR: There isn't enough room on on D:\\", false},
      {"copy error",
       [](auto& t) { t.fs.InjectFailure(Op::CopyFile, L"C:\\Samples\\Strings\\sub\\b.wav", 5); },
       Source::Unchanged, false, L"1 files could not be copied to D:\\Content\\Strings", false},
      {"copy cancelled",
       [](auto& t) {
         t.recorder.onFile = [&t](size_t n) {
           if (n == 2) t.cancel = 1;
         };
       },
       Source::Unchanged, false, nullptr, false},
      {"no rename candidate",
       [](auto& t) {
         for (int n = 0; n < 260; ++n) t.fs.AddFolder(FormatText(L"%s.orig%d", kSource, n));
       },
       Source::Unchanged, true, L"Unable to determine what to rename directory", false},
      // Without its journal the source never leaves its place.
      {"the journal cannot be written",
       [](auto& t) { t.fs.InjectFailure(Op::WriteFile, std::wstring(kJournal) + L"*", 5); },
       Source::Unchanged, true,
       L"Unable to write C:\\Users\\Musician\\AppData\\Local\\Quillmoor\\Tessaly\\"
       L"Relocation in progress.txt (error 5), the record that lets Tessaly finish or undo this "
       L"relocation if it is cut off. Nothing was moved: your files are still in "
       L"C:\\Samples\\Strings, and a copy of them is in D:\\Content\\Strings.",
       false},
      // Written whole or not at all: a journal that cannot be put in place is not left behind.
      {"the journal cannot be renamed into place",
       [](auto& t) { t.fs.InjectFailure(Op::MoveFile, std::wstring(kJournal) + L".new", 5); },
       Source::Unchanged, true,
       L"Unable to write C:\\Users\\Musician\\AppData\\Local\\Quillmoor\\"
       L"Tessaly\\Relocation in progress.txt (error 5)",
       false},
      {"no folder of Tessaly's own",
       [](auto& t) {
         t.fs.InjectFailure(Op::CreateFolder, L"C:\\Users\\Musician\\AppData\\Local\\Quillmoor", 5);
       },
       Source::Unchanged, false,
       L"Unable to find or create Tessaly's folder in your local "
       L"application data (error 5), where the record of this relocation is kept while it runs. "
       L"Nothing was moved: your files are still in C:\\Samples\\Strings.",
       false},
      // Another copy of the program is relocating: this one does not start.
      {"another copy of Tessaly is relocating",
       [](auto& t) { ASSERT_EQ(t.system.AcquireNamedLock(kRelocationLockName, t.otherCopy), 0u); },
       Source::Unchanged, false,
       L"Another copy of Tessaly is relocating files now. Nothing was "
       L"moved: your files are still in C:\\Samples\\Strings.",
       false},
      {"rename refused", [](auto& t) { t.fs.InjectFailure(Op::MoveFile, kSource, 32); },
       Source::Unchanged, true,
       L"Failed to rename C:\\Samples\\Strings to C:\\Samples\\Strings.orig0 in order to create "
       L"symbolic link (error code 32).",
       true},
      {"link refused", [](auto& t) { t.fs.InjectFailure(Op::CreateFolderLink, kSource, 1314); },
       Source::BackInPlace, true,
       L"Error 1314 creating a symbolic link to D:\\Content\\Strings. "
       L"Nothing was moved: your files are still in C:\\Samples\\Strings, and a copy of them is in "
       L"D:\\Content\\Strings.",
       false},
      {"link silently missing", [](auto& t) { t.bent.silentLink = true; }, Source::BackInPlace,
       true, L"Error 4390 creating a symbolic link", false},
      {"link refused, no way back",
       [](auto& t) {
         t.fs.InjectFailure(Op::CreateFolderLink, kSource, 1314);
         t.bent.refuseMovesOf = kRenamed;
       },
       Source::Renamed, true,
       L"Error 1314 creating a symbolic link to D:\\Content\\Strings. C:\\Samples\\Strings.orig0 "
       L"could not be renamed back",
       false},
      {"delete refused",
       [](auto& t) { t.fs.InjectFailure(Op::DeleteFile, L"C:\\Samples\\Strings.orig0\\a.wav", 5); },
       Source::Link, true,
       L"Error 145 attempting to delete files from renamed folder "
       L"C:\\Samples\\Strings.orig0",
       false},
      // Quit while the page shows the copy's last line: the source is not renamed.
      {"cancelled after the copy",
       [](auto& t) {
         t.recorder.onLog = [&t](const std::wstring& line) {
           if (line.rfind(L"Copied ", 0) == 0) t.cancel = 1;
         };
       },
       Source::Unchanged, true, nullptr, false},
      // Quit while deleting: the deletion stops after its first file and says what is left.
      {"delete cancelled",
       [](auto& t) {
         t.recorder.onLog = [&t](const std::wstring& line) {
           if (line.rfind(L"Deleting ", 0) == 0) t.cancel = 1;
         };
       },
       Source::Link, true,
       L"Deleting files from renamed folder C:\\Samples\\Strings.orig0 was "
       L"canceled before it was done. Your files are in D:\\Content\\Strings;",
       false},
      // The check before the deletion: whatever the copy lacks puts the source back.
      {"a file written into the source after its folder was copied",
       [](auto& t) {
         t.recorder.onFile = [&t](size_t n) {
           if (n == 3) t.AddSourceFile(L"\\late.wav", "written late");
         };
       },
       Source::BackInPlace, true,
       L"The copy in D:\\Content\\Strings does not match C:\\Samples\\Strings: late.wav is "
       L"missing. "
       L"Nothing was moved: your files are still in C:\\Samples\\Strings, and what was copied is "
       L"in D:\\Content\\Strings.",
       false},
      {"a folder of the copy gone before the check",
       [](auto& t) {
         t.recorder.onLog = [&t](const std::wstring& line) {
           if (line.rfind(L"Renaming ", 0) == 0) {
             ASSERT_EQ(DeleteTree(t.fs, {L"*.*"}, L"D:\\Content\\Strings\\sub\\deep",
                                  {.removeFolders = true}),
                       0u);
           }
         };
       },
       Source::BackInPlace, false,
       L"The copy in D:\\Content\\Strings does not match "
       L"C:\\Samples\\Strings: sub\\deep is missing.",
       false},
      // The check lists each folder of the copy once: one it comes back to after a subfolder
      // is the same folder, and what it lacks is found there too.
      {"a file of the copy gone from a folder the check comes back to",
       [](auto& t) {
         t.AddSourceFile(L"\\zz.wav", "after the subfolder");
         t.recorder.onLog = [&t](const std::wstring& line) {
           if (line.rfind(L"Renaming ", 0) == 0) {
             ASSERT_EQ(t.fs.DeleteFile(std::wstring(kTarget) + L"\\zz.wav"), 0u);
           }
         };
       },
       Source::BackInPlace, true,
       L"The copy in D:\\Content\\Strings does not match "
       L"C:\\Samples\\Strings: zz.wav is missing.",
       false},
      {"a copied file cut short before the check",
       [](auto& t) {
         t.recorder.onLog = [&t](const std::wstring& line) {
           if (line.rfind(L"Renaming ", 0) == 0) t.Spoil(L"\\sub\\b.wav", "vio");
         };
       },
       Source::BackInPlace, false,
       L"The copy in D:\\Content\\Strings does not match "
       L"C:\\Samples\\Strings: sub\\b.wav has another size there.",
       false},
      {"a copied file changed, contents compared",
       [](auto& t) {
         t.compareContents = true;
         t.recorder.onLog = [&t](const std::wstring& line) {
           if (line.rfind(L"Renaming ", 0) == 0) t.Spoil(L"\\sub\\b.wav", "violaz");
         };
       },
       Source::BackInPlace, false,
       L"The copy in D:\\Content\\Strings does not match "
       L"C:\\Samples\\Strings: sub\\b.wav has other contents there.",
       false},
      {"a copy that cannot be read, contents compared",
       [](auto& t) {
         t.compareContents = true;
         t.fs.InjectFailure(Op::ReadFile, L"D:\\Content\\Strings\\a.wav", 5);
       },
       Source::BackInPlace, true,
       L"The copy in D:\\Content\\Strings does not match "
       L"C:\\Samples\\Strings: a.wav could not be read (error 5).",
       false},
      // The whole tree: what cannot reach the target whole stops the run before the rename.
      {"a source file whose name is a newer folder at the target",
       [](auto& t) {
         t.fs.AddFolder(std::wstring(kTarget) + L"\\sub\\b.wav", 0,
                        t.fs.Clock() + 3600 * kFileTimeTicksPerSecond);
       },
       Source::Unchanged, false,
       L"1 files could not be copied to D:\\Content\\Strings, so nothing "
       L"was moved: all your files are still in C:\\Samples\\Strings.",
       false},
      {"a folder link that leads nowhere",
       [](auto& t) { t.fs.AddFolderLink(std::wstring(kSource) + L"\\sub\\gone", L"E:\\Nowhere"); },
       Source::Unchanged, false,
       L"The folder link C:\\Samples\\Strings\\sub\\gone leads to "
       L"nothing that can be found (error 2), so it cannot be made again in D:\\Content\\Strings. "
       L"Nothing was moved",
       false},
      {"a folder link where links cannot be made",
       [](auto& t) {
         t.fs.AddFolder(L"C:\\Elsewhere");
         t.fs.AddFolderLink(std::wstring(kSource) + L"\\linked", L"C:\\Elsewhere");
         t.fs.InjectFailure(Op::CreateFolderLink, L"D:\\*", 1314);
       },
       Source::Unchanged, false,
       L"C:\\Samples\\Strings\\linked is a folder link, and links cannot "
       L"be made in D:\\Content (error 1314), so it could not be made again there. Nothing was "
       L"moved.",
       false},
      // One folder under two names: refused before anything happens, or caught after the rename.
      {"the target is the source, spelt otherwise",
       [](auto& t) { t.requestTarget = L"c:/samples/other/../Strings. "; }, Source::Unchanged,
       false,
       L"Source and target paths cannot be the same: "
       L"\"C:\\Samples\\Strings\" and \"c:/samples/other/../Strings. \" are both the folder "
       L"C:\\Samples\\Strings.",
       false},
      {"the target lies in the source through a link",
       [](auto& t) {
         t.fs.AddFolderLink(L"D:\\Linked", kSource);
         t.requestTarget = L"D:\\Linked\\sub\\Strings";
       },
       Source::Unchanged, false,
       L"Target directory can't be inside source directory: "
       L"\"D:\\Linked\\sub\\Strings\" is C:\\Samples\\Strings\\sub\\Strings, which lies inside "
       L"C:\\Samples\\Strings.",
       false},
      {"the target is the source through a link the file system cannot resolve",
       [](auto& t) {
         t.fs.InjectFailure(Op::GetFinalPath, L"*", err::NotSupported);
         t.fs.AddFolderLink(kTarget, kSource);
       },
       Source::Unchanged, true,
       L"D:\\Content\\Strings is a folder link, so files copied to "
       L"D:\\Content\\Strings would be written wherever it leads. Nothing was moved: your files "
       L"are still in C:\\Samples\\Strings.",
       false},
      // The copy never writes through a link on the way to the target.
      {"the target passes through a folder link",
       [](auto& t) {
         t.fs.AddFolder(L"C:\\Elsewhere");
         t.fs.AddFolderLink(L"D:\\Content\\Via", L"C:\\Elsewhere");
         t.requestTarget = L"D:\\Content\\Via\\Strings";
       },
       Source::Unchanged, false,
       L"D:\\Content\\Via is a folder link, so files copied to "
       L"D:\\Content\\Via\\Strings would be written wherever it leads. Nothing was moved: your "
       L"files are still in C:\\Samples\\Strings. Please choose a Full Target Path that passes "
       L"through no folder link.",
       false},
      // Every folder link is looked at, not only the first one met.
      {"a second folder link that leads nowhere",
       [](auto& t) {
         t.fs.AddFolder(L"C:\\Elsewhere");
         t.fs.AddFolderLink(std::wstring(kSource) + L"\\a-fine-link", L"C:\\Elsewhere");
         t.fs.AddFolderLink(std::wstring(kSource) + L"\\sub\\gone", L"E:\\Nowhere");
       },
       Source::Unchanged, false,
       L"The folder link C:\\Samples\\Strings\\sub\\gone leads to "
       L"nothing that can be found (error 2), so it cannot be made again",
       false},
      // Names that Windows cannot hold side by side, or at all: refused before anything is copied.
      {"a name ending with a dot",
       [](auto& t) { t.fs.AddFile(std::wstring(kSource) + L"\\sub\\odd.", std::string_view("x")); },
       Source::Unchanged, false,
       L"Windows cannot copy or delete a file or folder whose name ends "
       L"with a dot or a space: \"C:\\Samples\\Strings\\sub\\odd.\". Nothing was moved: your "
       L"files are still in C:\\Samples\\Strings.",
       false},
      {"two names that differ only in case",
       [](auto& t) {
         t.bent.twinIn = std::wstring(kSource) + L"\\*.*";
         t.bent.twin.name = L"A.WAV";
         t.bent.twin.size = 7;
         t.bent.twin.attributes = attr::Archive;
       },
       Source::Unchanged, false,
       L"These names differ only in case, and Windows keeps only one of "
       L"each at the target: \"C:\\Samples\\Strings\\a.wav\" and \"A.WAV\". Nothing was moved",
       false},
      {"a Full Target Path of 260 characters",
       [](auto& t) { t.requestTarget = L"D:\\Content\\" + std::wstring(260 - 11, L'x'); },
       Source::Unchanged, false, L"The Full Target Path D:\\Content\\xxxx", false},
      // A newer file kept at the target that differs from its original: No (the default)
      // keeps both versions.
      {"a newer file of another size kept at the target",
       [](auto& t) { t.KeepNewerAtTarget(L"\\a.wav", "last year's violins"); }, Source::BackInPlace,
       false,
       L"1 files in D:\\Content\\Strings differ from your originals "
       L"and are newer, and you chose to keep both versions. Nothing was moved: your files are "
       L"still in C:\\Samples\\Strings, and a copy of them is in D:\\Content\\Strings.",
       false},
      {"a newer file of the same size and other contents kept, contents compared",
       [](auto& t) {
         t.compareContents = true;
         t.KeepNewerAtTarget(L"\\sub\\b.wav", "violaz");
       },
       Source::BackInPlace, false, L"1 files in D:\\Content\\Strings differ from your originals",
       false},
      // An original changed after its copy was made, its size unchanged.
      {"a source file changed after it was copied",
       [](auto& t) {
         t.recorder.onLog = [&t](const std::wstring& line) {
           if (line.rfind(L"Copied ", 0) != 0) return;
           t.fs.AdvanceClock(10 * kFileTimeTicksPerSecond);
           t.AddSourceFile(L"\\sub\\b.wav", "violaz");
           t.spoilt.insert(std::wstring(kTarget) + L"\\sub\\b.wav");  // the copy of before
         };
       },
       Source::BackInPlace, true,
       L"The copy in D:\\Content\\Strings does not match "
       L"C:\\Samples\\Strings: sub\\b.wav was changed after it was copied. Nothing was moved",
       false},
      // The renamed folder made a link between the check and the deletion: nothing is deleted,
      // and what the link leads to stays.
      {"the renamed folder swapped for a link after the check",
       [](auto& t) {
         t.recorder.onLog = [&t](const std::wstring& line) {
           if (line.rfind(L"Deleting ", 0) == 0) t.SwapForLink(kRenamed, L"C:\\Samples\\Moved");
         };
       },
       Source::Link, true,
       L"C:\\Samples\\Strings.orig0 is no longer the folder that was checked "
       L"against the copy (it was replaced or became a link), so nothing was deleted from it. Your "
       L"files are in D:\\Content\\Strings;",
       false},
      // Quit while checking: the folder is put back, and that is said, not only logged.
      {"cancelled while checking",
       [](auto& t) {
         t.recorder.onLog = [&t](const std::wstring& line) {
           if (line.rfind(L"Checking ", 0) == 0) t.cancel = 1;
         };
       },
       Source::BackInPlace, true,
       L"Operation canceled. C:\\Samples\\Strings has its own name "
       L"back: nothing was moved, your files are still in C:\\Samples\\Strings, and what was "
       L"copied is in D:\\Content\\Strings.",
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Machine machine;
    Machine& t = machine;
    c.inject(t);

    const RelocationResult result = t.Relocate();
    EXPECT_FALSE(result.success);
    EXPECT_EQ(t.recorder.finished, std::vector<bool>{false});
    if (c.message) {
      ASSERT_EQ(t.recorder.failures.size(), 1u);
      EXPECT_EQ(t.recorder.failures[0].rfind(c.message, 0), 0u) << ToUtf8(t.recorder.failures[0]);
    } else {
      EXPECT_TRUE(t.recorder.failures.empty());
      EXPECT_EQ(t.recorder.log.back(), L"Operation canceled.");
    }
    EXPECT_EQ(t.recorder.recommendSteps, c.steps);
    EXPECT_EQ(t.TargetComplete(), c.targetComplete);
    // A journal is left exactly when the source is away from its Original Location.
    EXPECT_EQ(t.fs.Exists(kJournal), c.source == Source::Renamed || c.source == Source::Link);
    switch (c.source) {
      case Source::Unchanged:
      case Source::BackInPlace:
        EXPECT_TRUE(t.SourceUnchanged());
        EXPECT_TRUE(result.renamedFolder.empty());
        break;
      case Source::Renamed:
        EXPECT_FALSE(t.fs.Exists(kSource));
        EXPECT_EQ(result.renamedFolder, kRenamed);
        break;
      case Source::Link:
        EXPECT_TRUE(t.fs.IsLink(kSource));
        EXPECT_EQ(result.renamedFolder, kRenamed);
        break;
    }
    t.ExpectNothingLost(result);
  }
}

// Every folder arrives, empty ones and the top one included, and a folder link inside the source
// leads from the target where it led before; nothing is deleted that the target lacks.
TEST_F(RelocationEngineTest, TheWholeTreeArrivesWithEmptyFoldersAndLinks) {
  fs.AddFolder(std::wstring(kSource) + L"\\User Presets");
  fs.AddFolder(std::wstring(kSource) + L"\\Outer\\Inner Empty");
  fs.AddFile(L"C:\\Shared\\Impulses\\hall.wav", std::string_view("reverb"));
  fs.AddFolderLink(std::wstring(kSource) + L"\\sub\\Impulses", L"C:\\Shared\\Impulses");
  const RelocationResult result = Relocate();
  ASSERT_TRUE(result.success) << (recorder.failures.empty() ? "" : ToUtf8(recorder.failures[0]));
  EXPECT_TRUE(TargetComplete());
  for (const wchar_t* folder : {L"\\User Presets", L"\\Outer", L"\\Outer\\Inner Empty"}) {
    EXPECT_TRUE(fs.IsFolder(kTarget + std::wstring(folder))) << ToUtf8(folder);
    EXPECT_FALSE(fs.IsLink(kTarget + std::wstring(folder)));
  }
  const std::wstring link = std::wstring(kTarget) + L"\\sub\\Impulses";
  EXPECT_TRUE(fs.IsLink(link));
  EXPECT_EQ(fs.LinkTarget(link), L"C:\\Shared\\Impulses");
  EXPECT_EQ(fs.ContentsText(L"C:\\Shared\\Impulses\\hall.wav"), "reverb")
      << "the link's target stays";
  EXPECT_FALSE(fs.Exists(kRenamed));
  EXPECT_EQ(fs.LinkTarget(kSource), kTarget);

  // A source of empty folders only (with "Use a different folder name." clear): the Full Target
  // Path is made, so the link never dangles.
  fs.AddFolder(L"C:\\Hollow\\Cache");
  recorder = Recorder();
  ASSERT_TRUE(Relocate(false, L"C:\\Hollow", L"D:\\Content\\Hollow").success);
  EXPECT_TRUE(fs.IsFolder(L"D:\\Content\\Hollow\\Cache"));
  EXPECT_FALSE(fs.IsLink(L"D:\\Content\\Hollow"));
  EXPECT_EQ(fs.LinkTarget(L"C:\\Hollow"), L"D:\\Content\\Hollow");
}

// A file in the target that has the name an earlier version gave its partial copies (a user's
// own, or a leftover) is never replaced or deleted: each run copies through a name of its own,
// renamed into place once whole.
TEST_F(RelocationEngineTest, AFileNamedLikeAPartialCopyIsLeftAlone) {
  const std::wstring users = std::wstring(kTarget) + L"\\sub\\" + kPartialCopyName;
  fs.AddFile(users, std::string_view("the user's own"), attr::Archive,
             fs.Clock() + 3600 * kFileTimeTicksPerSecond);
  const RelocationResult result = Relocate();
  ASSERT_TRUE(result.success) << (recorder.failures.empty() ? "" : ToUtf8(recorder.failures[0]));
  EXPECT_EQ(fs.ContentsText(users), "the user's own");
  EXPECT_TRUE(TargetComplete());
  // Each copy was written under this run's temporary name and renamed into place.
  std::wstring temporary;
  for (const std::wstring& operation : fs.Operations()) {
    const std::wstring into = L" -> " + std::wstring(kTarget) + L"\\sub\\b.wav";
    if (operation.rfind(L"MoveFile ", 0) == 0 && operation.size() > into.size() &&
        operation.compare(operation.size() - into.size(), into.size(), into) == 0) {
      temporary = operation.substr(9, operation.size() - 9 - into.size());
    }
  }
  const std::wstring folder = std::wstring(kTarget) + L"\\sub\\~tessaly-copy-";
  ASSERT_EQ(temporary.rfind(folder, 0), 0u) << ToUtf8(temporary);
  EXPECT_EQ(temporary.size(), folder.size() + 16 + std::wstring_view(L".partial").size());
  EXPECT_FALSE(fs.Exists(temporary));

  // Another run chooses another name.
  fs.ClearOperations();
  recorder = Recorder();
  fs.AddFile(L"C:\\Other\\x.wav", std::string_view("x"));
  ASSERT_TRUE(Relocate(false, L"C:\\Other", L"D:\\Content\\Other").success);
  for (const std::wstring& operation : fs.Operations()) {
    EXPECT_EQ(operation.find(temporary.substr(folder.size())), std::wstring::npos);
  }
}

// The journal of a run that did not end is never replaced: a new move is refused before it
// counts a file, and the journal stays as it was.
TEST_F(RelocationEngineTest, AnEarlierRunsJournalStopsANewMove) {
  fs.AddFile(kJournal, std::string_view("an earlier run"));
  EXPECT_FALSE(Relocate().success);
  ASSERT_EQ(recorder.failures.size(), 1u);
  EXPECT_EQ(recorder.failures[0].rfind(L"An earlier relocation did not end; it is recorded in "
                                       L"C:\\Users\\Musician\\AppData\\Local\\Quillmoor\\Tessaly\\"
                                       L"Relocation in progress.txt. Nothing was moved",
                                       0),
            0u)
      << ToUtf8(recorder.failures[0]);
  EXPECT_TRUE(recorder.log.empty());
  EXPECT_TRUE(SourceUnchanged());
  EXPECT_FALSE(fs.Exists(kTarget));
  EXPECT_EQ(fs.ContentsText(kJournal), "an earlier run");
}

// A folder of the renamed original turned into a link while the deletion runs (after its parent
// was listed, before it is entered) is removed as a link; what it leads to stays.
TEST_F(RelocationEngineTest, AFolderThatBecomesALinkDuringTheDeletionIsNeverFollowed) {
  int listings = 0;
  bool deleting = false;
  recorder.onLog = [&](const std::wstring& line) { deleting = line.rfind(L"Deleting ", 0) == 0; };
  bent.afterListing = [&](std::wstring_view pattern) {
    if (!deleting || !EqualsNoCase(pattern, std::wstring(kRenamed) + L"\\*.*")) return;
    // The second listing of the folder is the one its subfolders are taken from.
    if (++listings == 2) SwapForLink(std::wstring(kRenamed) + L"\\sub", L"C:\\Samples\\Moved");
  };
  const RelocationResult result = Relocate();
  ASSERT_EQ(listings, 2);
  EXPECT_TRUE(result.success) << (recorder.failures.empty() ? "" : ToUtf8(recorder.failures[0]));
  EXPECT_EQ(fs.ContentsText(kPreciousFile), "not the run's to delete");
  EXPECT_FALSE(fs.Exists(kRenamed));
  EXPECT_TRUE(TargetComplete());
  EXPECT_EQ(fs.ContentsText(L"C:\\Samples\\Moved\\b.wav"), "violas");
}

// The Original Location typed by its short name: the folder keeps its long name, renamed and
// linked as itself.
TEST_F(RelocationEngineTest, AShortNameIsReadAsTheFoldersOwnName) {
  fs.SetShortName(kSource, L"STRING~1");
  const RelocationResult result = Relocate(false, L"C:\\Samples\\STRING~1");
  ASSERT_TRUE(result.success) << (recorder.failures.empty() ? "" : ToUtf8(recorder.failures[0]));
  EXPECT_TRUE(recorder.Logged(L"C:\\Samples\\STRING~1 is named C:\\Samples\\Strings on disk; that "
                              L"name is used."));
  EXPECT_EQ(fs.List(L"C:\\Samples"), std::vector<std::wstring>{L"Strings"});
  EXPECT_TRUE(fs.IsLink(kSource));
  EXPECT_EQ(fs.LinkTarget(kSource), kTarget);
  EXPECT_TRUE(TargetComplete());
}

// A folder link that leads inside the source is made again leading inside the copy, and the check
// expects it there; every link is made again, not only the first.
TEST_F(RelocationEngineTest, LinksWithinTheSourceLeadWithinTheCopy) {
  fs.AddFolder(L"C:\\Elsewhere");
  fs.AddFolderLink(std::wstring(kSource) + L"\\a-outside", L"C:\\Elsewhere");
  fs.AddFolderLink(std::wstring(kSource) + L"\\sub\\within",
                   std::wstring(kSource) + L"\\sub\\deep");
  const RelocationResult result = Relocate();
  ASSERT_TRUE(result.success) << (recorder.failures.empty() ? "" : ToUtf8(recorder.failures[0]));
  EXPECT_EQ(fs.LinkTarget(std::wstring(kTarget) + L"\\a-outside"), L"C:\\Elsewhere");
  EXPECT_EQ(fs.LinkTarget(std::wstring(kTarget) + L"\\sub\\within"),
            std::wstring(kTarget) + L"\\sub\\deep");
  EXPECT_EQ(fs.ContentsText(std::wstring(kTarget) + L"\\sub\\within\\c.nki"), "cellos and basses");
  EXPECT_FALSE(fs.Exists(kRenamed));
}

// Newer files kept at the target that differ from their originals are listed with both sizes
// and dates and asked about; Yes deletes those originals with the rest, identical ones pass.
TEST_F(RelocationEngineTest, DifferingNewerFilesAtTheTargetAreListedAndAskedAbout) {
  KeepNewerAtTarget(L"\\a.wav", "last year's violins");
  // Identical, and newer: kept without a question.
  fs.AddFile(std::wstring(kTarget) + L"\\sub\\b.wav", std::string_view("violas"), attr::Archive,
             fs.Clock() + 3600 * kFileTimeTicksPerSecond);
  recorder.answerYes = true;
  const RelocationResult result = Relocate();
  ASSERT_TRUE(result.success) << (recorder.failures.empty() ? "" : ToUtf8(recorder.failures[0]));
  ASSERT_EQ(recorder.questions.size(), 1u);
  EXPECT_NE(recorder.questions[0].find(L"Delete your originals of these files anyway?"),
            std::wstring::npos);
  EXPECT_TRUE(recorder.Logged(L"a.wav: original 7 bytes, changed 3/5/2024 12:00:00 UTC; kept in "
                              L"D:\\Content\\Strings: 19 bytes, changed 3/5/2024 13:00:00 UTC."));
  EXPECT_FALSE(
      recorder.Logged(L"sub\\b.wav: original 6 bytes, changed 3/5/2024 12:00:00 UTC; kept "
                      L"in D:\\Content\\Strings: 6 bytes, changed 3/5/2024 13:00:00 UTC."));
  EXPECT_EQ(fs.ContentsText(std::wstring(kTarget) + L"\\a.wav"), "last year's violins");
  EXPECT_FALSE(fs.Exists(kRenamed));
  EXPECT_EQ(fs.LinkTarget(kSource), kTarget);
}

// A journal where earlier versions kept it stops a new move too; and a source that holds the
// program's own folders (the journal's, the settings backups') is refused, saying why.
TEST_F(RelocationEngineTest, TheJournalsPlacesAreNeverMoved) {
  fs.AddFile(testing::kEarlierJournal, std::string_view("an earlier version's run"));
  EXPECT_FALSE(Relocate().success);
  ASSERT_EQ(recorder.failures.size(), 1u);
  EXPECT_EQ(recorder.failures[0].rfind(FormatText(L"An earlier relocation did not end; it is "
                                                  L"recorded in %s.",
                                                  testing::kEarlierJournal),
                                       0),
            0u)
      << ToUtf8(recorder.failures[0]);
  fs.DeleteFile(testing::kEarlierJournal);

  for (const wchar_t* holder :
       {L"C:\\Users\\Musician\\Documents", L"C:\\Users\\Musician\\AppData"}) {
    SCOPED_TRACE(ToUtf8(holder));
    fs.AddFile(std::wstring(holder) + L"\\song.wav", std::string_view("a song"));
    recorder = Recorder();
    EXPECT_FALSE(Relocate(false, holder, L"D:\\Content\\Moved").success);
    ASSERT_EQ(recorder.failures.size(), 1u);
    EXPECT_EQ(recorder.failures[0].rfind(std::wstring(holder) + L" holds ", 0), 0u)
        << ToUtf8(recorder.failures[0]);
    EXPECT_NE(recorder.failures[0].find(L"where Tessaly keeps its own records"),
              std::wstring::npos);
    EXPECT_TRUE(fs.IsFile(std::wstring(holder) + L"\\song.wav"));
    EXPECT_FALSE(fs.Exists(L"D:\\Content\\Moved"));
    EXPECT_FALSE(fs.Exists(std::wstring(holder) + L".orig0"));
  }
}

TEST_F(RelocationEngineTest, AShareAsTargetIsAskedForItsSpaceWithItsTrailingBackslash) {
  fs.AddVolume(L"\\\\server\\share", 1'000'000, 2'000'000, drive::Remote);
  const std::wstring target = L"\\\\server\\share\\Strings";
  const RelocationResult result = Relocate(false, kSource, target);
  EXPECT_TRUE(result.success) << (recorder.failures.empty() ? "" : ToUtf8(recorder.failures[0]));
  EXPECT_TRUE(recorder.Logged(L"Free space in \\\\server\\share\\: 976.6 KB."));
  EXPECT_EQ(fs.LinkTarget(kSource), target);
  for (const auto& [relative, bytes] : kFiles) EXPECT_EQ(fs.ContentsText(target + relative), bytes);
}

TEST_F(RelocationEngineTest, LinkOnlyMode) {
  // The files were moved by hand: the source is gone, the target holds them.
  for (const auto& [relative, bytes] : kFiles)
    fs.AddFile(kTarget + relative, std::string_view(bytes));
  ASSERT_EQ(DeleteTree(fs, {L"*.*"}, kSource, {.removeFolders = true}), 0u);
  EXPECT_TRUE(Relocate(true).success);
  EXPECT_EQ(fs.LinkTarget(kSource), kTarget);
  EXPECT_EQ(recorder.log, std::vector<std::wstring>{
                              L"Creating symbolic link so applications can find files at their new "
                              L"location..."});
  EXPECT_TRUE(recorder.phases.empty());
  EXPECT_FALSE(fs.Exists(kJournal)) << "nothing is renamed, so nothing is recorded";

  // A link that cannot be made leaves everything as it was.
  fs.RemoveFolder(kSource);
  recorder = Recorder();
  fs.InjectFailure(Op::CreateFolderLink, kSource, 1314);
  EXPECT_FALSE(Relocate(true).success);
  EXPECT_FALSE(fs.Exists(kSource));
  EXPECT_TRUE(TargetComplete());
  EXPECT_EQ(
      recorder.failures,
      std::vector<std::wstring>{L"Error 1314 creating a symbolic link to D:\\Content\\Strings."});
}

TEST_F(RelocationEngineTest, RootsCandidatesAndMerges) {
  // A drive root as the source is refused before anything happens.
  for (const wchar_t* root : {L"C:\\", L"C:", L""}) {
    recorder = Recorder();
    EXPECT_FALSE(Relocate(false, root).success);
    ASSERT_EQ(recorder.failures.size(), 1u);
    EXPECT_TRUE(recorder.log.empty());
  }
  EXPECT_TRUE(SourceUnchanged());
  // A target without a root.
  recorder = Recorder();
  EXPECT_FALSE(Relocate(false, kSource, L"Content\\Strings").success);
  EXPECT_EQ(recorder.failures,
            std::vector<std::wstring>{L"Unable to find root of Content\\Strings. Please select a "
                                      L"complete target folder path."});

  // Exactly enough room passes; taken candidates are skipped, a file among them too.
  fs.AddFolder(L"C:\\Samples\\Strings.orig0");
  fs.AddFile(L"C:\\Samples\\Strings.orig1", std::string_view("a file"));
  EXPECT_EQ(RenameCandidate(fs, kSource), L"C:\\Samples\\Strings.orig2");
  // A newer copy at the target is kept; the source's older copy goes with the renamed folder
  // once the user says that it may (they differ).
  fs.AddFile(std::wstring(kTarget) + L"\\a.wav", std::string_view("newer violins"), attr::Archive,
             fs.LastWriteTime(std::wstring(kSource) + L"\\a.wav") + 10 * kFileTimeTicksPerSecond);
  fs.SetFreeSpace(L"D:\\", 30);
  recorder = Recorder();
  recorder.answerYes = true;
  // A trailing backslash on the source: the candidate lies beside it, not inside.
  const RelocationResult result = Relocate(false, std::wstring(kSource) + L"\\");
  EXPECT_TRUE(result.success) << (recorder.failures.empty() ? "" : ToUtf8(recorder.failures[0]));
  EXPECT_EQ(fs.ContentsText(std::wstring(kTarget) + L"\\a.wav"), "newer violins");
  EXPECT_FALSE(fs.Exists(L"C:\\Samples\\Strings.orig2"));
  EXPECT_TRUE(fs.IsFolder(L"C:\\Samples\\Strings.orig0"));
  EXPECT_EQ(fs.LinkTarget(kSource), kTarget);
}

}  // namespace
}  // namespace tessaly
