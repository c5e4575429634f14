// The thumbnail passes over the real file system, in a scratch folder that stands in for the two
// common files folders and the public documents: artwork really copied, a newer shared file kept,
// a read-only one made writable and replaced, and copies that the system refuses because another
// handle holds the shared file open without sharing.
#include "thumbnails/thumbnail_pass.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/file_ops.h"
#include "platform/text.h"
#include "platform/win32/win32_api.h"
#include "tests/support/backends.h"
#include "tests/unit/forwarding_system.h"

namespace tessaly {
namespace {

// The real system, except that the common files folders and the public documents are folders of
// the scratch area; like 64-bit Windows, it has "ProgramFiles(x86)".
class ScratchSystem : public testing::ForwardingSystem {
 public:
  ScratchSystem(System& real, const std::wstring& scratch)
      : ForwardingSystem(real), scratch_(scratch) {}
  ErrorCode GetEnvironmentVariable(std::wstring_view name, std::wstring& out) override {
    if (EqualsNoCase(name, L"ProgramFiles(x86)"))
      out = scratch_ + L"\\Program Files (x86)";
    else if (EqualsNoCase(name, L"CommonProgramFiles(x86)"))
      out = scratch_ + L"\\Common86";
    else if (EqualsNoCase(name, L"CommonProgramW6432"))
      out = scratch_ + L"\\Common64";
    else
      return ForwardingSystem::GetEnvironmentVariable(name, out);
    return err::Success;
  }
  ErrorCode GetSpecialFolder(int csidlValue, std::wstring& out) override {
    if (csidlValue != csidl::CommonDocuments)
      return ForwardingSystem::GetSpecialFolder(csidlValue, out);
    out = scratch_ + L"\\Public Documents";
    return err::Success;
  }

 private:
  std::wstring scratch_;
};

constexpr FileTime kHour = 3600 * kFileTimeTicksPerSecond;

struct Row {
  std::wstring name;
  ThumbnailStatus status;
  ErrorCode error;
  bool operator==(const Row&) const = default;
};
void PrintTo(const Row& r, std::ostream* os) {
  *os << ToUtf8(r.name) << " " << ToUtf8(ThumbnailStatusWord(r.status)) << " " << r.error;
}

class ThumbnailPassWin32Test : public ::testing::Test {
 protected:
  void SetUp() override {
    harness = testing::Win32FileSystemBackends().front().make();
    system = std::make_unique<ScratchSystem>(harness->system(), harness->scratch);
    common86 = harness->scratch + L"\\Common86\\Native Instruments";
    common64 = harness->scratch + L"\\Common64\\Native Instruments";
    shared = harness->scratch + L"\\Public Documents\\NI Resources\\image";
    ASSERT_EQ(CreateDirectoryTree(fs(), common86), 0u);
    ASSERT_EQ(CreateDirectoryTree(fs(), common64), 0u);
  }

  FileSystem& fs() { return harness->fs(); }

  void Write(const std::wstring& path, const std::string& text) {
    std::wstring folder = path.substr(0, path.rfind(L'\\'));
    ASSERT_EQ(CreateDirectoryTree(fs(), folder), 0u);
    ASSERT_EQ(fs().WriteFile(path, reinterpret_cast<const uint8_t*>(text.data()), text.size()), 0u)
        << ToUtf8(path);
  }
  std::string Read(const std::wstring& path) {
    std::vector<uint8_t> bytes;
    if (fs().ReadFile(path, 0, 1 << 20, bytes) != 0) return "<unreadable>";
    return std::string(bytes.begin(), bytes.end());
  }
  // The product's artwork, written now: the PNG signature and the file's name.
  void AddProduct(const std::wstring& root, const std::wstring& name, bool withVb = true) {
    const std::wstring art = root + L"\\" + name + L"\\PAResources\\image\\" + name;
    Write(art + L"\\MST_artwork.png", "\x89PNG MST " + ToUtf8(name));
    if (withVb) Write(art + L"\\VB_artwork.png", "\x89PNG VB " + ToUtf8(name));
  }
  // A shared artwork file whose last write lies `age` before now (negative: after).
  void AddShared(const std::wstring& folder, const wchar_t* file, long long ageHours,
                 uint32_t extraAttributes = 0) {
    const std::wstring path = shared + L"\\" + folder + L"\\" + file;
    Write(path, "old shared art");
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const FileTime time = ((FileTime(now.dwHighDateTime) << 32) | now.dwLowDateTime) -
                          static_cast<FileTime>(ageHours) * kHour;
    ASSERT_EQ(fs().SetLastWriteTime(path, time), 0u);
    if (extraAttributes) {
      ASSERT_EQ(fs().SetAttributes(path, attr::Archive | extraAttributes), 0u);
    }
  }

  std::vector<Row> Pass(ThumbnailPassMode mode, ErrorCode expectedResult = 0) {
    items.clear();
    EXPECT_EQ(RunThumbnailPass(fs(), *system, mode, items), expectedResult);
    std::vector<Row> rows;
    for (const ThumbnailItem& item : items) rows.push_back({item.name, item.status, item.error});
    return rows;
  }

