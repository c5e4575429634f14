// Settings values in the current user's registry key, one value at a time.
#include "app/settings/profile_store.h"

#include <memory>
#include <vector>

#include "platform/text.h"

namespace tessaly {

CProfileStore::CProfileStore(Registry& registry, std::wstring registryKey, std::wstring appName)
    : registry_(registry), registryKey_(std::move(registryKey)), appName_(std::move(appName)) {}

std::wstring CProfileStore::SectionPath(std::wstring_view section) const {
  std::wstring path = L"Software\\";
  path += registryKey_;
  path += L'\\';
  path += appName_;
  path += L'\\';
  path += section;
  return path;
}

uint32_t CProfileStore::GetProfileInt(std::wstring_view section, std::wstring_view name,
                                      int defaultValue) {
  std::unique_ptr<RegistryKey> key;
  uint32_t value = 0;
  if (registry_.OpenKey(RegRoot::CurrentUser, SectionPath(section), access::QueryValue, key) !=
          err::Success ||
      ReadDword(*key, name, value) != err::Success) {
    return static_cast<uint32_t>(defaultValue);
  }
  return value;
}

bool CProfileStore::WriteProfileInt(std::wstring_view section, std::wstring_view name, int value) {
  std::unique_ptr<RegistryKey> key;
  return registry_.CreateKey(RegRoot::CurrentUser, SectionPath(section), {}, access::Write, key) ==
             err::Success &&
         WriteDword(*key, name, static_cast<uint32_t>(value)) == err::Success;
}

std::wstring CProfileStore::GetProfileString(std::wstring_view section, std::wstring_view name,
                                             const wchar_t* defaultValue) {
  std::wstring fallback = defaultValue ? defaultValue : L"";
  std::unique_ptr<RegistryKey> key;
  if (registry_.OpenKey(RegRoot::CurrentUser, SectionPath(section), access::QueryValue, key) !=
      err::Success) {
    return fallback;
  }
  uint32_t type = 0;
  std::vector<uint8_t> data;
  if (key->QueryValue(name, &type, &data) != err::Success || type != regtype::Sz) return fallback;
  return FromUtf16Bytes(data);
}

bool CProfileStore::WriteProfileString(std::wstring_view section, std::wstring_view name,
                                       std::wstring_view value) {
  std::unique_ptr<RegistryKey> key;
  return registry_.CreateKey(RegRoot::CurrentUser, SectionPath(section), {}, access::Write, key) ==
             err::Success &&
         WriteString(*key, name, value) == err::Success;
}

size_t CProfileStore::ReadFolderList(std::wstring_view name, CSafeStringList& list) {
  list.Clear();
  // Out of memory, the list keeps the folders it took; the count says how many.
  (void)list.AddFromText(GetProfileString(kSettingsSection, name, nullptr));
  return list.Count();
}

bool CProfileStore::WriteFolderList(std::wstring_view name, const CSafeStringList& list) {
  std::wstring text;
  size_t needed = 0;
  if (list.ToText(text, needed) != err::Success) return false;
  return WriteProfileString(kSettingsSection, name, text);
}

}  // namespace tessaly
