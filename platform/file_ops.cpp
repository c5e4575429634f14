// File and folder operations over the FileSystem interface: single items and folder-tree walks.
#include "platform/file_ops.h"

#include <algorithm>
#include <cwchar>
#include <vector>

#include "platform/system.h"
#include "platform/text.h"

namespace tessaly {

namespace {

// Longest path that FileSystem calls may build while creating a folder path.
constexpr size_t kLongPathCapacity = 32768;
// Paths this long or longer need the "\\?\" form on Windows.
constexpr size_t kMaxPlainPath = 260;
constexpr uint64_t kSourceNewerMargin = 2 * kFileTimeTicksPerSecond;

// True for "\\?\..." paths, whose question mark is not a wild card.
bool HasLongPathPrefix(std::wstring_view p) { return p.substr(0, 4) == L"\\\\?\\"; }

bool HasWildCards(std::wstring_view p) {
  if (HasLongPathPrefix(p)) p.remove_prefix(4);
  return p.find_first_of(L"*?") != std::wstring_view::npos;
}

// The "\\?\" form of a long absolute path ("\\?\UNC\server\share\..." for a UNC path); other
// paths are returned as they are.
std::wstring LongPathForm(std::wstring_view p) {
  if (p.size() <= kMaxPlainPath || HasLongPathPrefix(p)) return std::wstring(p);
  if (p.size() >= 2 && p[0] == L'\\' && p[1] == L'\\') {
    return L"\\\\?\\UNC\\" + std::wstring(p.substr(2));
  }
  if (p.size() >= 3 && path::IsDriveSpec(p.substr(0, 2)) && p[2] == L'\\') {
    return L"\\\\?\\" + std::wstring(p);
  }
  return std::wstring(p);
}

// Snapshot of one listing, so that the walk may delete or recurse while it goes through it.
ErrorCode List(FileSystem& fs, std::wstring_view query, std::vector<FindData>& entries) {
  entries.clear();
  return fs.FindFiles(query, [&entries](const FindData& entry) {
    entries.push_back(entry);
    return true;
  });
}

// True when `patterns` is the one pattern that lists a whole folder: its listing then also gives
// the subfolders, and the folder is listed once.
bool ListsWholeFolder(const PatternSet& patterns) {
  return patterns.size() == 1 && *patterns.begin() == L"*.*";
}

// A listing failure that means "nothing there" rather than "could not look".
bool IsEmptyListing(ErrorCode e, bool missingFolderIsEmpty) {
  return e == err::Success || e == err::FileNotFound ||
         (missingFolderIsEmpty && e == err::PathNotFound);
}

void CountError(TreeOperationProgress* progress) {
  if (progress) ++progress->errors;
}

void EnterFolder(TreeOperationProgress* progress, std::wstring_view folder) {
  if (!progress) return;
  progress->currentFolder.assign(folder);
  ++progress->foldersVisited;
}

// --- CountTree ----------------------------------------------------------------------------------

struct CountWalk {
  FileSystem& fs;
  const PatternSet& patterns;
  CancelToken cancel;
  TreeOperationProgress& progress;
  bool cancelled = false;

