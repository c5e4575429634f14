// Win32Registry: RegistryKey objects that own an HKEY, with enumeration buffers sized from
// RegQueryInfoKeyW and grown when the key changes between the two calls (234).
#include "platform/win32/win32_registry.h"

#include <new>

#include "platform/win32/win32_api.h"

namespace tessaly {
namespace {

// Enough rounds for a key that keeps growing while it is read; then the 234 stands.
constexpr int kMaxAttempts = 8;

// A buffer was too short: 234 on Windows; Wine answers 122 for a short class buffer.
bool IsShortBuffer(LONG e) { return e == ERROR_MORE_DATA || e == ERROR_INSUFFICIENT_BUFFER; }

HKEY RootKey(RegRoot root) {
  return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<uint32_t>(root)));
}

// The view a key is opened in from a root. A 32-bit program without a view flag sees the 32-bit
// view; the 64-bit build of the same sources asks for that view itself, so that both read and
// write the same keys on 64-bit Windows. (32-bit Windows ignores the flag.)
REGSAM RootAccess(uint32_t accessMask) {
#ifdef _WIN64
  if (!(accessMask & (KEY_WOW64_32KEY | KEY_WOW64_64KEY))) accessMask |= KEY_WOW64_32KEY;
#endif
  return accessMask;
}

// Room for what the system reported plus a terminator, and at least twice the last try, since not
// every call reports the size it needs.
DWORD Grow(DWORD current, DWORD reported) {
  const DWORD doubled = current * 2;
  return reported + 1 > doubled ? reported + 1 : doubled;
}

class Win32RegistryKey : public RegistryKey {
 public:
  explicit Win32RegistryKey(HKEY h) : key(h) {}
  ~Win32RegistryKey() override { RegCloseKey(key); }
  Win32RegistryKey(const Win32RegistryKey&) = delete;
  Win32RegistryKey& operator=(const Win32RegistryKey&) = delete;

  ErrorCode OpenSubKey(std::wstring_view path, uint32_t accessMask,
                       std::unique_ptr<RegistryKey>& out) override;
  ErrorCode CreateSubKey(std::wstring_view path, std::wstring_view keyClass, uint32_t accessMask,
                         std::unique_ptr<RegistryKey>& out, bool* created) override;
  ErrorCode DeleteSubKey(std::wstring_view name, uint32_t accessMask) override;
  ErrorCode EnumKey(uint32_t index, std::wstring& name, std::wstring* keyClass,
                    FileTime* lastWrite) override;
  ErrorCode EnumValue(uint32_t index, std::wstring& name, uint32_t* type,
                      std::vector<uint8_t>* data) override;
  ErrorCode QueryInfo(RegKeyInfo& info) override;
  ErrorCode QueryValue(std::wstring_view name, uint32_t* type, std::vector<uint8_t>* data) override;
  ErrorCode SetValue(std::wstring_view name, uint32_t type, const uint8_t* data,
                     size_t size) override;
  ErrorCode DeleteValue(std::wstring_view name) override;
  ErrorCode EnumKeyInto(uint32_t index, wchar_t* name, uint32_t& nameLength) override;
  ErrorCode EnumValueInto(uint32_t index, wchar_t* name, uint32_t& nameLength, uint32_t* type,
                          uint8_t* data, uint32_t* dataSize) override;
  ErrorCode QueryValueInto(const wchar_t* name, uint32_t* type, uint8_t* data,
                           uint32_t* dataSize) override;

 private:
  HKEY key;
};

// Hands an open handle to a key object; the handle is closed if that cannot be made.
ErrorCode Adopt(HKEY opened, std::unique_ptr<RegistryKey>& out) {
  Win32RegistryKey* key = new (std::nothrow) Win32RegistryKey(opened);
  if (!key) {
    RegCloseKey(opened);
    return err::NotEnoughMemory;
  }
  out.reset(key);
  return err::Success;
}

