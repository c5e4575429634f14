// libFuzzer entry point over the product hints: the input is a hints file. What it read is then
// used the ways the library uses it (classifying records, completing the file database, building
// the bundles), and each step is checked against what the document says.
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "catalog/file_database.h"
#include "catalog/ni_bundle.h"
#include "catalog/ni_product.h"
#include "catalog/product_hints.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using namespace tessaly;
using fuzz::CountingFileSystem;
using fuzz::CountingRegistry;
using fuzz::HasNul;

constexpr const wchar_t* kFixedKey = L"Fuzz Fixed Product";
constexpr ProductType kTypeSentinel = static_cast<ProductType>(0x40000);
constexpr ContentKinds kKindsSentinel = ContentKinds::FromBits(0x40000);
constexpr ContentKinds kEveryEngine = ContentKinds::FromBits(0xFF);  // the engines a hint can name
constexpr size_t kMaxFileName = 259;  // a file name with its extension in a path buffer

bool IsWord(const std::optional<std::wstring>& text, std::wstring_view word) {
  return text && EqualsNoCase(*text, word);
}

bool IsBundle(const HintEntry& entry) {
  return entry.regKey && entry.type && HintTypeOf(*entry.type) == producttype::Bundle;
}

// The indexes point at the first entry of each text, and every text is indexed.
void CheckIndex(const HintsDocument& doc, const std::map<std::wstring, size_t, LessNoCaseFn>& index,
                std::optional<std::wstring> HintEntry::*field) {
  for (const auto& [text, at] : index) {
    FUZZ_CHECK(at < doc.entries.size(), "an index points past the entries");
    const std::optional<std::wstring>& own = doc.entries[at].*field;
    FUZZ_CHECK(own && EqualsNoCase(*own, text), "an index points at an entry of another text");
    for (size_t before = 0; before < at; ++before) {
      const std::optional<std::wstring>& earlier = doc.entries[before].*field;
      FUZZ_CHECK(!earlier || !EqualsNoCase(*earlier, text), "an index skips the first entry");
    }
  }
  for (const HintEntry& entry : doc.entries) {
    if (entry.*field)
      FUZZ_CHECK(index.count(*(entry.*field)) == 1, "an entry's text is not indexed");
  }
}

void CheckDocument(const HintsDocument& doc) {
  CheckIndex(doc, doc.byRegKey, &HintEntry::regKey);
  CheckIndex(doc, doc.byName, &HintEntry::name);
  for (const HintEntry& entry : doc.entries) {
    FUZZ_CHECK((entry.contentKinds & ~kEveryEngine).Empty(), "content kinds beyond the engines");
    for (const std::optional<std::wstring>* text :
         {&entry.regKey, &entry.name, &entry.type, &entry.hostMode}) {
      if (*text) FUZZ_CHECK(!HasNul(**text), "a text with a NUL");
    }
    for (const std::wstring& member : entry.members)
      FUZZ_CHECK(!HasNul(member), "a member with a NUL");
    for (const HintEntry::BinName& bin : entry.binNames)
      FUZZ_CHECK(!HasNul(bin.text), "a BinName with a NUL");
  }
}

// The entry that classifies `keyName`: by RegKey, else by Name.
const HintEntry* EntryFor(const HintsDocument& doc, const std::wstring& keyName) {
  auto found = doc.byRegKey.find(keyName);
  if (found != doc.byRegKey.end()) return &doc.entries[found->second];
  found = doc.byName.find(keyName);
  if (found != doc.byName.end()) return &doc.entries[found->second];
  return nullptr;
}