  // 1359 when the folder's subfolders cannot be listed because the path is too long.
  ErrorCode Folder(const std::wstring& folder) {
    EnterFolder(&progress, folder);
    std::vector<FindData> entries;
    bool listingFailed = false;
    for (const std::wstring& pattern : patterns) {
      std::wstring query = folder;
      if (!path::Append(query, pattern, kTreePathCapacity)) {
        ++progress.errors;
        continue;
      }
      if (!IsEmptyListing(List(fs, query, entries), false)) listingFailed = true;
      for (const FindData& entry : entries) {
        if (entry.IsDirectory()) continue;
        ++progress.filesCounted;
        progress.bytesCounted += entry.size;
        if (cancel.Requested()) {
          cancelled = true;
          return err::Success;
        }
      }
    }

    if (!ListsWholeFolder(patterns)) {
      std::wstring query = folder;
      if (!path::Append(query, L"*.*", kTreePathCapacity)) {
        ++progress.errors;
        return err::InternalError;
      }
      if (!IsEmptyListing(List(fs, query, entries), false)) listingFailed = true;
    }
    if (listingFailed) ++progress.errors;
    for (const FindData& entry : entries) {
      bool isLink = false;
      if (IsRealSubfolder(entry, isLink)) {
        std::wstring sub = folder;
        const bool appended = path::Append(sub, entry.name, kTreePathCapacity);
        if (isLink) {
          // A folder link is not entered; the first one is noted for the caller.
          if (appended && progress.firstFolderLink.empty())
            progress.firstFolderLink = std::move(sub);
        } else if (!appended) {
          ++progress.errors;
          break;
        } else {
          Folder(sub);
          if (cancelled) return err::Success;
        }
      }
      if (cancel.Requested()) {
        cancelled = true;
        return err::Success;
      }
    }
    return err::Success;
  }
};

// --- CopyTree -----------------------------------------------------------------------------------

struct CopyWalk {
  FileSystem& fs;
  const PatternSet& patterns;
  const CopyTreeOptions& options;
  uint32_t copyFlags;
  TreeOperationProgress* progress = options.progress;
  ErrorCode lastResult = err::Success;
  bool cancelled = false;

  // Made: by this walk, so it held nothing; Temporary: the files go to a temporary folder that
  // this walk made and that takes the target's name once they are whole.
  enum class TargetFolder { Unknown, Existing, Made, Temporary };

  bool StopIfCancelled() {
    if (options.cancel.Requested()) cancelled = true;
    return cancelled;
  }

  // Looks for the target folder and makes it if it is missing. When its parent folder is known to
  // be there (the walk made it or found it), one attempt to make it comes first: it succeeds for
  // every folder of a new copy, with no look-up of it or of the folders above it. Anything else
  // (it exists, or cannot be made so) is looked at as for a folder of unknown parent.
  ErrorCode Prepare(const std::wstring& target, TargetFolder& state, bool parentThere) {
    if (parentThere && fs.CreateFolder(target) == err::Success) {
      state = TargetFolder::Made;
      return err::Success;
    }
    const bool existed = IsDirectory(fs, target);
    if (ErrorCode e = existed ? err::Success : CreateDirectoryTree(fs, target)) return e;
    state = existed ? TargetFolder::Existing : TargetFolder::Made;
    return err::Success;
  }

  // Copies one file to `to` in a folder that the walk made (nothing there to compare with or to
  // clear) or that already existed.
  ErrorCode CopyFile(const std::wstring& from, const std::wstring& to, const std::wstring& target,
                     TargetFolder state) {
    const uint32_t flags = copyFlags & ~copyflags::FailIfExists;
    if (state == TargetFolder::Temporary) {
      return fs.CopyFile(from, to, options.copyRoutine, options.copyUserData, options.cancel,
                         flags);
    }
    // With one pattern no file comes twice, so a folder this walk made holds no file yet.
    const bool fresh = state == TargetFolder::Made && patterns.size() == 1;
    if (!options.throughTemporaryName) {
      return fresh ? fs.CopyFile(from, to, options.copyRoutine, options.copyUserData,
                                 options.cancel, flags)
                   : CopyOneFile(fs, from, to, options.onlyIfNewer, options.copyRoutine,
                                 options.copyUserData, options.cancel, copyFlags);
    }
    if (!fresh) {
      FindData sourceData, targetData;
      const bool sourceExists = PathExists(fs, from, &sourceData);
      if (options.onlyIfNewer && !sourceExists) return err::FileNotFound;
      if (PathExists(fs, to, &targetData)) {
        if (targetData.IsDirectory()) return err::AccessDenied;
        if (options.onlyIfNewer && !IsSourceNewer(sourceData, targetData)) return err::Success;
        // A read-only file cannot be replaced by a rename.
        if (ErrorCode e = ClearReadOnly(fs, to)) return e;
      }
    }
    std::wstring partial = target;
    if (!path::Append(partial, TemporaryName(), kTreePathCapacity)) return err::FilenameExcedRange;
    // A file that already has the temporary name is not this walk's: it is never replaced.
    ErrorCode e = fs.CopyFile(from, partial, options.copyRoutine, options.copyUserData,
                              options.cancel, flags | copyflags::FailIfExists);
    if (e == err::FileExists || e == err::AlreadyExists) return e;
    if (e == err::Success) e = fs.MoveFile(partial, to, moveflags::ReplaceExisting);
    // Nothing partial stays behind: the system's copy removes what it began, and a copy whose
    // rename failed is not left under the temporary name either.
    if (e != err::Success) (void)DeleteOneFile(fs, partial);
    return e;
  }

