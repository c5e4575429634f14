// The product library against the fake registry: both views on 64-bit Windows, the content
// catalogs, the hints' and the catalogs' classification, masks, cancelling, and the bulk passes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "catalog/ni_library.h"
#include "platform/text.h"
#include "tests/support/fake_file_system.h"
#include "tests/support/fake_registry.h"
#include "tests/support/fake_system.h"
#include "tests/support/products_key.h"
#include "tests/unit/throwing_backends.h"

namespace tessaly {
namespace {

using testing::ProductKey;

constexpr RegRoot kHklm = RegRoot::LocalMachine;
constexpr RegView k64 = RegView::Key64;
constexpr RegView k32 = RegView::Key32;
using Names = std::vector<std::wstring>;

// A machine with a Service Center and a hints file, products added per test.
class NiLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reg.SetString(kHklm, ProductKey(L"ServiceCenter"), L"InstallDir", L"C:\\SC", k64);
    // The scan reports the 32-bit view's result last: give that view its products key.
    reg.CreateKeyAt(kHklm, ni::kProductsKey, k32);
    fs.AddFile(L"C:\\SC\\conf\\ProductHints.xml", std::string_view(R"(<ProductHints>
      <P><RegKey>Hinted Lib</RegKey><Type>Content</Type></P>
      <P><RegKey>Hinted Kontakt</RegKey><Type>Content</Type><PoweredBy>Kontakt</PoweredBy></P>
      <P><RegKey>Synth</RegKey><Type>App</Type><BinName>Synth</BinName></P>
    </ProductHints>)"));
  }

  void Product(const std::wstring& name,
               std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> values,
               RegView view = k64) {
    reg.CreateKeyAt(kHklm, ProductKey(name), view);
    for (const auto& [value, text] : values)
      reg.SetString(kHklm, ProductKey(name), value, text, view);
  }
  void Content(const std::wstring& name, RegView view = k64) {
    Product(name, {{L"ContentDir", L"C:\\Content"}, {L"ContentVersion", L"1.0"}}, view);
  }
  void App(const std::wstring& name, const wchar_t* folder, RegView view = k64) {
    Product(name, {{L"InstallDir", folder}, {L"KEY", L"k"}, {L"SNO", L"s"}, {L"SYSTEMID", L"i"}},
            view);
  }

  Names Scan(ProductTypes typeMask = producttype::All,
             ContentKinds contentMask = contentkind::All) {
    (void)library.Reset();
    EXPECT_EQ(library.Scan(nullptr, typeMask, contentMask), 0u);
    return KeyNames();
  }
  Names KeyNames() const {
    Names names;
    for (const CNiProduct& record : library.records()) names.push_back(record.keyName);
    return names;
  }

