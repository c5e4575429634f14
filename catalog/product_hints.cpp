// The product hints: reading ProductHints.xml and using it to classify products, complete the
// file database and build the bundles.
#include "catalog/product_hints.h"

#include <new>

#include <pugixml.hpp>

#include "catalog/file_database.h"
#include "catalog/ni_bundle.h"
#include "catalog/ni_product.h"
#include "platform/file_ops.h"
#include "platform/locations.h"
#include "platform/ni_installation.h"

namespace tessaly {
namespace {

// A program or plugin name with its extension must fit a path buffer of 260 characters.
constexpr size_t kFileNameCapacity = 259;

std::wstring TextOf(pugi::xml_node node) { return FromUtf8(node.child_value()); }

std::optional<std::wstring> ChildText(pugi::xml_node entry, const char* name) {
  const pugi::xml_node child = entry.child(name);
  if (!child) return std::nullopt;
  return TextOf(child);
}

std::optional<std::wstring> AttributeText(pugi::xml_node node, const char* name) {
  const pugi::xml_attribute attribute = node.attribute(name);
  if (!attribute) return std::nullopt;
  return FromUtf8(attribute.value());
}

ContentKinds ContentKindsOf(pugi::xml_node entry) {
  ContentKinds kinds;
  for (pugi::xml_node engine : entry.child("Relevance").children()) {
    if (engine.type() != pugi::node_element) continue;
    const pugi::xml_attribute native = engine.attribute("nativeContent");
    if (native && !EqualsNoCase(FromUtf8(native.value()), L"true")) continue;
    kinds |= HintEngineOf(TextOf(engine));
  }
  if (const pugi::xml_node poweredBy = entry.child("PoweredBy")) {
    kinds |= HintEngineOf(TextOf(poweredBy));
  }
  return kinds;
}

HintEntry ReadEntry(pugi::xml_node node) {
  HintEntry entry;
  entry.regKey = ChildText(node, "RegKey");
  entry.name = ChildText(node, "Name");
  entry.type = ChildText(node, "Type");
  entry.contentKinds = ContentKindsOf(node);
  for (pugi::xml_node bin : node.children("BinName")) {
    entry.binNames.push_back(
        {TextOf(bin), AttributeText(bin, "target"), AttributeText(bin, "platform")});
  }
  entry.hostMode = ChildText(node, "HostMode");
  if (const pugi::xml_node members = node.child("Members")) {
    for (pugi::xml_node member = members.child("Member"); member; member = member.next_sibling()) {
      if (member.type() == pugi::node_element) entry.members.push_back(TextOf(member));
    }
  }
  return entry;
}

bool IsWord(const std::optional<std::wstring>& text, std::wstring_view word) {
  return text && EqualsNoCase(*text, word);
}

// The program and plugin file names of an App or Plugin entry (empty when it has none).
void FileNamesOf(const HintEntry& entry, std::wstring& program, std::wstring& plugin) {
  const bool isApp = IsWord(entry.type, L"App");
  const bool noHost = IsWord(entry.hostMode, L"None");
  bool hostable = true;
  program.clear();
  plugin.clear();
  for (const HintEntry::BinName& bin : entry.binNames) {
    // A name that could not take its extension within a path buffer is not a file name.
    if (bin.text.size() + 4 > kFileNameCapacity) continue;
    if (bin.target) {
      const bool forPc = !bin.platform || EqualsNoCase(*bin.platform, L"PC");
      if (EqualsNoCase(*bin.target, L"VST") && forPc) plugin = bin.text;
      continue;
    }
    if (isApp) program = bin.text;
    if (noHost) {
      hostable = false;
    } else if (hostable && plugin.empty()) {
      plugin = bin.text;
    }
  }
  if (!program.empty()) program += L".exe";
  if (!plugin.empty()) plugin += L".dll";
}

}  // namespace

namespace {

// A word of the hints file and the value it stands for.
template <typename E>
struct HintWord {
  const wchar_t* text;
  E value;
};

template <typename E, size_t N>
E ValueOfWord(const HintWord<E> (&words)[N], std::wstring_view word) {
  for (const HintWord<E>& w : words) {
    if (EqualsNoCase(word, w.text)) return w.value;
  }
  return E{};
}

}  // namespace

ProductType HintTypeOf(std::wstring_view word) {
  static constexpr HintWord<ProductType> kTypes[] = {
      {L"Content", producttype::Content}, {L"App", producttype::AppPlugin},
      {L"Bundle", producttype::Bundle},   {L"Plugin", producttype::AppPlugin},
      {L"Utility", producttype::Utility}, {L"3rdParty", producttype::Content},
  };
  return ValueOfWord(kTypes, word);
}

ContentKinds HintEngineOf(std::wstring_view word) {
  static constexpr HintWord<ContentKind> kEngines[] = {
      {L"Kontakt", contentkind::Kontakt},     {L"Kore", contentkind::Kore},
      {L"Maschine", contentkind::Maschine},   {L"Reaktor", contentkind::Reaktor},
      {L"GuitarRig", contentkind::GuitarRig}, {L"Battery", contentkind::Battery},
      {L"Massive", contentkind::Massive},     {L"KKontrol", contentkind::KompleteKontrol},
  };
  return ValueOfWord(kEngines, word);
}

ErrorCode ParseProductHints(const uint8_t* data, size_t size, HintsDocument& out) {
  try {
    pugi::xml_document xml;
    if (!xml.load_buffer(data, size)) return err::InternalError;
    const pugi::xml_node root = xml.child("ProductHints");
    if (!root) return err::InternalError;
    HintsDocument document;
    for (pugi::xml_node node : root.children()) {
      if (node.type() != pugi::node_element) continue;
      const size_t index = document.entries.size();
      document.entries.push_back(ReadEntry(node));
      const HintEntry& entry = document.entries.back();
      if (entry.regKey) document.byRegKey.emplace(*entry.regKey, index);
      if (entry.name) document.byName.emplace(*entry.name, index);
    }
    out = std::move(document);
    return err::Success;
  } catch (const std::bad_alloc&) {
    return err::InternalError;
  }
}

ErrorCode CNiProductHints::Load() {
  loaded_ = false;
  std::wstring file;
  if (ErrorCode e = GetServiceCenterFolder(*registry_, file)) return e;
  if (!path::Append(file, ni::kHintsFolder, kPathCapacity) ||
      !path::Append(file, ni::kHintsFile, kPathCapacity)) {
    return err::InternalError;
  }
  if (!PathExists(*fs_, file)) return err::FileNotFound;
  std::vector<uint8_t> bytes;
  if (fs_->ReadFile(file, 0, SIZE_MAX, bytes) != err::Success) {
    // The file is there but may have changed since it was read: what was read is no longer known
    // to hold.
    Forget();
    return err::InternalError;
  }
  return LoadBytes(bytes.data(), bytes.size());
}

ErrorCode CNiProductHints::LoadBytes(const uint8_t* data, size_t size) {
  loaded_ = false;
  if (ErrorCode e = ParseProductHints(data, size, document_)) {
    // A file that was found but is not a hints file leaves nothing to classify with.
    Forget();
    return e;
  }
  hasDocument_ = true;
  loaded_ = true;
  return err::Success;
}

void CNiProductHints::Forget() {
  document_ = HintsDocument();
  hasDocument_ = false;
  loaded_ = false;
}

ErrorCode CNiProductHints::Apply(CNiProduct* record) const {
  if (!record) return err::InvalidParameter;
  if (!hasDocument_) return err::InternalError;
  auto found = document_.byRegKey.find(record->keyName);
  if (found == document_.byRegKey.end()) {
    found = document_.byName.find(record->keyName);
    if (found == document_.byName.end()) return err::FileNotFound;
  }
  const HintEntry& entry = document_.entries[found->second];
  if (entry.type) record->productType = HintTypeOf(*entry.type);
  record->contentKinds = entry.contentKinds;
  return loaded_ ? err::Success : err::FileNotFound;
}

size_t CNiProductHints::MergeIntoFileDatabase(CNiFileDatabase& database, uint32_t& errors) {
  errors = 0;
  size_t added = 0;
  if (!loaded_ && Load() != err::Success) {
    ++errors;
    return 0;
  }
  try {
    std::wstring program, plugin;
    for (const HintEntry& entry : document_.entries) {
      if (!entry.regKey || database.Find(*entry.regKey)) continue;
      if (!IsWord(entry.type, L"App") && !IsWord(entry.type, L"Plugin")) continue;
      FileNamesOf(entry, program, plugin);
      CNiProduct record;
      record.SetFileDatabaseEntry(entry.regKey->c_str(), program.c_str(), plugin.c_str(),
                                  entry.type->c_str());
      if (database.Add(record)) {
        ++added;
      } else {
        ++errors;
      }
    }
  } catch (const std::bad_alloc&) {
    ++errors;
  }
  return added;
}

size_t CNiProductHints::LoadBundles(CNiBundleMap& bundles, uint32_t& errors) {
  errors = 0;
  size_t count = 0;
  bundles.Clear();
  if (!loaded_ && Load() != err::Success) {
    ++errors;
    return 0;
  }
  try {
    for (const HintEntry& entry : document_.entries) {
      if (!entry.regKey || !entry.type || HintTypeOf(*entry.type) != producttype::Bundle) continue;
      CNiBundle* bundle = bundles.Add(*entry.regKey);
      if (!bundle) {
        ++errors;
        continue;
      }
      ++count;
      for (const std::wstring& member : entry.members) {
        if (!bundle->AddMember(member.c_str())) ++errors;
      }
    }
  } catch (const std::bad_alloc&) {
    ++errors;
  }
  return count;
}

}  // namespace tessaly
