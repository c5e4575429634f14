// System locations of program files, Native Instruments software and VST plugin folders.
#include "platform/locations.h"

#include <memory>
#include <vector>

#include "platform/file_ops.h"
#include "platform/ni_installation.h"
#include "platform/text.h"

namespace tessaly {

namespace {

constexpr size_t kLocationCapacity = 260;   // characters, terminator included
constexpr size_t kRegistryPathBytes = 520;  // bytes of a folder value, terminator included

constexpr const wchar_t* kCommonFilesVstFolders[] = {L"VST2", L"Steinberg\\VST2"};
constexpr const wchar_t* kNiVst64Folder = ni::kVst64Folder;
constexpr const wchar_t* kNiVst32Folder = ni::kVst32Folder;
constexpr const wchar_t* kProgramFilesVstFolders[] = {L"Vstplugins", kNiVst64Folder, kNiVst32Folder,
                                                      L"Steinberg\\VstPlugins"};

// An environment value that fits the location buffer; an empty one counts as unset.
ErrorCode ReadLocationVariable(System& system, const wchar_t* name, std::wstring& out) {
  std::wstring value;
  if (ErrorCode e = system.GetEnvironmentVariable(name, value)) return e;
  if (value.empty()) return err::EnvVarNotFound;
  if (value.size() >= kLocationCapacity) return err::MoreData;
  out = std::move(value);
  return err::Success;
}

ErrorCode GetFolder(System& system, bool want64, const wchar_t* variable64,
                    const wchar_t* fallback64, int csidlX86, int csidlNative, std::wstring& out) {
  if (system.Is64BitWindows()) {
    if (want64) {
      ErrorCode e = ReadLocationVariable(system, variable64, out);
      if (e != err::Success) e = ReadLocationVariable(system, fallback64, out);
      return e;
    }
    return system.GetSpecialFolder(csidlX86, out) == err::Success ? err::Success
                                                                  : err::PathNotFound;
  }
  if (want64) return err::InvalidParameter;
  return system.GetSpecialFolder(csidlNative, out) == err::Success ? err::Success
                                                                   : err::PathNotFound;
}

// A REG_SZ or REG_EXPAND_SZ value of at most `maxBytes` bytes, terminator included.
ErrorCode ReadLimitedString(RegistryKey& key, std::wstring_view name, size_t maxBytes,
                            std::wstring& out) {
  uint32_t type = 0;
  std::vector<uint8_t> data;
  if (ErrorCode e = key.QueryValue(name, &type, &data)) return e;
  if (type != regtype::Sz && type != regtype::ExpandSz) return err::InvalidData;
  if (data.size() > maxBytes) return err::MoreData;
  out = FromUtf16Bytes(data);
  return err::Success;
}

ErrorCode ReadMachineString(Registry& registry, const wchar_t* keyPath, uint32_t viewFlag,
                            const wchar_t* name, std::wstring& out) {
  std::unique_ptr<RegistryKey> key;
  if (ErrorCode e =
          registry.OpenKey(RegRoot::LocalMachine, keyPath, access::Read | viewFlag, key)) {
    return e;
  }
  return ReadLimitedString(*key, name, kRegistryPathBytes, out);
}

void AddCandidate(std::vector<std::wstring>& candidates, std::wstring_view folder,
                  std::wstring_view sub) {
  std::wstring candidate(folder);
  if (path::Append(candidate, sub, kLocationCapacity)) candidates.push_back(std::move(candidate));
}

}  // namespace

ErrorCode GetProgramFilesFolder(System& system, bool want64, std::wstring& out) {
  return GetFolder(system, want64, L"ProgramW6432", L"ProgramFiles", csidl::ProgramFilesX86,
                   csidl::ProgramFiles, out);
}

ErrorCode GetCommonFilesFolder(System& system, bool want64, std::wstring& out) {
  return GetFolder(system, want64, L"CommonProgramW6432", L"CommonProgramFiles",
                   csidl::ProgramFilesCommonX86, csidl::ProgramFilesCommon, out);
}

ErrorCode GetServiceCenterFolder(Registry& registry, std::wstring& out) {
  return ReadMachineString(registry, ni::kServiceCenterKey, access::Wow64_64Key,
                           ni::kServiceCenterFolderValue, out);
}

unsigned GetDefaultVstFolders(System& system, Registry& registry, FileSystem& fs, bool want64,
                              CSafeStringList& list) {
  list.Clear();
  std::wstring commonFiles, programFiles;
  if (GetCommonFilesFolder(system, want64, commonFiles) != err::Success ||
      GetProgramFilesFolder(system, want64, programFiles) != err::Success) {
    return 0;
  }

  std::vector<std::wstring> candidates;
  for (const wchar_t* sub : kCommonFilesVstFolders) AddCandidate(candidates, commonFiles, sub);
  const wchar_t* otherPlatformNiFolder = want64 ? kNiVst32Folder : kNiVst64Folder;
  for (const wchar_t* sub : kProgramFilesVstFolders) {
    if (!EqualsNoCase(sub, otherPlatformNiFolder)) AddCandidate(candidates, programFiles, sub);
  }
  if (system.Is64BitWindows()) {
    // The Native Instruments folder of this platform under the other platform's program files.
    std::wstring otherProgramFiles;
    if (GetProgramFilesFolder(system, !want64, otherProgramFiles) == err::Success) {
      AddCandidate(candidates, otherProgramFiles, want64 ? kNiVst64Folder : kNiVst32Folder);
    }
  }
  std::wstring registryFolder;
  if (ReadMachineString(registry, L"Software\\VST",
                        want64 ? access::Wow64_64Key : access::Wow64_32Key, L"VSTPluginsPath",
                        registryFolder) == err::Success) {
    candidates.push_back(std::move(registryFolder));
  }

  unsigned added = 0;
  for (std::wstring& candidate : candidates) {
    if (!IsDirectory(fs, candidate)) continue;
    path::RemoveTrailingBackslashes(candidate);
    if (list.Add(candidate, false)) ++added;
  }
  return added;
}

}  // namespace tessaly
