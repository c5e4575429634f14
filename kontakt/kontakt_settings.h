// The Libraries-tab page's settings: its two check boxes.
#pragma once

#include "app/settings/profile_store.h"

namespace tessaly {

inline constexpr const wchar_t* kIgnoreArticles = L"IgnoreArticles";  // "Ignore articles ..."
inline constexpr const wchar_t* kExtendSearch = L"ExtendSearch";      // "Extend search."

struct KontaktOrganizerInputs {
  bool ignoreArticles = false;
  bool extendSearch = false;
};
KontaktOrganizerInputs LoadKontaktOrganizerInputs(CProfileStore& settings);
void StoreKontaktOrganizerInputs(CProfileStore& settings, const KontaktOrganizerInputs& inputs);

}  // namespace tessaly
