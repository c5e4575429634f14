// CPluginFile: one file met by the duplicate finder, with its directory entry, machine type,
// version resource, name key, folder, date text and size. A VST3 bundle (a folder "Name.vst3"
// with its binary inside) is one such item too: it is named, shown, compared and deleted as the
// whole folder tree (its size is that of all its files), while its machine type, version and date
// are those of the binary.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "platform/system.h"
#include "platform/types.h"
#include "platform/version_resource.h"

namespace tessaly {

// Machines of ARM64 code beside IMAGE_FILE_MACHINE_ARM64 (0xAA64): ARM64EC and ARM64X. An image
// header names them only in object files (an ARM64EC image says AMD64, an ARM64X image ARM64);
// a bundle names them by its folder (Contents\arm64ec-win, Contents\arm64x-win).
inline constexpr uint16_t kMachineArm64Ec = 0xA641;
inline constexpr uint16_t kMachineArm64X = 0xA64E;

// The label of a machine value as GetMachineType reports it: "32-bit", "ARM", "Itanium",
// "64-bit", "ARM64", "ARM64EC", "ARM64X", or "?" for 0 and anything else.
const wchar_t* MachineTypeLabel(uint16_t machine);

// One file of a bundle: its path below the bundle folder and its size. A folder link inside the
// bundle is a member of its own (`link`), never entered.
struct BundleMember {
  std::wstring relativePath;
  uint64_t size = 0;
  bool link = false;
};

// The files of the bundle folder `bundle` with everything below it, walked without recursion and
// without following folder links, in the order of their relative paths (compared without regard
// to case). 0, or the error of listing a folder of the bundle (what was listed stays in `out`).
[[nodiscard]] ErrorCode ListBundle(FileSystem& fs, const std::wstring& bundle,
                                   std::vector<BundleMember>& out);
// The size of all members.
uint64_t BundleSize(const std::vector<BundleMember>& members);

class CPluginFile {
 public:
  // Texts handed out through GetFileName and QueryVersionString hold fewer than this many
  // characters (the caller's buffers of the original interface).
  static constexpr uint32_t kTextCapacity = 260;
  // At most this many bytes of a file are read to find its machine type.
  static constexpr size_t kHeaderBytes = 1024;

  CPluginFile(FileSystem& fs, System& system) : fs_(&fs), system_(&system) {}
  // Looks the path up; a failed lookup leaves the object empty (GetPath still gives nothing).
  CPluginFile(FileSystem& fs, System& system, std::wstring_view path);
  CPluginFile(const CPluginFile&) = default;
  CPluginFile& operator=(const CPluginFile&) = default;
  virtual ~CPluginFile() = default;

  // Captures the directory entry of `path` (redirection off). 87 for an empty path, 123 for a
  // path with wild cards, else the file system's error (2, 3 ...), in which case nothing changes.
  [[nodiscard]] ErrorCode Lookup(std::wstring_view path);
  // Resets the object, then takes `path` and a directory entry the caller already has without
  // touching the file. 87 (object left reset) when the path is empty or `entry` is null.
  [[nodiscard]] ErrorCode Assign(std::wstring_view path, const FindData* entry);
  // Resets the object, then takes a bundle folder and its entry, and the binary inside with its
  // entry; `binaryEntry` null when the bundle holds no binary to read (its machine type and
  // version then fail with 2). The date becomes the binary's; the size that of `members` (the
  // bundle's files, ListBundle), or the binary's when none are given. `folderMachine` is the
  // machine the binary's platform folder names (0 for the x86 folders, whose binaries' headers
  // tell): RecordMachine then records it for a binary with a readable image header. 87 (object
  // left reset) when the bundle path is empty or `bundleEntry` is null.
  [[nodiscard]] ErrorCode AssignBundle(std::wstring_view bundlePath, const FindData* bundleEntry,
                                       std::wstring_view binaryPath, const FindData* binaryEntry,
                                       uint16_t folderMachine = 0,
                                       std::vector<BundleMember> members = {});
  // The bundle's files as last listed, and a new listing (after a delete that left some behind):
  // the size follows it.
  const std::vector<BundleMember>& BundleMembers() const { return bundleMembers_; }
  void SetBundleMembers(std::vector<BundleMember> members);

  // The Machine field of the PE header within the first 1024 bytes (and within the captured
  // size), read anew each time with redirection off. `machine` is 0 on failure and for machines
  // other than i386, ARMNT, IA64 and AMD64. 21 nothing captured; 1006 the file is empty now;
  // 11 no PE header there; the file system's error.
  [[nodiscard]] ErrorCode GetMachineType(uint16_t& machine);