  // Makes the folder link `to` lead where the source's link `from` finally leads.
  ErrorCode CopyLink(const std::wstring& from, const std::wstring& to) {
    std::wstring place;
    if (ErrorCode e = fs.GetFinalPath(from, place)) return e;
    if (!RebaseWithin(place, options.linksFrom, options.linksTo)) return err::FilenameExcedRange;
    FindData existing;
    if (PathExists(fs, to, &existing)) {
      std::wstring there;
      if (existing.IsDirectory() && existing.IsReparsePoint() &&
          fs.GetFinalPath(to, there) == err::Success && EqualsNoCase(there, place)) {
        return err::Success;  // made by an earlier run
      }
      return err::AlreadyExists;
    }
    if (ErrorCode e = fs.CreateFolderLink(to, place)) return e;
    // A link call that reports success but left no link.
    FindData made;
    if (!PathExists(fs, to, &made) || !made.IsReparsePoint()) return err::NotAReparsePoint;
    return err::Success;
  }

  void Fail(ErrorCode e) {
    CountError(progress);
    lastResult = e;
  }

  // The run's temporary name, for a file or a folder.
  std::wstring_view TemporaryName() const {
    return options.temporaryName.empty() ? std::wstring_view(kPartialCopyName)
                                         : std::wstring_view(options.temporaryName);
  }

  // Makes a folder of the run's temporary name beside `target` (which is not there) for the files
  // of a new folder (in `entries`), so that they are written under their own names and the folder
  // is renamed into place once they are whole: one rename for the folder instead of one for each
  // file, and still no file under its final path that is not complete. False (nothing made) when
  // the folder has no files, when something of the temporary name is there already (it is not
  // this walk's), or when the temporary name would make a path too long.
  bool MakeTemporaryFolder(const std::wstring& target, const std::vector<FindData>& entries,
                           std::wstring& temporary) {
    size_t longestName = 0;
    for (const FindData& entry : entries) {
      if (!entry.IsDirectory()) longestName = std::max(longestName, entry.name.size());
    }
    const size_t cut = target.find_last_of(L'\\');
    if (longestName == 0 || cut == std::wstring::npos) return false;
    temporary = target.substr(0, cut);
    if (!path::Append(temporary, TemporaryName(), kTreePathCapacity)) return false;
    // Its files' paths must fit wherever their final paths fit.
    const size_t longest = temporary.size() + 1 + longestName;
    if (temporary.size() > target.size() &&
        (longest >= kMaxPlainPath || longest >= kTreePathCapacity)) {
      return false;
    }
    return fs.CreateFolder(temporary) == err::Success;
  }

