// The duplicate finder's search: a recursive "*.dll" walk (with VST3 and CLAP plugins when
// asked) that sorts files by machine type into two CPluginMap objects, cut off at folder links
// that lead back and at paths that do not fit; and the comparison of same-named copies.
#include "plugins/dupe_search.h"

#include <map>
#include <string_view>
#include <vector>

#include "platform/file_ops.h"
#include "platform/pe_image.h"
#include "platform/text.h"
#include "plugins/plugin_file.h"

namespace tessaly {

namespace {

constexpr std::wstring_view kPluginExtension = L".dll";
constexpr std::wstring_view kVst3Extension = L".vst3";
constexpr std::wstring_view kClapExtension = L".clap";

// True when `inner` is `outer` or lies inside it (paths compared without regard to case).
bool IsSameOrBelow(std::wstring_view inner, std::wstring_view outer) {
  if (outer.empty() || !StartsWithNoCase(inner, outer)) return false;
  return inner.size() == outer.size() || outer.back() == L'\\' || inner[outer.size()] == L'\\';
}

std::wstring Child(const std::wstring& folder, std::wstring_view name) {
  std::wstring child = folder;
  if (child.empty() || child.back() != L'\\') child += L'\\';
  child += name;
  return child;
}

class DupeSearch {
 public:
  DupeSearch(FileSystem& fs, System& system, uint16_t expectedMachine, bool modernFormats,
             CPluginMap& expected, CPluginMap& unexpected, DupeSearchObserver& observer,
             const CancelFlag& stop)
      : fs_(fs),
        system_(system),
        expectedMachine_(expectedMachine),
        modernFormats_(modernFormats),
        expected_(expected),
        unexpected_(unexpected),
        observer_(observer),
        stop_(stop) {}

  // One folder of the list with everything below it. False when told to stop.
  bool SearchTop(const std::wstring& folder) {
    // Where the folder really is, so that links below it can be seen to lead back to it.
    std::wstring finalPath;
    if (fs_.GetFinalPath(folder, finalPath) != 0) finalPath = folder;
    chain_.assign(1, finalPath);
    return SearchFolder(folder);
  }

 private:
  bool StopAsked() const { return StopRequested(stop_); }

  bool IsPluginFileName(std::wstring_view name) const {
    const std::wstring_view extension = path::Extension(name);
    if (EqualsNoCase(extension, kPluginExtension)) return true;
    return modernFormats_ &&
           (EqualsNoCase(extension, kVst3Extension) || EqualsNoCase(extension, kClapExtension));
  }
  bool IsBundleName(std::wstring_view name) const {
    return modernFormats_ && EqualsNoCase(path::Extension(name), kVst3Extension);
  }

  // Files the expected machine into the expected map and everything else (an unreadable header
  // included) into the unexpected one, keeping the machine with the file.
  void Sort(CPluginFile& file) {
    // RunDupeSearch keeps redirection off for the whole walk.
    file.RecordMachineRedirectionOff(header_);
    if (file.RecordedMachine() == expectedMachine_) {
      expected_.Add(file);
    } else {
      unexpected_.Add(file);
    }
  }

  // The binary of the bundle at `bundle` (named `name`): Contents\<platform>\<name>, else the
  // first "*.vst3" file there; the expected platform's folder first, then the other x86 one, then
  // the ARM64 folders. `folderMachine` is the machine an ARM64 folder names, 0 for the x86 ones.
  bool FindBundleBinary(const std::wstring& bundle, std::wstring_view name, std::wstring& binary,
                        FindData& binaryEntry, uint16_t& folderMachine) {
    const bool want64 = expectedMachine_ == kExpectedMachine64;
    const struct {
      const wchar_t* folder;
      uint16_t machine;
    } folders[] = {
        {want64 ? kBundleBinaryFolder64 : kBundleBinaryFolder32, 0},
        {want64 ? kBundleBinaryFolder32 : kBundleBinaryFolder64, 0},
        {kBundleBinaryFolderArm64X, kMachineArm64X},
        {kBundleBinaryFolderArm64, pe::kMachineArm64},
        {kBundleBinaryFolderArm64Ec, kMachineArm64Ec},
    };
    folderMachine = 0;
    for (const auto& platform : folders) {
      std::wstring folder = bundle;
      if (!path::Append(folder, L"Contents", kSearchPathCapacity) ||
          !path::Append(folder, platform.folder, kSearchPathCapacity)) {
        return false;
      }
      folderMachine = platform.machine;
      std::wstring candidate = folder;
      if (path::Append(candidate, name, kSearchPathCapacity) &&
          PathExists(fs_, candidate, &binaryEntry) && !binaryEntry.IsDirectory()) {
        binary = std::move(candidate);
        return true;
      }
      std::wstring pattern = folder;
      if (!path::Append(pattern, L"*", kSearchPathCapacity)) continue;
      bool found = false;
      fs_.FindFiles(pattern, [&](const FindData& entry) {
        if (entry.IsDirectory() || !EqualsNoCase(path::Extension(entry.name), kVst3Extension)) {
          return true;
        }
        std::wstring path = folder;
        if (!path::Append(path, entry.name, kSearchPathCapacity)) return true;
        binary = std::move(path);
        binaryEntry = entry;
        found = true;
        return false;
      });
      if (found) return true;
    }
    folderMachine = 0;
    binary.clear();
    return false;
  }

