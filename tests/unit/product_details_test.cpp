// The product manager's filters and details against the fake file system: which products are
// listed, which paths show as missing, which buttons work, and the stored filters.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/settings/profile_store.h"
#include "product_manager/product_details.h"
#include "product_manager/product_filters.h"
#include "tests/support/fake_file_system.h"
#include "tests/support/fake_registry.h"
#include "tests/support/fake_system.h"
#include "tests/unit/pe_test_images.h"
#include "tests/unit/throwing_backends.h"

namespace tessaly {
namespace {

// A record as the scan leaves it: the values present and their texts.
CNiProduct Record(ValueKinds present, const wchar_t* name = L"P") {
  CNiProduct record;
  record.keyName = name;
  record.presentValues = present;
  return record;
}
CNiProduct Record(uint32_t present, const wchar_t* name = L"P") {
  return Record(ValueKinds::FromBits(present), name);
}

constexpr uint32_t kApp = 0x0B88;  // InstallDir, KEY, SNO, SYSTEMID and a plugin folder

TEST(ProductDetailsTest, TypeAndLibraryTexts) {
  EXPECT_EQ(ProductTypeText(Record(kApp | 0x10)), L"App/plugin");
  EXPECT_EQ(ProductTypeText(Record(0x0003)), L"Content library");
  EXPECT_EQ(ProductTypeText(Record(0x0B89 | 0x20)), L"Bundle");
  EXPECT_EQ(ProductTypeText(Record(0x0008)), L"Driver/utility");
  EXPECT_EQ(ProductTypeText(Record(0x0402)), L"Unknown (0402)");
  CNiProduct hinted = Record(0x0402);
  hinted.productType = producttype::Content;
  EXPECT_EQ(ProductTypeText(hinted), L"Content library");

  EXPECT_EQ(LibraryTypeText({}), L"");
  EXPECT_EQ(LibraryTypeText(contentkind::Reaktor), L"Reaktor");
  EXPECT_EQ(LibraryTypeText(ContentKinds::FromBits(0x1FF)),
            L"Kontakt, Kore, Maschine, Reaktor, Guitar Rig, Battery, Komplete Kontrol, Massive, "
            L"NKS Content");
}

TEST(ProductDetailsTest, FiltersByTypeAndPathState) {
  const struct {
    uint32_t present;
    BrokenPaths broken;
    ProductTypes typeFilter;
    PathBits pathFilter;
    bool listed;
  } cases[] = {
      {kApp, {}, producttype::AppPlugin, pathbits::Valid, true},
      {kApp, {}, producttype::AppPlugin, pathbits::Broken, false},
      {kApp, {valuekind::InstallDir, {}}, producttype::AppPlugin, pathbits::Broken, true},
      {kApp, {valuekind::InstallDir, {}}, producttype::AppPlugin, pathbits::Valid, false},
      {kApp, {{}, productfile::App}, producttype::AppPlugin, pathbits::Broken, true},
      {kApp, {}, producttype::Content | producttype::Bundle, pathbits::Default, false},
      {0x0402, {}, kDefaultProductCheckboxes, pathbits::Default, false},  // unrecognized
      {0x0402, {}, producttype::Unknown, pathbits::Default, true},
      {0x0001,
       {valuekind::ContentDir, {}},
       producttype::Content,
       {},
       false},  // both path boxes cleared
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const auto& c = cases[i];
    EXPECT_EQ(IsListed(Record(c.present), c.broken, c.typeFilter, c.pathFilter), c.listed)
        << "case " << i;
  }
}

TEST(ProductDetailsTest, ListedNamesNeedMasksOnlyToTellValidFromBroken) {
  FakeRegistry registry;
  FakeFileSystem disk;
  testing::ThrowCountdown calls;  // never armed: it only counts the looks at the disk
  testing::ThrowingFileSystem fs(disk, calls);
  FakeSystem system;
  CNiLibrary library(registry, fs, system);
  for (const wchar_t* name : {L"Gone", L"Here"}) {
    CNiProduct record = Record(0x0008, name);
    record.installDir = std::wstring(L"C:\\") + name;
    library.records().push_back(record);
  }
  disk.AddFolder(L"C:\\Here");
  EXPECT_FALSE(NeedsBrokenPaths(pathbits::Default));
  CProductList list;
  const auto names = [&](ProductTypes types, PathBits paths) {
    list.Refill(library, fs, types, paths);
    return std::vector<std::wstring>(list.Names().begin(), list.Names().end());
  };
  calls.Arm(0);
  EXPECT_EQ(names(producttype::Utility, pathbits::Default),
            (std::vector<std::wstring>{L"Gone", L"Here"}));
  EXPECT_EQ(calls.Calls(), 0);
  ASSERT_TRUE(NeedsBrokenPaths(pathbits::Broken));
  EXPECT_EQ(names(producttype::Utility, pathbits::Broken), std::vector<std::wstring>{L"Gone"});
  EXPECT_EQ(names(producttype::Utility, pathbits::Valid), std::vector<std::wstring>{L"Here"});
  EXPECT_GT(calls.Calls(), 0);
  // Products of the types left out are not looked at.
  calls.Arm(0);
  EXPECT_TRUE(names(producttype::Content, pathbits::Broken).empty());
  EXPECT_EQ(calls.Calls(), 0);
}

// The list gives the details' answer: when a folder or file appears or goes after the list was
// filled (a drive reconnected, a folder made in Explorer), the next refill, as a filter click
// makes one, lists the product where its details put it.
TEST(ProductDetailsTest, TheListAnswersWhatTheDetailsShowAfterTheDiskChanged) {
  const struct {
    const char* name;
    std::function<void(FakeFileSystem&)> before, change;
    bool brokenAfter;
  } cases[] = {
      {"folder made", [](FakeFileSystem&) {},
       [](FakeFileSystem& fs) {
         fs.AddFolder(L"C:\\PF\\Synth");
         fs.AddFile(L"C:\\PF\\Synth\\Synth.exe", std::string_view("x"));
       },
       false},
      {"folder gone",
       [](FakeFileSystem& fs) { fs.AddFile(L"C:\\PF\\Synth\\Synth.exe", std::string_view("x")); },
       [](FakeFileSystem& fs) {
         fs.DeleteFile(L"C:\\PF\\Synth\\Synth.exe");
         fs.RemoveFolder(L"C:\\PF\\Synth");
       },
       true},
      {"file made", [](FakeFileSystem& fs) { fs.AddFolder(L"C:\\PF\\Synth"); },
       [](FakeFileSystem& fs) { fs.AddFile(L"C:\\PF\\Synth\\Synth.exe", std::string_view("x")); },
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeRegistry registry;
    FakeFileSystem fs;
    FakeSystem system;
    CNiLibrary library(registry, fs, system);
    CNiProduct synth = Record(valuekind::InstallDir, L"Synth");
    synth.installDir = L"C:\\PF\\Synth";
    synth.productType = producttype::AppPlugin;  // so that the details show the file's row
    synth.SetFiles(L"Synth.exe", nullptr);
    library.records().push_back(synth);
    c.before(fs);
    const CNiProduct& record = library.records().front();
    const bool brokenBefore = static_cast<bool>(record.GetBrokenPaths(fs));
    ASSERT_NE(brokenBefore, c.brokenAfter);

    CProductList list;  // one list for the whole visit, as the page keeps it
    const auto listed = [&](PathBits pathFilter) {
      list.Refill(library, fs, producttype::All, pathFilter);
      return list.Names().size() == 1;
    };
    EXPECT_EQ(listed(pathbits::Broken), brokenBefore);
    EXPECT_EQ(listed(pathbits::Valid), !brokenBefore);
    c.change(fs);
    EXPECT_EQ(listed(pathbits::Broken), c.brokenAfter);
    EXPECT_EQ(listed(pathbits::Valid), !c.brokenAfter);
    const ProductDetails details = DescribeProduct(record, fs, CNiBundleMap());
    EXPECT_EQ(details.install.missing || details.app.missing, c.brokenAfter);
  }
}

TEST(ProductDetailsTest, StoredFiltersAndPathReadBack) {
  FakeRegistry registry;
  CProfileStore settings(registry, L"Quillmoor", L"Tessaly");
  ProductManagerInputs inputs = LoadProductManagerInputs(settings);
  EXPECT_EQ(inputs.typeFilter.ToBits(), 15u);
  EXPECT_EQ(inputs.pathFilter.ToBits(), 3u);
  EXPECT_EQ(inputs.fileDatabasePath, L"FileDatabase.xml");
  const struct {
    uint32_t type, path, typeRead, pathRead;
  } cases[] = {{16, 0, 15, 3}, {17, 2, 17, 2}, {31, 1, 31, 1}};
  for (const auto& c : cases) {
    StoreProductFilters(settings, ProductTypes::FromBits(c.type), PathBits::FromBits(c.path));
    inputs = LoadProductManagerInputs(settings);
    EXPECT_EQ(inputs.typeFilter.ToBits(), c.typeRead) << c.type;
    EXPECT_EQ(inputs.pathFilter.ToBits(), c.pathRead) << c.path;
  }
}

// The worker's path to the Bundle(s) combo: the scan reads each product's SNO, the hints fill
// the library's bundles, and the details give the names of the bundles holding that SNO in the
// order the combo keeps (letter case folded), whatever the hints' order.
TEST(ProductDetailsTest, BundlesOfAScannedProductComeFromTheHintsSorted) {
  FakeRegistry registry;
  FakeFileSystem fs;
  FakeSystem system;
  registry.SetString(RegRoot::LocalMachine, L"SOFTWARE\\Native Instruments\\ServiceCenter",
                     L"InstallDir", L"C:\\SC", RegView::Key64);
  fs.AddFile(L"C:\\SC\\conf\\ProductHints.xml", std::string_view(R"(<ProductHints>
    <P><RegKey>Zeta Pack</RegKey><Type>Bundle</Type><Members><Member>AB-1</Member></Members></P>
    <P><RegKey>Alpha Suite</RegKey><Type>Bundle</Type><Members><Member>ab-1</Member></Members></P>
    <P><RegKey>beta Collection</RegKey><Type>Bundle</Type>
      <Members><Member>AB-1</Member><Member>X-2</Member></Members></P>
    <P><RegKey>Other</RegKey><Type>Bundle</Type><Members><Member>X-2</Member></Members></P>
  </ProductHints>)"));
  const struct {
    const wchar_t* name;
    const wchar_t* sno;  // null: the product has no SNO value
    std::vector<std::wstring> bundles;
  } cases[] = {
      {L"Synth", L"ab-1", {L"Alpha Suite", L"beta Collection", L"Zeta Pack"}},
      {L"Drums", L"X-2", {L"beta Collection", L"Other"}},
      {L"Harp", L"N-9", {}},
      {L"Flute", nullptr, {}},
  };
  const std::wstring products = L"SOFTWARE\\Native Instruments\\";
  // The scan answers for the 32-bit view last: give that view its products key.
  registry.CreateKeyAt(RegRoot::LocalMachine, L"SOFTWARE\\Native Instruments", RegView::Key32);
  for (const auto& c : cases) {
    const std::wstring key = products + c.name;
    for (const wchar_t* value : {L"InstallDir", L"KEY", L"SYSTEMID"}) {
      registry.SetString(RegRoot::LocalMachine, key, value, L"C:\\PF", RegView::Key64);
    }
    if (c.sno) registry.SetString(RegRoot::LocalMachine, key, L"SNO", c.sno, RegView::Key64);
  }
  CNiLibrary library(registry, fs, system);
  ASSERT_EQ(library.Reset(), err::FileNotFound);  // no content catalogs; the hints load
  ASSERT_EQ(library.Scan(nullptr, producttype::All, contentkind::All), 0u);
  uint32_t errors = 7;
  EXPECT_EQ(library.LoadBundles(errors), 4u);
  EXPECT_EQ(errors, 0u);
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.name);
    const CNiProduct* record = library.FindByName(c.name);
    ASSERT_NE(record, nullptr);
    const ProductDetails details = DescribeProduct(*record, fs, library.Bundles());
    EXPECT_EQ(std::vector<std::wstring>(details.bundles.begin(), details.bundles.end()), c.bundles);
  }
}

class ProductDetailsFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs.AddFolder(L"C:\\PF\\Synth");
    fs.AddFolder(L"C:\\VST32");
    fs.AddFile(L"C:\\PF\\Synth\\Synth.exe",
               testing::VersionedDll(testing::StandardVersionInfo({{0x0409, 1200}}, L"4.1")).bytes);
    fs.AddFile(L"C:\\VST32\\Synth.dll", std::string_view("no version resource"));
    synth =
        Record(ValueKinds::FromBits(kApp) | valuekind::InstallVstDir | valuekind::InstallVst64Dir,
               L"Synth");
    synth.installDir = L"C:\\PF\\Synth";
    synth.vstDir = L"C:\\VST32";
    synth.vst64Dir = L"C:\\Gone64";
    synth.sno = L"111-222";
    synth.SetFiles(L"Synth.exe", L"Synth.dll");
    synth.RefreshFileVersions(fs, system);
  }

