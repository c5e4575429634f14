// Typed value helpers over the registry interface.
#include "platform/registry.h"

#include <algorithm>

#include "platform/text.h"

namespace tessaly {
namespace {

// Copies a name with its terminator into a caller's buffer of `nameLength` characters.
ErrorCode StoreName(const std::wstring& found, wchar_t* name, uint32_t& nameLength) {
  if (found.size() + 1 > nameLength) return err::MoreData;
  std::copy(found.begin(), found.end(), name);
  name[found.size()] = L'\0';
  nameLength = static_cast<uint32_t>(found.size());
  return err::Success;
}

ErrorCode StoreData(const std::vector<uint8_t>& found, uint8_t* data, uint32_t* dataSize) {
  if (!dataSize) return err::Success;
  // Without a buffer the call only reports the size, as the system's does.
  if (!data) {
    *dataSize = static_cast<uint32_t>(found.size());
    return err::Success;
  }
  if (found.size() > *dataSize) {
    *dataSize = static_cast<uint32_t>(found.size());
    return err::MoreData;
  }
  std::copy(found.begin(), found.end(), data);
  *dataSize = static_cast<uint32_t>(found.size());
  return err::Success;
}

}  // namespace

ErrorCode RegistryKey::EnumKeyInto(uint32_t index, wchar_t* name, uint32_t& nameLength) {
  std::wstring found;
  if (ErrorCode e = EnumKey(index, found)) return e;
  return StoreName(found, name, nameLength);
}

ErrorCode RegistryKey::EnumValueInto(uint32_t index, wchar_t* name, uint32_t& nameLength,
                                     uint32_t* type, uint8_t* data, uint32_t* dataSize) {
  std::wstring found;
  std::vector<uint8_t> bytes;
  if (ErrorCode e = EnumValue(index, found, type, dataSize ? &bytes : nullptr)) return e;
  if (found.size() + 1 > nameLength) return err::MoreData;
  if (ErrorCode e = StoreData(bytes, data, dataSize)) return e;
  return StoreName(found, name, nameLength);
}

ErrorCode RegistryKey::QueryValueInto(const wchar_t* name, uint32_t* type, uint8_t* data,
                                      uint32_t* dataSize) {
  std::vector<uint8_t> bytes;
  if (ErrorCode e = QueryValue(name ? name : L"", type, dataSize ? &bytes : nullptr)) return e;
  return StoreData(bytes, data, dataSize);
}

ErrorCode ReadDword(RegistryKey& key, std::wstring_view name, uint32_t& out) {
  uint32_t type = 0;
  std::vector<uint8_t> data;
  if (ErrorCode e = key.QueryValue(name, &type, &data)) return e;
  if (type != regtype::Dword || data.size() != 4) return err::InvalidData;
  out = uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16 |
        uint32_t(data[3]) << 24;
  return err::Success;
}

ErrorCode ReadString(RegistryKey& key, std::wstring_view name, std::wstring& out) {
  uint32_t type = 0;
  std::vector<uint8_t> data;
  if (ErrorCode e = key.QueryValue(name, &type, &data)) return e;
  if (type != regtype::Sz && type != regtype::ExpandSz) return err::InvalidData;
  out = FromUtf16Bytes(data);
  return err::Success;
}

ErrorCode WriteDword(RegistryKey& key, std::wstring_view name, uint32_t value) {
  const uint8_t data[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16),
                           uint8_t(value >> 24)};
  return key.SetValue(name, regtype::Dword, data, sizeof data);
}

ErrorCode WriteString(RegistryKey& key, std::wstring_view name, std::wstring_view value) {
  const std::vector<uint8_t> data = ToUtf16Bytes(value, true);
  return key.SetValue(name, regtype::Sz, data.data(), data.size());
}

}  // namespace tessaly