  // The files of `folder`, then its subfolders. False when told to stop.
  bool SearchFolder(const std::wstring& folder) {
    // One listing serves both passes: the files named *.dll in the order the system lists them,
    // then the subfolders in that order. A second listing for the subfolders alone costs about
    // as much as the first, and the file names are checked here anyway (a "*.dll" listing also
    // matches generated short names: it finds "e.dllx" through E~1.DLL).
    std::wstring everything = folder;
    if (!path::Append(everything, L"*", kSearchPathCapacity)) return true;
    std::vector<FindData> subfolders;
    std::vector<FindData> bundles;  // folders named *.vst3 when those are looked for
    bool stopped = false;
    CPluginFile file(fs_, system_);
    fs_.FindFiles(everything, [&](const FindData& entry) {
      if (entry.IsDirectory()) {
        bool isLink = false;
        if (IsRealSubfolder(entry, isLink)) {
          (IsBundleName(entry.name) ? bundles : subfolders).push_back(entry);
        }
        return true;
      }
      if (!IsPluginFileName(entry.name)) return true;
      std::wstring path = folder;
      if (!path::Append(path, entry.name, kSearchPathCapacity)) return true;
      if (file.Assign(path, &entry) != 0) return true;
      Sort(file);
      observer_.OnFile(path);
      stopped = StopAsked();
      return !stopped;
    });
    if (stopped) return false;

    // Bundles after the files of the folder: their binaries are looked up outside the listing.
    for (const FindData& entry : bundles) {
      std::wstring path = folder;
      if (!path::Append(path, entry.name, kSearchPathCapacity)) continue;
      std::wstring binary;
      FindData binaryEntry;
      uint16_t folderMachine = 0;
      const bool hasBinary = FindBundleBinary(path, entry.name, binary, binaryEntry, folderMachine);
      // A bundle with a folder that cannot be listed is not known whole: it keeps its binary's
      // size, and the comparison passes it over.
      std::vector<BundleMember> members;
      if (ListBundle(fs_, path, members) != err::Success) members.clear();
      if (file.AssignBundle(path, &entry, binary, hasBinary ? &binaryEntry : nullptr, folderMachine,
                            std::move(members)) != 0)
        continue;
      Sort(file);
      observer_.OnFile(path);
      if (StopAsked()) return false;
    }

    for (const FindData& entry : subfolders) {
      bool isLink = false;
      IsRealSubfolder(entry, isLink);
      std::wstring subfolder = folder;
      if (path::Append(subfolder, entry.name, kSearchPathCapacity)) {
        std::wstring finalPath = Child(chain_.back(), entry.name);
        bool leadsBack = false;
        if (isLink) {
          std::wstring target;
          if (fs_.GetFinalPath(subfolder, target) == 0) {
            for (const std::wstring& above : chain_) {
              if (IsSameOrBelow(above, target)) leadsBack = true;
            }
            finalPath = std::move(target);
          }
        }
        if (!leadsBack) {
          chain_.push_back(std::move(finalPath));
          const bool goOn = SearchFolder(subfolder);
          chain_.pop_back();
          if (!goOn) return false;
        }
      }
      if (StopAsked()) return false;
    }
    return true;
  }