  FakeFileSystem fs;
  FakeSystem system;
  CNiBundleMap bundles;
  CNiProduct synth;
};

TEST_F(ProductDetailsFilesTest, AppRowsShowPathsVersionsAndMissingFiles) {
  bundles.Add(L"Suite B")->AddMember(L"111-222");
  bundles.Add(L"Suite A")->AddMember(L"111-222");
  bundles.Add(L"Other")->AddMember(L"333");
  const ProductDetails d = DescribeProduct(synth, fs, bundles);
  EXPECT_EQ(d.install.text, L"C:\\PF\\Synth");
  EXPECT_FALSE(d.install.missing);
  EXPECT_TRUE(d.install.options);
  EXPECT_TRUE(d.vst64.missing);
  EXPECT_TRUE(d.vst64.options);
  EXPECT_FALSE(d.content.options);
  EXPECT_EQ(d.content.text, L"");
  EXPECT_EQ(d.productType, L"App/plugin");

  EXPECT_EQ(d.app.path, L"C:\\PF\\Synth\\Synth.exe");
  EXPECT_FALSE(d.app.missing);
  EXPECT_TRUE(d.app.launch);
  EXPECT_EQ(d.app.versionLabel, L"File version: 4.1 040904b0");
  // A file without a version text: its path in black, no label.
  EXPECT_EQ(d.plugin32.path, L"C:\\VST32\\Synth.dll");
  EXPECT_TRUE(d.plugin32.launch);
  EXPECT_EQ(d.plugin32.versionLabel, L"");
  // A missing file: red, no launch, no label.
  EXPECT_EQ(d.plugin64.path, L"C:\\Gone64\\Synth.dll");
  EXPECT_TRUE(d.plugin64.missing);
  EXPECT_FALSE(d.plugin64.launch);
  EXPECT_EQ(d.bundles, (NoCaseTextSet{L"Suite A", L"Suite B"}));
}

