// Bundles and the map of bundles by name.
#include "catalog/ni_bundle.h"

#include <new>

namespace tessaly {

bool CNiBundle::AddMember(const wchar_t* member) {
  if (!member || !*member) return false;
  try {
    return members_.emplace(member).second;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool CNiBundle::HasMember(std::wstring_view member) const {
  return !member.empty() && members_.find(member) != members_.end();
}

CNiBundle* CNiBundleMap::Add(const std::wstring& name) {
  try {
    auto found = bundles_.find(name);
    if (found == bundles_.end()) found = bundles_.emplace(name, CNiBundle(name)).first;
    return &found->second;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

size_t CNiBundleMap::GetBundlesContaining(std::wstring_view member, NoCaseTextSet& names) const {
  names.clear();
  size_t count = 0;
  for (const auto& [name, bundle] : bundles_) {
    if (!bundle.HasMember(member)) continue;
    names.insert(name);
    ++count;
  }
  return count;
}

}  // namespace tessaly
