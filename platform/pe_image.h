// PE image headers and resources read from untrusted bytes: DOS and NT headers, data directories,
// the section table, RVA mapping and the resource directory walk that finds the version resource.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/types.h"

namespace tessaly {

class FileSystem;

namespace pe {
// IMAGE_FILE_HEADER.Machine values.
constexpr uint16_t kMachineUnknown = 0x0000;
constexpr uint16_t kMachineI386 = 0x014C;
constexpr uint16_t kMachineArm = 0x01C0;
constexpr uint16_t kMachineThumb = 0x01C2;
constexpr uint16_t kMachineArmNt = 0x01C4;
constexpr uint16_t kMachineIa64 = 0x0200;
constexpr uint16_t kMachineAmd64 = 0x8664;
constexpr uint16_t kMachineArm64 = 0xAA64;

// IMAGE_OPTIONAL_HEADER.Magic.
constexpr uint16_t kMagicPe32 = 0x010B;
constexpr uint16_t kMagicPe32Plus = 0x020B;

constexpr uint16_t kDosSignature = 0x5A4D;     // "MZ"
constexpr uint32_t kNtSignature = 0x00004550;  // "PE\0\0"
constexpr uint32_t kDosLfanewOffset = 0x3C;
constexpr uint32_t kDosHeaderSize = 0x40;
constexpr uint32_t kFileHeaderSize = 20;
constexpr uint32_t kSectionHeaderSize = 40;

constexpr size_t kDirectoryResource = 2;
constexpr uint16_t kResourceTypeVersion = 16;  // RT_VERSION
constexpr uint16_t kVersionResourceId = 1;     // VS_VERSION_INFO
constexpr uint16_t kLanguageNeutral = 0x0000;
constexpr uint16_t kLanguageEnglishUs = 0x0409;

// The most of a version resource that is ever read: its root block's length is 16 bits.
constexpr uint32_t kMaxVersionResourceSize = 0x10000;
}  // namespace pe

struct PeDataDirectory {
  uint32_t rva = 0;
  uint32_t size = 0;
};

struct PeSection {
  std::string name;  // up to 8 bytes, without the padding NULs
  uint32_t virtualSize = 0;
  uint32_t virtualAddress = 0;
  uint32_t rawSize = 0;
  uint32_t rawOffset = 0;
  uint32_t characteristics = 0;
};

struct PeHeaders {
  uint32_t ntHeadersOffset = 0;  // e_lfanew
  // File header.
  uint16_t machine = 0;
  uint16_t numberOfSections = 0;  // as stated; `sections` holds them all once parsed
  uint32_t timeDateStamp = 0;
  uint16_t sizeOfOptionalHeader = 0;
  uint16_t characteristics = 0;
  // Optional header: the fields below stay 0 when it is too short to hold them or its magic is
  // neither PE32 nor PE32+ (such an image has no data directories).
  uint16_t optionalMagic = 0;
  uint64_t imageBase = 0;
  uint32_t sectionAlignment = 0;
  uint32_t fileAlignment = 0;
  uint32_t sizeOfImage = 0;
  uint32_t sizeOfHeaders = 0;
  uint16_t subsystem = 0;
  // The directories that NumberOfRvaAndSizes declares and the optional header holds (at most 16).
  std::vector<PeDataDirectory> directories;
  std::vector<PeSection> sections;

  bool IsPe32() const { return optionalMagic == pe::kMagicPe32; }
  bool IsPe32Plus() const { return optionalMagic == pe::kMagicPe32Plus; }
  // An empty directory (rva or size 0) when the image does not declare it.
  PeDataDirectory Directory(size_t index) const;
  // The file offset of `rva` within the raw data of the section that holds it, as
  // RtlImageRvaToSection finds it (VirtualAddress <= rva < VirtualAddress + SizeOfRawData), and
  // how many raw bytes of that section follow it.
  std::optional<uint64_t> RvaToFileOffset(uint32_t rva, uint64_t* rawBytesLeft = nullptr) const;
};

// Gives the bytes of a file by offset. Pointers stay valid until the reader is destroyed.
class ImageReader {
 public:
  virtual ~ImageReader() = default;
  // Up to `size` bytes at `offset`; `got` says how many (fewer at the end of the file, 0 past
  // it or on a read error). Returns nullptr when `got` is 0.
  virtual const uint8_t* Read(uint64_t offset, size_t size, size_t& got) = 0;
  // The error of the first failed read, or 0.
  virtual ErrorCode error() const { return 0; }
};

// Bytes already in memory: a whole file, or its first bytes.
class MemoryImageReader : public ImageReader {
 public:
  MemoryImageReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  const uint8_t* Read(uint64_t offset, size_t size, size_t& got) override;

