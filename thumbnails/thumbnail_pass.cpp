// The thumbnail fixer's engine.
#include "thumbnails/thumbnail_pass.h"

#include <algorithm>
#include <memory>
#include <span>

#include "platform/file_ops.h"
#include "platform/ni_installation.h"
#include "platform/safe_lists.h"
#include "platform/text.h"

namespace tessaly {
namespace {

const PatternSet kAllFiles{L"*.*"};

// Hands every call to the real file system and keeps the code of the last call that failed for a
// reason other than "not there". The tree copy counts each failed file but returns only the last
// file's result, so a folder whose first file failed and whose last one was copied reports 0;
// this keeps the code of the failure all the same.
class FailureRecorder : public FileSystem {
 public:
  explicit FailureRecorder(FileSystem& inner) : inner_(inner) {}

  ErrorCode lastFailure = err::Success;

  ErrorCode FindFiles(std::wstring_view pattern, const Visitor& visit) override {
    return Read(inner_.FindFiles(pattern, visit));
  }
  ErrorCode GetAttributes(std::wstring_view p, uint32_t& a) override {
    return Read(inner_.GetAttributes(p, a));
  }
  ErrorCode SetAttributes(std::wstring_view p, uint32_t a) override {
    return Change(inner_.SetAttributes(p, a));
  }
  ErrorCode SetLastWriteTime(std::wstring_view p, FileTime t) override {
    return Change(inner_.SetLastWriteTime(p, t));
  }
  ErrorCode CreateFolder(std::wstring_view p) override {
    const ErrorCode e = inner_.CreateFolder(p);
    return e == err::AlreadyExists ? e : Change(e);
  }
  ErrorCode RemoveFolder(std::wstring_view p) override { return Change(inner_.RemoveFolder(p)); }
  ErrorCode DeleteFile(std::wstring_view p) override { return Change(inner_.DeleteFile(p)); }
  ErrorCode MoveFile(std::wstring_view a, std::wstring_view b, uint32_t f) override {
    return Change(inner_.MoveFile(a, b, f));
  }
  ErrorCode CopyFile(std::wstring_view a, std::wstring_view b, CopyProgressRoutine r, void* u,
                     CancelToken c, uint32_t f) override {
    return Change(inner_.CopyFile(a, b, r, u, c, f));
  }
  ErrorCode CreateFolderLink(std::wstring_view l, std::wstring_view t) override {
    return Change(inner_.CreateFolderLink(l, t));
  }
  ErrorCode GetFreeSpace(std::wstring_view f, uint64_t& a, uint64_t& t) override {
    return Read(inner_.GetFreeSpace(f, a, t));
  }
  uint32_t GetDriveType(std::wstring_view r) override { return inner_.GetDriveType(r); }
  ErrorCode ReadFile(std::wstring_view p, uint64_t o, size_t n,
                     std::vector<uint8_t>& out) override {
    return Read(inner_.ReadFile(p, o, n, out));
  }
  ErrorCode WriteFile(std::wstring_view p, const uint8_t* d, size_t n) override {
    return Change(inner_.WriteFile(p, d, n));
  }
  ErrorCode GetFinalPath(std::wstring_view p, std::wstring& out) override {
    return Read(inner_.GetFinalPath(p, out));
  }
  ErrorCode GetFullPath(std::wstring_view p, std::wstring& out) override {
    return Read(inner_.GetFullPath(p, out));
  }

 private:
  ErrorCode Change(ErrorCode e) {
    if (e != err::Success) lastFailure = e;
    return e;
  }
  // Asking about something that is not there is how the copy finds out what to do.
  ErrorCode Read(ErrorCode e) {
    if (e != err::FileNotFound && e != err::PathNotFound) Change(e);
    return e;
  }