  FakeRegistry reg;
  FakeFileSystem fs;
  FakeSystem system;
  CNiLibrary library{reg, fs, system};
};

TEST_F(NiLibraryTest, BothViewsOn64BitWindowsAndOneOn32Bit) {
  App(L"Both", L"C:\\64", k64);
  App(L"BOTH", L"C:\\32", k32);
  App(L"Only32", L"C:\\Old", k32);
  App(L"zeta", L"C:\\Z", k64);
  App(L"Alpha", L"C:\\A", k64);
  EXPECT_EQ(Scan(), (Names{L"Alpha", L"Both", L"Only32", L"ServiceCenter", L"zeta"}));
  const CNiProduct* both = library.FindByName(L"both");
  ASSERT_NE(both, nullptr);
  EXPECT_FALSE(both->view32);
  EXPECT_EQ(both->installDir, L"C:\\64");
  EXPECT_TRUE(library.FindByName(L"Only32")->view32);
  // Serials tell the records apart, in the order they were read.
  EXPECT_EQ(library.FindByName(L"Only32")->serial, 4u);
  EXPECT_NE(library.FindBySerial(0), nullptr);

  // A write to the 32-bit-only product lands in the 32-bit view.
  uint32_t errors = 0;
  EXPECT_EQ(library.SetForAll(producttype::AppPlugin, valuekind::InstallDir, true, errors,
                              L"C:\\OLD", L"D:\\New"),
            1u);
  EXPECT_EQ(reg.ReadString(kHklm, ProductKey(L"Only32"), L"InstallDir", k32), L"D:\\New");
  EXPECT_FALSE(reg.Exists(kHklm, ProductKey(L"Only32"), k64));

  // 32-bit Windows: one view only.
  system.is64Bit = false;
  EXPECT_EQ(Scan(), (Names{L"Alpha", L"Both", L"ServiceCenter", L"zeta"}));
}

TEST_F(NiLibraryTest, ClassificationByHintsCatalogsAndSignature) {
  Content(L"Hinted Lib");  // the hints know it with no engine: kinds stay 0
  Content(L"Hinted Kontakt");
  Content(L"In Maschine");
  Content(L"In Two");
  Content(L"Nowhere");
  Product(L"Nks",
          {{L"ContentDir", L"C:\\N"}, {L"ContentVersion", L"1"}, {L"InstallVST64Dir", L"C:\\V"}});
  Product(L"Driver", {{L"InstallDir", L"C:\\Drv"}});
  Product(L"Activation", {{L"KEY", L"k"}, {L"SNO", L"s"}, {L"SYSTEMID", L"i"}});
  reg.CreateKeyAt(kHklm, ProductKey(L"Empty"), k64);
  reg.SetString(kHklm, ProductKey(L"Maschine Content"), L"1", L"In Maschine", k64);
  reg.SetString(kHklm, ProductKey(L"Maschine Content"), L"2", L"in two", k64);
  reg.SetString(kHklm, ProductKey(L"Reaktor Content"), L"1", L"In Two", k64);
  reg.SetString(kHklm, ProductKey(L"Content"), L"x", L"Nks", k64);
  App(L"Synth", L"C:\\Synth");

  // The catalog keys and the keys without product values are never taken; the Service Center's
  // key, with its InstallDir only, is a utility.
  EXPECT_EQ(Scan(), (Names{L"Driver", L"Hinted Kontakt", L"Hinted Lib", L"In Maschine", L"In Two",
                           L"Nks", L"Nowhere", L"ServiceCenter", L"Synth"}));
  const struct {
    const wchar_t* name;
    ProductType type;
    ContentKinds kinds;
  } cases[] = {
      {L"Hinted Lib", producttype::Content, {}},
      {L"Hinted Kontakt", producttype::Content, contentkind::Kontakt},
      {L"In Maschine", producttype::Content, contentkind::Maschine},
      {L"In Two", producttype::Content, contentkind::Maschine | contentkind::Reaktor},
      {L"Nowhere", producttype::Content, contentkind::Kontakt},
      {L"Nks", producttype::Content, contentkind::Kore | contentkind::NksContent},
      {L"Driver", producttype::Utility, {}},
      {L"Synth", producttype::AppPlugin, {}},
  };
  for (const auto& c : cases) {
    const CNiProduct* record = library.FindByName(c.name);
    ASSERT_NE(record, nullptr) << c.name;
    EXPECT_EQ(record->GetType(), c.type) << c.name;
    EXPECT_EQ(record->contentKinds, c.kinds) << c.name;
  }
  CNiProduct app = *library.FindByName(L"Synth");
  EXPECT_EQ(library.ClassifyContent(&app), kNotContent);
  EXPECT_EQ(library.ClassifyContent(nullptr), err::InvalidParameter);

  // Masks: content libraries for Kontakt only; then drivers only.
  EXPECT_EQ(Scan(producttype::Content, contentkind::Kontakt),
            (Names{L"Hinted Kontakt", L"Nowhere"}));
  EXPECT_EQ(Scan(producttype::Utility), (Names{L"Driver", L"ServiceCenter"}));
  EXPECT_EQ(Scan(producttype::AppPlugin | producttype::Content, contentkind::Reaktor),
            (Names{L"In Two"}));
}

TEST_F(NiLibraryTest, ResetReportsTheLastFailedLoadAndStaysUsable) {
  App(L"Synth", L"C:\\Synth");
  // No catalogs at all: each load says 2; the hints load.
  EXPECT_EQ(library.Reset(), err::FileNotFound);
  reg.CreateKeyAt(kHklm, ProductKey(L"Content"), k64);
  reg.CreateKeyAt(kHklm, ProductKey(L"Maschine Content"), k64);
  reg.CreateKeyAt(kHklm, ProductKey(L"Reaktor Content"), k64);
  EXPECT_EQ(library.Reset(), 0u);
  reg.InjectFailure(kHklm, ProductKey(L"Reaktor Content"), FakeRegistry::Operation::Open,
                    err::AccessDenied);
  fs.AddFile(L"C:\\SC\\conf\\ProductHints.xml", std::string_view("broken"));
  EXPECT_EQ(library.Reset(), err::InternalError);  // the hints' failure wins
  EXPECT_EQ(library.Scan(nullptr, producttype::All, contentkind::All), 0u);
  EXPECT_EQ(KeyNames(), (Names{L"ServiceCenter", L"Synth"}));
  // Without the products key the scan fails with an empty list.
  reg.DeleteTree(kHklm, ni::kProductsKey, k64);
  reg.DeleteTree(kHklm, ni::kProductsKey, k32);
  (void)library.Reset();
  EXPECT_EQ(library.Scan(nullptr, producttype::All, contentkind::All), err::FileNotFound);
  EXPECT_EQ(library.Count(), 0u);
}

TEST_F(NiLibraryTest, CancellingKeepsWhatWasFoundSorted) {
  for (const wchar_t* name : {L"Delta", L"alpha", L"Charlie", L"bravo", L"Echo"}) {
    App(name, L"C:\\X", k64);
  }
  App(L"Old", L"C:\\X", k32);
  CancelFlag cancel{0};
  Names seen;
  (void)library.Reset();
  EXPECT_EQ(library.Scan(&cancel, producttype::All, contentkind::All,
                         [&](const wchar_t* name) {
                           seen.push_back(name);
                           if (seen.size() == 3) cancel = 1;
                         }),
            0u);
  // The fake enumerates keys sorted by their upper-case names, like Windows.
  EXPECT_EQ(seen, (Names{L"alpha", L"bravo", L"Charlie"}));
  EXPECT_EQ(KeyNames(), (Names{L"alpha", L"bravo", L"Charlie"}));
  // Serials go on counting across resets.
  (void)library.Reset();
  EXPECT_EQ(library.Scan(nullptr, producttype::All, contentkind::All), 0u);
  EXPECT_EQ(library.Count(), 7u);
  EXPECT_EQ(library.records().front().serial, 3u);
}

TEST_F(NiLibraryTest, FileDatabaseGivesFilesAndVersions) {
  fs.AddFile(L"C:\\T\\FileDatabase.xml",
             std::string_view(
                 R"(<FileDatabase><Product RegKey="Synth"><AppFile>Own.exe</AppFile></Product>
         <Product RegKey="Drums"><AppFile>Drums.exe</AppFile><PluginFile>Drums.dll</PluginFile>
         </Product></FileDatabase>)"));
  fs.AddFolder(L"C:\\Drums");
  fs.AddFile(L"C:\\Drums\\Drums.exe", std::string_view("no version"));
  App(L"Synth", L"C:\\Synth");
  App(L"Drums", L"C:\\Drums");
  App(L"Flute", L"C:\\Flute");
  (void)library.Reset();
  EXPECT_EQ(library.LoadFileDatabase(L"C:\\T\\FileDatabase.xml"), 0u);
  ASSERT_EQ(library.Scan(nullptr, producttype::All, contentkind::All), 0u);
  EXPECT_EQ(library.FindByName(L"Synth")->appFile, L"Own.exe");  // the file's entry wins
  EXPECT_EQ(library.FindByName(L"Drums")->pluginFile, L"Drums.dll");
  EXPECT_EQ(library.FindByName(L"Flute")->appFile, L"");
  EXPECT_EQ(library.FindByName(L"Drums")->GetBrokenPaths(fs), BrokenPaths{});
  EXPECT_EQ(library.FindByName(L"Synth")->GetBrokenPaths(fs),
            (BrokenPaths{valuekind::InstallDir, productfile::App}));

  // Without the hints' entries the result says whether a path was given.
  fs.DeleteFile(L"C:\\SC\\conf\\ProductHints.xml");
  (void)library.Reset();
  EXPECT_EQ(library.LoadFileDatabase(nullptr), err::InvalidParameter);
  EXPECT_EQ(library.LoadFileDatabase(L"C:\\T\\Missing.xml"), 0u);
  EXPECT_FALSE(library.fileDatabase.HasEntries());
}

TEST_F(NiLibraryTest, GatherValuesAndBulkRepairs) {
  App(L"A", L"C:\\Apps\\A");
  App(L"B", L"c:\\apps\\a");  // the same folder in other letters
  App(L"C", L"C:\\Apps\\Sub\\C");
  App(L"D", L"C:\\Appsx\\D");
  App(L"E", L"C:\\Élan");
  Content(L"Lib");
  Scan();
  std::vector<std::wstring> folders;
  EXPECT_EQ(library.GatherValues(valuekind::InstallDir, folders), 5u);
  EXPECT_EQ(folders,
            (Names{L"C:\\Apps\\A", L"C:\\Apps\\Sub\\C", L"C:\\Appsx\\D", L"C:\\SC", L"C:\\Élan"}));

  // Set for all with an old value: A-Z fold, É does not.
  uint32_t errors = 7;
  EXPECT_EQ(library.SetForAll(producttype::AppPlugin, valuekind::InstallDir, true, errors,
                              L"C:\\apps\\A", L"D:\\New"),
            2u);
  EXPECT_EQ(errors, 0u);
  EXPECT_EQ(library.SetForAll(producttype::AppPlugin, valuekind::InstallDir, true, errors,
                              L"c:\\élan", L"D:\\New"),
            0u);
  EXPECT_EQ(reg.ReadString(kHklm, ProductKey(L"B"), L"InstallDir", k64), L"D:\\New");
  EXPECT_EQ(reg.ReadString(kHklm, ProductKey(L"E"), L"InstallDir", k64), L"C:\\Élan");
  // Without an old value every record of the type counts, a record lacking the kind too, and a
  // failed write is counted while the others are still written.
  reg.InjectFailure(kHklm, ProductKey(L"C"), FakeRegistry::Operation::Set, err::AccessDenied);
  EXPECT_EQ(library.SetForAll(producttype::AppPlugin | producttype::Content, valuekind::InstallDir,
                              true, errors, nullptr, L"E:\\All"),
            5u);
  EXPECT_EQ(errors, 1u);
  EXPECT_EQ(reg.ReadString(kHklm, ProductKey(L"E"), L"InstallDir", k64), L"E:\\All");
  EXPECT_FALSE(reg.ValueExists(kHklm, ProductKey(L"Lib"), L"InstallDir", k64));
  reg.ClearFailures();

  // Relocation under an old parent: whole components only.
  Scan();
  library.FindByName(L"A")->installDir = L"C:\\Apps\\A";
  library.FindByName(L"C")->installDir = L"C:\\Apps\\Sub\\C";
  library.FindByName(L"D")->installDir = L"C:\\Appsx\\D";
  library.FindByName(L"E")->installDir = L"C:\\Apps\\" + std::wstring(252, L'e');
  EXPECT_EQ(library.RelocateParent(producttype::AppPlugin, valuekind::InstallDir, errors,
                                   L"c:\\apps\\", L"F:\\Moved"),
            2u);
  EXPECT_EQ(errors, 1u);  // E would be too long
  EXPECT_EQ(reg.ReadString(kHklm, ProductKey(L"A"), L"InstallDir", k64), L"F:\\Moved\\A");
  EXPECT_EQ(reg.ReadString(kHklm, ProductKey(L"C"), L"InstallDir", k64), L"F:\\Moved\\Sub\\C");
  EXPECT_EQ(reg.ReadString(kHklm, ProductKey(L"D"), L"InstallDir", k64), L"E:\\All");
}

// A catalog value whose name or data does not fit the buffers (1024 characters, 2048 bytes) names
// no product and is skipped; the values after it are still read.
TEST(NiCatalogTest, ValuesThatDoNotFitAreSkippedAndTheRestRead) {
  FakeRegistry reg;
  const std::wstring key = ProductKey(L"Maschine Content");
  const std::wstring fits(1023, L'F');      // 2048 bytes with its terminator
  const std::wstring tooLarge(1024, L'T');  // 2050 bytes
  const std::wstring longestName(1023, L'n');
  const std::vector<uint8_t> multi = ToUtf16Bytes(std::wstring_view(L"First\0Second\0", 13), true);
  reg.SetString(kHklm, key, L"1", L"Small", k64);
  reg.SetString(kHklm, key, L"2", tooLarge, k64);
  reg.SetString(kHklm, key, L"3", fits, k64);
  reg.SetString(kHklm, key, std::wstring(1024, L'x'), L"Long Name", k64);
  reg.SetString(kHklm, key, longestName, L"Name Fits", k64);
  reg.SetBytes(kHklm, key, L"4", regtype::MultiSz, multi, k64);
  reg.SetString(kHklm, key, L"5", L"SMALL", k64);  // the same key: the first one stays
  reg.SetString(kHklm, key, L"6", L"After", k64);

  CNiCatalog catalog;
  ASSERT_EQ(catalog.Load(reg, CNiCatalog::kMaschine), 0u);
  EXPECT_EQ(catalog.Type(), CNiCatalog::kMaschine);
  EXPECT_EQ(catalog.Count(), 5u);
  const struct {
    std::wstring product;
    bool contained;
  } cases[] = {
      {L"small", true}, {fits, true},      {L"Name Fits", true},  {L"First", true},
      {L"After", true}, {tooLarge, false}, {L"Long Name", false}, {L"Second", false},
  };
  for (const auto& c : cases) {
    CNiProduct record;
    record.keyName = c.product;
    EXPECT_EQ(catalog.Contains(record), c.contained) << c.product.substr(0, 12);
  }
}

// An enumeration error other than a name or data too large would come back for every later index
// (a key deleted while open answers 1018 for each): the load ends with what it read and succeeds.
// A too-large answer skips only its index.
TEST(NiCatalogTest, EnumerationErrorsEndTheLoadOrSkipOneValue) {
  const struct {
    ErrorCode code;
    uint32_t times;
    std::vector<std::wstring> products;  // in the catalog afterwards
  } cases[] = {
      {FakeRegistry::kKeyDeleted, FakeRegistry::kForever, {}},
      {err::AccessDenied, FakeRegistry::kForever, {}},
      {err::InvalidData, FakeRegistry::kForever, {}},
      {err::MoreData, 1, {L"Second", L"Third"}},
      {err::MoreData, 2, {L"Third"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.code << " x" << c.times);
    FakeRegistry reg;
    const std::wstring key = ProductKey(L"Reaktor Content");
    reg.SetString(kHklm, key, L"a", L"First", k64);
    reg.SetString(kHklm, key, L"b", L"Second", k64);
    reg.SetString(kHklm, key, L"c", L"Third", k64);
    reg.InjectFailure(kHklm, key, FakeRegistry::Operation::Enum, c.code, c.times);
    testing::ThrowCountdown guard;  // ends a load that would never end
    guard.Arm(10000);
    testing::ThrowingRegistry guarded(reg, guard);
    CNiCatalog catalog;
    EXPECT_EQ(catalog.Load(guarded, CNiCatalog::kReaktor), 0u);
    EXPECT_FALSE(guard.Fired());
    EXPECT_EQ(catalog.Type(), CNiCatalog::kReaktor);
    EXPECT_EQ(catalog.Count(), c.products.size());
    for (const std::wstring& product : c.products) {
      CNiProduct record;
      record.keyName = product;
      EXPECT_TRUE(catalog.Contains(record)) << product;
    }
  }

  // Memory running out while the values are read: 1359, and the catalog keeps no type.
  FakeRegistry reg;
  reg.SetString(kHklm, ProductKey(L"Content"), L"a", L"First", k64);
  reg.SetString(kHklm, ProductKey(L"Content"), L"b", L"Second", k64);
  testing::ThrowCountdown countdown;
  countdown.Arm(3);  // the open, the first value, then the second value throws
  testing::ThrowingRegistry throwing(reg, countdown);
  CNiCatalog catalog;
  EXPECT_EQ(catalog.Load(throwing, CNiCatalog::kContent), err::InternalError);
  EXPECT_TRUE(countdown.Fired());
  EXPECT_EQ(catalog.Type(), 0u);
  // Another type is refused before anything is read.
  EXPECT_EQ(catalog.Load(reg, 16), err::InvalidParameter);
}

// A value outside the old parent is skipped without an error, an empty value included: only a
// product that was really moved, or that failed, is counted.
TEST_F(NiLibraryTest, RelocationSkipsValuesOutsideTheOldParentWithoutAnError) {
  const struct {
    const wchar_t* value;
    size_t changed;  // of the two products
    const wchar_t* after;
  } cases[] = {
      {L"", 1, L""},
      {L"D:\\Older\\X", 1, L"D:\\Older\\X"},
      {L"E:\\Lib", 1, L"E:\\Lib"},
      {L"d:\\old", 2, L"E:\\New"},
      {L"D:\\Old\\Sub\\", 2, L"E:\\New\\Sub\\"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "ContentDir \"" << c.value << "\"");
    reg.DeleteTree(kHklm, ProductKey(L"Lib"), k64);
    Product(L"Lib", {{L"ContentDir", c.value}, {L"ContentVersion", L"1.0"}});
    Product(L"Moved", {{L"ContentDir", L"D:\\Old\\Moved"}, {L"ContentVersion", L"1.0"}});
    Scan();
    ASSERT_NE(library.FindByName(L"Lib"), nullptr);
    uint32_t errors = 7;
    EXPECT_EQ(library.RelocateParent(producttype::Content, valuekind::ContentDir, errors,
                                     L"D:\\Old\\", L"E:\\New"),
              c.changed);
    EXPECT_EQ(errors, 0u);
    EXPECT_EQ(reg.ReadString(kHklm, ProductKey(L"Lib"), L"ContentDir", k64), c.after);
    EXPECT_EQ(reg.ReadString(kHklm, ProductKey(L"Moved"), L"ContentDir", k64), L"E:\\New\\Moved");
  }
}

}  // namespace
}  // namespace tessaly