  std::unique_ptr<testing::FileSystemHarness> harness;
  std::unique_ptr<ScratchSystem> system;
  std::wstring common86, common64, shared;
  ThumbnailItems items;
};

TEST_F(ThumbnailPassWin32Test, ScanThenFixCopiesTheArtworkAndKeepsNewerSharedFiles) {
  using S = ThumbnailStatus;
  AddProduct(common86, L"Absynth 5");
  AddProduct(common64, L"Massive");
  AddProduct(common64, L"Session Strings Pro 2", false);
  AddProduct(common64, L"Kontakt 7");
  AddShared(L"kontakt 7", L"MST_artwork.png", -1);  // newer than the product's: stays
  AddShared(L"massive", L"MST_artwork.png", 24);    // older: replaced

  EXPECT_EQ(Pass(ThumbnailPassMode::Scan),
            (std::vector<Row>{{L"Absynth 5", S::Missing, 0},
                              {L"Kontakt 7", S::Missing, 0},
                              {L"Massive", S::Missing, 0},
                              {L"Session Strings Pro 2", S::Missing, 0}}));
  EXPECT_FALSE(IsDirectory(fs(), shared + L"\\absynth 5")) << "a scan copies nothing";

  EXPECT_EQ(Pass(ThumbnailPassMode::Fix),
            (std::vector<Row>{{L"Absynth 5", S::Present, 0},
                              {L"Kontakt 7", S::Present, 0},
                              {L"Massive", S::Present, 0},
                              {L"Session Strings Pro 2", S::Missing, 0}}));
  EXPECT_EQ(Read(shared + L"\\absynth 5\\VB_artwork.png"), "\x89PNG VB Absynth 5");
  EXPECT_EQ(Read(shared + L"\\kontakt 7\\MST_artwork.png"), "old shared art");
  EXPECT_EQ(Read(shared + L"\\kontakt 7\\VB_artwork.png"), "\x89PNG VB Kontakt 7");
  EXPECT_EQ(Read(shared + L"\\massive\\MST_artwork.png"), "\x89PNG MST Massive");
  EXPECT_EQ(Read(shared + L"\\session strings pro 2\\MST_artwork.png"),
            "\x89PNG MST Session Strings Pro 2");
  EXPECT_FALSE(PathExists(fs(), shared + L"\\session strings pro 2\\VB_artwork.png"));
}

// An unprivileged user cannot write over a read-only file; the copy makes it writable first.
TEST_F(ThumbnailPassWin32Test, AReadOnlyOlderSharedFileIsMadeWritableAndReplaced) {
  AddProduct(common64, L"Massive");
  AddShared(L"massive", L"VB_artwork.png", 24, attr::ReadOnly);
  EXPECT_EQ(Pass(ThumbnailPassMode::Fix),
            (std::vector<Row>{{L"Massive", ThumbnailStatus::Present, 0}}));
  EXPECT_EQ(Read(shared + L"\\massive\\VB_artwork.png"), "\x89PNG VB Massive");
}

// The system refuses to replace a file that another handle holds open without sharing. Whether it
// is the folder's first file (the second is copied after it) or its last, the item is Error with
// the system's code, and the next product is fixed all the same.
TEST_F(ThumbnailPassWin32Test, ASharedFileHeldOpenMakesItsItemAnErrorWithTheSystemsCode) {
  for (const wchar_t* heldFile : {L"MST_artwork.png", L"VB_artwork.png"}) {
    SCOPED_TRACE(ToUtf8(heldFile));
    ASSERT_EQ(DeleteTree(fs(), {L"*.*"}, shared, {.removeFolders = true}), 0u);
    AddProduct(common64, L"Massive");
    AddProduct(common64, L"Reaktor 6");
    AddShared(L"massive", heldFile, 24);
    const std::wstring held = shared + L"\\massive\\" + heldFile;
    std::unique_ptr<testing::HeldFile> handle = harness->HoldOpen(held);
    ASSERT_NE(handle, nullptr);

    EXPECT_EQ(Pass(ThumbnailPassMode::Fix),
              (std::vector<Row>{{L"Massive", ThumbnailStatus::Error, err::SharingViolation},
                                {L"Reaktor 6", ThumbnailStatus::Present, 0}}));
    EXPECT_EQ(CountThumbnailItems(items).errors, 1u);
    handle.reset();
    EXPECT_EQ(Read(held), "old shared art");
    for (const wchar_t* file : {L"MST_artwork.png", L"VB_artwork.png"}) {
      if (std::wstring(file) != heldFile) {
        EXPECT_TRUE(PathExists(fs(), shared + L"\\massive\\" + file)) << ToUtf8(file);
      }
    }

    // Once the handle is gone, the next fix replaces the file.
    EXPECT_EQ(Pass(ThumbnailPassMode::Fix),
              (std::vector<Row>{{L"Massive", ThumbnailStatus::Present, 0},
                                {L"Reaktor 6", ThumbnailStatus::Present, 0}}));
    EXPECT_NE(Read(held), "old shared art");
  }
}

}  // namespace
}  // namespace tessaly