  FileSystem& inner_;
};

// Copies the product's artwork tree into its shared folder, files missing there or older only.
// 0, or the system's code of a file that could not be copied.
ErrorCode CopyArtwork(FileSystem& fs, System& system, const std::wstring& source,
                      const std::wstring& target) {
  FailureRecorder recorder(fs);
  TreeOperationProgress progress;
  const ErrorCode result = CopyTree(recorder, system, source, kAllFiles, target,
                                    {.onlyIfNewer = true, .progress = &progress});
  if (result != err::Success) return result;
  if (progress.errors == 0) return err::Success;
  // Counted but without a code of the system's: a path that did not fit.
  return recorder.lastFailure != err::Success ? recorder.lastFailure : err::InternalError;
}

ThumbnailStatus ArtworkStatus(FileSystem& fs, const std::wstring& target) {
  for (const wchar_t* file : ni::kArtworkFiles) {
    std::wstring path = target;
    if (!path::Append(path, file, kTreePathCapacity) || !PathExists(fs, path)) {
      return ThumbnailStatus::Missing;
    }
  }
  return ThumbnailStatus::Present;
}

// One common files folder: its product folders in listing order.
ErrorCode VisitCommonFiles(FileSystem& fs, System& system, ThumbnailPassMode mode,
                           const wchar_t* variable, ThumbnailItems& items, const CancelFlag* stop) {
  std::wstring common;
  if (ErrorCode e = system.GetEnvironmentVariable(variable, common)) return e;
  if (common.size() >= kTreePathCapacity) return err::MoreData;
  std::wstring productRoot = common;
  if (!path::Append(productRoot, ni::kProductsFolder, kTreePathCapacity) ||
      !IsDirectory(fs, productRoot)) {
    return err::PathNotFound;
  }
  std::wstring imageRoot;
  if (system.GetSpecialFolder(csidl::CommonDocuments, imageRoot) != err::Success ||
      !path::Append(imageRoot, ni::kSharedArtworkFolder, kTreePathCapacity)) {
    return err::PathNotFound;
  }
  if (ErrorCode e = CreateDirectoryTree(fs, imageRoot)) return e;

  CSafeFileList products;
  products.Search(fs, productRoot, L"*.*", true);
  for (const SafeFileEntry& product : products.Entries()) {
    if (stop && StopRequested(*stop)) return err::Success;
    ThumbnailItem item;
    item.name = product.findData.name;
    item.lowerName = ToLowerCaseName(item.name);
    item.sourceFolder = product.path;
    if (!path::Append(item.sourceFolder, ni::kProductArtworkFolder, kTreePathCapacity) ||
        !path::Append(item.sourceFolder, item.name, kTreePathCapacity) ||
        !IsDirectory(fs, item.sourceFolder)) {
      continue;  // no artwork of its own: not a product of this page
    }
    item.targetFolder = imageRoot;
    if (!path::Append(item.targetFolder, item.lowerName, kTreePathCapacity)) continue;
    if (mode == ThumbnailPassMode::Fix) {
      item.error = CopyArtwork(fs, system, item.sourceFolder, item.targetFolder);
    }
    // A failed copy is an error even where older artwork was already there.
    item.status =
        item.error != err::Success ? ThumbnailStatus::Error : ArtworkStatus(fs, item.targetFolder);
    items.push_back(std::move(item));
  }
  return err::Success;
}

wchar_t ToLowerCase(wchar_t c) {
  if (c >= L'A' && c <= L'Z') return wchar_t(c + 0x20);
  if (c < 0xC0) return c;
  if (c <= 0xDE) return c == 0xD7 ? c : wchar_t(c + 0x20);  // not the multiplication sign
  if (c == 0x130) return L'i';                              // I with dot above
  if (c == 0x178) return 0xFF;                              // Y with diaeresis
  // Latin Extended-A: capitals and small letters alternate, the capital first, but in runs
  // that start on an even code in some places and on an odd one in others.
  if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) {
    return (c % 2 == 0) ? wchar_t(c + 1) : c;
  }
  if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) {
    return (c % 2 == 1) ? wchar_t(c + 1) : c;
  }
  if (c == 0x386) return 0x3AC;  // Greek capitals with tonos
  if (c >= 0x388 && c <= 0x38A) return wchar_t(c + 0x25);
  if (c == 0x38C) return 0x3CC;
  if (c == 0x38E || c == 0x38F) return wchar_t(c + 0x3F);
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return wchar_t(c + 0x20);
  if (c >= 0x400 && c <= 0x40F) return wchar_t(c + 0x50);  // Cyrillic
  if (c >= 0x410 && c <= 0x42F) return wchar_t(c + 0x20);
  return c;
}

}  // namespace

