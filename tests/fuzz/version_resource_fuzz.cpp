// libFuzzer entry point over the readers of outside bytes: the input is taken both as a whole
// file (PE headers, resource directory, version resource) and as a version block itself.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/pe_image.h"
#include "platform/version_resource.h"

namespace {

using namespace tessaly;

// Every query a caller makes, over as much of the block as stays cheap.
void Query(const VersionResource& resource) {
  FixedFileInfo fixed;
  resource.QueryFixedInfo(fixed);
  std::vector<VersionTranslation> translations;
  resource.QueryTranslations(translations);
  std::wstring text;
  for (size_t i = 0; i < std::min<size_t>(translations.size(), 4); ++i) {
    resource.QueryString(VersionResource::StringPath(translations[i], L"FileVersion"), text);
  }
  std::vector<std::wstring> tables;
  resource.ListChildren(L"\\StringFileInfo", tables);
  for (size_t t = 0; t < std::min<size_t>(tables.size(), 8); ++t) {
    const std::wstring table = L"\\StringFileInfo\\" + tables[t];
    std::vector<std::wstring> names;
    resource.ListChildren(table, names);
    for (size_t n = 0; n < std::min<size_t>(names.size(), 16); ++n) {
      resource.QueryString(table + L"\\" + names[n], text);
    }
  }
  VersionValue value;
  resource.QueryValue(L"\\\\VarFileInfo\\\\Translation\\", value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ReadMachine(data, std::min<size_t>(size, 1024));

  MemoryImageReader reader(data, size);
  PeHeaders headers;
  if (ParsePeHeaders(reader, headers) == 0) {
    for (const PeDataDirectory& directory : headers.directories) {
      headers.RvaToFileOffset(directory.rva);
    }
  }
  std::vector<uint8_t> version;
  if (ReadVersionResourceBytes(reader, version) == 0) Query(VersionResource(std::move(version)));

  Query(VersionResource(std::vector<uint8_t>(data, data + size)));
  return 0;
}