 private:
  const uint8_t* data_;
  size_t size_;
};

// A file read piece by piece through FileSystem::ReadFile: each read that the cached pieces do
// not cover fetches at least `minimumRead` bytes, so a plugin of hundreds of megabytes costs a
// few small reads.
class FileImageReader : public ImageReader {
 public:
  FileImageReader(FileSystem& fs, std::wstring path, size_t minimumRead = 16 * 1024)
      : fs_(fs), path_(std::move(path)), minimumRead_(minimumRead) {}
  const uint8_t* Read(uint64_t offset, size_t size, size_t& got) override;
  ErrorCode error() const override { return error_; }
  // Bytes fetched from the file so far.
  uint64_t bytesRead() const { return bytesRead_; }

 private:
  struct Piece {
    uint64_t offset = 0;
    std::vector<uint8_t> bytes;
    bool atEnd = false;  // the file ends with this piece
  };
  FileSystem& fs_;
  std::wstring path_;
  size_t minimumRead_;
  std::deque<Piece> pieces_;
  ErrorCode error_ = 0;
  uint64_t bytesRead_ = 0;
};

// The offset of the NT headers as ImageNtHeader finds them: `data` starts with the DOS signature
// "MZ" and e_lfanew (at 0x3C) points at "PE\0\0". Nothing beyond `size` is looked at, so headers
// that start past the bytes given count as absent.
std::optional<uint32_t> FindNtHeaders(const uint8_t* data, size_t size);
// The file header's Machine field (the two bytes after the signature), when FindNtHeaders finds
// the headers and the field lies within `data`.
std::optional<uint16_t> ReadMachine(const uint8_t* data, size_t size);

// Parses the DOS header, NT headers, data directories and section table. 0 on success;
// 11 (bad format) when the bytes are not a PE image or its headers are cut short; a read error
// of the reader when there is one.
[[nodiscard]] ErrorCode ParsePeHeaders(ImageReader& reader, PeHeaders& out);
[[nodiscard]] ErrorCode ParsePeHeaders(const uint8_t* data, size_t size, PeHeaders& out);

// Where a resource's data lies.
struct PeResourceData {
  uint16_t language = 0;
  uint32_t rva = 0;
  uint32_t size = 0;
  uint32_t codePage = 0;
  uint64_t fileOffset = 0;
};

// Finds resource `type`/`name` (both numeric ids) the way the loader does for GetFileVersionInfo:
// the language-neutral entry first, then US English, then the first language listed.
// 0; 1812 when the image has no resource directory (or it lies outside the file's sections);
// 1813 no such type; 1814 no such name; 1815 no usable language entry (or its data lies outside
// the file's sections); a read error of the reader.
[[nodiscard]] ErrorCode FindResourceData(ImageReader& reader, const PeHeaders& headers,
                                         uint16_t type, uint16_t name, PeResourceData& out);

// The bytes of the version resource (RT_VERSION, id 1), at most pe::kMaxVersionResourceSize of
// them. 0; 1812 when there is none, including files that are not PE images; a read error.
[[nodiscard]] ErrorCode ReadVersionResourceBytes(ImageReader& reader, std::vector<uint8_t>& out);
// The same for a file, which is read only where needed: its headers, the resource directory
// and the version data. Errors of the file system (2 missing file, 3 missing folder, 32 ...)
// are returned as they are.
[[nodiscard]] ErrorCode ReadVersionResourceBytes(FileSystem& fs, std::wstring_view path,
                                                 std::vector<uint8_t>& out);

}  // namespace tessaly
