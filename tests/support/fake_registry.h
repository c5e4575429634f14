// An in-memory registry that behaves like Windows': a 64-bit machine (HKLM\SOFTWARE in two views)
// or a 32-bit one, Windows' enumeration order, classes, last-write times and injected failures.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace tessaly {

// The key tree of a machine. On a 64-bit machine a 32-bit program (access without a view flag, or
// with Wow64_32Key) that opens HKLM\SOFTWARE\X reaches SOFTWARE\Wow6432Node\X; with Wow64_64Key it
// reaches the real SOFTWARE\X, and only there does enumerating SOFTWARE list Wow6432Node.
// HKEY_CURRENT_USER (and the other roots) are shared by both views. On a 32-bit machine the view
// flags have no effect.
//
// Names of keys and values are compared without regard to case (upper-case folding, as Windows
// does) and keep the case they were created with. Subkeys enumerate sorted by their upper-cased
// names; values enumerate in creation order (setting an existing value keeps its place).
//
// Every change (a value set or deleted, a subkey created or deleted) stamps the key with the
// clock and then moves the clock on by one tick, so last-write times strictly increase.
//
// A key deleted while handles to it are open stays deleted: later operations through those
// handles give 1018 (ERROR_KEY_DELETED).
//
// The object is safe to use from several threads at once. Handles must not outlive it.
class FakeRegistry : public Registry {
 public:
  static constexpr ErrorCode kKeyDeleted = 1018;  // ERROR_KEY_DELETED
  static constexpr uint32_t kForever = UINT32_MAX;

  // The operations a failure can be injected into: Open (OpenKey, OpenSubKey), Create (CreateKey,
  // CreateSubKey, whether or not the key exists), Query (QueryValue), Set (SetValue), Enum
  // (EnumKey, EnumValue), Delete (DeleteSubKey, DeleteValue), QueryInfo (QueryInfo).
  enum class Operation { Open, Create, Query, Set, Enum, Delete, QueryInfo };

  // A 64-bit machine by default; `is64BitMachine` false gives a 32-bit one without Wow6432Node.
  explicit FakeRegistry(bool is64BitMachine = true);
  ~FakeRegistry() override;
  FakeRegistry(const FakeRegistry&) = delete;
  FakeRegistry& operator=(const FakeRegistry&) = delete;

  ErrorCode OpenKey(RegRoot root, std::wstring_view path, uint32_t accessMask,
                    std::unique_ptr<RegistryKey>& out) override;
  ErrorCode CreateKey(RegRoot root, std::wstring_view path, std::wstring_view keyClass,
                      uint32_t accessMask, std::unique_ptr<RegistryKey>& out,
                      bool* created = nullptr) override;

  bool Is64BitMachine() const { return is64Bit_; }

  // --- Clock ---------------------------------------------------------------------------------
  // The time the next change is stamped with (default: 2024-03-05 12:00:00 UTC).
  void SetClock(FileTime now);
  FileTime Clock() const;

  // --- Fault injection -----------------------------------------------------------------------
  // Makes `op` on the key `path` under `root` fail with `code`, `count` times (then it works
  // again). `path` is the key as the program names it (e.g. L"SOFTWARE\\Native Instruments\\X",
  // compared without regard to case); `view` restricts the failure to one view (Key64 or Key32),
  // Default matching every view. On a key reached through a handle, the handle's path plus the
  // relative path is what is compared. The failure happens before anything is changed.
  //   Open/Create: the key opened or created; Query/Set/Enum/QueryInfo: the key the handle is open
  //   on; Delete: the subkey deleted by DeleteSubKey, or the key whose value DeleteValue removes.
  void InjectFailure(RegRoot root, std::wstring_view path, Operation op, ErrorCode code,
                     uint32_t count = kForever, RegView view = RegView::Default);
  void ClearFailures();

  // Every change asked of the registry (whether or not it succeeded), in order, with the key's
  // physical path (so a write to the 32-bit view shows SOFTWARE\Wow6432Node):
  //   L"CreateKey HKLM\\SOFTWARE\\Wow6432Node\\X"      (only when the key did not exist)
  //   L"SetValue HKCU\\Software\\X [Name]"             (the default value shows as [])
  //   L"DeleteValue HKCU\\Software\\X [Name]"
  //   L"DeleteKey HKLM\\SOFTWARE\\X"
  // Roots are named HKCR, HKCU, HKLM, HKU.
  std::vector<std::wstring> Changes() const;
  void ClearChanges();

  // --- Test conveniences: one-line fixtures and checks ----------------------------------------
  // `view` as for the program: Default is the 32-bit view on a 64-bit machine. The setters create
  // missing keys; a fixture that cannot be written fails the current test.
  void CreateKeyAt(RegRoot root, std::wstring_view path, RegView view = RegView::Default,
                   std::wstring_view keyClass = {});
  void SetString(RegRoot root, std::wstring_view path, std::wstring_view name,
                 std::wstring_view value, RegView view = RegView::Default);
  void SetExpandString(RegRoot root, std::wstring_view path, std::wstring_view name,
                       std::wstring_view value, RegView view = RegView::Default);
  void SetDword(RegRoot root, std::wstring_view path, std::wstring_view name, uint32_t value,
                RegView view = RegView::Default);
  void SetBytes(RegRoot root, std::wstring_view path, std::wstring_view name, uint32_t type,
                const std::vector<uint8_t>& data, RegView view = RegView::Default);
  // Removes a key with everything below it (no failure if it is missing).
  void DeleteTree(RegRoot root, std::wstring_view path, RegView view = RegView::Default);

  bool Exists(RegRoot root, std::wstring_view path, RegView view = RegView::Default) const;
  bool ValueExists(RegRoot root, std::wstring_view path, std::wstring_view name,
                   RegView view = RegView::Default) const;
  // REG_SZ or REG_EXPAND_SZ text; nullopt when the key or value is missing or has another type.
  std::optional<std::wstring> ReadString(RegRoot root, std::wstring_view path,
                                         std::wstring_view name,
                                         RegView view = RegView::Default) const;
  std::optional<uint32_t> ReadDword(RegRoot root, std::wstring_view path, std::wstring_view name,
                                    RegView view = RegView::Default) const;
  // Raw data and (optionally) type.
  std::optional<std::vector<uint8_t>> ReadBytes(RegRoot root, std::wstring_view path,
                                                std::wstring_view name, uint32_t* type = nullptr,
                                                RegView view = RegView::Default) const;
  // Subkey names in enumeration order; value names in enumeration order. Empty if missing.
  std::vector<std::wstring> SubKeyNames(RegRoot root, std::wstring_view path,
                                        RegView view = RegView::Default) const;
  std::vector<std::wstring> ValueNames(RegRoot root, std::wstring_view path,
                                       RegView view = RegView::Default) const;
  // 0 when the key is missing.
  FileTime LastWriteTime(RegRoot root, std::wstring_view path,
                         RegView view = RegView::Default) const;
  std::optional<std::wstring> KeyClass(RegRoot root, std::wstring_view path,
                                       RegView view = RegView::Default) const;

  struct Node;
  struct State;

 private:
  bool is64Bit_;
  std::shared_ptr<State> state_;
};

}  // namespace tessaly
