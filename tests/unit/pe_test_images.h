// Builders of test bytes: VS_VERSIONINFO blocks and small PE images (PE32 or PE32+) with a
// resource section, laid out as linkers lay them out, with the offsets a test needs to break them.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/pe_image.h"
#include "platform/text.h"
#include "platform/version_resource.h"

namespace tessaly::testing {

inline void Put16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
  if (b.size() < at + 2) b.resize(at + 2);
  b[at] = uint8_t(v);
  b[at + 1] = uint8_t(v >> 8);
}
inline void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  Put16(b, at, uint16_t(v));
  Put16(b, at + 2, uint16_t(v >> 16));
}
inline void Put64(std::vector<uint8_t>& b, size_t at, uint64_t v) {
  Put32(b, at, uint32_t(v));
  Put32(b, at + 4, uint32_t(v >> 32));
}
inline uint32_t Get32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t(b[at + 3]) << 24);
}
inline void PadTo4(std::vector<uint8_t>& b) { b.resize((b.size() + 3) & ~size_t{3}); }

// --- VS_VERSIONINFO ----------------------------------------------------------------------------

struct VersionNode {
  std::wstring key;
  std::vector<uint8_t> value;
  uint16_t valueLength = 0;  // as written: characters for text, bytes for binary
  uint16_t type = 0;
  std::vector<VersionNode> children;
};

// wLength, wValueLength, wType, key, padding, value, padding, children (as resource compilers
// write them).
inline std::vector<uint8_t> Encode(const VersionNode& node) {
  std::vector<uint8_t> b(6);
  Put16(b, 2, node.valueLength);
  Put16(b, 4, node.type);
  for (wchar_t c : node.key) {
    b.push_back(uint8_t(c));
    b.push_back(uint8_t(uint32_t(c) >> 8));
  }
  b.push_back(0);
  b.push_back(0);
  PadTo4(b);
  b.insert(b.end(), node.value.begin(), node.value.end());
  for (const VersionNode& child : node.children) {
    PadTo4(b);
    const auto bytes = Encode(child);
    b.insert(b.end(), bytes.begin(), bytes.end());
  }
  Put16(b, 0, uint16_t(b.size()));
  return b;
}

inline VersionNode Text(std::wstring key, const std::wstring& text) {
  VersionNode n{std::move(key), ToUtf16Bytes(text, true), 0, 1, {}};
  n.valueLength = uint16_t(text.size() + 1);
  return n;
}

inline VersionNode Block(std::wstring key, std::vector<VersionNode> children, uint16_t type = 1) {
  return VersionNode{std::move(key), {}, 0, type, std::move(children)};
}

inline VersionNode TranslationValue(const std::vector<VersionTranslation>& pairs) {
  VersionNode n{L"Translation", {}, 0, 0, {}};
  for (const auto& t : pairs) {
    n.value.push_back(uint8_t(t.language));
    n.value.push_back(uint8_t(t.language >> 8));
    n.value.push_back(uint8_t(t.codePage));
    n.value.push_back(uint8_t(t.codePage >> 8));
  }
  n.valueLength = uint16_t(n.value.size());
  return n;
}

inline std::vector<uint8_t> FixedInfoBytes(uint32_t fileMS, uint32_t fileLS, uint32_t productMS,
                                           uint32_t productLS) {
  std::vector<uint8_t> b(FixedFileInfo::kSize);
  Put32(b, 0, FixedFileInfo::kSignature);
  Put32(b, 4, 0x00010000);
  Put32(b, 8, fileMS);
  Put32(b, 12, fileLS);
  Put32(b, 16, productMS);
  Put32(b, 20, productLS);
  Put32(b, 24, 0x3F);
  Put32(b, 32, 0x00040004);  // VOS_NT_WINDOWS32
  Put32(b, 36, 2);           // VFT_DLL
  return b;
}

inline VersionNode Root(std::vector<VersionNode> children,
                        std::vector<uint8_t> fixed = FixedInfoBytes(0x00010002, 0x00030004,
                                                                    0x00050006, 0x00070008)) {
  VersionNode n{L"VS_VERSION_INFO", std::move(fixed), 0, 0, std::move(children)};
  n.valueLength = uint16_t(n.value.size());
  return n;
}

// A version block with one string table per translation; each table's FileVersion is `version`
// followed by the table's name.
inline std::vector<uint8_t> StandardVersionInfo(const std::vector<VersionTranslation>& translations,
                                                const std::wstring& version = L"1.2.3.4") {
  std::vector<VersionNode> tables;
  for (const auto& t : translations) {
    const std::wstring name = VersionResource::StringPath(t, L"").substr(16, 8);
    tables.push_back(Block(
        name, {Text(L"CompanyName", L"Quillmoor"), Text(L"FileVersion", version + L" " + name)}));
  }
  return Encode(Root({Block(L"StringFileInfo", std::move(tables)),
                      Block(L"VarFileInfo", {TranslationValue(translations)})}));
}