  // Reads the version resource (redirection off) and keeps it. 21 nothing captured; 1812 none
  // in the file; 574 no memory; the file system's error.
  [[nodiscard]] ErrorCode LoadVersionInfo();
  // The string `name` of the first translation, loading the resource first if needed. 87 empty
  // name; LoadVersionInfo's errors; 1813 no translation table or no such string; 1287 an empty
  // table; 234 when the length the value states exceeds 260. `length` is that stated length
  // (characters with the terminator), 0 on failure.
  [[nodiscard]] ErrorCode QueryVersionString(std::wstring_view name, std::wstring& out,
                                             uint32_t& length);
  // The same text, empty on any failure.
  std::wstring GetVersionString(std::wstring_view name);
  // The file version of the fixed information (MS << 32 | LS); 0 on failure. LoadVersionInfo's
  // errors; 1813 no root block; 1287 a fixed block too short.
  [[nodiscard]] ErrorCode GetFileVersion(uint64_t& version);
  // "major.minor.build.revision", empty on failure.
  std::wstring GetFileVersionText();

  // What the search found, kept so that showing and sorting never read the file again.
  // RecordMachine reads the machine type (0 when that fails); RecordVersion reads the file
  // version once (later calls keep the first answer).
  void RecordMachine();
  // The same for a caller that keeps redirection off around it (the search does, for its whole
  // walk) and hands the same buffer from file to file: no scope and no allocation of its own.
  void RecordMachineRedirectionOff(std::vector<uint8_t>& buffer);
  void RecordVersion();
  // The recorded machine (0 when unreadable or not recorded) and the recorded version
  // ("major.minor.build.revision", empty when the file has none or it was not recorded).
  uint16_t RecordedMachine() const { return recordedMachine_.value_or(0); }
  bool IsMachineRecorded() const { return recordedMachine_.has_value(); }
  std::optional<uint64_t> RecordedVersion() const { return recordedVersion_; }
  bool IsVersionRecorded() const { return versionRecorded_; }
  std::wstring RecordedVersionText() const;

  // Copies of one name with the same content share a non-zero content class (0: none found).
  uint32_t ContentClass() const { return contentClass_; }
  void SetContentClass(uint32_t contentClass) { contentClass_ = contentClass; }

  // The file read for machine type, version and content: the path itself, or a bundle's binary
  // (empty when the bundle has none).
  const std::wstring& ContentPath() const { return contentPath_; }
  bool IsBundle() const { return bundle_; }

  // The captured on-disk name, else the last component of the path; `length` counts the
  // terminator. 21 neither; 234 when the length exceeds 260.
  [[nodiscard]] ErrorCode GetFileName(std::wstring& out, uint32_t& length) const;
  // The file name with A-Z lower-cased (no other character changes); empty on failure.
  std::wstring GetKey() const;
  // The path without its last component ("C:\VST" of "C:\VST\Synth.dll", "C:\" of
  // "C:\Synth.dll"); empty for an empty path.
  std::wstring GetFolder() const;
  // The last-write date (its UTC calendar date) in the short date format; empty when nothing is captured or the date
  // cannot be formatted.
  std::wstring GetDateText() const;
  // The captured size; 0 when nothing is captured.
  uint64_t GetSize() const { return found_ ? entry_.size : 0; }
  std::wstring GetPath() const { return path_; }

  bool IsFound() const { return found_; }
  bool IsVersionLoaded() const { return versionLoaded_; }
  const FindData& Entry() const { return entry_; }
  uint32_t Id() const { return id_; }
  void SetId(uint32_t id) { id_ = id; }
  // The platform objects the file was made with; collections act on the file through them.
  FileSystem& Files() const { return *fs_; }
  System& Sys() const { return *system_; }

 private:
  void Reset();
  // GetMachineType with redirection as the caller has it, reading into `bytes`.
  ErrorCode ReadMachineType(uint16_t& machine, std::vector<uint8_t>& bytes);
  // Records `machine` as read (`read` 0), or 0 when the read failed.
  void RecordMachine(ErrorCode read, uint16_t machine);

  FileSystem* fs_;
  System* system_;
  bool found_ = false;
  bool versionLoaded_ = false;
  bool bundle_ = false;
  bool versionRecorded_ = false;
  uint32_t id_ = 0;
  uint32_t contentClass_ = 0;
  uint16_t folderMachine_ = 0;
  std::optional<uint16_t> recordedMachine_;
  std::optional<uint64_t> recordedVersion_;
  std::wstring path_;
  std::wstring contentPath_;
  VersionResource version_;
  FindData entry_;
  std::vector<BundleMember> bundleMembers_;
};

}  // namespace tessaly