// Applies the hints to a record of `keyName` whose type and kinds hold sentinels.
void CheckApply(const CNiProductHints& hints, const std::wstring& keyName) {
  CNiProduct record;
  record.keyName = keyName;
  record.productType = kTypeSentinel;
  record.contentKinds = kKindsSentinel;
  const ErrorCode e = hints.Apply(&record);
  FUZZ_CHECK(e == err::Success || e == err::FileNotFound || e == err::InternalError,
             "Apply gave an error it never gives");
  FUZZ_CHECK(record.keyName == keyName, "Apply changed the key name");
  const HintEntry* entry = EntryFor(hints.Document(), keyName);
  if (!entry) {
    FUZZ_CHECK(e == err::FileNotFound, "a record the hints do not know was not answered with 2");
    FUZZ_CHECK(record.productType == kTypeSentinel && record.contentKinds == kKindsSentinel,
               "a record the hints do not know was changed");
    return;
  }
  FUZZ_CHECK(e == (hints.IsLoaded() ? err::Success : err::FileNotFound),
             "a known record's answer does not follow the load");
  FUZZ_CHECK(record.contentKinds == entry->contentKinds, "content kinds not the entry's");
  const ProductType type = entry->type ? HintTypeOf(*entry->type) : kTypeSentinel;
  FUZZ_CHECK(record.productType == type, "product type not the entry's");
}

// Apply over the key names the document itself uses, a fixed one and the empty one.
void CheckApplyAll(const CNiProductHints& hints) {
  std::vector<std::wstring> keys = {kFixedKey, L""};
  const auto& entries = hints.Document().entries;
  for (size_t i = 0; i < entries.size() && i < 16; ++i) {
    if (entries[i].regKey) keys.push_back(*entries[i].regKey);
    if (entries[i].name) keys.push_back(*entries[i].name);
  }
  for (const std::wstring& key : keys) CheckApply(hints, key);
}

bool IsFileName(const std::wstring& name, std::wstring_view extension) {
  return name.empty() || (name.size() <= kMaxFileName && name.size() > extension.size() &&
                          EndsWithNoCase(name, extension) && !HasNul(name));
}

void CheckMerge(CNiProductHints& hints, FileSystem& fs) {
  const HintsDocument& doc = hints.Document();
  CNiFileDatabase database(fs);
  CNiProduct fixed;
  fixed.SetFileDatabaseEntry(kFixedKey, L"Fixed.exe", L"", L"App");
  FUZZ_CHECK(database.Add(fixed), "the fixed entry was refused");

  uint32_t errors = 99;
  const size_t added = hints.MergeIntoFileDatabase(database, errors);
  FUZZ_CHECK(errors == 0, "a merge of loaded hints counted errors");
  FUZZ_CHECK(database.Count() == 1 + added, "the count of added entries is not what was added");

  std::set<std::wstring, LessNoCaseFn> programs;  // key names of App and Plugin entries
  for (const HintEntry& entry : doc.entries) {
    if (entry.regKey && (IsWord(entry.type, L"App") || IsWord(entry.type, L"Plugin"))) {
      programs.insert(*entry.regKey);
    }
  }
  FUZZ_CHECK(added <= programs.size(), "more entries added than the hints have programs");
  for (const std::wstring& key : programs) {
    const CNiProduct* entry = database.Find(key);
    FUZZ_CHECK(entry != nullptr, "an App or Plugin of the hints is missing from the database");
    if (EqualsNoCase(key, kFixedKey)) {
      FUZZ_CHECK(entry->appFile == L"Fixed.exe", "an entry of the database was replaced");
      continue;
    }
    FUZZ_CHECK(EqualsNoCase(entry->typeWord, L"App") || EqualsNoCase(entry->typeWord, L"Plugin"),
               "a merged entry of another type");
    FUZZ_CHECK(IsFileName(entry->appFile, L".exe"), "a merged program name is no .exe name");
    FUZZ_CHECK(IsFileName(entry->pluginFile, L".dll"), "a merged plugin name is no .dll name");
    if (IsWord(entry->typeWord, L"Plugin")) {
      FUZZ_CHECK(entry->appFile.empty(), "a Plugin entry got a program");
    }
  }
  // A second merge finds everything there already.
  FUZZ_CHECK(hints.MergeIntoFileDatabase(database, errors) == 0 && errors == 0,
             "a second merge added entries");
}