// --- PE images -------------------------------------------------------------------------------

struct TestResource {
  uint16_t type = pe::kResourceTypeVersion;
  uint16_t name = pe::kVersionResourceId;
  uint16_t language = pe::kLanguageEnglishUs;
  std::vector<uint8_t> data;
};

struct PeLayout {
  uint16_t machine = pe::kMachineI386;
  bool pe32Plus = false;
  uint32_t lfanew = 0x80;
  uint32_t numberOfRvaAndSizes = 16;
  std::vector<TestResource> resources;  // no resource section when empty
  size_t padding = 0;                   // bytes of a ".data" section before the resources
};

struct PeImage {
  std::vector<uint8_t> bytes;
  size_t fileHeader = 0;      // IMAGE_FILE_HEADER
  size_t optionalHeader = 0;  // IMAGE_OPTIONAL_HEADER
  size_t directories = 0;     // data directory 0
  size_t sectionTable = 0;
  size_t resourceFileOffset = 0;  // the resource section's raw data (0 when none)
  uint32_t resourceRva = 0;
  // Offsets within the resource section.
  size_t typeDirectory = 0;                  // the root: one entry per type
  std::map<uint16_t, size_t> nameDirectory;  // per type
  std::vector<size_t> languageDirectories;   // in resource order (one per type and name)
  std::vector<size_t> dataEntries;           // in resource order
};

constexpr uint32_t kTestImageBase32 = 0x10000000;
constexpr uint64_t kTestImageBase64 = 0x180000000ull;

// The resource tree as resource compilers write it: directories, then data entries, then data.
inline std::vector<uint8_t> BuildResourceSection(const std::vector<TestResource>& resources,
                                                 uint32_t rva, PeImage& image) {
  std::map<uint16_t, std::map<uint16_t, std::map<uint16_t, const TestResource*>>> tree;
  for (const auto& r : resources) tree[r.type][r.name][r.language] = &r;

  std::vector<uint8_t> b;
  auto directory = [&b](size_t ids) {
    const size_t at = b.size();
    b.resize(at + 16 + 8 * ids);
    Put16(b, at + 14, uint16_t(ids));
    return at;
  };
  std::vector<std::pair<size_t, const TestResource*>> dataEntryFixups;
  image.typeDirectory = directory(tree.size());
  size_t typeIndex = 0;
  for (auto& [type, names] : tree) {
    const size_t nameDir = directory(names.size());
    image.nameDirectory[type] = nameDir;
    Put32(b, image.typeDirectory + 16 + 8 * typeIndex, type);
    Put32(b, image.typeDirectory + 20 + 8 * typeIndex, 0x80000000u | uint32_t(nameDir));
    ++typeIndex;
    size_t nameIndex = 0;
    for (auto& [name, languages] : names) {
      const size_t langDir = directory(languages.size());
      image.languageDirectories.push_back(langDir);
      Put32(b, nameDir + 16 + 8 * nameIndex, name);
      Put32(b, nameDir + 20 + 8 * nameIndex, 0x80000000u | uint32_t(langDir));
      ++nameIndex;
      size_t langIndex = 0;
      for (auto& [language, resource] : languages) {
        Put32(b, langDir + 16 + 8 * langIndex, language);
        dataEntryFixups.push_back({langDir + 20 + 8 * langIndex, resource});
        ++langIndex;
      }
    }
  }
  std::vector<size_t> entries;
  for (auto& [slot, resource] : dataEntryFixups) {
    const size_t entry = b.size();
    b.resize(entry + 16);
    Put32(b, slot, uint32_t(entry));
    entries.push_back(entry);
  }
  image.dataEntries = entries;
  for (size_t i = 0; i < dataEntryFixups.size(); ++i) {
    PadTo4(b);
    const auto& data = dataEntryFixups[i].second->data;
    Put32(b, entries[i], rva + uint32_t(b.size()));
    Put32(b, entries[i] + 4, uint32_t(data.size()));
    Put32(b, entries[i] + 8, 1252);
    b.insert(b.end(), data.begin(), data.end());
  }
  return b;
}