std::wstring ToLowerCaseName(std::wstring_view name) {
  std::wstring lower(name);
  for (wchar_t& c : lower) c = ToLowerCase(c);
  return lower;
}

ErrorCode RunThumbnailPass(FileSystem& fs, System& system, ThumbnailPassMode mode,
                           ThumbnailItems& items, const CancelFlag* stop) {
  // A 32-bit program would otherwise see the (x86) folder under the 64-bit folder's name.
  const std::unique_ptr<RedirectionScope> redirection = system.DisableFileRedirection();
  std::wstring unused;
  const bool windows64 = system.GetEnvironmentVariable(L"ProgramFiles(x86)", unused) == 0;
  static constexpr const wchar_t* kFolders64[] = {L"CommonProgramFiles(x86)",
                                                  L"CommonProgramW6432"};
  static constexpr const wchar_t* kFolders32[] = {L"CommonProgramFiles"};
  const std::span<const wchar_t* const> folders = windows64
                                                      ? std::span<const wchar_t* const>(kFolders64)
                                                      : std::span<const wchar_t* const>(kFolders32);
  for (const wchar_t* variable : folders) {
    if (stop && StopRequested(*stop)) return err::Success;
    if (ErrorCode e = VisitCommonFiles(fs, system, mode, variable, items, stop)) return e;
  }
  return err::Success;
}

void SortThumbnailItems(ThumbnailItems& items, int column, int lastColumn) {
  if (column == lastColumn) {
    std::reverse(items.begin(), items.end());
  } else if (column == 0) {
    std::stable_sort(items.begin(), items.end(),
                     [](const ThumbnailItem& a, const ThumbnailItem& b) {
                       return CompareNoCase(a.name, b.name) < 0;
                     });
  } else if (column == 1) {
    std::stable_sort(items.begin(), items.end(),
                     [](const ThumbnailItem& a, const ThumbnailItem& b) {
                       return static_cast<int>(a.status) < static_cast<int>(b.status);
                     });
  }
}

ThumbnailCounts CountThumbnailItems(const ThumbnailItems& items) {
  ThumbnailCounts counts;
  for (const ThumbnailItem& item : items) {
    ++counts.relevant;
    if (item.status == ThumbnailStatus::Error) ++counts.errors;
    if (item.status == ThumbnailStatus::Missing) ++counts.missing;
  }
  return counts;
}

const wchar_t* ThumbnailStatusWord(ThumbnailStatus status) {
  switch (status) {
    case ThumbnailStatus::Error: return L"Error";
    case ThumbnailStatus::Missing: return L"Missing";
    case ThumbnailStatus::Present: return L"Present";
    default: return L"Unknown";
  }
}

std::wstring ThumbnailPassRunningText(ThumbnailPassMode mode) {
  return mode == ThumbnailPassMode::Fix
             ? L"Fixing product thumbnails of affected products. Please wait..."
             : L"Scanning for product thumbnails. Please wait...";
}

std::wstring ThumbnailPassSummaryText(ThumbnailPassMode mode, const ThumbnailCounts& counts) {
  const bool fix = mode == ThumbnailPassMode::Fix;
  std::wstring headline = fix ? L"Fix procedure is complete." : L"Initial scan is complete.";
  if (!fix && counts.missing != 0) {
    headline += L" Click 'Fix Thumbnails' to repair missing product graphics.";
  }
  std::wstring text = FormatText(
      L"%s\n%lu relevant products found. %lu products missing thumbnails. %lu errors encountered.",
      headline.c_str(), counts.relevant, counts.missing, counts.errors);
  if (!fix) {
    text += L"\nNOTE: For best results, run this wizard after applying all your Service Center "
            L"updates.";
  }
  return text;
}

}  // namespace tessaly
