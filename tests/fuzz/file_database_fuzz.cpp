// libFuzzer entry point over the file database reader: the input is a FileDatabase.xml. What it
// stored is checked against the document's own elements, read here with pugixml directly.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

#include <pugixml.hpp>

#include "catalog/file_database.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using namespace tessaly;
using fuzz::CountingFileSystem;
using fuzz::HasNul;

std::wstring Text(const char* utf8) { return FromUtf8(utf8); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CountingFileSystem fs;
  CNiFileDatabase database(fs);
  CNiProduct before;
  before.SetFileDatabaseEntry(L"\x1 left from before", L"", L"", L"App");
  database.Add(before);

  const ErrorCode e = database.ReadBytes(data, size);
  FUZZ_CHECK(e == err::Success || e == err::InternalError, "an error ReadBytes never gives");
  FUZZ_CHECK(fs.calls == 0, "ReadBytes reached the file system");
  FUZZ_CHECK(database.Find(L"\x1 left from before") == nullptr, "entries of before were kept");
  if (e != err::Success) {
    FUZZ_CHECK(database.Count() == 0, "a failed read stored entries");
    return 0;
  }

  pugi::xml_document xml;
  FUZZ_CHECK(xml.load_buffer(data, size), "read bytes that are not XML");
  const pugi::xml_node root = xml.child("FileDatabase");
  FUZZ_CHECK(root, "read a document without a FileDatabase root");

  size_t elements = 0;
  for (pugi::xml_node node : root.children()) {
    if (node.type() == pugi::node_element) ++elements;
  }
  FUZZ_CHECK(database.Count() <= elements, "more entries than elements");

  // Entries start at the first Product and go on with every element after it; the first of a
  // key name wins.
  std::set<std::wstring, LessNoCaseFn> keys;
  for (pugi::xml_node node = root.child("Product"); node; node = node.next_sibling()) {
    if (node.type() != pugi::node_element) continue;
    const pugi::xml_attribute key = node.attribute("RegKey");
    if (!key) continue;
    const std::wstring keyName = Text(key.value());
    const CNiProduct* entry = database.Find(keyName);
    FUZZ_CHECK(entry != nullptr, "an element's key name is not found");
    FUZZ_CHECK(EqualsNoCase(entry->keyName, keyName), "Find gave an entry of another name");
    FUZZ_CHECK(!HasNul(entry->keyName) && !HasNul(entry->appFile) && !HasNul(entry->pluginFile) &&
                   !HasNul(entry->typeWord),
               "an entry's text holds a NUL");
    if (!keys.insert(keyName).second) continue;
    FUZZ_CHECK(entry->keyName == keyName, "a later element replaced the first of a name");
    FUZZ_CHECK(entry->appFile == Text(node.child("AppFile").child_value()), "AppFile differs");
    FUZZ_CHECK(entry->pluginFile == Text(node.child("PluginFile").child_value()),
               "PluginFile differs");
    FUZZ_CHECK(entry->typeWord == Text(node.child("Type").child_value()), "Type differs");
  }
  FUZZ_CHECK(database.Count() == keys.size(), "entries are not one per key name");

  // Reading again replaces what was read.
  const size_t count = database.Count();
  FUZZ_CHECK(database.ReadBytes(data, size) == err::Success && database.Count() == count,
             "a second read of the same bytes differs");
  return 0;
}