TEST_F(ProductDetailsFilesTest, OtherTypesAndEmptyFoldersShowNoFileRows) {
  // A content library with file names shows no file rows.
  CNiProduct library = synth;
  library.productType = producttype::Content;
  ProductDetails d = DescribeProduct(library, fs, bundles);
  EXPECT_EQ(d.app.path, L"");
  EXPECT_EQ(d.plugin32.path, L"");
  EXPECT_TRUE(d.bundles.empty());

  // An empty content folder is broken yet can be repaired; SystemContentDir alone counts too.
  CNiProduct content = Record(valuekind::ContentDir | valuekind::SystemContentDir);
  d = DescribeProduct(content, fs, bundles);
  EXPECT_TRUE(d.content.missing);
  EXPECT_TRUE(d.content.options);
  EXPECT_EQ(d.contentVersion, L"");

  // An app whose plugin folder is empty has no plugin row, and without InstallDir its missing
  // application file is not a broken path.
  CNiProduct noInstall =
      Record(ValueKinds::FromBits(0x0B80) | valuekind::InstallVstDir, L"NoInstall");
  noInstall.productType = producttype::AppPlugin;
  noInstall.SetFiles(L"X.exe", L"X.dll");
  EXPECT_EQ(noInstall.GetBrokenPaths(fs),
            (BrokenPaths{valuekind::InstallVstDir, productfile::Plugin32}));
  d = DescribeProduct(noInstall, fs, bundles);
  EXPECT_EQ(d.plugin32.path, L"");
  EXPECT_EQ(d.app.path, L"");
}

}  // namespace
}  // namespace tessaly