  // Gives the temporary folder its final name. Should that fail (a folder of that name made
  // meanwhile, or a program holding one of the new files open), the files move one by one into
  // the target folder, and what cannot reach it is counted as failed and removed from the
  // temporary folder, which goes too. True when the target folder is there.
  bool PlaceTemporaryFolder(const std::wstring& temporary, const std::wstring& target,
                            const std::vector<FindData>& entries) {
    const ErrorCode renamed = fs.MoveFile(temporary, target, 0);
    if (renamed == err::Success) return true;
    const ErrorCode made = CreateDirectoryTree(fs, target);
    for (const FindData& entry : entries) {
      if (entry.IsDirectory()) continue;
      std::wstring from = temporary, to = target;
      if (!path::Append(from, entry.name, kTreePathCapacity) ||
          !path::Append(to, entry.name, kTreePathCapacity) || !PathExists(fs, from)) {
        continue;  // a file whose copy failed, already counted
      }
      const ErrorCode moved = made != err::Success ? made : fs.MoveFile(from, to, 0);
      if (moved != err::Success) {
        Fail(moved);
        (void)DeleteOneFile(fs, from);
      }
    }
    (void)RemoveFolder(fs, temporary);
    return made == err::Success;
  }

  // `parent`: what the walk knows of the target's parent folder.
  void Folder(const std::wstring& source, const std::wstring& target, TargetFolder parent) {
    const bool parentThere = parent != TargetFolder::Unknown;
    EnterFolder(progress, source);
    std::vector<FindData> entries;
    bool listingFailed = false;
    // With the one pattern "*.*" the folder is listed once, before anything is made, and that
    // listing also gives its subfolders.
    const bool listedOnce = ListsWholeFolder(patterns);
    if (listedOnce) {
      std::wstring query = source;
      if (!path::Append(query, L"*.*", kTreePathCapacity)) {
        CountError(progress);
        return;
      }
      if (!IsEmptyListing(List(fs, query, entries), false)) listingFailed = true;
    }
    // The target folder is looked for (and made) once: for the whole tree on entering, otherwise
    // on the folder's first file. Each lookup costs a directory query, and under Wine the three
    // per file this once took cost about as much as copying a small file.
    TargetFolder targetFolder = TargetFolder::Unknown;
    // Where this folder's files are written: the target folder, or a temporary one beside it.
    std::wstring filesTo = target;
    if (options.wholeTree) {
      std::wstring temporary;
      // In a folder that this walk made, nothing of the target's name can be there already.
      if (listedOnce && options.throughTemporaryName && parent == TargetFolder::Made &&
          MakeTemporaryFolder(target, entries, temporary)) {
        filesTo = temporary;
        targetFolder = TargetFolder::Temporary;
      } else if (ErrorCode e = Prepare(target, targetFolder, parentThere)) {
        // Nothing of this folder can reach the target.
        Fail(e);
        StopIfCancelled();
        return;
      }
    }
    CopyFiles(source, target, filesTo, parentThere, entries, listedOnce, targetFolder,
              listingFailed);
    if (targetFolder == TargetFolder::Temporary) {
      targetFolder = PlaceTemporaryFolder(filesTo, target, entries) ? TargetFolder::Made
                                                                    : TargetFolder::Unknown;
    }
    if (cancelled) return;

    if (!listedOnce) {
      std::wstring query = source;
      if (!path::Append(query, L"*.*", kTreePathCapacity)) {
        CountError(progress);
        return;
      }
      if (!IsEmptyListing(List(fs, query, entries), false)) listingFailed = true;
    }
    if (listingFailed) CountError(progress);
    for (const FindData& entry : entries) {
      bool isLink = false;
      if (IsRealSubfolder(entry, isLink) && (!isLink || options.recreateLinks)) {
        std::wstring from = source;
        std::wstring to = target;
        if (!path::Append(from, entry.name, kTreePathCapacity) ||
            !path::Append(to, entry.name, kTreePathCapacity)) {
          CountError(progress);
          break;
        }
        if (!isLink) {
          Folder(from, to, targetFolder);
          if (cancelled) return;
        } else {
          ErrorCode e = targetFolder == TargetFolder::Unknown
                            ? Prepare(target, targetFolder, parentThere)
                            : err::Success;
          if (e == err::Success) e = CopyLink(from, to);
          if (e != err::Success) Fail(e);
        }
      }
      if (StopIfCancelled()) return;
    }
  }

