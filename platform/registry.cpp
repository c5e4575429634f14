// Typed value helpers over the registry interface.
#include "platform/registry.h"

#include "platform/text.h"

namespace tessaly {

ErrorCode ReadDword(RegistryKey& key, std::wstring_view name, uint32_t& out) {
  uint32_t type = 0;
  std::vector<uint8_t> data;
  if (ErrorCode e = key.QueryValue(name, &type, &data)) return e;
  if (type != regtype::Dword || data.size() != 4) return err::InvalidData;
  out = uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16 | uint32_t(data[3]) << 24;
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
