// The product hints, the file database and the bundles: reading both XML files (and refusing
// what is not one), classifying records, completing the file database and building bundles.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/file_database.h"
#include "catalog/ni_bundle.h"
#include "catalog/ni_product.h"
#include "catalog/product_hints.h"
#include "platform/text.h"
#include "tests/support/fake_file_system.h"
#include "tests/support/fake_registry.h"

namespace tessaly {
namespace {

constexpr const wchar_t* kServiceCenter = L"C:\\PF\\Service Center\\";
constexpr const wchar_t* kHintsPath = L"C:\\PF\\Service Center\\conf\\ProductHints.xml";

// A machine with a Service Center whose hints file holds `xml`.
struct HintsMachine {
  explicit HintsMachine(std::string_view xml) {
    reg.SetString(RegRoot::LocalMachine, L"SOFTWARE\\Native Instruments\\ServiceCenter",
                  L"InstallDir", kServiceCenter, RegView::Key64);
    fs.AddFile(kHintsPath, xml);
  }
  FakeRegistry reg;
  FakeFileSystem fs;
  CNiProductHints hints{reg, fs};
};

CNiProduct Named(const wchar_t* name) {
  CNiProduct record;
  record.keyName = name;
  return record;
}

const char kHints[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<ProductHints>
  <Product><Name>Late</Name><Type>Content</Type><PoweredBy>Reaktor</PoweredBy></Product>
  <Product>
    <RegKey>Strings</RegKey><Type>content</Type>
    <Relevance>
      <Engine>Kontakt</Engine>
      <Engine nativeContent="TRUE">Reaktor</Engine>
      <Engine nativeContent="false">KKontrol</Engine>
      <Engine nativeContent="yes">Massive</Engine>
    </Relevance>
    <PoweredBy>maschine</PoweredBy>
  </Product>
  <Product><RegKey>Other Name</RegKey><Name>Alias</Name><Type>Plugin</Type>
    <Relevance><X>GuitarRig</X></Relevance></Product>
  <Product><RegKey>Late</RegKey><Type>Utility</Type></Product>
  <Product><RegKey>Odd Type</RegKey><Type>Content library</Type></Product>
  <Product><RegKey>No Engines</RegKey><Type>3rdParty</Type></Product>
  <Product><RegKey>Untyped</RegKey><PoweredBy>Battery</PoweredBy></Product>
  <Product><RegKey><![CDATA[Cdata & Co]]></RegKey><Type>Bundle</Type></Product>
</ProductHints>)";

// What a record held before the hints were applied: values no hint gives.
constexpr ProductType kStaleType = static_cast<ProductType>(77);
constexpr ContentKinds kStaleKinds = ContentKinds::FromBits(99);

TEST(ProductHintsTest, ApplyClassifiesByRegKeyThenByName) {
  HintsMachine machine(kHints);
  ASSERT_EQ(machine.hints.Load(), 0u);
  const struct {
    const wchar_t* key;
    ErrorCode result;
    ProductType type;
    ContentKinds kinds;
  } cases[] = {
      // Kontakt + Reaktor ("TRUE" counts) + Maschine; "false" and "yes" add nothing.
      {L"STRINGS", 0, producttype::Content,
       contentkind::Kontakt | contentkind::Reaktor | contentkind::Maschine},
      {L"Alias", 0, producttype::AppPlugin, contentkind::GuitarRig},
      // A RegKey match later in the file wins over an earlier Name match.
      {L"Late", 0, producttype::Utility, {}},
      {L"Odd Type", 0, producttype::None, {}},
      {L"No Engines", 0, producttype::Content, {}},
      {L"Untyped", 0, kStaleType, contentkind::Battery},  // without Type the type stays
      {L"Cdata & Co", 0, producttype::Bundle, {}},
      {L"Unknown", err::FileNotFound, kStaleType, kStaleKinds},
  };
  for (const auto& c : cases) {
    CNiProduct record = Named(c.key);
    record.productType = kStaleType;
    record.contentKinds = kStaleKinds;
    EXPECT_EQ(machine.hints.Apply(&record), c.result) << c.key;
    EXPECT_EQ(record.productType, c.type) << c.key;
    EXPECT_EQ(record.contentKinds, c.kinds) << c.key;
  }
  EXPECT_EQ(machine.hints.Apply(nullptr), err::InvalidParameter);
  // A type word outside the table leaves the signature to decide.
  CNiProduct odd = Named(L"Odd Type");
  odd.presentValues = valuekind::InstallDir;
  (void)machine.hints.Apply(&odd);
  EXPECT_EQ(odd.GetType(), producttype::Utility);
}

TEST(ProductHintsTest, LoadFailuresAndBadFiles) {
  {
    FakeRegistry reg;
    FakeFileSystem fs;
    CNiProductHints hints(reg, fs);
    EXPECT_EQ(hints.Load(), err::FileNotFound);  // no Service Center
    CNiProduct record = Named(L"Strings");
    EXPECT_EQ(hints.Apply(&record), err::InternalError);  // nothing was ever read
  }
  for (const char* bad : {"not xml at all", "<Other><Product/></Other>", "<ProductHints>", ""}) {
    HintsMachine machine(bad);
    EXPECT_EQ(machine.hints.Load(), err::InternalError) << bad;
    EXPECT_FALSE(machine.hints.IsLoaded());
  }
  // A failed load keeps an earlier load's facts; Apply still classifies but says 2.
  HintsMachine machine(kHints);
  ASSERT_EQ(machine.hints.Load(), 0u);
  machine.fs.DeleteFile(kHintsPath);
  EXPECT_EQ(machine.hints.Load(), err::FileNotFound);
  CNiProduct record = Named(L"Strings");
  EXPECT_EQ(machine.hints.Apply(&record), err::FileNotFound);
  EXPECT_EQ(record.productType, producttype::Content);
  // A UTF-16 file with its byte-order mark reads the same.
  std::vector<uint8_t> utf16 = {0xFF, 0xFE};
  for (uint8_t b : ToUtf16Bytes(FromUtf8(R"(<ProductHints><P><RegKey>É</RegKey>
      <Type>App</Type></P></ProductHints>)"),
                                false))
    utf16.push_back(b);
  machine.fs.AddFile(kHintsPath, utf16);
  ASSERT_EQ(machine.hints.Load(), 0u);
  CNiProduct accented = Named(L"É");
  EXPECT_EQ(machine.hints.Apply(&accented), 0u);
  CNiProduct lower = Named(L"é");  // only A-Z are folded
  EXPECT_EQ(machine.hints.Apply(&lower), err::FileNotFound);
  // A file that is found but broken forgets what was read before.
  machine.fs.AddFile(kHintsPath, std::string_view("<ProductHints>"));
  EXPECT_EQ(machine.hints.Load(), err::InternalError);
  EXPECT_EQ(machine.hints.Apply(&accented), err::InternalError);
}

// A hints file that is there but cannot be read (held open by the Service Center while it
// rewrites it, or refused) is no better than a broken one: what an earlier load read is forgotten,
// so that nothing is classified from facts the file may no longer hold.
TEST(ProductHintsTest, AFileThatCannotBeReadForgetsTheEarlierLoad) {
  const struct {
    const char* name;
    std::function<std::unique_ptr<testing::HeldFile>(FakeFileSystem&)> block;
  } cases[] = {
      {"held open", [](FakeFileSystem& fs) { return fs.HoldOpen(kHintsPath); }},
      {"access denied",
       [](FakeFileSystem& fs) {
         fs.InjectFailure(FakeFileSystem::Operation::ReadFile, kHintsPath, err::AccessDenied);
         return std::unique_ptr<testing::HeldFile>();
       }},
  };
  for (const auto& c : cases) {
    HintsMachine machine(kHints);
    ASSERT_EQ(machine.hints.Load(), 0u) << c.name;
    const auto blocked = c.block(machine.fs);
    EXPECT_EQ(machine.hints.Load(), err::InternalError) << c.name;
    EXPECT_FALSE(machine.hints.IsLoaded()) << c.name;
    EXPECT_TRUE(machine.hints.Document().entries.empty()) << c.name;
    CNiProduct record = Named(L"Strings");
    record.productType = kStaleType;
    EXPECT_EQ(machine.hints.Apply(&record), err::InternalError) << c.name;
    EXPECT_EQ(record.productType, kStaleType) << c.name;
  }
}

const char kBinaries[] = R"(<ProductHints>
  <Product><RegKey>Synth</RegKey><Type>App</Type><BinName>Synth</BinName></Product>
  <Product><RegKey>Deck</RegKey><Type>App</Type><BinName>Deck</BinName>
    <HostMode>none</HostMode></Product>
  <Product><RegKey>Rig</RegKey><Type>App</Type><BinName>Rig</BinName><BinName>Rig Two</BinName>
    <BinName target="VST" platform="Mac">Rig Mac</BinName>
    <BinName target="VST">Rig FX</BinName><BinName target="AAX">Rig AAX</BinName></Product>
  <Product><RegKey>Verb</RegKey><Type>Plugin</Type><BinName>Verb</BinName>
    <BinName target="VST" platform="PC">Verb FX</BinName></Product>
  <Product><RegKey>Strings</RegKey><Type>Content</Type><BinName>Strings</BinName></Product>
  <Product><RegKey>Listed</RegKey><Type>App</Type><BinName>Hinted</BinName></Product>
  <Product><Type>App</Type><BinName>Keyless</BinName></Product>
  <Product><RegKey>Untyped</RegKey><BinName>Untyped</BinName></Product>
</ProductHints>)";

TEST(ProductHintsTest, MergeAddsTheFilesOfAppsAndPluginsTheDatabaseLacks) {
  HintsMachine machine(kBinaries);
  CNiFileDatabase database(machine.fs);
  CNiProduct listed;
  listed.SetFileDatabaseEntry(L"LISTED", L"Listed.exe", L"", L"App");
  ASSERT_TRUE(database.Add(listed));
  uint32_t errors = 9;
  EXPECT_EQ(machine.hints.MergeIntoFileDatabase(database, errors), 4u);  // loads on demand
  EXPECT_EQ(errors, 0u);
  const struct {
    const wchar_t* key;
    const wchar_t* app;
    const wchar_t* plugin;
  } cases[] = {
      {L"Synth", L"Synth.exe", L"Synth.dll"},  {L"Deck", L"Deck.exe", L""},
      {L"Rig", L"Rig Two.exe", L"Rig FX.dll"}, {L"Verb", L"", L"Verb FX.dll"},
      {L"Listed", L"Listed.exe", L""},  // the database's own entry is kept
  };
  for (const auto& c : cases) {
    const CNiProduct* entry = database.Find(c.key);
    ASSERT_NE(entry, nullptr) << c.key;
    EXPECT_EQ(entry->appFile, c.app) << c.key;
    EXPECT_EQ(entry->pluginFile, c.plugin) << c.key;
  }
  EXPECT_EQ(database.Find(L"Strings"), nullptr);
  EXPECT_EQ(database.Find(L"Untyped"), nullptr);
  EXPECT_EQ(database.Count(), 5u);

  FakeRegistry noServiceCenter;
  CNiProductHints missing(noServiceCenter, machine.fs);
  EXPECT_EQ(missing.MergeIntoFileDatabase(database, errors), 0u);
  EXPECT_EQ(errors, 1u);
}

TEST(FileDatabaseTest, ReadsEntriesFromTheFirstProductOn) {
  FakeFileSystem fs;
  fs.AddFile(L"C:\\T\\FileDatabase.xml", std::string_view(R"(<?xml version="1.0"?>
<FileDatabase>
  <Early RegKey="Before"><AppFile>b.exe</AppFile></Early>
  <Product RegKey="Synth"><AppFile>Synth.exe</AppFile><PluginFile>Synth.dll</PluginFile>
    <Type>App</Type></Product>
  <Product><AppFile>nokey.exe</AppFile></Product>
  <Product RegKey="SYNTH"><AppFile>second.exe</AppFile></Product>
  <Other RegKey="After"><PluginFile><![CDATA[After.dll]]></PluginFile></Other>
</FileDatabase>)"));
  CNiFileDatabase database(fs);
  EXPECT_EQ(database.Read(L"C:\\T\\FileDatabase.xml"), 0u);
  EXPECT_TRUE(database.HasEntries());
  EXPECT_EQ(database.Count(), 2u);
  EXPECT_EQ(database.Find(L"Before"), nullptr);
  const CNiProduct* synth = database.Find(L"synth");
  ASSERT_NE(synth, nullptr);
  EXPECT_EQ(synth->appFile, L"Synth.exe");  // the first entry for a name wins
  EXPECT_EQ(synth->pluginFile, L"Synth.dll");
  EXPECT_EQ(synth->typeWord, L"App");
  const CNiProduct* after = database.Find(L"After");
  ASSERT_NE(after, nullptr);
  EXPECT_EQ(after->pluginFile, L"After.dll");
  EXPECT_EQ(after->appFile, L"");
  EXPECT_EQ(after->typeWord, L"");

  EXPECT_EQ(database.Read(nullptr), err::InvalidParameter);
  EXPECT_EQ(database.Read(L"C:\\T\\Missing.xml"), err::InternalError);
  EXPECT_EQ(database.Count(), 0u);
  fs.AddFolder(L"C:\\T\\Folder.xml");
  EXPECT_EQ(database.Read(L"C:\\T\\Folder.xml"), err::InternalError);
  for (const char* bad : {"no xml", "<ProductHints><Product RegKey=\"A\"/></ProductHints>",
                          "<FileDatabase><Product RegKey=\"A\">"}) {
    fs.AddFile(L"C:\\T\\Bad.xml", std::string_view(bad));
    EXPECT_EQ(database.Read(L"C:\\T\\Bad.xml"), err::InternalError) << bad;
    EXPECT_EQ(database.Count(), 0u) << bad;
  }
  database.Clear();
  EXPECT_FALSE(database.HasEntries());
}

TEST(BundlesTest, HintsMakeBundlesOfTheirMembers) {
  HintsMachine machine(R"(<ProductHints>
  <Product><RegKey>Suite</RegKey><Type>Bundle</Type>
    <Members><Member>A-1</Member><Member>B-2</Member><Member>a-1</Member></Members></Product>
  <Product><RegKey>Late Start</RegKey><Type>bundle</Type>
    <Members><Head>X</Head><Member>B-2</Member><Other>C-3</Other></Members></Product>
  <Product><RegKey>SUITE</RegKey><Type>Bundle</Type>
    <Members><Member>D-4</Member><Member></Member></Members></Product>
  <Product><RegKey>No Members</RegKey><Type>Bundle</Type><Members><Head>X</Head></Members></Product>
  <Product><RegKey>App</RegKey><Type>App</Type><Members><Member>E-5</Member></Members></Product>
  <Product><Type>Bundle</Type><Members><Member>F-6</Member></Members></Product>
</ProductHints>)");
  CNiBundleMap bundles;
  bundles.Add(L"Stale");
  uint32_t errors = 0;
  EXPECT_EQ(machine.hints.LoadBundles(bundles, errors), 4u);
  EXPECT_EQ(errors, 2u);  // the repeated a-1 and the empty member
  EXPECT_EQ(bundles.Count(), 3u);
  NoCaseTextSet names;
  EXPECT_EQ(bundles.GetBundlesContaining(L"b-2", names), 2u);
  EXPECT_EQ(names, (NoCaseTextSet{L"Late Start", L"Suite"}));
  EXPECT_EQ(bundles.GetBundlesContaining(L"D-4", names), 1u);
  EXPECT_EQ(*names.begin(), L"Suite");  // the first spelling of the name stays
  EXPECT_EQ(bundles.GetBundlesContaining(L"C-3", names), 1u);
  EXPECT_EQ(bundles.GetBundlesContaining(L"X", names), 0u);
  EXPECT_EQ(bundles.GetBundlesContaining(L"", names), 0u);
  EXPECT_TRUE(names.empty());

  CNiBundle bundle(L"B");
  EXPECT_FALSE(bundle.AddMember(nullptr));
  EXPECT_FALSE(bundle.AddMember(L""));
  EXPECT_TRUE(bundle.AddMember(L"Élan"));
  EXPECT_TRUE(bundle.AddMember(L"élan"));  // only A-Z are folded
  EXPECT_FALSE(bundle.AddMember(L"éLAN"));

  FakeRegistry noServiceCenter;
  CNiProductHints missing(noServiceCenter, machine.fs);
  EXPECT_EQ(missing.LoadBundles(bundles, errors), 0u);
  EXPECT_EQ(errors, 1u);
  EXPECT_EQ(bundles.Count(), 0u);
}

}  // namespace
}  // namespace tessaly
