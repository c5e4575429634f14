// Standard Base64 (A-Z a-z 0-9 + /, "=" padding, no line breaks) for the registry archive's
// binary fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

// The padded encoding of `size` bytes.
std::string Base64Encode(const uint8_t* data, size_t size);
inline std::string Base64Encode(const std::vector<uint8_t>& bytes) {
  return Base64Encode(bytes.data(), bytes.size());
}

// Decodes characters up to the first "=" or the first character outside the alphabet. A final
// group of two or three characters gives one or two bytes; a lone final character gives none.
std::vector<uint8_t> Base64Decode(std::string_view text);

}  // namespace tessaly
