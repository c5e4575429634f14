// The product manager's list filters.
#include "product_manager/product_filters.h"

#include "catalog/file_database.h"

namespace tessaly {

uint32_t NormalizeProductCheckboxes(uint32_t value) {
  return (value & kDefaultProductCheckboxes) == 0 ? kDefaultProductCheckboxes : value;
}

uint32_t NormalizeShowPathFlags(uint32_t value) {
  return (value & pathbits::Default) == 0 ? pathbits::Default : value;
}

uint32_t ReadProductCheckboxes(CProfileStore& settings) {
  return NormalizeProductCheckboxes(
      settings.GetProfileInt(kSettingsSection, kProductCheckboxes, kDefaultProductCheckboxes));
}

uint32_t ReadShowPathFlags(CProfileStore& settings) {
  return NormalizeShowPathFlags(settings.GetProfileInt(kSettingsSection, kShowPathFlags, pathbits::Default));
}

ProductManagerInputs LoadProductManagerInputs(CProfileStore& settings) {
  ProductManagerInputs inputs;
  inputs.typeFilter = ReadProductCheckboxes(settings);
  inputs.pathFilter = ReadShowPathFlags(settings);
  inputs.fileDatabasePath =
      settings.GetProfileString(kSettingsSection, kFileDatabasePath, kDefaultFileDatabasePath);
  return inputs;
}

void StoreProductFilters(CProfileStore& settings, uint32_t typeFilter, uint32_t pathFilter) {
  settings.WriteProfileInt(kSettingsSection, kProductCheckboxes, static_cast<int>(typeFilter));
  settings.WriteProfileInt(kSettingsSection, kShowPathFlags, static_cast<int>(pathFilter));
}

}  // namespace tessaly
