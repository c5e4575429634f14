// CNiLibrary: every Native Instruments product that the installers registered on this machine,
// read from both registry views, classified with the hints and the content catalogs, completed
// with the file database's file names; with the lookups and bulk repairs the pages use.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "catalog/file_database.h"
#include "catalog/ni_bundle.h"
#include "catalog/ni_product.h"
#include "catalog/product_hints.h"
#include "platform/cancel.h"
#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "platform/types.h"

namespace tessaly {

// Kontakt's number for a library that is not forced to the top and awaits its place.
constexpr uint32_t kUnplacedListIndex = 0xFFFFFFFFu;

// Gives every record that is not forced to the top (UserListIndex 0) the places 1, 2, 3, ... in
// list order, as Kontakt's Libraries tab shows them.
void NumberLibrariesTab(std::vector<CNiProduct>& records);

// Compares two key names as the Libraries tab sorts them: A-Z folded, and with `ignoreArticles`
// without one leading "a ", "an " or "the ".
int CompareLibraryNames(std::wstring_view a, std::wstring_view b, bool ignoreArticles);

// ClassifyContent's answer for a record that is not content.
constexpr ErrorCode kNotContent = 1468;

// The content products that one catalog key of the machine lists: each value's data is a
// product's key name (compared without regard to case; the first value for a name wins).
class CNiCatalog {
 public:
  enum : uint32_t { kContent = 2, kMaschine = 4, kReaktor = 8 };

  CNiCatalog() = default;
  virtual ~CNiCatalog() = default;
  CNiCatalog(const CNiCatalog&) = default;
  CNiCatalog& operator=(const CNiCatalog&) = default;

  // Reads the catalog key of `type` (kContent, kMaschine or kReaktor; 87 for another) from the
  // 64-bit view: the open error, 1359 when memory runs out, else 0.
  [[nodiscard]] ErrorCode Load(Registry& registry, uint32_t type);
  bool Contains(const CNiProduct& record) const {
    return names_.find(record.keyName) != names_.end();
  }
  uint32_t Type() const { return type_; }
  size_t Count() const { return names_.size(); }

 private:
  std::map<std::wstring, std::wstring, LessNoCaseFn> names_;  // data text -> value name
  uint32_t type_ = 0;
};

class CNiLibrary {
 public:
  using Records = std::vector<CNiProduct>;
  // Called on the scanning thread before each product key is read, with its name; the name is
  // valid only during the call.
  using ProgressCallback = std::function<void(const wchar_t* keyName)>;

  CNiLibrary(Registry& registry, FileSystem& fs, System& system);
  virtual ~CNiLibrary();
  CNiLibrary(const CNiLibrary&) = delete;
  CNiLibrary& operator=(const CNiLibrary&) = delete;

  // Empties the records and the file database and loads the three catalogs and the hints. The
  // result is the error of the last of those loads that failed (Content, Maschine, Reaktor,
  // hints), information only: a missing catalog or hints file leaves the library usable.
  [[nodiscard]] ErrorCode Reset();

  // Reads the file database at `path` and adds what the hints know beyond it. 0 when the hints
  // added an entry; otherwise 87 for a null path, else 0.
  [[nodiscard]] ErrorCode LoadFileDatabase(const wchar_t* path);

  // Reads every product key through the 64-bit view and, on 64-bit Windows, the keys only the
  // 32-bit view has; takes the products whose type and content kinds meet the masks (0xFFFF:
  // all) and that have one of the values that make a product. `cancel` is polled after each key
  // (null for a scan nobody stops); a cancelled scan keeps what it found. `progress`, when set, is
  // called before each key is read. The records end sorted by key name.
  // Result: the last pass's: the open or enumeration error, 1359 on exhaustion, else 0.
  [[nodiscard]] ErrorCode Scan(const CancelFlag* cancel, ProductTypes typeMask,
                               ContentKinds contentMask,
                               const ProgressCallback& progress = nullptr);

  // Content kinds of a content product from the catalogs: 87 for null, 1468 for a record that
  // is not content (kNotContent).
  [[nodiscard]] ErrorCode ClassifyContent(CNiProduct* record) const;

  // The first record whose key name equals `keyName` without regard to case.
  CNiProduct* FindByName(std::wstring_view keyName);
  const CNiProduct* FindByName(std::wstring_view keyName) const;
  CNiProduct* FindBySerial(uint32_t serial);

  // The distinct non-empty texts of `kind` over the records (the first spelling met wins),
  // sorted without regard to case. Returns their number.
  size_t GatherValues(ValueKind kind, std::vector<std::wstring>& list) const;

  // Writes `newValue` as `kind` into every record of the types of `typeMask` (only those whose
  // value equals `oldValue`, when one is given). Returns how many were written; each failure
  // counts in `errors` and the pass goes on.
  size_t SetForAll(ProductTypes typeMask, ValueKind kind, bool onlyIfPresent, uint32_t& errors,
                   const wchar_t* oldValue, const std::wstring& newValue);

  // Moves `kind` of every record of the types of `typeMask` whose value lies below `oldParent`
  // (by whole components) to the same place below `newParent`. Returns how many were changed;
  // results that would not fit and failed writes count in `errors`. A value outside the old
  // parent, an empty one included, is skipped and not counted.
  size_t RelocateParent(ProductTypes typeMask, ValueKind kind, uint32_t& errors,
                        const std::wstring& oldParent, const std::wstring& newParent);

  // --- Kontakt's Libraries tab ---------------------------------------------------------------
  // Drops the records without any folder (content, installation, plugin or system content).
  size_t RemoveWithoutFolders();
  // Reads UserListIndex and UserRemoved from the user hive for every record whose key is there
  // (`updated` counts them): the open or enumeration error of HKCU\SOFTWARE\Native Instruments,
  // 1359 on exhaustion, else 0.
  [[nodiscard]] ErrorCode LoadUserValues(uint32_t& updated);
  // Drops the records that lack either user value.
  size_t RemoveNotInLibrariesTab();
  // Stable sort: mode 0 by key name (without a leading "a ", "an " or "the " when
  // `ignoreArticles`), 1 and 3 by UserListIndex, 2 by UserRemoved; any other mode keeps the order.
  void Sort(int mode, bool ignoreArticles);
  // Writes both user values of every record; returns how many were written without error, and
  // counts the records where either write failed in `errors`.
  size_t SaveUserValues(uint32_t& errors);

  Records& records() { return records_; }
  const Records& records() const { return records_; }
  size_t Count() const { return records_.size(); }

  // The bundles of the hints file and the products each contains: empty until LoadBundles.
  const CNiBundleMap& Bundles() const { return bundles_; }
  // Reads the bundles from the hints file (loaded on demand); returns how many were read, each
  // failure counted in `errors`.
  size_t LoadBundles(uint32_t& errors) { return hints.LoadBundles(bundles_, errors); }

  CNiCatalog maschineCatalog;
  CNiCatalog reaktorCatalog;
  CNiCatalog contentCatalog;
  CNiProductHints hints;
  CNiFileDatabase fileDatabase;

 private:
  [[nodiscard]] ErrorCode ScanView(const CancelFlag* cancel, const ProgressCallback& progress,
                                   bool view32, bool skipKnown, ProductTypes typeMask,
                                   ContentKinds contentMask, CNiProduct& record);

  Registry* registry_;
  FileSystem* fs_;
  System* system_;
  Records records_;
  CNiBundleMap bundles_;
  std::set<std::wstring, LessNoCaseFn> known_;  // key names taken by the 64-bit pass
  uint32_t serialCounter_ = 0;
  bool checkFiles_ = false;
};

}  // namespace tessaly
