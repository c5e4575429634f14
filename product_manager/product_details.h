// What the product manager page shows: which products its filters list, and the details of one
// product (folders with the missing ones marked, type, content kinds, bundles, file rows).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "catalog/ni_bundle.h"
#include "catalog/ni_library.h"
#include "catalog/ni_product.h"
#include "platform/file_system.h"

namespace tessaly {

// "App/plugin", "Content library", "Bundle", "Driver/utility" or "Unknown (%04x)" with the
// values the product has.
std::wstring ProductTypeText(const CNiProduct& product);
// The names of the content kinds, joined by ", " (Komplete Kontrol before Massive).
std::wstring LibraryTypeText(uint32_t contentKinds);

// Whether the filters list the product: its type among `typeFilter` and its paths' state among
// `pathFilter` (1 all valid, 2 some broken), given its broken-path mask.
// True when the path filter needs the broken-path masks: it shows only valid or only broken items.
inline bool NeedsBrokenPaths(uint32_t pathFilter) { return (pathFilter & 3) != 3; }

bool IsListed(const CNiProduct& product, uint32_t brokenPaths, uint32_t typeFilter,
              uint32_t pathFilter);

// The key names the filters list, in library order. `brokenPaths` holds each record's mask, in
// the library's order; it is needed only when the path filter leaves out valid or broken items
// (a record without a mask counts as valid).
std::vector<const wchar_t*> ListedKeyNames(const CNiLibrary& library,
                                           const std::vector<uint32_t>& brokenPaths,
                                           uint32_t typeFilter, uint32_t pathFilter);

// The page's product list: the key names its filters pass, in library order.
class CProductList {
 public:
  virtual ~CProductList() = default;

  // Lists the records of `library` that pass the filters. The broken-path masks cost a look at
  // every folder and file of every product: they are made only when the path filter tells valid
  // items from broken ones, and kept until PathsChanged().
  void Refill(const CNiLibrary& library, FileSystem& fs, uint32_t typeFilter,
              uint32_t pathFilter);
  // A repair changed paths: the next refill looks at them again.
  void PathsChanged() { brokenPaths_.clear(); }
  // The listed key names; they point into the library's records.
  const std::vector<const wchar_t*>& Names() const { return names_; }

 private:
  std::vector<uint32_t> brokenPaths_;  // each record's mask, in the library's order
  std::vector<const wchar_t*> names_;
};

struct ProductDetails {
  // A folder of the product and whether its Options button works (the product has the value).
  struct Folder {
    std::wstring text;
    bool missing = false;
    bool options = false;
  };
  // A file row of an application or plugin: filled only for apps and plugins with a file name.
  struct FileRow {
    std::wstring path;
    bool missing = false;
    bool launch = false;      // the file exists
    std::wstring versionLabel;  // "File version: %s" when it exists and has one
  };
  Folder install, vst32, vst64, content;
  std::wstring contentVersion;
  std::wstring productType;
  std::wstring libraryType;
  FileRow app, plugin32, plugin64;
  NoCaseTextSet bundles;
};

ProductDetails DescribeProduct(const CNiProduct& product, FileSystem& fs,
                               const CNiBundleMap& bundles);

}  // namespace tessaly
