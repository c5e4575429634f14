// The product manager's folder repair without a window: one product, every product of a type
// ("Use for all", optionally only those in the product's current folder), or every product of a
// type registered below an old parent folder, moved below a new one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "catalog/ni_library.h"
#include "platform/file_ops.h"
#include "registry_archive/first_run_backups.h"

namespace tessaly {

enum class FolderChangeScope {
  OneProduct,  // "Use for (product) only"
  AllOfType,   // "Use for all (type) products..."
  Relocate,    // "Relocate (type) products from (parent)..."
};

struct FolderChange {
  FolderChangeScope scope = FolderChangeScope::OneProduct;
  ValueKind kind{};        // the folder's value kind
  std::wstring folder;     // the new folder (one product, all of a type)
  std::wstring onlyFrom;   // all of a type: only the products whose folder is this one
  std::wstring oldParent;  // relocation: from below this folder...
  std::wstring newParent;  // ...to the same place below this one
};

struct FolderChangeResult {
  // One product: the write's error. Every scope: the error of saving the change backup, which
  // stops the change before any write (`backupFailed` tells which).
  ErrorCode error = err::Success;
  bool backupFailed = false;
  size_t done = 0;      // products written (or passed over for lacking the folder kind)
  uint32_t errors = 0;  // products whose new folder could not be made or written
};

// Told of each product as the change reaches it.
class FolderChangeObserver {
 public:
  virtual ~FolderChangeObserver() = default;
  virtual void ProductWritten(const CNiProduct& product, ErrorCode result) = 0;
};

// The change backup's one-line description: "Use for all Content library products: E:\Libraries".
std::wstring DescribeFolderChange(const CNiProduct& product, const FolderChange& change);

// Applies `change` to `product` (one product) or to the records of the library of `product`'s
// type, writing into the existing machine keys through each record's own view. First the values
// it is about to write are saved as a change backup; when that fails nothing is written. `stop`
// (may be null) is polled before each product: a stopped change keeps what it wrote. `observer`
// may be null.
FolderChangeResult ChangeProductFolder(CNiLibrary& library, const BackupContext& context,
                                       CNiProduct& product, const FolderChange& change,
                                       FolderChangeObserver* observer, const CancelFlag* stop);

}  // namespace tessaly
