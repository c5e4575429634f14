// The product manager's list filter and product details.
#include "product_manager/product_details.h"

#include "platform/text.h"
#include "product_manager/change_folder_text.h"
#include "product_manager/product_filters.h"

namespace tessaly {

std::wstring ProductTypeText(const CNiProduct& product) {
  std::wstring word = ProductTypeWord(product.GetType(), WordCase::Sentence);
  if (!word.empty()) return word;
  return FormatText(L"Unknown (%04x)", product.presentValues.ToBits());
}

std::wstring LibraryTypeText(ContentKinds contentKinds) {
  struct Kind {
    ContentKind bit;
    const wchar_t* name;
  };
  static constexpr Kind kKinds[] = {
      {contentkind::Kontakt, L"Kontakt"},
      {contentkind::Kore, L"Kore"},
      {contentkind::Maschine, L"Maschine"},
      {contentkind::Reaktor, L"Reaktor"},
      {contentkind::GuitarRig, L"Guitar Rig"},
      {contentkind::Battery, L"Battery"},
      {contentkind::KompleteKontrol, L"Komplete Kontrol"},
      {contentkind::Massive, L"Massive"},
      {contentkind::NksContent, L"NKS Content"},
  };
  std::wstring text;
  for (const Kind& kind : kKinds) {
    if (!(contentKinds & kind.bit)) continue;
    if (!text.empty()) text += L", ";
    text += kind.name;
  }
  return text;
}

bool IsListed(const CNiProduct& product, const BrokenPaths& brokenPaths, ProductTypes typeFilter,
              PathBits pathFilter) {
  if (!(product.GetType() & typeFilter)) return false;
  return pathFilter.HasAny(brokenPaths ? pathbits::Broken : pathbits::Valid);
}

void CProductList::Refill(const CNiLibrary& library, FileSystem& fs, ProductTypes typeFilter,
                          PathBits pathFilter) {
  names_.clear();
  const bool needsMasks = NeedsBrokenPaths(pathFilter);
  for (const CNiProduct& record : library.records()) {
    if (!(record.GetType() & typeFilter)) continue;
    const BrokenPaths broken = needsMasks ? record.GetBrokenPaths(fs) : BrokenPaths{};
    if (IsListed(record, broken, typeFilter, pathFilter)) names_.push_back(record.keyName.c_str());
  }
}

ProductDetails DescribeProduct(const CNiProduct& product, FileSystem& fs,
                               const CNiBundleMap& bundles) {
  ProductDetails details;
  const BrokenPaths broken = product.GetBrokenPaths(fs);
  const ValueKinds present = product.presentValues;
  struct FolderRow {
    ProductDetails::Folder& folder;
    ValueKinds kinds;  // any of these makes the product have the folder
    ValueKind kind;    // the value shown and the broken bit
  };
  const FolderRow folders[] = {
      {details.content, valuekind::ContentDir | valuekind::SystemContentDir, valuekind::ContentDir},
      {details.install, valuekind::InstallDir, valuekind::InstallDir},
      {details.vst32, valuekind::InstallVstDir, valuekind::InstallVstDir},
      {details.vst64, valuekind::InstallVst64Dir, valuekind::InstallVst64Dir},
  };
  for (const FolderRow& row : folders) {
    row.folder.missing = broken.folders.HasAny(row.kind);
    if (!(present & row.kinds)) continue;
    row.folder.options = true;
    row.folder.text = product.GetValue(row.kind);
  }
  if (present & valuekind::ContentVersion) details.contentVersion = product.contentVersion;
  details.productType = ProductTypeText(product);
  details.libraryType = LibraryTypeText(product.contentKinds);

  if (product.GetType() == producttype::AppPlugin) {
    struct FileRowSource {
      ProductDetails::FileRow& row;
      ValueKind kind;
      const std::wstring& file;
      ProductFile selector;
    };
    const FileRowSource rows[] = {
        {details.app, valuekind::InstallDir, product.appFile, productfile::App},
        {details.plugin32, valuekind::InstallVstDir, product.pluginFile, productfile::Plugin32},
        {details.plugin64, valuekind::InstallVst64Dir, product.pluginFile, productfile::Plugin64},
    };
    for (const FileRowSource& source : rows) {
      std::wstring path;
      const bool exists = product.MakeFilePath(fs, source.kind, source.file.c_str(), path);
      if (path.empty()) continue;
      source.row.path = std::move(path);
      source.row.missing = !exists;
      source.row.launch = exists;
      const std::wstring version = product.GetFileVersion(source.selector);
      if (exists && !version.empty()) {
        source.row.versionLabel = FormatText(L"File version: %s", version.c_str());
      }
    }
  }
  bundles.GetBundlesContaining(product.sno, details.bundles);
  return details;
}

}  // namespace tessaly