inline PeImage BuildPe(const PeLayout& layout) {
  PeImage image;
  constexpr uint32_t kFileAlignment = 0x200;
  constexpr uint32_t kSectionAlignment = 0x1000;
  auto alignFile = [](size_t n) { return (n + kFileAlignment - 1) & ~size_t{kFileAlignment - 1}; };
  auto alignVirtual = [](size_t n) {
    return uint32_t((n + kSectionAlignment - 1) & ~size_t{kSectionAlignment - 1});
  };

  struct Section {
    std::string name;
    std::vector<uint8_t> data;
    uint32_t rva = 0;
    size_t fileOffset = 0;
  };
  std::vector<Section> sections;
  sections.push_back({".text", std::vector<uint8_t>(0x40, 0xCC)});
  if (layout.padding) sections.push_back({".data", std::vector<uint8_t>(layout.padding, 0x5A)});
  uint32_t rva = kSectionAlignment;
  for (auto& s : sections) {
    s.rva = rva;
    rva += alignVirtual(s.data.size());
  }
  if (!layout.resources.empty()) {
    image.resourceRva = rva;
    sections.push_back({".rsrc", BuildResourceSection(layout.resources, rva, image), rva});
  }

  const size_t optionalSize = (layout.pe32Plus ? 112 : 96) + 8 * size_t{layout.numberOfRvaAndSizes};
  image.fileHeader = layout.lfanew + 4;
  image.optionalHeader = image.fileHeader + 20;
  image.directories = image.optionalHeader + (layout.pe32Plus ? 112 : 96);
  image.sectionTable = image.optionalHeader + optionalSize;
  const size_t headersSize = alignFile(image.sectionTable + 40 * sections.size());

  std::vector<uint8_t>& b = image.bytes;
  b.assign(headersSize, 0);
  Put16(b, 0, pe::kDosSignature);
  Put32(b, pe::kDosLfanewOffset, layout.lfanew);
  Put32(b, layout.lfanew, pe::kNtSignature);
  Put16(b, image.fileHeader, layout.machine);
  Put16(b, image.fileHeader + 2, uint16_t(sections.size()));
  Put32(b, image.fileHeader + 4, 0x5F000000);
  Put16(b, image.fileHeader + 16, uint16_t(optionalSize));
  Put16(b, image.fileHeader + 18, 0x2102);  // executable, 32-bit machine, DLL

  const size_t o = image.optionalHeader;
  Put16(b, o, layout.pe32Plus ? pe::kMagicPe32Plus : pe::kMagicPe32);
  if (layout.pe32Plus) {
    Put64(b, o + 24, kTestImageBase64);
  } else {
    Put32(b, o + 28, kTestImageBase32);
  }
  Put32(b, o + 32, kSectionAlignment);
  Put32(b, o + 36, kFileAlignment);
  Put32(b, o + 56, rva + (image.resourceRva ? alignVirtual(sections.back().data.size()) : 0));
  Put32(b, o + 60, uint32_t(headersSize));
  Put16(b, o + 68, 2);  // GUI
  Put32(b, o + (layout.pe32Plus ? 108 : 92), layout.numberOfRvaAndSizes);

  size_t fileOffset = headersSize;
  for (size_t i = 0; i < sections.size(); ++i) {
    Section& s = sections[i];
    s.fileOffset = fileOffset;
    const size_t entry = image.sectionTable + 40 * i;
    std::memcpy(b.data() + entry, s.name.data(), std::min<size_t>(8, s.name.size()));
    Put32(b, entry + 8, uint32_t(s.data.size()));
    Put32(b, entry + 12, s.rva);
    Put32(b, entry + 16, uint32_t(alignFile(s.data.size())));
    Put32(b, entry + 20, uint32_t(fileOffset));
    Put32(b, entry + 36, 0x40000040);
    fileOffset += alignFile(s.data.size());
  }
  if (image.resourceRva && layout.numberOfRvaAndSizes > pe::kDirectoryResource) {
    Put32(b, image.directories + 8 * pe::kDirectoryResource, image.resourceRva);
    Put32(b, image.directories + 8 * pe::kDirectoryResource + 4,
          uint32_t(sections.back().data.size()));
  }
  b.resize(fileOffset, 0);
  for (const Section& s : sections)
    std::copy(s.data.begin(), s.data.end(), b.begin() + s.fileOffset);
  if (image.resourceRva) image.resourceFileOffset = sections.back().fileOffset;
  return image;
}

// An i386 DLL with one version resource.
inline PeImage VersionedDll(const std::vector<uint8_t>& versionInfo,
                            uint16_t machine = pe::kMachineI386, bool pe32Plus = false) {
  PeLayout layout;
  layout.machine = machine;
  layout.pe32Plus = pe32Plus;
  layout.resources.push_back(
      {pe::kResourceTypeVersion, pe::kVersionResourceId, pe::kLanguageEnglishUs, versionInfo});
  return BuildPe(layout);
}

}  // namespace tessaly::testing