  // Copies the folder's matching files into `filesTo` (the target folder or its temporary
  // folder); `entries` is the folder's listing when `listedOnce`, else each pattern is listed
  // into it. Returns early when cancelled.
  void CopyFiles(const std::wstring& source, const std::wstring& target,
                 const std::wstring& filesTo, bool parentThere, std::vector<FindData>& entries,
                 bool listedOnce, TargetFolder& targetFolder, bool& listingFailed) {
    for (const std::wstring& pattern : patterns) {
      if (!listedOnce) {
        std::wstring query = source;
        if (!path::Append(query, pattern, kTreePathCapacity)) {
          CountError(progress);
          continue;
        }
        if (!IsEmptyListing(List(fs, query, entries), false)) listingFailed = true;
      }
      for (const FindData& entry : entries) {
        if (entry.IsDirectory()) continue;
        std::wstring from = source;
        if (!path::Append(from, entry.name, kTreePathCapacity)) {
          CountError(progress);
          break;
        }
        // The target folder appears only once a file is copied into it.
        if (targetFolder == TargetFolder::Unknown) {
          if (ErrorCode e = Prepare(target, targetFolder, parentThere)) {
            Fail(e);
            if (StopIfCancelled()) return;
            continue;
          }
        }
        std::wstring to = filesTo;
        if (!path::Append(to, entry.name, kTreePathCapacity)) {
          CountError(progress);
          break;
        }
        if (progress) progress->currentFile = from;
        if (options.onFile) options.onFile(progress);
        lastResult = CopyFile(from, to, filesTo, targetFolder);
        if (lastResult == err::Success) {
          if (progress) ++progress->filesDone;
        } else {
          CountError(progress);
        }
        if (StopIfCancelled()) return;
      }
    }
  }
};

// --- DeleteTree ---------------------------------------------------------------------------------

struct DeleteWalk {
  FileSystem& fs;
  const PatternSet& patterns;
  const DeleteTreeOptions& options;
  TreeOperationProgress* progress = options.progress;
  bool cancelled = false;

  bool StopIfCancelled() {
    if (options.cancel.Requested()) cancelled = true;
    return cancelled;
  }

