// The product manager's folder repair without a window: one product, every product of a type
// ("Use for all", optionally only those in the product's current folder), or every product of a
// type registered below an old parent folder, moved below a new one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "catalog/ni_library.h"
#include "platform/file_ops.h"

namespace tessaly {

enum class FolderChangeScope {
  OneProduct,  // "Use for (product) only"
  AllOfType,   // "Use for all (type) products..."
  Relocate,    // "Relocate (type) products from (parent)..."
};

struct FolderChange {
  FolderChangeScope scope = FolderChangeScope::OneProduct;
  uint32_t kind = 0;              // the folder's value kind
  std::wstring folder;            // the new folder (one product, all of a type)
  std::wstring onlyFrom;          // all of a type: only the products whose folder is this one
  std::wstring oldParent;         // relocation: from below this folder...
  std::wstring newParent;         // ...to the same place below this one
};

struct FolderChangeResult {
  // One product: the write's error. Every scope: an error that stopped the change before any
  // write.
  ErrorCode error = err::Success;
  size_t done = 0;      // products written (or passed over for lacking the folder kind)
  uint32_t errors = 0;  // products whose new folder could not be made or written
};

// Told of each product as the change reaches it.
class FolderChangeObserver {
 public:
  virtual ~FolderChangeObserver() = default;
  virtual void ProductWritten(const CNiProduct& product, ErrorCode result) = 0;
};

// Applies `change` to `product` (one product) or to the records of the library of `product`'s
// type, writing into the existing machine keys through each record's own view. `stop` (may be
// null) is polled before each product: a stopped change keeps what it wrote. `observer` may be
// null.
FolderChangeResult ChangeProductFolder(CNiLibrary& library, Registry& registry,
                                       CNiProduct& product, const FolderChange& change,
                                       FolderChangeObserver* observer, const CancelFlag* stop);

}  // namespace tessaly
