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
#include "product_manager/product_filters.h"

namespace tessaly {

// "App/plugin", "Content library", "Bundle", "Driver/utility" or "Unknown (%04x)" with the
// values the product has.
std::wstring ProductTypeText(const CNiProduct& product);
// The names of the content kinds, joined by ", " (Komplete Kontrol before Massive).
std::wstring LibraryTypeText(ContentKinds contentKinds);

// True when the path filter needs the broken-path masks: it shows only valid or only broken items.
inline bool NeedsBrokenPaths(PathBits pathFilter) { return !pathFilter.HasAll(pathbits::Default); }

// Whether the filters list the product: its type among `typeFilter` and its paths' state among
// `pathFilter` (1 all valid, 2 some broken), given its broken-path mask.
bool IsListed(const CNiProduct& product, const BrokenPaths& brokenPaths, ProductTypes typeFilter,
              PathBits pathFilter);

// The page's product list: the key names its filters pass, in library order.
class CProductList {
 public:
  virtual ~CProductList() = default;

  // Lists the records of `library` that pass the filters. A product's broken-path mask is taken
  // from the disk as it is now, as the details take it, so that the list and the details agree
  // however the disk changed since the last refill; it is looked at only for products of the
  // listed types and only when the path filter tells valid items from broken ones.
  void Refill(const CNiLibrary& library, FileSystem& fs, ProductTypes typeFilter,
              PathBits pathFilter);
  // The listed key names; they point into the library's records.
  const std::vector<const wchar_t*>& Names() const { return names_; }

 private:
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
    bool launch = false;        // the file exists
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
