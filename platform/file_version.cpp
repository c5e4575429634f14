// Version resources of files: reading them and the "FileVersion" value.
#include "platform/file_version.h"

#include <new>
#include <vector>

#include "platform/pe_image.h"

namespace tessaly {

ErrorCode ReadVersionResource(FileSystem& fs, std::wstring_view path, VersionResource& out) {
  out.Clear();
  try {
    std::vector<uint8_t> bytes;
    const ErrorCode rc = ReadVersionResourceBytes(fs, path, bytes);
    // The file system's own allocation failures while reading count as ours.
    if (rc == err::NotEnoughMemory || rc == err::OutOfMemory) return err::NotEnoughMemoryVersion;
    if (rc != 0) return rc;
    out.Assign(std::move(bytes));
  } catch (const std::bad_alloc&) {
    out.Clear();
    return err::NotEnoughMemoryVersion;
  }
  return 0;
}

ErrorCode GetFileVersionString(FileSystem& fs, System& system, const std::wstring& path,
                               std::wstring& out) {
  out.clear();
  if (path.empty()) return err::NotReady;

  VersionResource resource;
  {
    const auto redirection = system.DisableFileRedirection();
    if (const ErrorCode rc = ReadVersionResource(fs, path, resource)) return rc;
  }

  std::vector<VersionTranslation> translations;
  if (resource.QueryTranslations(translations) != 0 || translations.empty()) {
    return err::UnidentifiedError;
  }
  try {
    return resource.QueryString(VersionResource::StringPath(translations.front(), L"FileVersion"),
                                out);
  } catch (const std::bad_alloc&) {
    out.clear();
    return err::NotEnoughMemoryVersion;
  }
}

}  // namespace tessaly
