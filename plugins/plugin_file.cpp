// CPluginFile: directory entry, machine type, version resource and name texts of one file.
#include "plugins/plugin_file.h"

#include <algorithm>
#include <new>
#include <vector>

#include "platform/file_version.h"
#include "platform/pe_image.h"
#include "platform/text.h"

namespace tessaly {

namespace {
// ERROR_FILE_INVALID: what mapping an empty file gives.
constexpr ErrorCode kFileInvalid = 1006;

std::wstring VersionText(uint64_t version) {
  return FormatText(L"%u.%u.%u.%u", unsigned(version >> 48), unsigned((version >> 32) & 0xFFFF),
                    unsigned((version >> 16) & 0xFFFF), unsigned(version & 0xFFFF));
}
}  // namespace

ErrorCode ListBundle(FileSystem& fs, const std::wstring& bundle, std::vector<BundleMember>& out) {
  out.clear();
  ErrorCode result = err::Success;
  // Folders still to list, by their path below the bundle ("" for the bundle itself).
  std::vector<std::wstring> pending{std::wstring()};
  while (!pending.empty()) {
    const std::wstring relative = std::move(pending.back());
    pending.pop_back();
    const std::wstring folder = relative.empty() ? bundle : bundle + L"\\" + relative;
    const ErrorCode listed = fs.FindFiles(folder + L"\\*", [&](const FindData& entry) {
      if (entry.name == L"." || entry.name == L"..") return true;
      std::wstring path = relative.empty() ? entry.name : relative + L"\\" + entry.name;
      if (entry.IsDirectory()) {
        if (entry.attributes & attr::ReparsePoint) {
          out.push_back({std::move(path), 0, true});
        } else {
          pending.push_back(std::move(path));
        }
      } else {
        out.push_back({std::move(path), entry.size, false});
      }
      return true;
    });
    if (listed != err::Success && listed != err::FileNotFound) result = listed;
  }
  std::sort(out.begin(), out.end(), [](const BundleMember& a, const BundleMember& b) {
    return CompareNoCase(a.relativePath, b.relativePath) < 0;
  });
  return result;
}

uint64_t BundleSize(const std::vector<BundleMember>& members) {
  uint64_t size = 0;
  for (const BundleMember& member : members) size += member.size;
  return size;
}

const wchar_t* MachineTypeLabel(uint16_t machine) {
  switch (machine) {
    case pe::kMachineI386: return L"32-bit";
    case pe::kMachineArmNt: return L"ARM";
    case pe::kMachineIa64: return L"Itanium";
    case pe::kMachineAmd64: return L"64-bit";
    case pe::kMachineArm64: return L"ARM64";
    case kMachineArm64Ec: return L"ARM64EC";
    case kMachineArm64X: return L"ARM64X";
    default: return L"?";
  }
}

CPluginFile::CPluginFile(FileSystem& fs, System& system, std::wstring_view path)
    : fs_(&fs), system_(&system) {
  (void)Lookup(path);  // a file that is not found is an object that says so (IsFound)
}

void CPluginFile::Reset() {
  found_ = false;
  versionLoaded_ = false;
  bundle_ = false;
  versionRecorded_ = false;
  id_ = 0;
  contentClass_ = 0;
  folderMachine_ = 0;
  recordedMachine_.reset();
  recordedVersion_.reset();
  bundleMembers_.clear();
  path_.clear();
  contentPath_.clear();
  version_.Clear();
  entry_ = FindData{};
}

ErrorCode CPluginFile::Lookup(std::wstring_view path) {
  if (path.empty()) return err::InvalidParameter;
  // A pattern would capture the entry of some other file under a path that names none.
  if (path.find_first_of(L"*?") != std::wstring_view::npos) return err::InvalidName;
  FindData found;
  bool any = false;
  ErrorCode rc;
  {
    const auto redirection = system_->DisableFileRedirection();
    rc = fs_->FindFiles(path, [&](const FindData& entry) {
      found = entry;
      any = true;
      return false;
    });
  }
  if (rc != 0) return rc;
  if (!any) return err::FileNotFound;
  entry_ = std::move(found);
  path_ = std::wstring(path);
  contentPath_ = path_;
  found_ = true;
  return 0;
}

ErrorCode CPluginFile::Assign(std::wstring_view path, const FindData* entry) {
  Reset();
  if (path.empty() || entry == nullptr) return err::InvalidParameter;
  path_ = std::wstring(path);
  contentPath_ = path_;
  entry_ = *entry;
  found_ = true;
  return 0;
}

ErrorCode CPluginFile::AssignBundle(std::wstring_view bundlePath, const FindData* bundleEntry,
                                    std::wstring_view binaryPath, const FindData* binaryEntry,
                                    uint16_t folderMachine, std::vector<BundleMember> members) {
  Reset();
  if (bundlePath.empty() || bundleEntry == nullptr) return err::InvalidParameter;
  path_ = std::wstring(bundlePath);
  entry_ = *bundleEntry;
  entry_.size = 0;
  if (binaryEntry != nullptr && !binaryPath.empty()) {
    contentPath_ = std::wstring(binaryPath);
    entry_.size = binaryEntry->size;
    entry_.lastWriteTime = binaryEntry->lastWriteTime;
    folderMachine_ = folderMachine;
  }
  bundle_ = true;
  found_ = true;
  if (!members.empty()) SetBundleMembers(std::move(members));
  return 0;
}

void CPluginFile::SetBundleMembers(std::vector<BundleMember> members) {
  bundleMembers_ = std::move(members);
  entry_.size = BundleSize(bundleMembers_);
}

void CPluginFile::RecordMachine() {
  uint16_t machine = 0;
  const ErrorCode read = GetMachineType(machine);
  RecordMachine(read, machine);
}

void CPluginFile::RecordMachineRedirectionOff(std::vector<uint8_t>& buffer) {
  uint16_t machine = 0;
  const ErrorCode read = ReadMachineType(machine, buffer);
  RecordMachine(read, machine);
}

void CPluginFile::RecordMachine(ErrorCode read, uint16_t machine) {
  if (read != 0) {
    machine = 0;
  } else if (folderMachine_ != 0) {
    // An ARM64EC binary's header says AMD64: the bundle's folder names what it is.
    machine = folderMachine_;
  }
  recordedMachine_ = machine;
}

void CPluginFile::RecordVersion() {
  if (versionRecorded_) return;
  uint64_t version = 0;
  if (GetFileVersion(version) == 0) {
    recordedVersion_ = version;
  } else {
    recordedVersion_.reset();
  }
  versionRecorded_ = true;
  // The resource is no longer needed: the recorded number answers from now on.
  version_.Clear();
  versionLoaded_ = false;
}

std::wstring CPluginFile::RecordedVersionText() const {
  return recordedVersion_ ? VersionText(*recordedVersion_) : std::wstring();
}

ErrorCode CPluginFile::GetMachineType(uint16_t& machine) {
  std::vector<uint8_t> bytes;
  const auto redirection = system_->DisableFileRedirection();
  return ReadMachineType(machine, bytes);
}

ErrorCode CPluginFile::ReadMachineType(uint16_t& machine, std::vector<uint8_t>& bytes) {
  machine = 0;
  if (!found_) return err::NotReady;
  if (contentPath_.empty()) return err::FileNotFound;  // a bundle without its binary
  // Only the bytes the captured size promises, and never more than the first 1024; an entry
  // that claims no bytes still lets the first 1024 be examined.
  const size_t wanted = (entry_.size == 0 || entry_.size > kHeaderBytes)
                            ? kHeaderBytes
                            : static_cast<size_t>(entry_.size);
  if (const ErrorCode rc = fs_->ReadFile(contentPath_, 0, wanted, bytes)) return rc;
  if (bytes.empty()) return kFileInvalid;
  const auto found = ReadMachine(bytes.data(), bytes.size());
  if (!found) return err::BadFormat;
  switch (*found) {
    case pe::kMachineI386:
    case pe::kMachineArmNt:
    case pe::kMachineIa64:
    case pe::kMachineAmd64:
    case pe::kMachineArm64:
    case kMachineArm64Ec:
    case kMachineArm64X: machine = *found; break;
    default: break;
  }
  return 0;
}

ErrorCode CPluginFile::LoadVersionInfo() {
  if (!found_) return err::NotReady;
  version_.Clear();
  versionLoaded_ = false;
  if (contentPath_.empty()) return err::FileNotFound;  // a bundle without its binary
  ErrorCode rc;
  {
    const auto redirection = system_->DisableFileRedirection();
    rc = ReadVersionResource(*fs_, contentPath_, version_);
  }
  if (rc != 0) {
    version_.Clear();
    return rc;
  }
  versionLoaded_ = true;
  return 0;
}

ErrorCode CPluginFile::QueryVersionString(std::wstring_view name, std::wstring& out,
                                          uint32_t& length) {
  length = 0;
  out.clear();
  if (name.empty()) return err::InvalidParameter;
  if (!versionLoaded_) {
    if (const ErrorCode rc = LoadVersionInfo()) return rc;
  }
  try {
    std::vector<VersionTranslation> translations;
    if (const ErrorCode rc = version_.QueryTranslations(translations)) return rc;
    if (translations.empty()) return err::UnidentifiedError;
    const std::wstring subBlock = VersionResource::StringPath(translations.front(), name);
    VersionValue value;
    if (const ErrorCode rc = version_.QueryValue(subBlock, value)) return rc;
    if (value.length > kTextCapacity) {
      length = value.length;
      return err::MoreData;
    }
    std::wstring text;
    if (const ErrorCode rc = version_.QueryString(subBlock, text)) return rc;
    length = value.length;
    out = std::move(text);
  } catch (const std::bad_alloc&) {
    out.clear();
    length = 0;
    return err::NotEnoughMemoryVersion;
  }
  return 0;
}

std::wstring CPluginFile::GetVersionString(std::wstring_view name) {
  std::wstring text;
  uint32_t length = 0;
  if (QueryVersionString(name, text, length) != 0) return {};
  return text;
}

ErrorCode CPluginFile::GetFileVersion(uint64_t& version) {
  version = 0;
  if (!versionLoaded_) {
    if (const ErrorCode rc = LoadVersionInfo()) return rc;
  }
  FixedFileInfo fixed;
  if (const ErrorCode rc = version_.QueryFixedInfo(fixed)) return rc;
  version = fixed.FileVersion();
  return 0;
}

std::wstring CPluginFile::GetFileVersionText() {
  uint64_t version = 0;
  if (GetFileVersion(version) != 0) return {};
  return VersionText(version);
}

ErrorCode CPluginFile::GetFileName(std::wstring& out, uint32_t& length) const {
  out.clear();
  length = 0;
  std::wstring name;
  if (found_) {
    name = entry_.name;
  } else if (!path_.empty()) {
    name = path_.substr(path::FindFileName(path_));
  } else {
    return err::NotReady;
  }
  if (name.size() + 1 > kTextCapacity) return err::MoreData;
  length = static_cast<uint32_t>(name.size() + 1);
  out = std::move(name);
  return 0;
}

std::wstring CPluginFile::GetKey() const {
  std::wstring name;
  uint32_t length = 0;
  if (GetFileName(name, length) != 0) return {};
  for (wchar_t& c : name) c = FoldCase(c);
  return name;
}

std::wstring CPluginFile::GetFolder() const {
  std::wstring folder = path_;
  if (!folder.empty()) path::RemoveFileSpec(folder);
  return folder;
}

std::wstring CPluginFile::GetDateText() const {
  if (!found_) return {};
  return system_->FormatDate(entry_.lastWriteTime);
}

}  // namespace tessaly
