// The product manager's list filters as the settings keep them: which product types and which
// path states the list shows.
#pragma once

#include <cstdint>
#include <string>

#include "app/settings/profile_store.h"
#include "catalog/ni_product.h"

namespace tessaly {

inline constexpr const wchar_t* kProductCheckboxes = L"ProductCheckboxes";
inline constexpr const wchar_t* kShowPathFlags = L"ShowPathFlags";

// ProductCheckboxes holds product types (producttype bits); without a stored value the list shows
// every type but the unrecognized items.
constexpr ProductTypes kDefaultProductCheckboxes =
    producttype::AppPlugin | producttype::Content | producttype::Bundle | producttype::Utility;

// Path-state filter bits (ShowPathFlags).
enum class PathBit : uint32_t {
  Valid = 1,
  Broken = 2,
  Default = 3,
};
constexpr bool IsFlagEnum(PathBit) { return true; }
using PathBits = Flags<PathBit>;
namespace pathbits {
using enum PathBit;
}  // namespace pathbits

// The stored filter values brought back to something that shows products: a product filter
// with none of the four product types reads as 15, a path filter with neither state as 3.
ProductTypes NormalizeProductCheckboxes(ProductTypes value);
PathBits NormalizeShowPathFlags(PathBits value);

ProductTypes ReadProductCheckboxes(CProfileStore& settings);
PathBits ReadShowPathFlags(CProfileStore& settings);

// What the product manager page starts from: its two filters and the file database's path.
struct ProductManagerInputs {
  ProductTypes typeFilter = kDefaultProductCheckboxes;
  PathBits pathFilter = pathbits::Default;
  std::wstring fileDatabasePath;
};
ProductManagerInputs LoadProductManagerInputs(CProfileStore& settings);
// Keeps the filters the page closed with.
void StoreProductFilters(CProfileStore& settings, ProductTypes typeFilter, PathBits pathFilter);

}  // namespace tessaly