ErrorCode OpenKeyUnder(HKEY parent, std::wstring_view path, uint32_t accessMask,
                       std::unique_ptr<RegistryKey>& out) {
  HKEY opened = nullptr;
  const LONG e = RegOpenKeyExW(parent, std::wstring(path).c_str(), 0, accessMask, &opened);
  if (e != ERROR_SUCCESS) return static_cast<ErrorCode>(e);
  return Adopt(opened, out);
}

ErrorCode CreateKeyUnder(HKEY parent, std::wstring_view path, std::wstring_view keyClass,
                         uint32_t accessMask, std::unique_ptr<RegistryKey>& out, bool* created) {
  std::wstring classText(keyClass);
  HKEY opened = nullptr;
  DWORD disposition = 0;
  const LONG e = RegCreateKeyExW(
      parent, std::wstring(path).c_str(), 0, classText.empty() ? nullptr : classText.data(),
      REG_OPTION_NON_VOLATILE, accessMask, nullptr, &opened, &disposition);
  if (e != ERROR_SUCCESS) return static_cast<ErrorCode>(e);
  if (created) *created = disposition == REG_CREATED_NEW_KEY;
  return Adopt(opened, out);
}

ErrorCode Win32RegistryKey::OpenSubKey(std::wstring_view path, uint32_t accessMask,
                                       std::unique_ptr<RegistryKey>& out) {
  return OpenKeyUnder(key, path, accessMask, out);
}

ErrorCode Win32RegistryKey::CreateSubKey(std::wstring_view path, std::wstring_view keyClass,
                                         uint32_t accessMask, std::unique_ptr<RegistryKey>& out,
                                         bool* created) {
  return CreateKeyUnder(key, path, keyClass, accessMask, out, created);
}

ErrorCode Win32RegistryKey::DeleteSubKey(std::wstring_view name, uint32_t accessMask) {
  // RegDeleteKeyExW (Vista and XP x64) is what reaches a view; without it there is one view.
  using DeleteKeyExFunction = LONG(WINAPI*)(HKEY, LPCWSTR, REGSAM, DWORD);
  static const DeleteKeyExFunction deleteKeyEx = [] {
    HMODULE advapi = GetModuleHandleW(L"advapi32.dll");
    return advapi ? reinterpret_cast<DeleteKeyExFunction>(
                        reinterpret_cast<void*>(GetProcAddress(advapi, "RegDeleteKeyExW")))
                  : nullptr;
  }();
  const std::wstring subKey(name);
  const LONG e = deleteKeyEx ? deleteKeyEx(key, subKey.c_str(), accessMask, 0)
                             : RegDeleteKeyW(key, subKey.c_str());
  return static_cast<ErrorCode>(e);
}

ErrorCode Win32RegistryKey::EnumKey(uint32_t index, std::wstring& name, std::wstring* keyClass,
                                    FileTime* lastWrite) {
  DWORD maxName = 0, maxClass = 0;
  LONG e = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, &maxName, &maxClass, nullptr,
                            nullptr, nullptr, nullptr, nullptr);
  if (e != ERROR_SUCCESS) return static_cast<ErrorCode>(e);
  DWORD nameCapacity = maxName + 1;
  DWORD classCapacity = maxClass + 1;
  try {
    std::wstring nameBuffer, classBuffer;
    for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
      nameBuffer.assign(nameCapacity, L'\0');
      classBuffer.assign(classCapacity, L'\0');
      DWORD nameLength = nameCapacity;
      DWORD classLength = classCapacity;
      FILETIME written = {};
      e = RegEnumKeyExW(key, index, nameBuffer.data(), &nameLength, nullptr,
                        keyClass ? classBuffer.data() : nullptr, keyClass ? &classLength : nullptr,
                        &written);
      if (IsShortBuffer(e)) {
        nameCapacity = Grow(nameCapacity, nameLength);
        if (keyClass) classCapacity = Grow(classCapacity, classLength);
        continue;
      }
      if (e != ERROR_SUCCESS) return static_cast<ErrorCode>(e);
      name.assign(nameBuffer.data(), nameLength);
      if (keyClass) keyClass->assign(classBuffer.data(), classLength);
      if (lastWrite) *lastWrite = FromFiletime(written);
      return err::Success;
    }
  } catch (const std::bad_alloc&) {
    return err::NotEnoughMemory;
  }
  return static_cast<ErrorCode>(e);
}

