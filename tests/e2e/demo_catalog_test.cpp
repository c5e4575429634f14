// The demo machine as the product library reads it: every product that scripts/demo/README.md
// describes, from the view it names, with its type, content kinds, broken paths and file
// versions, read with the program's own FileDatabase.xml. The tests of the product pages start
// from this state, so a change of the demo machine, the data file or the engine shows here first.
#include <gtest/gtest.h>

#include <string>

#include "catalog/ni_library.h"
#include "platform/text.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_system.h"
#include "tests/e2e/driver.h"

namespace tessaly::e2e {
namespace {

// The FileDatabase.xml delivered beside the program under test.
std::wstring DeliveredFileDatabase() {
  std::wstring path = ProgramPath();
  path.resize(path::FindFileName(path));
  return path + L"FileDatabase.xml";
}

TEST(DemoMachine, TheLibraryReadsEveryProductAsDescribed) {
  Win32Registry registry;
  Win32FileSystem files;
  Win32System system;
  ASSERT_TRUE(system.Is64BitWindows()) << "the demo machine is a 64-bit Windows";
  CNiLibrary library(registry, files, system);
  (void)library.Reset();
  ASSERT_EQ(library.LoadFileDatabase(DeliveredFileDatabase().c_str()), 0u);
  ASSERT_TRUE(library.fileDatabase.HasEntries());
  ASSERT_EQ(library.Scan(nullptr, producttype::All, contentkind::All), 0u);

  using namespace producttype;
  constexpr ContentKinds kNone;
  constexpr BrokenPaths kSound;
  const struct {
    const wchar_t* key;
    bool view32;
    ProductType type;
    ContentKinds kinds;
    BrokenPaths broken;
  } products[] = {
      {L"Kontakt 7", false, AppPlugin, contentkind::Kontakt, kSound},
      {L"Massive", false, AppPlugin, contentkind::Massive, kSound},
      {L"Reaktor 6", false, AppPlugin, contentkind::Reaktor, kSound},
      {L"Guitar Rig 6", false, AppPlugin, contentkind::GuitarRig, kSound},
      {L"Maschine 2", false, AppPlugin, contentkind::Maschine, {{}, productfile::Plugin32}},
      {L"Komplete Kontrol", false, AppPlugin, contentkind::KompleteKontrol, kSound},
      {L"Battery 4",
       false,
       AppPlugin,
       contentkind::Battery,
       {valuekind::InstallDir, productfile::App}},
      {L"FM8", false, AppPlugin, kNone, {valuekind::InstallVst64Dir, productfile::Plugin64}},
      {L"Traktor Pro 3", false, AppPlugin, kNone, kSound},
      {L"Supercharger GT", false, AppPlugin, kNone, kSound},
      {L"Replika XT", false, AppPlugin, kNone, kSound},
      {L"Raum", false, AppPlugin, kNone, kSound},
      {L"Absynth 5", true, AppPlugin, kNone, kSound},
      {L"Kore Player", true, AppPlugin, contentkind::Kore, {{}, productfile::App}},
      {L"Guitar Rig 5", true, AppPlugin, contentkind::GuitarRig, {valuekind::ContentDir, {}}},
      {L"Kontakt Factory Library 2", false, Content, contentkind::Kontakt, kSound},
      {L"Session Strings Pro 2", false, Content, contentkind::Kontakt, kSound},
      {L"Symphony Series Brass Ensemble", false, Content, contentkind::Kontakt, kSound},
      {L"Alicia's Keys", false, Content, contentkind::Kontakt | contentkind::KompleteKontrol,
       kSound},
      {L"The Gentleman", false, Content, contentkind::Kontakt, {valuekind::ContentDir, {}}},
      {L"Scarbee Mark I", false, Content, contentkind::Kontakt, {valuekind::ContentDir, {}}},
      {L"Vintage Organs", false, Content, contentkind::Kontakt, kSound},
      {L"Maschine 2 Factory Library", false, Content, contentkind::Maschine, kSound},
      {L"Reaktor Factory Library", false, Content, contentkind::Reaktor, kSound},
      {L"Kore Vintage Sounds", false, Content, contentkind::Kore, kSound},
      {L"Analog Dreams", false, Content, contentkind::Maschine | contentkind::NksContent, kSound},
      {L"\u00C9b\u00E8ne Grand", false, Content, contentkind::Kontakt, kSound},
      {L"The Grandeur", false, Content, contentkind::Kontakt, kSound},
      {L"Retro Machines Mk2", false, Content,
       contentkind::Kontakt | contentkind::Reaktor | contentkind::Maschine, kSound},
      {L"Elektrik Piano", true, Content, contentkind::Kontakt, kSound},
      {L"Komplete 14 Standard", false, Bundle, kNone, kSound},
      {L"ServiceCenter", false, Utility, kNone, kSound},
      {L"Native Access", false, Utility, kNone, kSound},
      {L"Komplete Audio 6 Driver", false, Utility, kNone, {valuekind::InstallDir, {}}},
      {L"Traktor Kontrol S4 MK2", false, Unknown, kNone, kSound},
      {L"Kore 2", false, Unknown, kNone, kSound},
  };
  for (const auto& p : products) {
    SCOPED_TRACE(ToUtf8(p.key));
    const CNiProduct* record = library.FindByName(p.key);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->view32, p.view32);
    EXPECT_EQ(record->GetType(), p.type);
    EXPECT_EQ(record->contentKinds, p.kinds);
    EXPECT_EQ(record->GetBrokenPaths(files), p.broken);
  }
  // Only the products above, each once, sorted.
  EXPECT_EQ(library.Count(), std::size(products));
  EXPECT_EQ(library.FindByName(L"Kontakt Player Activation"), nullptr);

  // Versions of the files the data file names, from their version resources.
  const CNiProduct* kontakt = library.FindByName(L"Kontakt 7");
  EXPECT_EQ(kontakt->GetAppFile(), L"Kontakt 7.exe");
  EXPECT_EQ(kontakt->GetPluginFile(), L"Kontakt 7.dll");
  for (ProductFile file : {productfile::App, productfile::Plugin32, productfile::Plugin64}) {
    EXPECT_EQ(kontakt->GetFileVersion(file), L"1.2.3.4 (de)") << static_cast<uint32_t>(file);
  }
  EXPECT_EQ(library.FindByName(L"Maschine 2")->GetFileVersion(productfile::Plugin32), L"");

  // The bundles of the hints, by the members' serial numbers.
  uint32_t errors = 0;
  EXPECT_GT(library.LoadBundles(errors), 0u);
  NoCaseTextSet names;
  EXPECT_GT(library.Bundles().GetBundlesContaining(kontakt->GetValue(valuekind::Sno), names), 0u);
}

}  // namespace
}  // namespace tessaly::e2e
