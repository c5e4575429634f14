// The product library: content catalogs, the registry scan and its classification, lookups and
// the bulk repairs.
#include "catalog/ni_library.h"

#include <algorithm>
#include <memory>
#include <new>

#include "platform/file_ops.h"
#include "platform/ni_installation.h"
#include "platform/text.h"

namespace tessaly {
namespace {

const wchar_t* CatalogKey(uint32_t type) {
  switch (type) {
    case CNiCatalog::kContent: return ni::kContentCatalogKey;
    case CNiCatalog::kMaschine: return ni::kMaschineCatalogKey;
    case CNiCatalog::kReaktor: return ni::kReaktorCatalogKey;
    default: return nullptr;
  }
}

bool Cancelled(const CancelFlag* cancel) { return cancel && StopRequested(*cancel); }

// Calls `visit` with the name of each subkey of `key`, in enumeration order, until it returns
// false: 0 then or at the end, else the enumeration's error.
template <typename Visit>
ErrorCode ForEachSubkey(RegistryKey& key, Visit visit) {
  wchar_t name[kRegistryNameChars];
  for (uint32_t index = 0;; ++index) {
    uint32_t nameLength = kRegistryNameChars;
    const ErrorCode e = key.EnumKeyInto(index, name, nameLength);
    if (e == err::NoMoreItems) return err::Success;
    if (e != err::Success) return e;
    name[nameLength] = L'\0';
    if (!visit(static_cast<const wchar_t*>(name), std::wstring_view(name, nameLength))) {
      return err::Success;
    }
  }
}

// The signature of content that the plugin browsers list (content with a plugin folder).
constexpr uint32_t kNksSignature = 0x0803;

}  // namespace

ErrorCode CNiCatalog::Load(Registry& registry, uint32_t type) {
  names_.clear();
  const wchar_t* keyPath = CatalogKey(type);
  if (!keyPath) return err::InvalidParameter;
  std::unique_ptr<RegistryKey> key;
  if (ErrorCode e = registry.OpenKey(RegRoot::LocalMachine, keyPath,
                                     access::Read | access::Wow64_64Key, key)) {
    return e;
  }
  try {
    struct Buffers {
      wchar_t name[kRegistryNameChars];
      alignas(4) uint8_t data[kRegistryDataBytes + 2];  // room for a terminator of our own
    };
    auto buffers = std::unique_ptr<Buffers>(new Buffers);
    for (uint32_t index = 0;; ++index) {
      uint32_t nameLength = kRegistryNameChars;
      uint32_t size = kRegistryDataBytes;
      const ErrorCode e =
          key->EnumValueInto(index, buffers->name, nameLength, nullptr, buffers->data, &size);
      if (e == err::MoreData) continue;  // a name or data too large is no product name
      // Any other failure would repeat for every later index: the values read so far stand.
      if (e != err::Success) break;
      buffers->data[size] = 0;
      buffers->data[size + 1] = 0;
      names_.emplace(FromUtf16Bytes(buffers->data, size), std::wstring(buffers->name, nameLength));
    }
  } catch (const std::bad_alloc&) {
    return err::InternalError;
  }
  type_ = type;
  return err::Success;
}

CNiLibrary::CNiLibrary(Registry& registry, FileSystem& fs, System& system)
    : hints(registry, fs), fileDatabase(fs), registry_(&registry), fs_(&fs), system_(&system) {}

CNiLibrary::~CNiLibrary() = default;

ErrorCode CNiLibrary::Reset() {
  checkFiles_ = false;
  records_.clear();
  known_.clear();
  ErrorCode result = err::Success;
  auto note = [&result](ErrorCode e) {
    if (e != err::Success) result = e;
  };
  note(contentCatalog.Load(*registry_, CNiCatalog::kContent));
  note(maschineCatalog.Load(*registry_, CNiCatalog::kMaschine));
  note(reaktorCatalog.Load(*registry_, CNiCatalog::kReaktor));
  note(hints.Load());
  fileDatabase.Clear();
  return result;
}

ErrorCode CNiLibrary::LoadFileDatabase(const wchar_t* path) {
  fileDatabase.Clear();
  // A file that cannot be read leaves the database empty; the hints may still fill it.
  (void)fileDatabase.Read(path);
  uint32_t errors = 0;
  if (hints.MergeIntoFileDatabase(fileDatabase, errors) > 0) return err::Success;
  return path ? err::Success : err::InvalidParameter;
}

ErrorCode CNiLibrary::Scan(const CancelFlag* cancel, ProductTypes typeMask,
                           ContentKinds contentMask, const ProgressCallback& progress) {
  const bool is64BitWindows = system_->Is64BitWindows();
  checkFiles_ = fileDatabase.HasEntries();
  known_.clear();
  // One record is read for every key; only the ones taken are copied into the list.
  CNiProduct record;
  ErrorCode result = ScanView(cancel, progress, false, false, typeMask, contentMask, record);
  // A product registered in both views is taken from the 64-bit view.
  if (is64BitWindows && !Cancelled(cancel)) {
    result = ScanView(cancel, progress, true, true, typeMask, contentMask, record);
  }
  known_.clear();
  std::stable_sort(records_.begin(), records_.end(), [](const CNiProduct& a, const CNiProduct& b) {
    return CompareNoCase(a.keyName, b.keyName) < 0;
  });
  return result;
}

ErrorCode CNiLibrary::ScanView(const CancelFlag* cancel, const ProgressCallback& progress,
                               bool view32, bool skipKnown, ProductTypes typeMask,
                               ContentKinds contentMask, CNiProduct& record) {
  std::unique_ptr<RegistryKey> key;
  const uint32_t view = view32 ? access::Wow64_32Key : access::Wow64_64Key;
  if (ErrorCode e =
          registry_->OpenKey(RegRoot::LocalMachine, ni::kProductsKey, access::Read | view, key)) {
    return e;
  }
  try {
    return ForEachSubkey(*key, [&](const wchar_t* name, std::wstring_view nameView) {
      if (progress) progress(name);
      const bool take = [&] {
        if (skipKnown && known_.count(nameView)) return false;
        if (record.LoadFromProductsKey(*key, name, view32)) return false;
        // A record that is not content keeps no content kinds.
        if (hints.Apply(&record) != err::Success) (void)ClassifyContent(&record);
        if (typeMask != producttype::All && !(typeMask & record.GetType())) return false;
        if (contentMask != contentkind::All && !(contentMask & record.contentKinds)) return false;
        return record.presentValues.HasAny(valuekind::ProductEvidence);
      }();
      if (take) {
        if (const CNiProduct* entry = fileDatabase.Find(record.keyName)) {
          record.SetFiles(entry->appFile.c_str(), entry->pluginFile.c_str());
          if (checkFiles_) record.RefreshFileVersions(*fs_, *system_);
        }
        record.serial = serialCounter_;
        records_.push_back(record);
        if (!skipKnown) known_.insert(record.keyName);
        if (++serialCounter_ == 0xFFFFFFFFu) serialCounter_ = 0;
      }
      return !Cancelled(cancel);
    });
  } catch (const std::bad_alloc&) {
    return err::InternalError;
  }
}

ErrorCode CNiLibrary::ClassifyContent(CNiProduct* record) const {
  if (!record) return err::InvalidParameter;
  if (!(record->GetType() & producttype::Content)) return kNotContent;
  ContentKinds kinds;
  if (contentCatalog.Contains(*record)) kinds |= contentkind::Kore;
  if (maschineCatalog.Contains(*record)) kinds |= contentkind::Maschine;
  if (reaktorCatalog.Contains(*record)) kinds |= contentkind::Reaktor;
  if (record->Signature().ToBits() == kNksSignature) kinds |= contentkind::NksContent;
  record->contentKinds = kinds ? kinds : contentkind::Kontakt;
  return err::Success;
}

CNiProduct* CNiLibrary::FindByName(std::wstring_view keyName) {
  for (CNiProduct& record : records_) {
    if (EqualsNoCase(record.keyName, keyName)) return &record;
  }
  return nullptr;
}

const CNiProduct* CNiLibrary::FindByName(std::wstring_view keyName) const {
  return const_cast<CNiLibrary*>(this)->FindByName(keyName);
}

CNiProduct* CNiLibrary::FindBySerial(uint32_t serial) {
  for (CNiProduct& record : records_) {
    if (record.serial == serial) return &record;
  }
  return nullptr;
}

size_t CNiLibrary::GatherValues(ValueKind kind, std::vector<std::wstring>& list) const {
  list.clear();
  std::set<std::wstring, LessNoCaseFn> seen;
  for (const CNiProduct& record : records_) {
    std::wstring value = record.GetValue(kind);
    if (value.empty() || !seen.insert(value).second) continue;
    list.push_back(std::move(value));
  }
  std::stable_sort(list.begin(), list.end(), LessNoCase);
  return list.size();
}

size_t CNiLibrary::SetForAll(ProductTypes typeMask, ValueKind kind, bool onlyIfPresent,
                             uint32_t& errors, const wchar_t* oldValue,
                             const std::wstring& newValue) {
  errors = 0;
  size_t processed = 0;
  for (CNiProduct& record : records_) {
    if (!(record.GetType() & typeMask)) continue;
    if (oldValue && *oldValue && !EqualsNoCase(oldValue, record.GetValue(kind))) continue;
    if (record.WriteValue(*registry_, kind, onlyIfPresent, RegRoot::LocalMachine, newValue)) {
      ++errors;
    } else {
      ++processed;
    }
  }
  return processed;
}

size_t CNiLibrary::RelocateParent(ProductTypes typeMask, ValueKind kind, uint32_t& errors,
                                  const std::wstring& oldParent, const std::wstring& newParent) {
  errors = 0;
  size_t changed = 0;
  for (CNiProduct& record : records_) {
    if (!(record.GetType() & typeMask) || !(record.presentValues & kind)) continue;
    const std::wstring value = record.GetValue(kind);
    // An empty value lies below no parent: it is skipped like any other value outside the old
    // parent, not handed to RebasePath, which answers 87 for it and would count an error.
    if (value.empty()) continue;
    std::wstring moved;
    const ErrorCode rebased = RebasePath(value, oldParent, newParent, moved);
    if (rebased == err::FileNotFound) continue;  // not below the old parent
    if (rebased != err::Success ||
        record.WriteValue(*registry_, kind, true, RegRoot::LocalMachine, moved)) {
      ++errors;
    } else {
      ++changed;
    }
  }
  return changed;
}

// --- Kontakt's Libraries tab -----------------------------------------------------------------

namespace {

// The name without one leading article followed by a blank; names are looked at up to 1023
// characters, as Kontakt's list holds them.
std::wstring_view WithoutArticle(std::wstring_view name) {
  name = name.substr(0, kRegistryNameChars - 1);
  for (std::wstring_view article : {L"a ", L"an ", L"the "}) {
    if (StartsWithNoCase(name, article)) return name.substr(article.size());
  }
  return name;
}

}  // namespace

int CompareLibraryNames(std::wstring_view a, std::wstring_view b, bool ignoreArticles) {
  if (ignoreArticles) return CompareNoCase(WithoutArticle(a), WithoutArticle(b));
  return CompareNoCase(a, b);
}

void NumberLibrariesTab(std::vector<CNiProduct>& records) {
  uint32_t place = 1;
  for (CNiProduct& record : records) {
    if (record.userListIndex != 0) record.userListIndex = place++;
  }
}

size_t CNiLibrary::RemoveWithoutFolders() {
  constexpr ValueKinds kFolders = valuekind::ContentDir | valuekind::InstallDir |
                                  valuekind::InstallVstDir | valuekind::InstallVst64Dir |
                                  valuekind::SystemContentDir;
  const size_t before = records_.size();
  std::erase_if(records_, [](const CNiProduct& r) { return !r.presentValues.HasAny(kFolders); });
  return before - records_.size();
}

ErrorCode CNiLibrary::LoadUserValues(uint32_t& updated) {
  updated = 0;
  std::unique_ptr<RegistryKey> key;
  if (ErrorCode e = registry_->OpenKey(RegRoot::CurrentUser, ni::kProductsKey,
                                       access::Read | access::Wow64_64Key, key)) {
    return e;
  }
  try {
    // The records by key name, so that each user key is matched without walking the list.
    std::map<std::wstring_view, CNiProduct*, LessNoCaseFn> byName;
    for (CNiProduct& record : records_) byName.emplace(record.keyName, &record);
    return ForEachSubkey(*key, [&](const wchar_t* name, std::wstring_view nameView) {
      const auto found = byName.find(nameView);
      if (found != byName.end() && found->second->LoadFromRegistry(*registry_, RegRoot::CurrentUser,
                                                                   name, false) == err::Success) {
        ++updated;
      }
      return true;
    });
  } catch (const std::bad_alloc&) {
    return err::InternalError;
  }
}

size_t CNiLibrary::RemoveNotInLibrariesTab() {
  constexpr ValueKinds kBoth = valuekind::UserListIndex | valuekind::UserRemoved;
  const size_t before = records_.size();
  std::erase_if(records_, [](const CNiProduct& r) { return !r.userValues.HasAll(kBoth); });
  return before - records_.size();
}

void CNiLibrary::Sort(int mode, bool ignoreArticles) {
  auto by = [this](auto less) { std::stable_sort(records_.begin(), records_.end(), less); };
  switch (mode) {
    case 0:
      by([ignoreArticles](const CNiProduct& a, const CNiProduct& b) {
        return CompareLibraryNames(a.keyName, b.keyName, ignoreArticles) < 0;
      });
      break;
    case 1:
    case 3:
      by([](const CNiProduct& a, const CNiProduct& b) {
        return a.userListIndex < b.userListIndex;
      });
      break;
    case 2:
      by([](const CNiProduct& a, const CNiProduct& b) { return a.userRemoved < b.userRemoved; });
      break;
    default: break;
  }
}

size_t CNiLibrary::SaveUserValues(uint32_t& errors) {
  errors = 0;
  size_t written = 0;
  for (CNiProduct& record : records_) {
    const ErrorCode index =
        record.WriteUserValue(*registry_, valuekind::UserListIndex, record.userListIndex);
    const ErrorCode removed =
        record.WriteUserValue(*registry_, valuekind::UserRemoved, record.userRemoved);
    if (index != err::Success || removed != err::Success) {
      ++errors;
    } else {
      ++written;
    }
  }
  return written;
}

}  // namespace tessaly