ErrorCode Win32RegistryKey::EnumValue(uint32_t index, std::wstring& name, uint32_t* type,
                                      std::vector<uint8_t>* data) {
  DWORD maxName = 0, maxData = 0;
  LONG e = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                            &maxName, &maxData, nullptr, nullptr);
  if (e != ERROR_SUCCESS) return static_cast<ErrorCode>(e);
  DWORD nameCapacity = maxName + 1;
  DWORD dataCapacity = maxData;
  try {
    std::wstring nameBuffer;
    std::vector<uint8_t> dataBuffer;
    for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
      nameBuffer.assign(nameCapacity, L'\0');
      // A zero-sized buffer would pass a null pointer, which asks only for the size.
      if (data) dataBuffer.assign(dataCapacity ? dataCapacity : 1, 0);
      DWORD nameLength = nameCapacity;
      DWORD dataLength = data ? static_cast<DWORD>(dataBuffer.size()) : 0;
      DWORD valueType = 0;
      e = RegEnumValueW(key, index, nameBuffer.data(), &nameLength, nullptr, &valueType,
                        data ? dataBuffer.data() : nullptr, data ? &dataLength : nullptr);
      if (e == ERROR_MORE_DATA) {
        // Which buffer was short is not said: grow both.
        nameCapacity = Grow(nameCapacity, nameLength);
        if (data) dataCapacity = Grow(dataCapacity, dataLength);
        continue;
      }
      if (e != ERROR_SUCCESS) return static_cast<ErrorCode>(e);
      name.assign(nameBuffer.data(), nameLength);
      if (type) *type = valueType;
      if (data) data->assign(dataBuffer.begin(), dataBuffer.begin() + dataLength);
      return err::Success;
    }
  } catch (const std::bad_alloc&) {
    return err::NotEnoughMemory;
  }
  return static_cast<ErrorCode>(e);
}

ErrorCode Win32RegistryKey::QueryInfo(RegKeyInfo& info) {
  // Without a buffer the call reports the class length.
  DWORD classCapacity = 0;
  LONG e = RegQueryInfoKeyW(key, nullptr, &classCapacity, nullptr, nullptr, nullptr, nullptr,
                            nullptr, nullptr, nullptr, nullptr, nullptr);
  if (e != ERROR_SUCCESS) return static_cast<ErrorCode>(e);
  ++classCapacity;
  try {
    std::wstring classBuffer;
    e = ERROR_MORE_DATA;
    for (int attempt = 0; attempt < kMaxAttempts && IsShortBuffer(e); ++attempt) {
      classBuffer.assign(classCapacity, L'\0');
      DWORD classLength = classCapacity;
      DWORD subKeys = 0, maxSubKey = 0, maxClass = 0, values = 0, maxValueName = 0, maxData = 0;
      FILETIME written = {};
      e = RegQueryInfoKeyW(key, classBuffer.data(), &classLength, nullptr, &subKeys, &maxSubKey,
                           &maxClass, &values, &maxValueName, &maxData, nullptr, &written);
      if (IsShortBuffer(e)) {
        classCapacity = Grow(classCapacity, classLength);
        continue;
      }
      if (e != ERROR_SUCCESS) return static_cast<ErrorCode>(e);
      info.keyClass.assign(classBuffer.data(), classLength);
      info.subKeys = subKeys;
      info.maxSubKeyLength = maxSubKey;
      info.maxClassLength = maxClass;
      info.values = values;
      info.maxValueNameLength = maxValueName;
      info.maxValueDataLength = maxData;
      info.lastWriteTime = FromFiletime(written);
      return err::Success;
    }
    return static_cast<ErrorCode>(e);
  } catch (const std::bad_alloc&) {
    return err::NotEnoughMemory;
  }
}

