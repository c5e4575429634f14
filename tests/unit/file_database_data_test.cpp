// The delivered FileDatabase.xml against its format and against the demo machine it must cover:
// an entry for every product key the demo registers, and file names the demo's folders hold
// (but for the files it leaves out on purpose).
#include <gtest/gtest.h>

#include <pugixml.hpp>

#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "catalog/file_database.h"
#include "platform/text.h"
#include "tests/support/fake_file_system.h"

namespace tessaly {
namespace {

std::string SourceFile(const char* relative) {
  std::ifstream file(std::string(TESSALY_SOURCE_DIR "/") + relative, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

std::wstring Wide(const std::string& utf8) { return FromUtf8(utf8); }

struct Entry {
  std::wstring key, appFile, pluginFile, type;
};

std::vector<Entry> DeliveredEntries(std::string& failure) {
  pugi::xml_document document;
  const std::string text = SourceFile("resources/FileDatabase.xml");
  const pugi::xml_parse_result parsed = document.load_buffer(text.data(), text.size());
  if (!parsed) {
    failure = parsed.description();
    return {};
  }
  pugi::xml_node root = document.child("FileDatabase");
  if (!root) {
    failure = "no FileDatabase root";
    return {};
  }
  std::vector<Entry> entries;
  for (pugi::xml_node product = root.child("Product"); product; product = product.next_sibling()) {
    entries.push_back(
        {Wide(product.attribute("RegKey").value()), Wide(product.child("AppFile").text().get()),
         Wide(product.child("PluginFile").text().get()), Wide(product.child("Type").text().get())});
  }
  return entries;
}

// The product keys of a .reg file of the demo: keys one level below Native Instruments.
std::set<std::wstring, LessNoCaseFn> DemoProductKeys(const char* regFile) {
  static const std::string prefix = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Native Instruments\\";
  // The content catalogs list products; they are none themselves.
  static const std::set<std::wstring, LessNoCaseFn> catalogs = {L"Content", L"Maschine Content",
                                                                L"Reaktor Content"};
  std::set<std::wstring, LessNoCaseFn> keys;
  std::istringstream lines(SourceFile(regFile));
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind(prefix, 0) != 0 || line.back() != ']') continue;
    const std::string name = line.substr(prefix.size(), line.size() - prefix.size() - 1);
    if (name.find('\\') == std::string::npos && !catalogs.count(Wide(name)))
      keys.insert(Wide(name));
  }
  return keys;
}

// The names of the files that the demo machine makes (the last element of each path).
std::set<std::wstring, LessNoCaseFn> DemoFileNames() {
  std::set<std::wstring, LessNoCaseFn> names;
  std::istringstream lines(SourceFile("scripts/demo/files.txt"));
  for (std::string line; std::getline(lines, line);) {
    if (line.empty() || line[0] == '#' || line.rfind("reset", 0) == 0 ||
        line.rfind("dir", 0) == 0) {
      continue;
    }
    const size_t slash = line.find_last_of('\\');
    if (slash != std::string::npos) names.insert(Wide(line.substr(slash + 1)));
  }
  return names;
}

TEST(FileDatabaseDataTest, EntriesAreWellFormedAndUnique) {
  std::string failure;
  const std::vector<Entry> entries = DeliveredEntries(failure);
  ASSERT_FALSE(entries.empty()) << failure;
  const std::set<std::wstring> typeWords = {L"App", L"Plugin", L"Content", L"Utility", L"Bundle"};
  std::set<std::wstring, LessNoCaseFn> seen;
  for (const Entry& entry : entries) {
    SCOPED_TRACE(ToUtf8(entry.key));
    EXPECT_FALSE(entry.key.empty()) << "an entry without RegKey is skipped";
    EXPECT_TRUE(seen.insert(entry.key).second) << "a second entry for a key is never read";
    EXPECT_TRUE(typeWords.count(entry.type)) << ToUtf8(entry.type);
    EXPECT_TRUE(entry.appFile.empty() || EqualsNoCase(path::Extension(entry.appFile), L".exe"));
    EXPECT_TRUE(entry.pluginFile.empty() ||
                EqualsNoCase(path::Extension(entry.pluginFile), L".dll"));
  }
  // The program's reader takes every entry, with the same file names.
  FakeFileSystem fs;
  CNiFileDatabase database(fs);
  const std::string text = SourceFile("resources/FileDatabase.xml");
  ASSERT_EQ(database.ReadBytes(reinterpret_cast<const uint8_t*>(text.data()), text.size()), 0u);
  EXPECT_EQ(database.Count(), entries.size());
  for (const Entry& entry : entries) {
    const CNiProduct* read = database.Find(entry.key);
    ASSERT_NE(read, nullptr) << ToUtf8(entry.key);
    EXPECT_EQ(read->appFile, entry.appFile);
    EXPECT_EQ(read->pluginFile, entry.pluginFile);
  }
}

TEST(FileDatabaseDataTest, CoversTheDemoMachine) {
  std::string failure;
  const std::vector<Entry> entries = DeliveredEntries(failure);
  ASSERT_FALSE(entries.empty()) << failure;
  std::set<std::wstring, LessNoCaseFn> listed;
  for (const Entry& entry : entries) listed.insert(entry.key);

  for (const char* regFile : {"scripts/demo/hklm64.reg", "scripts/demo/hklm32.reg"}) {
    const auto keys = DemoProductKeys(regFile);
    EXPECT_FALSE(keys.empty()) << regFile;
    for (const std::wstring& key : keys)
      EXPECT_TRUE(listed.count(key)) << ToUtf8(key) << " of " << regFile;
  }

  // Files the demo leaves out on purpose, so that the product manager shows them missing.
  const std::set<std::wstring, LessNoCaseFn> missingOnPurpose = {L"Kore Player.exe",
                                                                 L"Battery 4.exe"};
  const auto files = DemoFileNames();
  for (const Entry& entry : entries) {
    for (const std::wstring& file : {entry.appFile, entry.pluginFile}) {
      if (file.empty()) continue;
      EXPECT_NE(files.count(file) + missingOnPurpose.count(file), 0u)
          << ToUtf8(file) << " of " << ToUtf8(entry.key) << " is nowhere on the demo machine";
    }
  }
  for (const std::wstring& file : missingOnPurpose) EXPECT_FALSE(files.count(file)) << ToUtf8(file);
}

}  // namespace
}  // namespace tessaly
