// VS_VERSIONINFO walking. Each block is wLength, wValueLength, wType, a NUL-terminated key, padding
// to 4 bytes, the value, padding, then child blocks up to wLength. Lengths come from the file, so
// every block is clipped to its parent and to the buffer, and a child list ends at a block too
// short to hold its own header.
#include "platform/version_resource.h"

#include <algorithm>

#include "platform/text.h"

namespace tessaly {
namespace {

constexpr size_t kBlockHeaderSize = 6;

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
constexpr size_t Align4(size_t n) { return (n + 3) & ~size_t{3}; }

struct Block {
  size_t start = 0;
  size_t end = 0;  // clipped to the parent and the buffer
  uint16_t length = 0;
  uint16_t valueLength = 0;
  bool isText = false;
  size_t keyStart = 0;
  size_t keyChars = 0;
  size_t valueStart = 0;
  size_t valueSize = 0;  // bytes within `end`
  size_t childrenStart = 0;
};

// The block at `start`, which must end by `limit`. False when it cannot hold its own header.
bool ReadBlock(const std::vector<uint8_t>& data, size_t start, size_t limit, Block& out) {
  if (start > limit || limit - start < kBlockHeaderSize) return false;
  const uint8_t* p = data.data() + start;
  out = Block{};
  out.start = start;
  out.length = Le16(p);
  if (out.length < kBlockHeaderSize) return false;
  out.end = std::min(start + out.length, limit);
  out.valueLength = Le16(p + 2);
  out.isText = Le16(p + 4) != 0;
  out.keyStart = start + kBlockHeaderSize;
  size_t at = out.keyStart;
  bool terminated = false;
  while (at + 2 <= out.end) {
    const uint16_t c = Le16(data.data() + at);
    at += 2;
    if (c == 0) {
      terminated = true;
      break;
    }
    ++out.keyChars;
  }
  if (!terminated) {
    // A key that runs to the end of its block leaves no room for a value or children.
    out.valueStart = out.childrenStart = out.end;
    return true;
  }
  // Padding is counted from the block's start; blocks themselves start on 4-byte boundaries.
  out.valueStart = start + Align4(at - start);
  const size_t valueBytes = size_t{out.valueLength} * (out.isText ? 2 : 1);
  out.valueSize = out.valueStart < out.end ? std::min(valueBytes, out.end - out.valueStart) : 0;
  out.childrenStart = out.valueStart + Align4(valueBytes);
  return true;
}

bool KeyEquals(const std::vector<uint8_t>& data, const Block& block, std::wstring_view key) {
  if (block.keyChars != key.size()) return false;
  for (size_t i = 0; i < key.size(); ++i) {
    const wchar_t c = static_cast<wchar_t>(Le16(data.data() + block.keyStart + 2 * i));
    if (FoldCase(c) != FoldCase(key[i])) return false;
  }
  return true;
}

std::wstring KeyText(const std::vector<uint8_t>& data, const Block& block) {
  return FromUtf16Bytes(data.data() + block.keyStart, block.keyChars * 2);
}

// Calls `visit` for each child of `parent` until it returns false. Every step moves forward by at
// least 8 bytes, so the walk ends.
template <class Visit>
void ForEachChild(const std::vector<uint8_t>& data, const Block parent, Visit visit) {
  size_t at = parent.childrenStart;
  Block child;
  while (at < parent.end && ReadBlock(data, at, parent.end, child)) {
    if (!visit(child)) return;
    at += Align4(child.length);
  }
}

// The block that `subBlock` names.
bool FindBlock(const std::vector<uint8_t>& data, std::wstring_view subBlock, Block& out) {
  if (!ReadBlock(data, 0, data.size(), out)) return false;
  size_t pos = 0;
  while (pos < subBlock.size()) {
    if (subBlock[pos] == L'\\') {
      ++pos;
      continue;
    }
    size_t next = subBlock.find(L'\\', pos);
    if (next == std::wstring_view::npos) next = subBlock.size();
    const std::wstring_view key = subBlock.substr(pos, next - pos);
    bool found = false;
    ForEachChild(data, out, [&](const Block& child) {
      if (!KeyEquals(data, child, key)) return true;
      out = child;
      found = true;
      return false;
    });
    if (!found) return false;
    pos = next;
  }
  return true;
}

}  // namespace

ErrorCode VersionResource::QueryValue(std::wstring_view subBlock, VersionValue& out) const {
  out = VersionValue{};
  Block block;
  if (!FindBlock(bytes_, subBlock, block)) return err::ResourceTypeNotFound;
  out.data = bytes_.data() + std::min(block.valueStart, bytes_.size());
  out.size = block.valueSize;
  out.length = block.valueLength;
  out.isText = block.isText;
  return 0;
}

ErrorCode VersionResource::QueryFixedInfo(FixedFileInfo& out) const {
  out = FixedFileInfo{};
  VersionValue value;
  if (const ErrorCode rc = QueryValue(L"\\", value)) return rc;
  if (value.size < FixedFileInfo::kSize) return err::UnidentifiedError;
  uint32_t* fields[] = {&out.signature,     &out.strucVersion,     &out.fileVersionMS,
                        &out.fileVersionLS, &out.productVersionMS, &out.productVersionLS,
                        &out.fileFlagsMask, &out.fileFlags,        &out.fileOS,
                        &out.fileType,      &out.fileSubtype,      &out.fileDateMS,
                        &out.fileDateLS};
  for (size_t i = 0; i < std::size(fields); ++i) *fields[i] = Le32(value.data + 4 * i);
  return 0;
}

ErrorCode VersionResource::QueryTranslations(std::vector<VersionTranslation>& out) const {
  out.clear();
  VersionValue value;
  if (const ErrorCode rc = QueryValue(L"\\VarFileInfo\\Translation", value)) return rc;
  for (size_t i = 0; i + 4 <= value.size; i += 4) {
    out.push_back({Le16(value.data + i), Le16(value.data + i + 2)});
  }
  return 0;
}

ErrorCode VersionResource::QueryString(std::wstring_view subBlock, std::wstring& out) const {
  out.clear();
  VersionValue value;
  if (const ErrorCode rc = QueryValue(subBlock, value)) return rc;
  out = FromUtf16Bytes(value.data, value.size);
  return 0;
}

ErrorCode VersionResource::ListChildren(std::wstring_view subBlock,
                                        std::vector<std::wstring>& keys) const {
  keys.clear();
  Block block;
  if (!FindBlock(bytes_, subBlock, block)) return err::ResourceTypeNotFound;
  ForEachChild(bytes_, block, [&](const Block& child) {
    keys.push_back(KeyText(bytes_, child));
    return true;
  });
  return 0;
}

std::wstring VersionResource::StringPath(VersionTranslation translation, std::wstring_view name) {
  std::wstring path = L"\\StringFileInfo\\";
  path += FormatText(L"%04x%04x", unsigned{translation.language}, unsigned{translation.codePage});
  path += L'\\';
  path += name;
  return path;
}

}  // namespace tessaly
