// CNiProductHints: the Service Center's ProductHints.xml, read once and kept as the facts the
// program uses: per registry key name the product type, the engines its content is for, its
// program and plugin file names, and the members of bundles.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "catalog/product_kinds.h"
#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "platform/types.h"

namespace tessaly {

class CNiProduct;
class CNiFileDatabase;
class CNiBundleMap;

// One child element of the root. Every text is the element's first text (or CDATA) child; an
// element that occurs more than once counts by its first occurrence.
struct HintEntry {
  struct BinName {
    std::wstring text;
    std::optional<std::wstring> target;
    std::optional<std::wstring> platform;
  };
  std::optional<std::wstring> regKey;
  std::optional<std::wstring> name;
  std::optional<std::wstring> type;
  ContentKinds contentKinds;  // the engines of Relevance and PoweredBy
  std::vector<BinName> binNames;
  std::optional<std::wstring> hostMode;
  std::vector<std::wstring> members;  // from Members: the first Member and every element after it
};

// The facts of one hints file.
struct HintsDocument {
  std::vector<HintEntry> entries;
  std::map<std::wstring, size_t, LessNoCaseFn> byRegKey;  // the first entry of each RegKey text
  std::map<std::wstring, size_t, LessNoCaseFn> byName;    // the first entry of each Name text
};

// Parses a hints file's bytes (UTF-8 or UTF-16 with its mark). 1359 when they are not XML or
// have no root element ProductHints; `out` is then left as it was.
[[nodiscard]] ErrorCode ParseProductHints(const uint8_t* data, size_t size, HintsDocument& out);

// The product type of a hint's type word ("App", "Plugin", "Content", "3rdParty", "Bundle",
// "Utility", without regard to case), None for any other word.
ProductType HintTypeOf(std::wstring_view word);
// The content kind of an engine word ("Kontakt", ..., "KKontrol"), none for any other word.
ContentKinds HintEngineOf(std::wstring_view word);

class CNiProductHints {
 public:
  CNiProductHints(Registry& registry, FileSystem& fs) : registry_(&registry), fs_(&fs) {}
  virtual ~CNiProductHints() = default;
  CNiProductHints(const CNiProductHints&) = default;
  CNiProductHints& operator=(const CNiProductHints&) = default;

  // Reads (Service Center folder)\conf\ProductHints.xml: the registry's error when the Service
  // Center's folder is unknown, 1359 when the path does not fit, 2 when there is no file (these
  // keep what an earlier load read); 1359 when the file cannot be read, is not XML or has no
  // ProductHints root (these forget it).
  [[nodiscard]] ErrorCode Load();
  // The same over a file's bytes.
  [[nodiscard]] ErrorCode LoadBytes(const uint8_t* data, size_t size);
  bool IsLoaded() const { return loaded_; }

  // Sets the record's product type (when the entry has a Type) and content kinds from the entry
  // whose RegKey, or else whose Name, is the record's key name. 0 when the hints are loaded and
  // know the record; 2 when they do not know it or were not loaded (an earlier load's facts still
  // classify it); 1359 when nothing was ever read; 87 for a null record.
  [[nodiscard]] ErrorCode Apply(CNiProduct* record) const;

  // Adds an entry for every App or Plugin the file database lacks; returns how many were added.
  // A failed load, and each entry the database refuses, count one error.
  size_t MergeIntoFileDatabase(CNiFileDatabase& database, uint32_t& errors);

  // Fills `bundles` with the entries of type Bundle and their members; returns how many entries
  // made or joined a bundle. A failed load, a bundle that cannot be stored and each empty or
  // repeated member count one error.
  size_t LoadBundles(CNiBundleMap& bundles, uint32_t& errors);

  const HintsDocument& Document() const { return document_; }

 private:
  // Drops the document: nothing classifies from it any more.
  void Forget();

  Registry* registry_;
  FileSystem* fs_;
  HintsDocument document_;
  bool hasDocument_ = false;  // a root was read once
  bool loaded_ = false;
};

}  // namespace tessaly
