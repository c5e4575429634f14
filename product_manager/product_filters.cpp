// The product manager's list filters.
#include "product_manager/product_filters.h"

#include "catalog/file_database.h"

namespace tessaly {

ProductTypes NormalizeProductCheckboxes(ProductTypes value) {
  return value.HasAny(kDefaultProductCheckboxes) ? value : kDefaultProductCheckboxes;
}

PathBits NormalizeShowPathFlags(PathBits value) {
  return value.HasAny(pathbits::Default) ? value : pathbits::Default;
}

ProductTypes ReadProductCheckboxes(CProfileStore& settings) {
  return NormalizeProductCheckboxes(ProductTypes::FromBits(settings.GetProfileInt(
      kSettingsSection, kProductCheckboxes, kDefaultProductCheckboxes.ToBits())));
}

PathBits ReadShowPathFlags(CProfileStore& settings) {
  return NormalizeShowPathFlags(PathBits::FromBits(settings.GetProfileInt(
      kSettingsSection, kShowPathFlags, PathBits(pathbits::Default).ToBits())));
}

ProductManagerInputs LoadProductManagerInputs(CProfileStore& settings) {
  ProductManagerInputs inputs;
  inputs.typeFilter = ReadProductCheckboxes(settings);
  inputs.pathFilter = ReadShowPathFlags(settings);
  inputs.fileDatabasePath =
      settings.GetProfileString(kSettingsSection, kFileDatabasePath, kDefaultFileDatabasePath);
  return inputs;
}

void StoreProductFilters(CProfileStore& settings, ProductTypes typeFilter, PathBits pathFilter) {
  settings.WriteProfileInt(kSettingsSection, kProductCheckboxes,
                           static_cast<int>(typeFilter.ToBits()));
  settings.WriteProfileInt(kSettingsSection, kShowPathFlags, static_cast<int>(pathFilter.ToBits()));
}

}  // namespace tessaly
