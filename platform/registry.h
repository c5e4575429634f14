// The registry interface: Win32-shaped keys with explicit views. The Win32 backend wraps advapi32;
// tests/support/fake_registry.h models a 32-bit or 64-bit machine in memory.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/types.h"

namespace tessaly {

// RegQueryInfoKeyW's answers. Lengths are in characters without the terminator, like Windows.
struct RegKeyInfo {
  std::wstring keyClass;
  uint32_t subKeys = 0;
  uint32_t maxSubKeyLength = 0;
  uint32_t maxClassLength = 0;
  uint32_t values = 0;
  uint32_t maxValueNameLength = 0;
  uint32_t maxValueDataLength = 0;  // bytes
  FileTime lastWriteTime = 0;
};

// One open key; closed when destroyed.
class RegistryKey {
 public:
  virtual ~RegistryKey() = default;

  // `access` carries the view flag (access::Wow64_64Key or Wow64_32Key) where a view matters.
  [[nodiscard]] virtual ErrorCode OpenSubKey(std::wstring_view path, uint32_t accessMask,
                                             std::unique_ptr<RegistryKey>& out) = 0;
  // Opens or creates; `created` (optional) tells which. An existing key keeps its class.
  [[nodiscard]] virtual ErrorCode CreateSubKey(std::wstring_view path, std::wstring_view keyClass,
                                               uint32_t accessMask,
                                               std::unique_ptr<RegistryKey>& out,
                                               bool* created = nullptr) = 0;
  // Deletes an empty subkey (5 when it has subkeys, like RegDeleteKeyExW).
  [[nodiscard]] virtual ErrorCode DeleteSubKey(std::wstring_view name, uint32_t accessMask) = 0;

  // 259 past the end. `keyClass` and `lastWrite` are optional.
  [[nodiscard]] virtual ErrorCode EnumKey(uint32_t index, std::wstring& name,
                                          std::wstring* keyClass = nullptr,
                                          FileTime* lastWrite = nullptr) = 0;
  // 259 past the end. `type` and `data` are optional.
  [[nodiscard]] virtual ErrorCode EnumValue(uint32_t index, std::wstring& name,
                                            uint32_t* type = nullptr,
                                            std::vector<uint8_t>* data = nullptr) = 0;
  [[nodiscard]] virtual ErrorCode QueryInfo(RegKeyInfo& info) = 0;
  // 2 for a missing value. The empty name is the key's default value.
  [[nodiscard]] virtual ErrorCode QueryValue(std::wstring_view name, uint32_t* type,
                                             std::vector<uint8_t>* data) = 0;
  [[nodiscard]] virtual ErrorCode SetValue(std::wstring_view name, uint32_t type,
                                           const uint8_t* data, size_t size) = 0;
  [[nodiscard]] virtual ErrorCode DeleteValue(std::wstring_view name) = 0;

  // Fixed-buffer forms for loops over many keys: one system call each (RegEnumKeyExW,
  // RegEnumValueW, RegQueryValueExW) into the caller's buffers, which are not zero-filled.
  // `nameLength` in: the capacity of `name` in characters, terminator included; out: the
  // characters stored, without it. `dataSize` in: the capacity of `data` in bytes; out: the bytes
  // stored. 234 when a name or the data does not fit; nothing usable is stored then. Text data
  // ends with a zero only when the value was stored with one.
  // The base class implements them over the forms above; the Win32 backend calls the system.
  [[nodiscard]] virtual ErrorCode EnumKeyInto(uint32_t index, wchar_t* name, uint32_t& nameLength);
  [[nodiscard]] virtual ErrorCode EnumValueInto(uint32_t index, wchar_t* name, uint32_t& nameLength,
                                                uint32_t* type, uint8_t* data, uint32_t* dataSize);
  [[nodiscard]] virtual ErrorCode QueryValueInto(const wchar_t* name, uint32_t* type, uint8_t* data,
                                                 uint32_t* dataSize);
};

class Registry {
 public:
  virtual ~Registry() = default;
  [[nodiscard]] virtual ErrorCode OpenKey(RegRoot root, std::wstring_view path, uint32_t accessMask,
                                          std::unique_ptr<RegistryKey>& out) = 0;
  [[nodiscard]] virtual ErrorCode CreateKey(RegRoot root, std::wstring_view path,
                                            std::wstring_view keyClass, uint32_t accessMask,
                                            std::unique_ptr<RegistryKey>& out,
                                            bool* created = nullptr) = 0;
};

// Typed helpers over QueryValue/SetValue, shared by every reader of the registry.
// A value of another type than asked for reads as 13 (invalid data) and leaves `out` alone.
[[nodiscard]] ErrorCode ReadDword(RegistryKey& key, std::wstring_view name, uint32_t& out);
[[nodiscard]] ErrorCode ReadString(RegistryKey& key, std::wstring_view name,
                                   std::wstring& out);  // REG_SZ, REG_EXPAND_SZ
[[nodiscard]] ErrorCode WriteDword(RegistryKey& key, std::wstring_view name, uint32_t value);
[[nodiscard]] ErrorCode WriteString(RegistryKey& key, std::wstring_view name,
                                    std::wstring_view value);

}  // namespace tessaly
