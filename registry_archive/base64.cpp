// Standard Base64 encoding and the archive's lenient decoding.
#include "registry_archive/base64.h"

namespace tessaly {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The six-bit value of an alphabet character, or -1.
int SextetOf(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

}  // namespace

std::string Base64Encode(const uint8_t* data, size_t size) {
  std::string out;
  out.reserve((size + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 3 <= size; i += 3) {
    const uint32_t n = uint32_t(data[i]) << 16 | uint32_t(data[i + 1]) << 8 | data[i + 2];
    out += kAlphabet[(n >> 18) & 63];
    out += kAlphabet[(n >> 12) & 63];
    out += kAlphabet[(n >> 6) & 63];
    out += kAlphabet[n & 63];
  }
  if (size - i == 1) {
    const uint32_t n = uint32_t(data[i]) << 16;
    out += kAlphabet[(n >> 18) & 63];
    out += kAlphabet[(n >> 12) & 63];
    out += "==";
  } else if (size - i == 2) {
    const uint32_t n = uint32_t(data[i]) << 16 | uint32_t(data[i + 1]) << 8;
    out += kAlphabet[(n >> 18) & 63];
    out += kAlphabet[(n >> 12) & 63];
    out += kAlphabet[(n >> 6) & 63];
    out += '=';
  }
  return out;
}

std::vector<uint8_t> Base64Decode(std::string_view text) {
  std::vector<uint8_t> out;
  out.reserve(text.size() / 4 * 3 + 2);
  uint32_t bits = 0;
  int count = 0;  // sextets held in `bits`
  for (const char c : text) {
    const int sextet = SextetOf(c);
    if (sextet < 0) break;  // "=" or any other character ends the data
    bits = bits << 6 | uint32_t(sextet);
    if (++count == 4) {
      out.push_back(uint8_t(bits >> 16));
      out.push_back(uint8_t(bits >> 8));
      out.push_back(uint8_t(bits));
      bits = 0;
      count = 0;
    }
  }
  if (count == 2) {
    out.push_back(uint8_t(bits >> 4));
  } else if (count == 3) {
    out.push_back(uint8_t(bits >> 10));
    out.push_back(uint8_t(bits >> 2));
  }
  return out;
}

}  // namespace tessaly
