// PE headers and the resource directory walk, over bytes that may be cut short or malformed:
// every offset and count is checked against what the reader actually returned.
#include "platform/pe_image.h"

#include <algorithm>
#include <limits>

#include "platform/file_system.h"

namespace tessaly {
namespace {

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint64_t Le64(const uint8_t* p) { return Le32(p) | (static_cast<uint64_t>(Le32(p + 4)) << 32); }

// Exactly `size` bytes at `offset`, or nullptr.
const uint8_t* ReadExact(ImageReader& reader, uint64_t offset, size_t size) {
  size_t got = 0;
  const uint8_t* p = reader.Read(offset, size, got);
  return (p && got >= size) ? p : nullptr;
}

// Optional header offsets (from its start) of the fields we keep.
struct OptionalLayout {
  size_t imageBase, imageBaseSize, sectionAlignment, fileAlignment, sizeOfImage, sizeOfHeaders,
      subsystem, numberOfRvaAndSizes, directories;
};
constexpr OptionalLayout kLayout32{28, 4, 32, 36, 56, 60, 68, 92, 96};
constexpr OptionalLayout kLayout64{24, 8, 32, 36, 56, 60, 68, 108, 112};
constexpr size_t kMaxDirectories = 16;

// Resource directory structures.
constexpr size_t kResourceDirectorySize = 16;  // IMAGE_RESOURCE_DIRECTORY
constexpr size_t kResourceEntrySize = 8;       // IMAGE_RESOURCE_DIRECTORY_ENTRY
constexpr size_t kResourceDataEntrySize = 16;  // IMAGE_RESOURCE_DATA_ENTRY
constexpr uint32_t kEntryIsNameOrDirectory = 0x80000000u;

// The resource section as seen from the resource directory: offsets in directory entries are
// relative to the directory's start, and everything must lie within the raw data of the section
// that holds it.
struct ResourceTree {
  ImageReader& reader;
  uint64_t base = 0;   // file offset of the root directory
  uint64_t limit = 0;  // bytes of raw section data from `base` on