  // The error of the last failure below `folder`, or 0.
  ErrorCode Folder(const std::wstring& folder) {
    ErrorCode result = err::Success;
    auto fail = [&](ErrorCode e) {
      CountError(progress);
      result = e;
    };
    // The folder as it is now, opened without following a link: one that became a link since
    // its parent was listed is removed as a link, and what it leads to is never entered.
    FileSystem::ItemIdentity identity;
    if (fs.GetItemIdentity(folder, identity) == err::Success && identity.IsLink()) {
      if (ErrorCode e = fs.RemoveFolder(folder)) fail(e);
      return result;
    }
    EnterFolder(progress, folder);
    std::vector<FindData> entries;
    ErrorCode listingError = err::Success;
    auto list = [&](const std::wstring& query) {
      // A folder that vanished meanwhile has nothing left to delete.
      ErrorCode e = List(fs, query, entries);
      if (!IsEmptyListing(e, true) && listingError == err::Success) listingError = e;
    };
    for (const std::wstring& pattern : patterns) {
      std::wstring query = folder;
      if (!path::Append(query, pattern, kTreePathCapacity)) {
        fail(err::InternalError);
        continue;
      }
      list(query);
      for (const FindData& entry : entries) {
        if (entry.IsDirectory()) continue;
        std::wstring file = folder;
        if (!path::Append(file, entry.name, kTreePathCapacity)) {
          fail(err::InternalError);
          break;
        }
        if (progress) progress->currentFile = file;
        if (options.onFile) options.onFile(progress);
        if (ErrorCode e = DeleteOneFile(fs, file)) {
          fail(e);
        } else if (progress) {
          ++progress->filesDone;
        }
        if (StopIfCancelled()) return result;
      }
    }

    std::wstring query = folder;
    if (!path::Append(query, L"*.*", kTreePathCapacity)) {
      fail(err::InternalError);
    } else {
      list(query);
      if (listingError != err::Success) fail(listingError);
      for (const FindData& entry : entries) {
        bool isLink = false;
        if (IsRealSubfolder(entry, isLink)) {
          std::wstring sub = folder;
          if (!path::Append(sub, entry.name, kTreePathCapacity)) {
            fail(err::InternalError);
            break;
          }
          if (isLink) {
            // The link itself goes; whatever it points to stays. One that stays is found when
            // its parent folder cannot be removed.
            (void)fs.RemoveFolder(sub);
          } else if (ErrorCode e = Folder(sub)) {
            result = e;
          }
          if (cancelled) return result;
        }
        if (StopIfCancelled()) return result;
      }
    }

    if (options.removeFolders) {
      if (ErrorCode e = RemoveFolder(fs, folder)) fail(e);
    }
    return result;
  }
};

}  // namespace

bool PathExists(FileSystem& fs, std::wstring_view path, FindData* found) {
  if (path.empty() || HasWildCards(path)) return false;
  std::wstring p(path);
  if (path::IsRoot(p)) {
    // FindFirstFile cannot describe a root; its attributes tell whether it is there.
    uint32_t attributes = 0;
    if (fs.GetAttributes(p, attributes) != err::Success || !(attributes & attr::Directory)) {
      return false;
    }
    if (found) {
      *found = FindData();
      found->attributes = attr::Directory;
    }
    return true;
  }
  path::RemoveBackslash(p);
  if (!found) {
    // Existence alone is one attribute query, far cheaper than a listing of the parent folder.
    uint32_t attributes = 0;
    return fs.GetAttributes(p, attributes) == err::Success;
  }
  bool exists = false;
  fs.FindFiles(p, [&](const FindData& entry) {
    exists = true;
    if (found) *found = entry;
    return false;
  });
  return exists;
}

bool IsDirectory(FileSystem& fs, std::wstring_view path) {
  if (path.empty() || HasWildCards(path)) return false;
  std::wstring p(path);
  if (!path::IsRoot(p)) path::RemoveBackslash(p);
  uint32_t attributes = 0;
  return fs.GetAttributes(p, attributes) == err::Success && (attributes & attr::Directory);
}

bool IsRealSubfolder(const FindData& entry, bool& isLink) {
  isLink = false;
  if (!entry.IsDirectory() || entry.name == L"." || entry.name == L"..") return false;
  isLink = entry.IsReparsePoint();
  return true;
}

bool IsSourceNewer(const FindData& source, const FindData& target) {
  return source.lastWriteTime > target.lastWriteTime &&
         source.lastWriteTime - target.lastWriteTime > kSourceNewerMargin;
}

ErrorCode CreateDirectoryTree(FileSystem& fs, std::wstring_view path) {
  if (path.empty()) return err::InvalidParameter;
  FindData existing;
  if (PathExists(fs, path, &existing)) {
    return existing.IsDirectory() ? err::Success : err::AlreadyExists;
  }
  if (path == L"\\") return err::Success;

  std::wstring p(path);
  if (path::IsDriveSpec(p)) p.push_back(L'\\');
  if (p.size() == 3 && path::IsDriveSpec(std::wstring_view(p).substr(0, 2))) {
    switch (fs.GetDriveType(p)) {
      case drive::NoRootDir: return err::PathNotFound;
      case drive::Unknown: return err::InvalidDrive;
      default: return err::Success;
    }
  }

  // The part that is never created: "X:", "\" or "\\server\share".
  std::wstring current = p;
  if (!path::StripToRoot(current)) current.clear();
  path::RemoveBackslash(current);
  const bool isUnc = p.size() >= 2 && p[0] == L'\\' && p[1] == L'\\';

  std::vector<std::wstring_view> components;
  std::wstring_view rest = std::wstring_view(p).substr(current.size());
  while (!rest.empty()) {
    const size_t cut = rest.find(L'\\');
    std::wstring_view component = rest.substr(0, cut);
    if (!component.empty()) components.push_back(component);
    if (cut == std::wstring_view::npos) break;
    rest.remove_prefix(cut + 1);
  }
  if (components.empty()) {
    // A UNC server or share that is not there.
    uint32_t attributes = 0;
    ErrorCode e = fs.GetAttributes(current, attributes);
    return isUnc ? (e != err::Success ? e : err::PathNotFound) : err::Success;
  }

  for (size_t i = 0; i < components.size(); ++i) {
    if (!path::Append(current, components[i], kLongPathCapacity)) return err::FilenameExcedRange;
    const bool last = i + 1 == components.size();
    uint32_t attributes = 0;
    if (fs.GetAttributes(current, attributes) == err::Success) {
      if (attributes & attr::Directory) continue;
      // A file stands where a folder is wanted.
      return last ? err::AlreadyExists : err::PathNotFound;
    }
    ErrorCode e = fs.CreateFolder(current);
    if (e == err::AlreadyExists && fs.GetAttributes(current, attributes) == err::Success &&
        (attributes & attr::Directory)) {
      continue;  // made by someone else meanwhile
    }
    if (e != err::Success) return e;
  }
  return err::Success;
}

ErrorCode ClearReadOnly(FileSystem& fs, std::wstring_view path) {
  if (path.empty()) return err::InvalidParameter;
  uint32_t attributes = 0;
  if (ErrorCode e = fs.GetAttributes(path, attributes)) return e;
  if (!(attributes & attr::ReadOnly)) return err::Success;
  uint32_t cleared = attributes & ~attr::ReadOnly;
  if (cleared == 0) cleared = attr::Normal;
  return fs.SetAttributes(path, cleared);
}

ErrorCode DeleteOneFile(FileSystem& fs, std::wstring_view path) {
  if (path.empty()) return err::InvalidParameter;
  const std::wstring p = LongPathForm(path);
  ErrorCode e = fs.DeleteFile(p);
  if (e == err::AccessDenied) {
    // A failure here shows in the second attempt.
    (void)ClearReadOnly(fs, p);
    e = fs.DeleteFile(p);
  }
  return e == err::FileNotFound ? err::Success : e;
}

ErrorCode RemoveFolder(FileSystem& fs, std::wstring_view path) {
  if (path.empty()) return err::InvalidParameter;
  ErrorCode e = fs.RemoveFolder(path);
  if (e == err::AccessDenied) {
    (void)ClearReadOnly(fs, path);
    e = fs.RemoveFolder(path);
  }
  return (e == err::FileNotFound || e == err::PathNotFound) ? err::Success : e;
}

ErrorCode CopyOneFile(FileSystem& fs, std::wstring_view source, std::wstring_view target,
                      bool onlyIfNewer, CopyProgressRoutine routine, void* userData,
                      CancelToken cancel, uint32_t copyFlags) {
  if (source.empty() || target.empty()) return err::InvalidParameter;
  FindData sourceData;
  const bool sourceExists = PathExists(fs, source, &sourceData);
  if (onlyIfNewer && !sourceExists) return err::FileNotFound;
  FindData targetData;
  if (PathExists(fs, target, &targetData)) {
    // A folder of that name is no copy of the file, whatever its time says.
    if (targetData.IsDirectory()) return err::AccessDenied;
    if (onlyIfNewer && !IsSourceNewer(sourceData, targetData)) return err::Success;
    if (ErrorCode e = ClearReadOnly(fs, target)) return e;
  }
  return fs.CopyFile(source, target, routine, userData, cancel,
                     copyFlags & ~copyflags::FailIfExists);
}

void ResetProgress(TreeOperationProgress& progress) { progress = TreeOperationProgress(); }

ErrorCode CountTree(FileSystem& fs, const PatternSet& patterns, std::wstring_view folder,
                    CancelToken cancel, TreeOperationProgress& progress) {
  if (folder.empty()) return err::InvalidParameter;
  CountWalk walk{fs, patterns, cancel, progress};
  return walk.Folder(std::wstring(folder));
}

ErrorCode CopyTree(FileSystem& fs, System& system, std::wstring_view source,
                   const PatternSet& patterns, std::wstring_view target, bool onlyIfNewer,
                   CancelToken cancel, TreeProgressCallback callback,
                   TreeOperationProgress* progress, CopyProgressRoutine routine, void* userData) {
  return CopyTree(fs, system, source, patterns, target,
                  {.onlyIfNewer = onlyIfNewer,
                   .cancel = cancel,
                   .onFile = callback,
                   .progress = progress,
                   .copyRoutine = routine,
                   .copyUserData = userData});
}

ErrorCode CopyTree(FileSystem& fs, System& system, std::wstring_view source,
                   const PatternSet& patterns, std::wstring_view target,
                   const CopyTreeOptions& options) {
  if (source.empty() || target.empty()) return err::InvalidParameter;
  // A target inside the source would be walked as part of the source, copy after copy.
  std::wstring from(source), to(target);
  path::RemoveBackslash(from);
  path::RemoveBackslash(to);
  if (path::CommonPrefix(to, from) >= from.size()) return err::InvalidParameter;
  const uint32_t flags = system.IsVistaOrLater() ? copyflags::NoBuffering : 0;
  CopyWalk walk{fs, patterns, options, flags};
  walk.Folder(from, to, CopyWalk::TargetFolder::Unknown);
  return walk.lastResult;
}

ErrorCode DeleteTree(FileSystem& fs, const PatternSet& patterns, std::wstring_view folder,
                     CancelToken cancel, TreeProgressCallback callback,
                     TreeOperationProgress* progress, bool removeFolders) {
  return DeleteTree(
      fs, patterns, folder,
      {.cancel = cancel, .onFile = callback, .progress = progress, .removeFolders = removeFolders});
}

ErrorCode DeleteTree(FileSystem& fs, const PatternSet& patterns, std::wstring_view folder,
                     const DeleteTreeOptions& options) {
  if (folder.empty()) return err::InvalidParameter;
  DeleteWalk walk{fs, patterns, options};
  return walk.Folder(std::wstring(folder));
}

std::wstring FormatSize(uint64_t bytes) {
  static constexpr struct {
    uint64_t size;
    const wchar_t* unit;
  } kUnits[] = {{1ull << 40, L"TB"}, {1ull << 30, L"GB"}, {1ull << 20, L"MB"}, {1ull << 10, L"KB"}};
  double value = static_cast<double>(bytes);
  const wchar_t* unit = L"B";
  for (const auto& u : kUnits) {
    if (bytes > u.size) {
      value = static_cast<double>(bytes) / static_cast<double>(u.size);
      unit = u.unit;
      break;
    }
  }
  wchar_t number[64];
  std::swprintf(number, sizeof number / sizeof number[0], L"%.1f", value);
  std::wstring text(number);
  text.push_back(L' ');
  text.append(unit);
  return text;
}

bool RebaseWithin(std::wstring& place, std::wstring_view from, std::wstring_view to) {
  if (!path::IsWithin(place, from)) return true;
  std::wstring rebased(to);
  const std::wstring_view rest = std::wstring_view(place).substr(from.size());
  if (!rest.empty() && !path::Append(rebased, rest, kLongPathCapacity)) return false;
  place = std::move(rebased);
  return true;
}

ErrorCode RebasePath(std::wstring_view path, std::wstring_view oldRoot, std::wstring_view newRoot,
                     std::wstring& out) {
  if (path.empty() || oldRoot.empty() || newRoot.empty()) return err::InvalidParameter;
  std::wstring root(oldRoot);
  path::RemoveBackslash(root);
  const size_t common = path::CommonPrefix(path, root);
  if (common < root.size()) return err::FileNotFound;
  std::wstring result(newRoot);
  const std::wstring_view rest = path.substr(common);
  if (!rest.empty() && !path::Append(result, rest, kTreePathCapacity)) return err::InternalError;
  if (result.size() >= kPathCapacity) return err::MoreData;
  out = std::move(result);
  return err::Success;
}

}  // namespace tessaly
