// The Libraries-tab page's settings.
#include "kontakt/kontakt_settings.h"

namespace tessaly {

KontaktOrganizerInputs LoadKontaktOrganizerInputs(CProfileStore& settings) {
  KontaktOrganizerInputs inputs;
  inputs.ignoreArticles = settings.GetProfileInt(kSettingsSection, kIgnoreArticles, 0) != 0;
  inputs.extendSearch = settings.GetProfileInt(kSettingsSection, kExtendSearch, 0) != 0;
  return inputs;
}

void StoreKontaktOrganizerInputs(CProfileStore& settings, const KontaktOrganizerInputs& inputs) {
  settings.WriteProfileInt(kSettingsSection, kIgnoreArticles, inputs.ignoreArticles ? 1 : 0);
  settings.WriteProfileInt(kSettingsSection, kExtendSearch, inputs.extendSearch ? 1 : 0);
}

}  // namespace tessaly