  const uint8_t* At(uint32_t offset, size_t size) const {
    if (offset > limit || size > limit - offset) return nullptr;
    return ReadExact(reader, base + offset, size);
  }
};

struct DirectoryEntry {
  uint16_t id = 0;
  uint32_t target = 0;  // offset from the root, with kEntryIsNameOrDirectory when a directory
};

// The id entries of the directory at `offset` (named entries come first and are skipped). False
// when the directory or its entries do not lie within the resource section.
bool ReadIdEntries(const ResourceTree& tree, uint32_t offset, std::vector<DirectoryEntry>& out) {
  out.clear();
  const uint8_t* header = tree.At(offset, kResourceDirectorySize);
  if (!header) return false;
  const size_t named = Le16(header + 12);
  const size_t ids = Le16(header + 14);
  if (ids == 0) return true;
  const uint64_t first = uint64_t{offset} + kResourceDirectorySize;
  const uint8_t* entries =
      tree.At(static_cast<uint32_t>(first), (named + ids) * kResourceEntrySize);
  if (!entries) return false;
  for (size_t i = named; i < named + ids; ++i) {
    const uint8_t* e = entries + i * kResourceEntrySize;
    const uint32_t name = Le32(e);
    if (name & kEntryIsNameOrDirectory) continue;  // a named entry among the ids: malformed
    out.push_back({static_cast<uint16_t>(name & 0xFFFF), Le32(e + 4)});
  }
  return true;
}

// The subdirectory of `dir` whose id is `id`.
std::optional<uint32_t> FindSubdirectory(const ResourceTree& tree, uint32_t dir, uint16_t id) {
  std::vector<DirectoryEntry> entries;
  if (!ReadIdEntries(tree, dir, entries)) return std::nullopt;
  for (const DirectoryEntry& e : entries) {
    if (e.id == id && (e.target & kEntryIsNameOrDirectory))
      return e.target & ~kEntryIsNameOrDirectory;
  }
  return std::nullopt;
}

}  // namespace

PeDataDirectory PeHeaders::Directory(size_t index) const {
  return index < directories.size() ? directories[index] : PeDataDirectory{};
}

std::optional<uint64_t> PeHeaders::RvaToFileOffset(uint32_t rva, uint64_t* rawBytesLeft) const {
  for (const PeSection& s : sections) {
    const uint64_t start = s.virtualAddress;
    if (rva >= start && rva < start + s.rawSize) {
      const uint64_t delta = rva - start;
      if (rawBytesLeft) *rawBytesLeft = s.rawSize - delta;
      return uint64_t{s.rawOffset} + delta;
    }
  }
  return std::nullopt;
}

const uint8_t* MemoryImageReader::Read(uint64_t offset, size_t size, size_t& got) {
  got = 0;
  if (!data_ || offset >= size_) return nullptr;
  got = static_cast<size_t>(std::min<uint64_t>(size, size_ - offset));
  return got ? data_ + offset : nullptr;
}

const uint8_t* FileImageReader::Read(uint64_t offset, size_t size, size_t& got) {
  got = 0;
  if (size == 0) return nullptr;
  for (const Piece& piece : pieces_) {
    const uint64_t end = piece.offset + piece.bytes.size();
    if (offset >= piece.offset && offset < end) {
      const uint64_t available = end - offset;
      // A piece that ends at the end of the file serves a read that runs past it.
      if (available >= size || piece.atEnd) {
        got = static_cast<size_t>(std::min<uint64_t>(size, available));
        return piece.bytes.data() + (offset - piece.offset);
      }
    }
  }
  Piece piece;
  piece.offset = offset;
  const size_t want = std::max(size, minimumRead_);
  const ErrorCode rc = fs_.ReadFile(path_, offset, want, piece.bytes);
  if (rc != 0 && rc != err::HandleEof) {
    if (error_ == 0) error_ = rc;
    return nullptr;
  }
  if (rc == err::HandleEof) piece.bytes.clear();
  bytesRead_ += piece.bytes.size();
  piece.atEnd = piece.bytes.size() < want;
  if (piece.bytes.empty()) return nullptr;
  pieces_.push_back(std::move(piece));
  const Piece& stored = pieces_.back();
  got = std::min(size, stored.bytes.size());
  return stored.bytes.data();
}

std::optional<uint32_t> FindNtHeaders(const uint8_t* data, size_t size) {
  if (!data || size < pe::kDosHeaderSize) return std::nullopt;
  if (Le16(data) != pe::kDosSignature) return std::nullopt;
  const uint32_t lfanew = Le32(data + pe::kDosLfanewOffset);
  if (uint64_t{lfanew} + 4 > size) return std::nullopt;
  if (Le32(data + lfanew) != pe::kNtSignature) return std::nullopt;
  return lfanew;
}

std::optional<uint16_t> ReadMachine(const uint8_t* data, size_t size) {
  const auto nt = FindNtHeaders(data, size);
  if (!nt || uint64_t{*nt} + 6 > size) return std::nullopt;
  return Le16(data + *nt + 4);
}

ErrorCode ParsePeHeaders(ImageReader& reader, PeHeaders& out) {
  out = PeHeaders{};
  const auto failed = [&reader]() { return reader.error() ? reader.error() : err::BadFormat; };

  const uint8_t* dos = ReadExact(reader, 0, pe::kDosHeaderSize);
  if (!dos || Le16(dos) != pe::kDosSignature) return failed();
  const uint32_t lfanew = Le32(dos + pe::kDosLfanewOffset);

  const uint8_t* nt = ReadExact(reader, lfanew, 4 + pe::kFileHeaderSize);
  if (!nt || Le32(nt) != pe::kNtSignature) return failed();
  out.ntHeadersOffset = lfanew;
  const uint8_t* fh = nt + 4;
  out.machine = Le16(fh);
  out.numberOfSections = Le16(fh + 2);
  out.timeDateStamp = Le32(fh + 4);
  out.sizeOfOptionalHeader = Le16(fh + 16);
  out.characteristics = Le16(fh + 18);

  const uint64_t optionalOffset = uint64_t{lfanew} + 4 + pe::kFileHeaderSize;
  const size_t optionalSize = out.sizeOfOptionalHeader;
  const uint8_t* opt = optionalSize ? ReadExact(reader, optionalOffset, optionalSize) : nullptr;
  if (optionalSize && !opt) return failed();
  if (opt && optionalSize >= 2) {
    const uint16_t magic = Le16(opt);
    const OptionalLayout* layout = magic == pe::kMagicPe32       ? &kLayout32
                                   : magic == pe::kMagicPe32Plus ? &kLayout64
                                                                 : nullptr;
    if (layout) {
      out.optionalMagic = magic;
      const auto has = [&](size_t at, size_t n) { return at + n <= optionalSize; };
      if (has(layout->imageBase, layout->imageBaseSize)) {
        out.imageBase = layout->imageBaseSize == 8 ? Le64(opt + layout->imageBase)
                                                   : Le32(opt + layout->imageBase);
      }
      if (has(layout->sectionAlignment, 4))
        out.sectionAlignment = Le32(opt + layout->sectionAlignment);
      if (has(layout->fileAlignment, 4)) out.fileAlignment = Le32(opt + layout->fileAlignment);
      if (has(layout->sizeOfImage, 4)) out.sizeOfImage = Le32(opt + layout->sizeOfImage);
      if (has(layout->sizeOfHeaders, 4)) out.sizeOfHeaders = Le32(opt + layout->sizeOfHeaders);
      if (has(layout->subsystem, 2)) out.subsystem = Le16(opt + layout->subsystem);
      if (has(layout->numberOfRvaAndSizes, 4)) {
        const uint32_t declared = Le32(opt + layout->numberOfRvaAndSizes);
        const size_t room =
            optionalSize > layout->directories ? (optionalSize - layout->directories) / 8 : 0;
        const size_t count = std::min<size_t>({declared, room, kMaxDirectories});
        for (size_t i = 0; i < count; ++i) {
          const uint8_t* d = opt + layout->directories + i * 8;
          out.directories.push_back({Le32(d), Le32(d + 4)});
        }
      }
    }
  }

  const uint64_t sectionsOffset = optionalOffset + optionalSize;
  const size_t sectionBytes = size_t{out.numberOfSections} * pe::kSectionHeaderSize;
  if (sectionBytes) {
    const uint8_t* table = ReadExact(reader, sectionsOffset, sectionBytes);
    if (!table) return failed();
    out.sections.reserve(out.numberOfSections);
    for (size_t i = 0; i < out.numberOfSections; ++i) {
      const uint8_t* s = table + i * pe::kSectionHeaderSize;
      PeSection section;
      size_t nameLength = 0;
      while (nameLength < 8 && s[nameLength]) ++nameLength;
      section.name.assign(reinterpret_cast<const char*>(s), nameLength);
      section.virtualSize = Le32(s + 8);
      section.virtualAddress = Le32(s + 12);
      section.rawSize = Le32(s + 16);
      section.rawOffset = Le32(s + 20);
      section.characteristics = Le32(s + 36);
      out.sections.push_back(std::move(section));
    }
  }
  return 0;
}

ErrorCode ParsePeHeaders(const uint8_t* data, size_t size, PeHeaders& out) {
  MemoryImageReader reader(data, size);
  return ParsePeHeaders(reader, out);
}

ErrorCode FindResourceData(ImageReader& reader, const PeHeaders& headers, uint16_t type,
                           uint16_t name, PeResourceData& out) {
  out = PeResourceData{};
  const auto failed = [&reader](ErrorCode code) { return reader.error() ? reader.error() : code; };

  const PeDataDirectory dir = headers.Directory(pe::kDirectoryResource);
  if (dir.rva == 0 || dir.size == 0) return err::ResourceDataNotFound;
  uint64_t rawLeft = 0;
  const auto base = headers.RvaToFileOffset(dir.rva, &rawLeft);
  if (!base) return err::ResourceDataNotFound;
  const ResourceTree tree{reader, *base, rawLeft};

  // The walk is three levels deep (type, name, language) and then a data entry, so an entry that
  // points back up the tree cannot make it loop.
  if (!tree.At(0, kResourceDirectorySize)) return failed(err::ResourceDataNotFound);
  const auto typeDir = FindSubdirectory(tree, 0, type);
  if (!typeDir) return failed(err::ResourceTypeNotFound);
  const auto nameDir = FindSubdirectory(tree, *typeDir, name);
  if (!nameDir) return failed(err::ResourceNameNotFound);

  std::vector<DirectoryEntry> entries;
  if (!ReadIdEntries(tree, *nameDir, entries)) return failed(err::ResourceLangNotFound);
  // Data entries only: a language entry that is itself a directory is malformed.
  std::erase_if(entries,
                [](const DirectoryEntry& e) { return e.target & kEntryIsNameOrDirectory; });
  if (entries.empty()) return failed(err::ResourceLangNotFound);
  const DirectoryEntry* chosen = nullptr;
  for (uint16_t lang : {pe::kLanguageNeutral, pe::kLanguageEnglishUs}) {
    for (const DirectoryEntry& e : entries) {
      if (e.id == lang) {
        chosen = &e;
        break;
      }
    }
    if (chosen) break;
  }
  if (!chosen) chosen = &entries.front();

  const uint8_t* data = tree.At(chosen->target, kResourceDataEntrySize);
  if (!data) return failed(err::ResourceLangNotFound);
  out.language = chosen->id;
  out.rva = Le32(data);
  out.size = Le32(data + 4);
  out.codePage = Le32(data + 8);
  const auto fileOffset = headers.RvaToFileOffset(out.rva);
  if (!fileOffset) return err::ResourceLangNotFound;
  out.fileOffset = *fileOffset;
  return 0;
}

ErrorCode ReadVersionResourceBytes(ImageReader& reader, std::vector<uint8_t>& out) {
  out.clear();
  PeHeaders headers;
  ErrorCode rc = ParsePeHeaders(reader, headers);
  if (rc != 0) return reader.error() ? reader.error() : err::ResourceDataNotFound;
  PeResourceData where;
  rc = FindResourceData(reader, headers, pe::kResourceTypeVersion, pe::kVersionResourceId, where);
  if (rc != 0) return reader.error() ? reader.error() : err::ResourceDataNotFound;
  const size_t want = std::min<uint32_t>(where.size, pe::kMaxVersionResourceSize);
  if (want == 0) return err::ResourceDataNotFound;
  size_t got = 0;
  const uint8_t* bytes = reader.Read(where.fileOffset, want, got);
  if (!bytes) return reader.error() ? reader.error() : err::ResourceDataNotFound;
  // A file cut short keeps what it has; the version block's own lengths are checked later.
  out.assign(bytes, bytes + got);
  return 0;
}

ErrorCode ReadVersionResourceBytes(FileSystem& fs, std::wstring_view path,
                                   std::vector<uint8_t>& out) {
  FileImageReader reader(fs, std::wstring(path));
  return ReadVersionResourceBytes(reader, out);
}

}  // namespace tessaly