  FileSystem& fs_;
  System& system_;
  const uint16_t expectedMachine_;
  const bool modernFormats_;
  CPluginMap& expected_;
  CPluginMap& unexpected_;
  DupeSearchObserver& observer_;
  const CancelFlag& stop_;
  // Final paths of the folders from the listed folder down to the one being searched.
  std::vector<std::wstring> chain_;
  // The header of the file being sorted, read into the same buffer each time.
  std::vector<uint8_t> header_;
};

// FNV-1a over 64 bits: cheap, and only a first sieve (equal hashes are compared byte by byte).
constexpr uint64_t kHashBasis = 0xcbf29ce484222325ull;
constexpr uint64_t kHashPrime = 0x100000001b3ull;
constexpr size_t kCompareChunk = 256 * 1024;

void HashBytes(uint64_t& hash, const uint8_t* bytes, size_t size) {
  for (size_t i = 0; i < size; ++i) hash = (hash ^ bytes[i]) * kHashPrime;
}

// One file read to compare a copy: its path and size.
struct ContentFile {
  std::wstring path;
  uint64_t size;
};

// What is read of a copy: a file itself; every file of a bundle, in the order of their relative
// paths (a folder link inside it has nothing to read: its name is compared).
std::vector<ContentFile> ContentFiles(const CPluginFile& file) {
  if (!file.IsBundle()) return {{file.ContentPath(), file.GetSize()}};
  std::vector<ContentFile> files;
  for (const BundleMember& member : file.BundleMembers())
    if (!member.link) files.push_back({file.GetPath() + L"\\" + member.relativePath, member.size});
  return files;
}

// Whether two bundles hold the same relative paths with the same sizes.
bool SameLayout(const CPluginFile& a, const CPluginFile& b) {
  const std::vector<BundleMember>& ma = a.BundleMembers();
  const std::vector<BundleMember>& mb = b.BundleMembers();
  if (ma.size() != mb.size()) return false;
  for (size_t i = 0; i < ma.size(); ++i) {
    if (ma[i].size != mb[i].size || ma[i].link != mb[i].link ||
        !EqualsNoCase(ma[i].relativePath, mb[i].relativePath))
      return false;
  }
  return true;
}

// The hash of a copy's contents (a bundle's relative paths too); nullopt when a file cannot be
// read whole or the stop test says stop.
std::optional<uint64_t> HashContent(FileSystem& fs, const CPluginFile& file,
                                    const std::function<bool()>& stopAsked) {
  uint64_t hash = kHashBasis;
  for (const BundleMember& member : file.BundleMembers()) {
    for (const wchar_t c : member.relativePath) {
      const uint16_t unit = uint16_t(FoldCase(c));
      const uint8_t bytes[2] = {uint8_t(unit), uint8_t(unit >> 8)};
      HashBytes(hash, bytes, 2);
    }
  }
  std::vector<uint8_t> chunk;
  for (const ContentFile& content : ContentFiles(file)) {
    for (uint64_t offset = 0; offset < content.size; offset += chunk.size()) {
      if (stopAsked()) return std::nullopt;
      if (fs.ReadFile(content.path, offset, kCompareChunk, chunk) != 0 || chunk.empty())
        return std::nullopt;
      HashBytes(hash, chunk.data(), chunk.size());
    }
  }
  return hash;
}

enum class Same { kYes, kNo, kStopped };

Same SameContent(FileSystem& fs, const CPluginFile& a, const CPluginFile& b,
                 const std::function<bool()>& stopAsked) {
  if (a.IsBundle() && !SameLayout(a, b)) return Same::kNo;
  const std::vector<ContentFile> filesA = ContentFiles(a), filesB = ContentFiles(b);
  if (filesA.size() != filesB.size()) return Same::kNo;
  std::vector<uint8_t> chunkA, chunkB;
  for (size_t i = 0; i < filesA.size(); ++i) {
    if (filesA[i].size != filesB[i].size) return Same::kNo;
    for (uint64_t offset = 0; offset < filesA[i].size; offset += chunkA.size()) {
      if (stopAsked()) return Same::kStopped;
      if (fs.ReadFile(filesA[i].path, offset, kCompareChunk, chunkA) != 0 ||
          fs.ReadFile(filesB[i].path, offset, kCompareChunk, chunkB) != 0 || chunkA.empty() ||
          chunkA != chunkB) {
        return Same::kNo;
      }
    }
  }
  return Same::kYes;
}

// A copy that can be compared: a file with content, or a bundle known whole.
bool IsComparable(const CPluginFile& file) {
  if (file.GetSize() == 0) return false;
  return file.IsBundle() ? !file.BundleMembers().empty() : !file.ContentPath().empty();
}

}  // namespace

std::optional<uint32_t> MarkIdenticalCopies(FileSystem& fs, CPluginMap& map, const CancelFlag& stop,
                                            uint32_t firstClass) {
  const std::function<bool()> stopAsked = [&stop] { return StopRequested(stop); };
  uint32_t nextClass = firstClass;
  for (auto& [key, list] : map.GetGroups()) {
    std::vector<CPluginFile*> files;
    for (const CPluginList::Member& member : list.Members()) {
      CPluginFile* file = list.FindById(member.id);
      file->SetContentClass(0);
      if (list.Count() >= 2 && IsComparable(*file)) files.push_back(file);
    }
    // Only copies of one kind (file or bundle) and of equal size can be the same: the others are
    // never read.
    std::map<std::pair<bool, uint64_t>, std::vector<CPluginFile*>> bySize;
    for (CPluginFile* file : files) bySize[{file->IsBundle(), file->GetSize()}].push_back(file);
    for (auto& [kindAndSize, sameSize] : bySize) {
      if (sameSize.size() < 2) continue;
      // The first copy of each content found, with its hash and the class it will give.
      struct Kind {
        CPluginFile* first;
        uint64_t hash;
        uint32_t contentClass;
      };
      std::vector<Kind> kinds;
      for (CPluginFile* file : sameSize) {
        const auto hash = HashContent(fs, *file, stopAsked);
        if (!hash) {
          if (stopAsked()) return std::nullopt;
          continue;  // unreadable: the same as nothing
        }
        bool matched = false;
        for (Kind& kind : kinds) {
          if (kind.hash != *hash) continue;
          const Same same = SameContent(fs, *kind.first, *file, stopAsked);
          if (same == Same::kStopped) return std::nullopt;
          if (same == Same::kNo) continue;
          if (kind.contentClass == 0) {
            kind.contentClass = nextClass++;
            kind.first->SetContentClass(kind.contentClass);
          }
          file->SetContentClass(kind.contentClass);
          matched = true;
          break;
        }
        if (!matched) kinds.push_back({file, *hash, 0});
      }
    }
  }
  return nextClass;
}

DupeSearchResult RunDupeSearch(FileSystem& fs, System& system,
                               const std::vector<std::wstring>& folders, int selectedPlatform,
                               CPluginMap& expected, CPluginMap& unexpected,
                               DupeSearchObserver& observer, const CancelFlag& stop,
                               const DupeSearchOptions& options) {
  bool started = false, ended = false;
  try {
    // Plugin folders under the system folder must show their 64-bit files to a 32-bit program.
    const auto redirection = system.DisableFileRedirection();
    const uint16_t machine = selectedPlatform == 1 ? kExpectedMachine64 : kExpectedMachine32;
    const wchar_t* platformWord = L"32-bit";
    started = true;
    observer.OnSearchState(true);

    DupeSearch search(fs, system, machine, options.modernFormats, expected, unexpected, observer,
                      stop);
    for (const std::wstring& folder : folders) {
      if (selectedPlatform != 0) platformWord = L"64-bit";
      observer.OnStatus(
          FormatText(L"Searching for %s files in %s...", platformWord, folder.c_str()));
      search.SearchTop(folder);
      if (StopRequested(stop)) return {false, err::Success};
    }

    if (options.modernFormats) {
      observer.OnStatus(L"Comparing copies of the same name...");
      const auto next = MarkIdenticalCopies(fs, expected, stop);
      if (!next || !MarkIdenticalCopies(fs, unexpected, stop, *next)) return {false, err::Success};
    }

    observer.OnStatus(
        FormatText(L"Completed searching %lu folders.", static_cast<uint32_t>(folders.size())));
    uint32_t singles = 0, withDuplicates = 0, total = 0;
    expected.CountGroups(singles, withDuplicates, total);
    observer.OnFile(
        FormatText(L"Found %lu single files, %lu files with duplicates, and %lu files total.",
                   singles, withDuplicates, total));
    ended = true;
    observer.OnSearchState(false);
    return {true, err::Success};
  } catch (...) {
    // The page must not stay in its searching state.
    if (started && !ended) {
      try {
        observer.OnSearchState(false);
      } catch (...) {
      }
    }
    return {false, err::InternalError};
  }
}

}  // namespace tessaly