void CheckBundles(CNiProductHints& hints) {
  const HintsDocument& doc = hints.Document();
  CNiBundleMap bundles;
  bundles.Add(L"\x1 left from before");

  // What the document asks for: one bundle per key name, and the members each one gets.
  std::map<std::wstring, std::set<std::wstring, LessNoCaseFn>, LessNoCaseFn> expected;
  size_t bundleEntries = 0;
  uint32_t expectedErrors = 0;
  for (const HintEntry& entry : doc.entries) {
    if (!IsBundle(entry)) continue;
    ++bundleEntries;
    auto& members = expected[*entry.regKey];
    for (const std::wstring& member : entry.members) {
      if (member.empty() || !members.insert(member).second) ++expectedErrors;
    }
  }

  uint32_t errors = 99;
  const size_t count = hints.LoadBundles(bundles, errors);
  FUZZ_CHECK(count == bundleEntries, "not every Bundle entry made or joined a bundle");
  FUZZ_CHECK(errors == expectedErrors, "errors are not the empty and repeated members");
  FUZZ_CHECK(bundles.Count() == expected.size(), "bundles are not one per key name");
  for (const auto& [name, bundle] : bundles.Bundles()) {
    FUZZ_CHECK(name == bundle.GetName(), "a bundle stored under another name");
    const auto wanted = expected.find(name);
    FUZZ_CHECK(wanted != expected.end(), "a bundle that no entry asks for");
    FUZZ_CHECK(bundle.Members().size() == wanted->second.size(), "a bundle's members differ");
    for (const std::wstring& member : bundle.Members()) {
      FUZZ_CHECK(!member.empty() && !HasNul(member), "an empty bundle member");
      FUZZ_CHECK(wanted->second.count(member) == 1, "a member that no entry names");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The parser alone: on failure the document it was handed stays as it was.
  HintsDocument parsed;
  parsed.entries.push_back({});
  parsed.entries[0].regKey = L"before";
  parsed.byRegKey.emplace(L"before", 0);
  const ErrorCode parseResult = ParseProductHints(data, size, parsed);
  FUZZ_CHECK(parseResult == err::Success || parseResult == err::InternalError,
             "the parser gave an error it never gives");
  if (parseResult != err::Success) {
    FUZZ_CHECK(parsed.entries.size() == 1 && parsed.byRegKey.size() == 1 && parsed.byName.empty(),
               "a failed parse changed the document");
  } else {
    CheckDocument(parsed);
  }

  CountingRegistry registry;
  CountingFileSystem fs;
  CNiProductHints hints(registry, fs);
  const ErrorCode loadResult = hints.LoadBytes(data, size);
  FUZZ_CHECK(loadResult == parseResult, "LoadBytes and the parser disagree");
  FUZZ_CHECK(hints.IsLoaded() == (loadResult == err::Success), "IsLoaded does not follow the load");
  FUZZ_CHECK(registry.calls == 0 && fs.calls == 0, "LoadBytes reached the registry or files");
  CNiProduct* none = nullptr;
  FUZZ_CHECK(hints.Apply(none) == err::InvalidParameter, "a null record was not refused");

  if (loadResult != err::Success) {
    // Nothing was ever read: nothing classifies, and merging or bundling try the file.
    CNiProduct record;
    record.keyName = kFixedKey;
    FUZZ_CHECK(hints.Apply(&record) == err::InternalError, "hints never read classified");
    CNiFileDatabase database(fs);
    uint32_t errors = 0;
    FUZZ_CHECK(hints.MergeIntoFileDatabase(database, errors) == 0 && errors == 1,
               "a merge without hints did not count one error");
    FUZZ_CHECK(database.Count() == 0, "a merge without hints added entries");
    CNiBundleMap bundles;
    FUZZ_CHECK(hints.LoadBundles(bundles, errors) == 0 && errors == 1 && bundles.Count() == 0,
               "bundles without hints");
    return 0;
  }

  FUZZ_CHECK(hints.Document().entries.size() == parsed.entries.size(),
             "LoadBytes kept another document than the parser read");
  CheckApplyAll(hints);
  CheckMerge(hints, fs);
  CheckBundles(hints);
  FUZZ_CHECK(registry.calls == 0 && fs.calls == 0, "loaded hints reached the registry or files");

  // A later file that cannot be read keeps the facts of this one, answered with 2.
  static const uint8_t kBroken[] = {'n', 'o', 't', ' ', 'x', 'm', 'l'};
  FUZZ_CHECK(hints.LoadBytes(kBroken, sizeof kBroken) == err::InternalError && !hints.IsLoaded(),
             "a broken file loaded");
  CheckApplyAll(hints);
  return 0;
}