ErrorCode Win32RegistryKey::QueryValue(std::wstring_view name, uint32_t* type,
                                       std::vector<uint8_t>* data) {
  const std::wstring valueName(name);
  DWORD valueType = 0;
  DWORD size = 0;
  LONG e = RegQueryValueExW(key, valueName.c_str(), nullptr, &valueType, nullptr, &size);
  if (e != ERROR_SUCCESS) return static_cast<ErrorCode>(e);
  if (data) {
    try {
      std::vector<uint8_t> buffer;
      e = ERROR_MORE_DATA;
      for (int attempt = 0; attempt < kMaxAttempts && e == ERROR_MORE_DATA; ++attempt) {
        buffer.assign(size ? size : 1, 0);
        size = static_cast<DWORD>(buffer.size());
        e = RegQueryValueExW(key, valueName.c_str(), nullptr, &valueType, buffer.data(), &size);
      }
      if (e != ERROR_SUCCESS) return static_cast<ErrorCode>(e);
      data->assign(buffer.begin(), buffer.begin() + size);
    } catch (const std::bad_alloc&) {
      return err::NotEnoughMemory;
    }
  }
  if (type) *type = valueType;
  return err::Success;
}

ErrorCode Win32RegistryKey::SetValue(std::wstring_view name, uint32_t type, const uint8_t* data,
                                     size_t size) {
  if (size > MAXDWORD) return err::InvalidParameter;
  return static_cast<ErrorCode>(
      RegSetValueExW(key, std::wstring(name).c_str(), 0, type, data, static_cast<DWORD>(size)));
}

ErrorCode Win32RegistryKey::DeleteValue(std::wstring_view name) {
  return static_cast<ErrorCode>(RegDeleteValueW(key, std::wstring(name).c_str()));
}

}  // namespace

ErrorCode Win32Registry::OpenKey(RegRoot root, std::wstring_view path, uint32_t accessMask,
                                 std::unique_ptr<RegistryKey>& out) {
  return OpenKeyUnder(RootKey(root), path, RootAccess(accessMask), out);
}

ErrorCode Win32Registry::CreateKey(RegRoot root, std::wstring_view path, std::wstring_view keyClass,
                                   uint32_t accessMask, std::unique_ptr<RegistryKey>& out,
                                   bool* created) {
  return CreateKeyUnder(RootKey(root), path, keyClass, RootAccess(accessMask), out, created);
}

// The fixed-buffer forms: exactly one system call, so a scan costs what its enumeration costs.
ErrorCode Win32RegistryKey::EnumKeyInto(uint32_t index, wchar_t* name, uint32_t& nameLength) {
  DWORD length = nameLength;
  const LONG e = RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
  if (IsShortBuffer(e)) return err::MoreData;
  if (e != ERROR_SUCCESS) return static_cast<ErrorCode>(e);
  nameLength = length;
  return err::Success;
}

ErrorCode Win32RegistryKey::EnumValueInto(uint32_t index, wchar_t* name, uint32_t& nameLength,
                                          uint32_t* type, uint8_t* data, uint32_t* dataSize) {
  DWORD length = nameLength;
  DWORD valueType = 0;
  DWORD size = dataSize ? *dataSize : 0;
  const LONG e = RegEnumValueW(key, index, name, &length, nullptr, &valueType,
                               dataSize ? data : nullptr, dataSize ? &size : nullptr);
  if (IsShortBuffer(e)) return err::MoreData;
  if (e != ERROR_SUCCESS) return static_cast<ErrorCode>(e);
  nameLength = length;
  if (type) *type = valueType;
  if (dataSize) *dataSize = size;
  return err::Success;
}

ErrorCode Win32RegistryKey::QueryValueInto(const wchar_t* name, uint32_t* type, uint8_t* data,
                                           uint32_t* dataSize) {
  DWORD valueType = 0;
  DWORD size = dataSize ? *dataSize : 0;
  const LONG e = RegQueryValueExW(key, name, nullptr, &valueType, dataSize ? data : nullptr,
                                  dataSize ? &size : nullptr);
  if (dataSize) *dataSize = size;
  if (e != ERROR_SUCCESS) return static_cast<ErrorCode>(e);
  if (type) *type = valueType;
  return err::Success;
}

}  // namespace tessaly
