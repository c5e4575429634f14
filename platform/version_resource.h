// A version-information block (VS_VERSIONINFO) as GetFileVersionInfoW returns it, with queries
// that answer like VerQueryValueW: the fixed file information, the translation table, strings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/types.h"

namespace tessaly {

// VS_FIXEDFILEINFO.
struct FixedFileInfo {
  static constexpr uint32_t kSignature = 0xFEEF04BD;
  static constexpr size_t kSize = 52;

  uint32_t signature = 0;
  uint32_t strucVersion = 0;
  uint32_t fileVersionMS = 0;
  uint32_t fileVersionLS = 0;
  uint32_t productVersionMS = 0;
  uint32_t productVersionLS = 0;
  uint32_t fileFlagsMask = 0;
  uint32_t fileFlags = 0;
  uint32_t fileOS = 0;
  uint32_t fileType = 0;
  uint32_t fileSubtype = 0;
  uint32_t fileDateMS = 0;
  uint32_t fileDateLS = 0;

  uint64_t FileVersion() const { return (uint64_t{fileVersionMS} << 32) | fileVersionLS; }
  uint64_t ProductVersion() const { return (uint64_t{productVersionMS} << 32) | productVersionLS; }
};

// One entry of "\VarFileInfo\Translation".
struct VersionTranslation {
  uint16_t language = 0;
  uint16_t codePage = 0;
  bool operator==(const VersionTranslation&) const = default;
};

// A value as VerQueryValueW hands it out.
struct VersionValue {
  const uint8_t* data = nullptr;  // into the resource's bytes
  size_t size = 0;                // bytes of the value that lie within its block and the buffer
  uint16_t length = 0;            // wValueLength: characters for text, bytes for binary data
  bool isText = false;            // wType 1
};

class VersionResource {
 public:
  VersionResource() = default;
  explicit VersionResource(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}

  const std::vector<uint8_t>& bytes() const { return bytes_; }
  bool empty() const { return bytes_.empty(); }
  void Assign(std::vector<uint8_t> bytes) { bytes_ = std::move(bytes); }
  void Clear() { bytes_.clear(); }

  // The value of the block that `subBlock` names, a path of keys separated by backslashes and
  // matched without regard to case ("\" or "" is the root, whose value is the fixed file
  // information; empty components are skipped). 1813 when a key is missing or the data are too
  // short to hold the root block.
  [[nodiscard]] ErrorCode QueryValue(std::wstring_view subBlock, VersionValue& out) const;

  // "\": 1287 when the root's value is too short to be a VS_FIXEDFILEINFO. The signature is
  // returned as found, not checked, as VerQueryValueW does not check it either.
  [[nodiscard]] ErrorCode QueryFixedInfo(FixedFileInfo& out) const;
  // "\VarFileInfo\Translation": every whole 4-byte entry, possibly none; 1813 when missing.
  [[nodiscard]] ErrorCode QueryTranslations(std::vector<VersionTranslation>& out) const;
  // The value's text up to its first NUL, within the value's stated length.
  [[nodiscard]] ErrorCode QueryString(std::wstring_view subBlock, std::wstring& out) const;
  // The keys of the children of `subBlock`, in order ("\StringFileInfo" lists its tables,
  // "\StringFileInfo\040904b0" the names of its strings).
  [[nodiscard]] ErrorCode ListChildren(std::wstring_view subBlock,
                                       std::vector<std::wstring>& keys) const;

  // "\StringFileInfo\llllcccc\name", with four lower-case hexadecimal digits each for the
  // language and the code page.
  static std::wstring StringPath(VersionTranslation translation, std::wstring_view name);

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace tessaly
