// The product manager end to end on the demo machine: the list and its filters, the details with
// missing paths drawn in red, the three folder repairs of the change-folder and relocate dialogs
// checked in both registry views afterwards, their refusals, the launch buttons, and leaving the
// page while it scans a large registry. Each test puts the demo machine's product keys back as it
// found them, whatever it wrote, deleted or added.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/settings/profile_store.h"
#include "catalog/ni_product.h"
#include "platform/text.h"
#include "platform/win32/win32_registry.h"
#include "product_manager/product_filters.h"
#include "resources/resource.h"
#include "tests/e2e/driver.h"
#include "tests/e2e/page_titles.h"

#include <shlobj.h>

namespace tessaly::e2e {
namespace {

constexpr wchar_t kProducts[] = L"SOFTWARE\\Native Instruments";
constexpr REGSAM kView64 = KEY_WOW64_64KEY;
constexpr REGSAM kView32 = KEY_WOW64_32KEY;

const std::wstring kScratch = L"C:\\TessalyE2E";
const std::wstring kNiVst32 = L"C:\\Program Files (x86)\\Native Instruments\\VSTPlugins 32 bit";
const std::wstring kNiVst64 = L"C:\\Program Files\\Native Instruments\\VSTPlugins 64 bit";
const std::wstring kPublicNi = L"C:\\Users\\Public\\Documents\\Native Instruments";

std::wstring ProductKey(const std::wstring& name) { return std::wstring(kProducts) + L"\\" + name; }

// --- The registry, read and written as another program would --------------------------------

std::optional<std::wstring> ReadText(REGSAM view, const std::wstring& key, const wchar_t* name) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE | view, &handle) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  std::optional<std::wstring> text;
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExW(handle, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
      type == REG_SZ) {
    std::wstring buffer(size / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(handle, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer.data()),
                         &size) == ERROR_SUCCESS) {
      buffer.resize(size / sizeof(wchar_t));
      while (!buffer.empty() && buffer.back() == L'\0') buffer.pop_back();
      text = std::move(buffer);
    }
  }
  RegCloseKey(handle);
  return text;
}

bool KeyExists(REGSAM view, const std::wstring& key) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE | view, &handle) !=
      ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(handle);
  return true;
}

// Writes a REG_SZ value, creating the key when it is missing.
bool WriteText(REGSAM view, const std::wstring& key, const wchar_t* name,
               const std::wstring& value) {
  HKEY handle = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view, nullptr,
                      &handle, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const bool ok =
      RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
  RegCloseKey(handle);
  return ok;
}

bool DeleteKey(REGSAM view, const std::wstring& key) {
  return RegDeleteKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), view, 0) == ERROR_SUCCESS;
}

// A registry tree as it stands: every key (parents before children) with its values in order.
struct RegistryValue {
  std::wstring name;
  DWORD type = 0;
  std::vector<BYTE> data;
  bool operator==(const RegistryValue&) const = default;
};
struct RegistryKeyState {
  std::wstring path;
  std::vector<RegistryValue> values;
  bool operator==(const RegistryKeyState&) const = default;
};
using RegistryTree = std::vector<RegistryKeyState>;

void ReadTree(REGSAM view, const std::wstring& path, RegistryTree& tree) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
    return;
  RegistryKeyState state{path, {}};
  std::vector<wchar_t> name(16384);
  for (DWORD i = 0;; ++i) {
    DWORD nameLength = static_cast<DWORD>(name.size());
    DWORD type = 0;
    DWORD size = 0;
    if (RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &type, nullptr, &size) !=
        ERROR_SUCCESS)
      break;
    RegistryValue value{std::wstring(name.data(), nameLength), type, std::vector<BYTE>(size)};
    nameLength = static_cast<DWORD>(name.size());
    if (RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &type, value.data.data(), &size) !=
        ERROR_SUCCESS) {
      break;
    }
    value.data.resize(size);
    state.values.push_back(std::move(value));
  }
  std::vector<std::wstring> subkeys;
  for (DWORD i = 0;; ++i) {
    DWORD nameLength = static_cast<DWORD>(name.size());
    if (RegEnumKeyExW(key, i, name.data(), &nameLength, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    subkeys.emplace_back(name.data(), nameLength);
  }
  RegCloseKey(key);
  tree.push_back(std::move(state));
  for (const std::wstring& subkey : subkeys) ReadTree(view, path + L"\\" + subkey, tree);
}

RegistryTree ReadTree(REGSAM view, const std::wstring& path) {
  RegistryTree tree;
  ReadTree(view, path, tree);
  return tree;
}

// Where two trees differ, for a failure message; empty when they are alike.
std::string TreeDifference(const RegistryTree& actual, const RegistryTree& expected) {
  for (size_t i = 0; i < std::max(actual.size(), expected.size()); ++i) {
    if (i >= actual.size()) return "missing key " + ToUtf8(expected[i].path);
    if (i >= expected.size()) return "extra key " + ToUtf8(actual[i].path);
    if (actual[i].path != expected[i].path) {
      return "key " + ToUtf8(actual[i].path) + " where " + ToUtf8(expected[i].path) + " was";
    }
    if (actual[i].values != expected[i].values) return "other values in " + ToUtf8(actual[i].path);
  }
  return {};
}

// Puts a tree back as `saved` holds it: keys added since go, keys deleted since come back, and
// every value is set back to its saved type and data (values added since go too).
void RestoreTree(REGSAM view, const std::wstring& root, const RegistryTree& saved) {
  const RegistryTree now = ReadTree(view, root);
  std::map<std::wstring, const RegistryKeyState*, LessNoCaseFn> savedKeys;
  for (const RegistryKeyState& key : saved) savedKeys[key.path] = &key;
  std::map<std::wstring, const RegistryKeyState*, LessNoCaseFn> currentKeys;
  for (const RegistryKeyState& key : now) currentKeys[key.path] = &key;
  // Children follow their parents, so the reverse order deletes each key after its subkeys.
  for (auto key = now.rbegin(); key != now.rend(); ++key) {
    if (!savedKeys.count(key->path)) {
      EXPECT_EQ(RegDeleteKeyExW(HKEY_LOCAL_MACHINE, key->path.c_str(), view, 0), ERROR_SUCCESS)
          << "restore: " << ToUtf8(key->path);
    }
  }
  for (const RegistryKeyState& key : saved) {
    HKEY handle = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.path.c_str(), 0, nullptr, 0,
                        KEY_READ | KEY_WRITE | view, nullptr, &handle, nullptr) != ERROR_SUCCESS) {
      ADD_FAILURE() << "restore: cannot create " << ToUtf8(key.path);
      continue;
    }
    const auto current = currentKeys.find(key.path);
    const std::vector<RegistryValue> empty;
    const std::vector<RegistryValue>& values =
        current == currentKeys.end() ? empty : current->second->values;
    for (const RegistryValue& value : values) {
      const bool kept =
          std::any_of(key.values.begin(), key.values.end(),
                      [&](const RegistryValue& v) { return EqualsNoCase(v.name, value.name); });
      if (!kept) RegDeleteValueW(handle, value.name.c_str());
    }
    for (const RegistryValue& value : key.values) {
      if (std::find(values.begin(), values.end(), value) != values.end()) continue;
      EXPECT_EQ(RegSetValueExW(handle, value.name.c_str(), 0, value.type, value.data.data(),
                               static_cast<DWORD>(value.data.size())),
                ERROR_SUCCESS)
          << "restore: " << ToUtf8(key.path) << " " << ToUtf8(value.name);
    }
    RegCloseKey(handle);
  }
}

// --- The demo machine's products as the page lists them ---------------------------------------

struct DemoProduct {
  const wchar_t* name;
  ProductType type;
  bool broken;  // a registered folder or a named file is missing
};
// In the library's order: by key name, letter case folded.
constexpr DemoProduct kDemoProducts[] = {
    {L"Absynth 5", producttype::AppPlugin, false},
    {L"Alicia's Keys", producttype::Content, false},
    {L"Analog Dreams", producttype::Content, false},
    {L"Battery 4", producttype::AppPlugin, true},
    {L"Elektrik Piano", producttype::Content, false},
    {L"FM8", producttype::AppPlugin, true},
    {L"Guitar Rig 5", producttype::AppPlugin, true},
    {L"Guitar Rig 6", producttype::AppPlugin, false},
    {L"Komplete 14 Standard", producttype::Bundle, false},
    {L"Komplete Audio 6 Driver", producttype::Utility, true},
    {L"Komplete Kontrol", producttype::AppPlugin, false},
    {L"Kontakt 7", producttype::AppPlugin, false},
    {L"Kontakt Factory Library 2", producttype::Content, false},
    {L"Kore 2", producttype::Unknown, false},
    {L"Kore Player", producttype::AppPlugin, true},
    {L"Kore Vintage Sounds", producttype::Content, false},
    {L"Maschine 2", producttype::AppPlugin, true},
    {L"Maschine 2 Factory Library", producttype::Content, false},
    {L"Massive", producttype::AppPlugin, false},
    {L"Native Access", producttype::Utility, false},
    {L"Raum", producttype::AppPlugin, false},
    {L"Reaktor 6", producttype::AppPlugin, false},
    {L"Reaktor Factory Library", producttype::Content, false},
    {L"Replika XT", producttype::AppPlugin, false},
    {L"Retro Machines Mk2", producttype::Content, false},
    {L"Scarbee Mark I", producttype::Content, true},
    {L"ServiceCenter", producttype::Utility, false},
    {L"Session Strings Pro 2", producttype::Content, false},
    {L"Supercharger GT", producttype::AppPlugin, false},
    {L"Symphony Series Brass Ensemble", producttype::Content, false},
    {L"The Gentleman", producttype::Content, true},
    {L"The Grandeur", producttype::Content, false},
    {L"Traktor Kontrol S4 MK2", producttype::Unknown, false},
    {L"Traktor Pro 3", producttype::AppPlugin, false},
    {L"Vintage Organs", producttype::Content, false},
    {L"\u00C9b\u00E8ne Grand", producttype::Content, false},
};

// The lines the list should hold with these filters.
std::vector<std::wstring> ExpectedList(ProductTypes types, PathBits paths) {
  std::vector<std::wstring> names;
  for (const DemoProduct& product : kDemoProducts) {
    const PathBit pathBit = product.broken ? pathbits::Broken : pathbits::Valid;
    if (types.HasAny(product.type) && paths.HasAny(pathBit)) names.push_back(product.name);
  }
  return names;
}

// The seven check boxes and their filter bits.
struct FilterBox {
  int id;
  ProductTypes type;  // its bit of the type filter, or none
  PathBits path;      // its bit of the path filter, or none
  bool Wanted(ProductTypes types, PathBits paths) const {
    return types.HasAny(type) || paths.HasAny(path);
  }
};
constexpr FilterBox kFilterBoxes[] = {
    {IDC_PM_SHOW_APPS, producttype::AppPlugin, {}},
    {IDC_PM_SHOW_CONTENT, producttype::Content, {}},
    {IDC_PM_SHOW_BUNDLES, producttype::Bundle, {}},
    {IDC_PM_SHOW_UTILITIES, producttype::Utility, {}},
    {IDC_PM_SHOW_UNRECOGNIZED, producttype::Unknown, {}},
    {IDC_PM_SHOW_VALID, {}, pathbits::Valid},
    {IDC_PM_SHOW_BROKEN, {}, pathbits::Broken},
};
constexpr ProductTypes kAllTypes = ProductTypes::FromBits(31);

// --- Pixels ---------------------------------------------------------------------------------

// Pixels inside a control (its border left out): drawn in the missing-path red (or blended from
// it), and dark ones (black text).
struct Ink {
  int red = 0;
  int dark = 0;
};

Ink InkIn(const Image& image, HWND control) {
  Ink ink;
  RECT rect = WindowRect(control);
  const int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
  const int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
  constexpr int kBorder = 3;
  for (int y = std::max<int>(rect.top + kBorder - top, 0);
       y < std::min<int>(rect.bottom - kBorder - top, image.height); ++y) {
    for (int x = std::max<int>(rect.left + kBorder - left, 0);
         x < std::min<int>(rect.right - kBorder - left, image.width); ++x) {
      const uint8_t* p = &image.rgb[(static_cast<size_t>(y) * image.width + x) * 3];
      const int r = p[0], g = p[1], b = p[2];
      if (r >= 100 && r - g >= 60 && r - b >= 60) {
        ++ink.red;
      } else if (r < 90 && g < 90 && b < 90) {
        ++ink.dark;
      }
    }
  }
  return ink;
}

// --- Other helpers --------------------------------------------------------------------------

std::wstring FileText(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string bytes(65536, '\0');
  DWORD read = 0;
  ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  CloseHandle(file);
  bytes.resize(read);
  return FromUtf8(bytes);
}

bool FileExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool MakeFolder(const std::wstring& folder) {
  const int result = SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
  return result == ERROR_SUCCESS || result == ERROR_ALREADY_EXISTS;
}

std::optional<int> SelectedIndex(HWND dialog, int id) {
  DWORD_PTR index = 0;
  HWND list = Control(dialog, id);
  if (!list || !SendMessageTimeoutW(list, LB_GETCURSEL, 0, 0, SMTO_ABORTIFHUNG, 5000, &index))
    return std::nullopt;
  return static_cast<int>(static_cast<LRESULT>(index));
}

// The selected line of a list box, empty when none is.
std::wstring SelectedLine(HWND dialog, int id) {
  const std::optional<int> index = SelectedIndex(dialog, id);
  const std::vector<std::wstring> lines = ListBoxItems(dialog, id);
  return index && *index >= 0 && *index < static_cast<int>(lines.size()) ? lines[*index]
                                                                         : std::wstring();
}

// Takes the selection away from a list box and tells its dialog, as LBN_SELCHANGE would.
bool ClearListSelection(HWND dialog, int id) {
  HWND list = Control(dialog, id);
  DWORD_PTR ignored = 0;
  return list != nullptr &&
         SendMessageTimeoutW(list, LB_SETCURSEL, static_cast<WPARAM>(-1), 0, SMTO_ABORTIFHUNG, 5000,
                             &ignored) &&
         SendMessageTimeoutW(dialog, WM_COMMAND, MAKEWPARAM(id, LBN_SELCHANGE),
                             reinterpret_cast<LPARAM>(list), SMTO_ABORTIFHUNG, 5000, &ignored) &&
         SelectedIndex(dialog, id) == LB_ERR;
}

class ProductManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(DeleteProgramSettings(), 0u);
    ASSERT_TRUE(profile.WriteProfileInt(kSettingsSection, kFirstRun, 0));
    ASSERT_EQ(DeleteTree(kScratch), 0u);
    saved64 = ReadTree(kView64, kProducts);
    saved32 = ReadTree(kView32, kProducts);
    ASSERT_GT(saved64.size(), 30u) << "the demo machine's products are missing";
    ASSERT_GT(saved32.size(), 5u);
  }

  void TearDown() override {
    run.Kill();
    RestoreTree(kView64, kProducts, saved64);
    RestoreTree(kView32, kProducts, saved32);
    EXPECT_EQ(TreeDifference(ReadTree(kView64, kProducts), saved64), "")
        << "the 64-bit view was not restored";
    EXPECT_EQ(TreeDifference(ReadTree(kView32, kProducts), saved32), "")
        << "the 32-bit view was not restored";
    DeleteTree(kScratch);
  }

  // Starts the program and goes from the Start page to the product manager.
  HWND StartPage() {
    HWND page = OpenWizard(run, IDC_WIZARD_PRODUCTS);
    if (!page) ADD_FAILURE() << "could not open the product manager";
    return page;
  }

  // The page once its scan has completed and its list is filled.
  HWND Scanned(HWND page) {
    if (page &&
        !WaitUntil(
            [&] {
              return IsEnabled(page, IDC_PM_SHOW_APPS) &&
                     Text(page, IDC_PM_STATUS).value_or(L"").rfind(L"Completed scanning ", 0) == 0;
            },
            Milliseconds(60000))) {
      ADD_FAILURE() << "the scan did not complete: "
                    << ToUtf8(Text(page, IDC_PM_STATUS).value_or(L""));
    }
    return page;
  }

  HWND OpenPage() { return Scanned(StartPage()); }

  // Back to the Start page and into the product manager again.
  HWND Revisit(HWND page) {
    if (!Click(page, IDC_BACK) || !WaitForClose(page)) return nullptr;
    HWND start = FindPage(run, kStartTitle);
    if (!start) return nullptr;
    // Stored when the page closed.
    typeStored =
        ProductTypes::FromBits(profile.GetProfileInt(kSettingsSection, kProductCheckboxes, -1));
    pathStored = PathBits::FromBits(profile.GetProfileInt(kSettingsSection, kShowPathFlags, -1));
    if (!ChooseWizard(start, IDC_WIZARD_PRODUCTS)) return nullptr;
    return Scanned(FindPage(run, kProductManagerTitle));
  }

  // Selects a product of the list; its details are shown when this returns.
  void Select(HWND page, const std::wstring& name) {
    ASSERT_TRUE(SelectListBoxItem(page, IDC_PM_PRODUCTS, name)) << ToUtf8(name) << " is not listed";
    ASSERT_FALSE(Text(page, IDC_PM_PRODUCT_TYPE).value_or(L"").empty()) << ToUtf8(name);
  }

  // The change-folder dialog of an Options button.
  HWND Options(HWND page, int button) {
    if (!Click(page, button)) {
      ADD_FAILURE() << "Options " << button << " cannot be clicked";
      return nullptr;
    }
    HWND dialog = FindPage(run, kChangeFolderTitle);
    EXPECT_NE(dialog, nullptr) << "no change-folder dialog";
    return dialog;
  }

  // "Use for all" of the 32-bit VST folder dialog `change` with `folder` chosen, without the limit to
  // products already in the common folder: the two questions answered Yes, then No.
  void UseForAllVst32WithoutLimit(HWND change, const std::wstring& folder) {
    ASSERT_TRUE(SelectListBoxItem(change, IDC_FOLDER_LIST, folder));
    ASSERT_TRUE(Click(change, IDC_USE_FOR_ALL));
    ASSERT_NO_FATAL_FAILURE(ExpectMessage(change,
                                          L"This will change the 32-bit VST plugin folder property "
                                          L"of App/Plugin products matching criteria you "
                                          L"specify in the next step to: " +
                                              folder + L". Proceed to the next step?",
                                          IDYES));
    ASSERT_NO_FATAL_FAILURE(ExpectMessage(
        change,
        L"Would you like to limit this operation only to App/Plugin products that are also in " +
            kNiVst32 + L"? (If you click Yes, App/Plugin products NOT currently in " + kNiVst32 +
            L" will not be affected.)",
        IDNO));
    ASSERT_TRUE(WaitForClose(change));
  }

  // The message box that `owner` shows next: its text, then the answer.
  void ExpectMessage(HWND owner, const std::wstring& text, int answer,
                     const wchar_t* screenshot = nullptr) {
    const auto box = FindMessageBox(run, owner);
    ASSERT_TRUE(box.has_value()) << "no message box; expected: " << ToUtf8(text);
    EXPECT_EQ(box->text, text);
    if (screenshot) SaveScreenshot(screenshot);
    ASSERT_TRUE(Answer(*box, answer)) << ToUtf8(box->text);
  }

  // Sets the seven check boxes to the filters by clicking those that differ.
  void SetFilters(HWND page, ProductTypes types, PathBits paths) {
    for (const FilterBox& box : kFilterBoxes) {
      const bool wanted = box.Wanted(types, paths);
      if ((CheckState(page, box.id) == BST_CHECKED) != wanted) {
        ASSERT_TRUE(ClickAndWait(page, box.id)) << box.id;
      }
      ASSERT_EQ(CheckState(page, box.id), wanted ? BST_CHECKED : BST_UNCHECKED) << box.id;
    }
  }

  void ExpectFilters(HWND page, ProductTypes types, PathBits paths) {
    for (const FilterBox& box : kFilterBoxes) {
      const bool wanted = box.Wanted(types, paths);
      EXPECT_EQ(CheckState(page, box.id), wanted ? BST_CHECKED : BST_UNCHECKED) << box.id;
    }
  }

  Win32Registry registry;
  CProfileStore profile{registry};
  ProgramRun run;
  RegistryTree saved64, saved32;
  ProductTypes typeStored;
  PathBits pathStored;
};

TEST_F(ProductManagerTest, ListsBothViewsAndRepairsAProductOfThe32BitViewThere) {
  HWND page = OpenPage();
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(Text(page, IDC_PM_STATUS), L"Completed scanning 36 product entries.");
  // Defaults: apps, content, bundles and utilities, valid and broken; unrecognized items hidden.
  ExpectFilters(page, kDefaultProductCheckboxes, pathbits::Default);
  EXPECT_EQ(ListBoxItems(page, IDC_PM_PRODUCTS),
            ExpectedList(kDefaultProductCheckboxes, pathbits::Default));
  SaveScreenshot(L"list");

  // Absynth 5 is registered only in the 32-bit view.
  const std::wstring absynth32 = ProductKey(L"Absynth 5");
  const std::wstring absynthSeenFrom64 = L"SOFTWARE\\Wow6432Node\\Native Instruments\\Absynth 5";
  ASSERT_FALSE(KeyExists(kView64, absynth32));
  ASSERT_NO_FATAL_FAILURE(Select(page, L"Absynth 5"));
  EXPECT_EQ(Text(page, IDC_PM_PRODUCT_TYPE), L"App/plugin");
  EXPECT_EQ(Text(page, IDC_PM_INSTALL_DIR),
            L"C:\\Program Files (x86)\\Native Instruments\\Absynth 5\\");
  HWND change = Options(page, IDC_PM_INSTALL_OPTIONS);
  ASSERT_NE(change, nullptr);
  // The product's folder is selected; its own button waits for another one.
  EXPECT_EQ(SelectedLine(change, IDC_FOLDER_LIST),
            L"C:\\Program Files (x86)\\Native Instruments\\Absynth 5\\");
  EXPECT_EQ(Text(change, IDC_USE_FOR_PRODUCT), L"&Use for Absynth 5 only");
  EXPECT_EQ(Text(change, IDC_FOLDER_PROMPT), L"Choose install folder for Absynth 5:");
  EXPECT_FALSE(IsEnabled(change, IDC_USE_FOR_PRODUCT));
  const std::wstring chosen = L"C:\\Program Files (x86)\\Native Instruments\\Guitar Rig 5\\";
  ASSERT_TRUE(SelectListBoxItem(change, IDC_FOLDER_LIST, chosen));
  ASSERT_TRUE(IsEnabled(change, IDC_USE_FOR_PRODUCT));
  SaveScreenshot(L"use-for-absynth-only");
  ASSERT_TRUE(Click(change, IDC_USE_FOR_PRODUCT));
  ASSERT_TRUE(WaitForClose(change));

  // Written where the product lives: the 32-bit view, which 64-bit programs see under
  // Wow6432Node; the 64-bit view has no such key. The page saves the change backup and writes
  // after the dialog has closed.
  EXPECT_TRUE(WaitUntil([&] { return ReadText(kView32, absynth32, L"InstallDir") == chosen; }));
  EXPECT_EQ(ReadText(kView32, absynth32, L"InstallDir"), chosen);
  EXPECT_EQ(ReadText(kView64, absynthSeenFrom64, L"InstallDir"), chosen);
  EXPECT_FALSE(KeyExists(kView64, absynth32));
  // The details follow: Absynth 5.exe is not in that folder.
  EXPECT_TRUE(WaitUntil([&] { return Text(page, IDC_PM_INSTALL_DIR) == chosen; }));
  EXPECT_EQ(Text(page, IDC_PM_APP_PATH), chosen + L"Absynth 5.exe");
  EXPECT_FALSE(IsEnabled(page, IDC_PM_APP_LAUNCH));
  SaveScreenshot(L"absynth-repaired");

  // A key that went after the scan cannot be written: the program never creates one.
  ASSERT_TRUE(DeleteKey(kView32, absynth32));
  change = Options(page, IDC_PM_INSTALL_OPTIONS);
  ASSERT_NE(change, nullptr);
  ASSERT_TRUE(SelectListBoxItem(change, IDC_FOLDER_LIST,
                                L"C:\\Program Files\\Native Instruments\\Massive\\"));
  ASSERT_TRUE(Click(change, IDC_USE_FOR_PRODUCT));
  ASSERT_TRUE(WaitForClose(change));
  ASSERT_NO_FATAL_FAILURE(ExpectMessage(page, L"Attempt to update Absynth 5 failed with error 2.",
                                        IDOK, L"update-failed"));
  EXPECT_FALSE(KeyExists(kView32, absynth32));
  EXPECT_FALSE(KeyExists(kView64, absynth32));
  EXPECT_EQ(Text(page, IDC_PM_INSTALL_DIR), chosen);

  ASSERT_TRUE(Click(page, IDCANCEL));
  EXPECT_EQ(run.WaitForExit(), 0u);
}

TEST_F(ProductManagerTest, FilterBoxesChooseTheListAndComeBackOnTheNextVisit) {
  HWND page = OpenPage();
  ASSERT_NE(page, nullptr);
  const struct {
    ProductTypes types;
    PathBits paths;
  } steps[] = {
      {producttype::Unknown, pathbits::Default},  // only the unrecognized items
      {producttype::AppPlugin, pathbits::Valid},
      {producttype::AppPlugin, pathbits::Broken},
      {producttype::Content | producttype::Utility, pathbits::Broken},
      {producttype::Bundle | producttype::Unknown, pathbits::Valid},
      {kAllTypes, {}},  // no path box: nothing at all
      {kAllTypes, pathbits::Default},
      {producttype::AppPlugin | producttype::Content | producttype::Unknown, pathbits::Broken},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(testing::Message()
                 << "types " << step.types.ToBits() << ", paths " << step.paths.ToBits());
    ASSERT_NO_FATAL_FAILURE(SetFilters(page, step.types, step.paths));
    const std::vector<std::wstring> expected = ExpectedList(step.types, step.paths);
    EXPECT_EQ(ListBoxItems(page, IDC_PM_PRODUCTS), expected);
    if (step.paths.Empty()) {
      EXPECT_TRUE(expected.empty());
      SaveScreenshot(L"no-path-box");
    }
  }
  SaveScreenshot(L"last-filters");

  // Closing the page stores the boxes; the next visit starts from them.
  page = Revisit(page);
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(typeStored, producttype::AppPlugin | producttype::Content | producttype::Unknown);
  EXPECT_EQ(pathStored, pathbits::Broken);
  ExpectFilters(page, producttype::AppPlugin | producttype::Content | producttype::Unknown,
                pathbits::Broken);
  EXPECT_EQ(ListBoxItems(page, IDC_PM_PRODUCTS),
            ExpectedList(producttype::AppPlugin | producttype::Content | producttype::Unknown,
                         pathbits::Broken));
  SaveScreenshot(L"filters-restored");

  // Only unrecognized items and no path box are stored as they are, but read back as the defaults.
  ASSERT_NO_FATAL_FAILURE(SetFilters(page, producttype::Unknown, {}));
  page = Revisit(page);
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(typeStored, producttype::Unknown);
  EXPECT_TRUE(pathStored.Empty());
  ExpectFilters(page, kDefaultProductCheckboxes, pathbits::Default);
  EXPECT_EQ(ListBoxItems(page, IDC_PM_PRODUCTS),
            ExpectedList(kDefaultProductCheckboxes, pathbits::Default));

  ASSERT_TRUE(Click(page, IDCANCEL));
  EXPECT_EQ(run.WaitForExit(), 0u);
  EXPECT_EQ(profile.GetProfileInt(kSettingsSection, kProductCheckboxes, -1),
            kDefaultProductCheckboxes.ToBits());
  EXPECT_EQ(profile.GetProfileInt(kSettingsSection, kShowPathFlags, -1),
            PathBits(pathbits::Default).ToBits());
}

TEST_F(ProductManagerTest, MissingPathsAreRedAndMissingFilesCannotBeLaunched) {
  HWND page = OpenPage();
  ASSERT_NE(page, nullptr);
  const std::wstring version = L"File version: 1.2.3.4 (de)";
  struct Field {
    int id;
    std::wstring text;
    bool red;
  };
  struct FileRow {
    int launch;
    int label;
    bool enabled;
    std::wstring versionLabel;
  };
  const struct {
    const wchar_t* product;
    std::vector<Field> fields;
    std::vector<FileRow> rows;
  } products[] = {
      {L"Battery 4",
       {{IDC_PM_INSTALL_DIR, L"X:\\Native Instruments\\Battery 4\\", true},
        {IDC_PM_APP_PATH, L"X:\\Native Instruments\\Battery 4\\Battery 4.exe", true},
        {IDC_PM_CONTENT_DIR, kPublicNi + L"\\Battery 4 Factory Library\\", false},
        {IDC_PM_VST64_DIR, kNiVst64, false},
        {IDC_PM_PLUGIN64_PATH, kNiVst64 + L"\\Battery 4.dll", false}},
       {{IDC_PM_APP_LAUNCH, IDC_PM_APP_VERSION, false, L""},
        {IDC_PM_PLUGIN64_LAUNCH, IDC_PM_PLUGIN64_VERSION, true, version}}},
      {L"The Gentleman",
       {{IDC_PM_CONTENT_DIR, L"C:\\Users\\Public\\Documents\\Old Libraries\\The Gentleman\\",
         true}},
       {}},
      {L"Kore Player",
       {{IDC_PM_INSTALL_DIR, L"C:\\Program Files (x86)\\Native Instruments\\Kore Player", false},
        {IDC_PM_APP_PATH,
         L"C:\\Program Files (x86)\\Native Instruments\\Kore Player\\Kore Player.exe", true},
        {IDC_PM_PLUGIN32_PATH, kNiVst32 + L"\\Kore Player.dll", false}},
       {{IDC_PM_APP_LAUNCH, IDC_PM_APP_VERSION, false, L""},
        {IDC_PM_PLUGIN32_LAUNCH, IDC_PM_PLUGIN32_VERSION, true, version},
        {IDC_PM_PLUGIN64_LAUNCH, IDC_PM_PLUGIN64_VERSION, false, L""}}},
      {L"FM8",
       {{IDC_PM_VST64_DIR, L"C:\\Program Files\\VSTPlugins\\", true},
        {IDC_PM_PLUGIN64_PATH, L"C:\\Program Files\\VSTPlugins\\FM8.dll", true},
        {IDC_PM_VST32_DIR, kNiVst32, false}},
       {{IDC_PM_PLUGIN64_LAUNCH, IDC_PM_PLUGIN64_VERSION, false, L""},
        {IDC_PM_PLUGIN32_LAUNCH, IDC_PM_PLUGIN32_VERSION, true, version}}},
      {L"Kontakt 7",
       {{IDC_PM_INSTALL_DIR, L"C:\\Program Files\\Native Instruments\\Kontakt 7\\", false},
        {IDC_PM_APP_PATH, L"C:\\Program Files\\Native Instruments\\Kontakt 7\\Kontakt 7.exe",
         false}},
       {{IDC_PM_APP_LAUNCH, IDC_PM_APP_VERSION, true, version}}},
  };
  for (const auto& product : products) {
    SCOPED_TRACE(ToUtf8(product.product));
    ASSERT_NO_FATAL_FAILURE(Select(page, product.product));
    for (const Field& field : product.fields) {
      EXPECT_EQ(Text(page, field.id), field.text) << field.id;
    }
    for (const FileRow& row : product.rows) {
      EXPECT_EQ(IsEnabled(page, row.launch), row.enabled) << row.launch;
      EXPECT_EQ(Text(page, row.label), row.versionLabel) << row.label;
    }
    // The colours as drawn: wait until every field shows its text in its colour, then each one
    // must hold red ink exactly when its path is missing.
    std::vector<Ink> inks;
    WaitUntil([&] {
      const Image screen = CaptureScreen();
      inks.clear();
      bool painted = true;
      for (const Field& field : product.fields) {
        inks.push_back(InkIn(screen, Control(page, field.id)));
        painted = painted && (field.red ? inks.back().red > 0 : inks.back().dark > 0);
      }
      return painted;
    });
    for (size_t i = 0; i < product.fields.size(); ++i) {
      const Field& field = product.fields[i];
      if (field.red) {
        EXPECT_GT(inks[i].red, 10) << "no red text in " << ToUtf8(field.text);
      } else {
        EXPECT_GT(inks[i].dark, 10) << "no text in " << ToUtf8(field.text);
        EXPECT_EQ(inks[i].red, 0) << "red text in " << ToUtf8(field.text);
      }
    }
    SaveScreenshot(product.product);
  }
  ASSERT_TRUE(Click(page, IDCANCEL));
  EXPECT_EQ(run.WaitForExit(), 0u);
}

TEST_F(ProductManagerTest, UseForAllAndRelocateWriteTheRegistryAndCountFailures) {
  // Three 32-bit plugin folders among the App/plugin products: the demo's own (Kontakt 7, Massive,
  // Reaktor 6, Maschine 2, FM8), Old (Absynth 5, Kore Player) and New (Guitar Rig 5).
  const std::wstring oldVst32 = kScratch + L"\\Old VST32";
  const std::wstring newVst32 = kScratch + L"\\New VST32";
  const std::wstring moved = kScratch + L"\\Moved Libraries";
  for (const std::wstring& folder : {oldVst32, newVst32, moved}) ASSERT_TRUE(MakeFolder(folder));
  ASSERT_TRUE(WriteText(kView32, ProductKey(L"Absynth 5"), L"InstallVSTDir", oldVst32));
  ASSERT_TRUE(WriteText(kView32, ProductKey(L"Kore Player"), L"InstallVSTDir", oldVst32));
  ASSERT_TRUE(WriteText(kView32, ProductKey(L"Guitar Rig 5"), L"InstallVSTDir", newVst32));
  const struct {
    const wchar_t* product;
    REGSAM view;
  } withVst32[] = {{L"Kontakt 7", kView64},   {L"Massive", kView64},     {L"Reaktor 6", kView64},
                   {L"Maschine 2", kView64},  {L"FM8", kView64},         {L"Absynth 5", kView32},
                   {L"Kore Player", kView32}, {L"Guitar Rig 5", kView32}};
  auto vst32Of = [](const wchar_t* product, REGSAM view) {
    return ReadText(view, ProductKey(product), L"InstallVSTDir").value_or(L"<none>");
  };

  HWND page = OpenPage();
  ASSERT_NE(page, nullptr);

  // 1. "Use for all", limited to the products in Absynth 5's folder: those two move to New.
  ASSERT_NO_FATAL_FAILURE(Select(page, L"Absynth 5"));
  HWND change = Options(page, IDC_PM_VST32_OPTIONS);
  ASSERT_NE(change, nullptr);
  EXPECT_EQ(ListBoxItems(change, IDC_FOLDER_LIST),
            (std::vector<std::wstring>{kNiVst32, newVst32, oldVst32}));
  EXPECT_EQ(SelectedLine(change, IDC_FOLDER_LIST), oldVst32);
  EXPECT_EQ(Text(change, IDC_USE_FOR_ALL), L"Use for &all App/Plugin products...");
  ASSERT_TRUE(SelectListBoxItem(change, IDC_FOLDER_LIST, newVst32));
  ASSERT_TRUE(Click(change, IDC_USE_FOR_ALL));
  ASSERT_NO_FATAL_FAILURE(ExpectMessage(change,
                                        L"This will change the 32-bit VST plugin folder property "
                                        L"of App/Plugin products matching criteria you "
                                        L"specify in the next step to: " +
                                            newVst32 + L". Proceed to the next step?",
                                        IDYES, L"use-for-all-question"));
  ASSERT_NO_FATAL_FAILURE(ExpectMessage(
      change,
      L"Would you like to limit this operation only to App/Plugin products that are also in " +
          oldVst32 + L"? (If you click Yes, App/Plugin products NOT currently in " + oldVst32 +
          L" will not be affected.)",
      IDYES, L"limit-question"));
  ASSERT_TRUE(WaitForClose(change));
  ASSERT_NO_FATAL_FAILURE(ExpectMessage(
      page, L"Successfully processed 2 products. Encountered 0 errors.", IDOK, L"limited-result"));
  for (const auto& product : withVst32) {
    // The 32-bit view's three are in New now: Absynth 5 and Kore Player moved, Guitar Rig 5 was there.
    const bool inNew = product.view == kView32;
    EXPECT_EQ(vst32Of(product.product, product.view), inNew ? newVst32 : kNiVst32)
        << ToUtf8(product.product);
  }
  // The page shows the product again with its new folder.
  EXPECT_EQ(SelectedLine(page, IDC_PM_PRODUCTS), L"Absynth 5");
  EXPECT_EQ(Text(page, IDC_PM_VST32_DIR), newVst32);

  // 2. "Use for all" without the limit, after Reaktor 6's key went behind the page's back: every
  // other App/plugin product counts (also those without a 32-bit folder, which stay without one),
  // Reaktor 6 is the one error and is not created again.
  ASSERT_TRUE(DeleteKey(kView64, ProductKey(L"Reaktor 6")));
  ASSERT_NO_FATAL_FAILURE(Select(page, L"Massive"));
  change = Options(page, IDC_PM_VST32_OPTIONS);
  ASSERT_NE(change, nullptr);
  EXPECT_EQ(SelectedLine(change, IDC_FOLDER_LIST), kNiVst32);
  ASSERT_NO_FATAL_FAILURE(UseForAllVst32WithoutLimit(change, oldVst32));
  ASSERT_NO_FATAL_FAILURE(
      ExpectMessage(page, L"Successfully processed 14 products. Encountered 1 errors.", IDOK,
                    L"unlimited-result"));
  for (const auto& product : withVst32) {
    if (std::wstring_view(product.product) == L"Reaktor 6") continue;
    EXPECT_EQ(vst32Of(product.product, product.view), oldVst32) << ToUtf8(product.product);
  }
  EXPECT_FALSE(KeyExists(kView64, ProductKey(L"Reaktor 6")));
  EXPECT_FALSE(KeyExists(kView32, ProductKey(L"Reaktor 6")));
  for (const wchar_t* without : {L"Raum", L"Guitar Rig 6", L"Traktor Pro 3"}) {
    EXPECT_TRUE(ReadText(kView64, ProductKey(without), L"InstallDir").has_value())
        << ToUtf8(without);
    EXPECT_EQ(ReadText(kView64, ProductKey(without), L"InstallVSTDir"), std::nullopt)
        << ToUtf8(without);
  }
  // Untouched: the 32-bit view's older copy of Kontakt 7 (the 64-bit record is the product) and
  // Kore 2, which is not an App/plugin product.
  EXPECT_EQ(vst32Of(L"Kontakt 7", kView32), kNiVst32);
  EXPECT_EQ(vst32Of(L"Kore 2", kView64), kNiVst32);
  EXPECT_EQ(Text(page, IDC_PM_VST32_DIR), oldVst32);

  // 3. Relocate the content libraries below the public Native Instruments folder to a new parent,
  // after Kore Vintage Sounds' key went: eight move, that one is the error.
  ASSERT_TRUE(DeleteKey(kView64, ProductKey(L"Kore Vintage Sounds")));
  ASSERT_NO_FATAL_FAILURE(Select(page, L"Alicia's Keys"));
  change = Options(page, IDC_PM_CONTENT_OPTIONS);
  ASSERT_NE(change, nullptr);
  EXPECT_EQ(SelectedLine(change, IDC_FOLDER_LIST), kPublicNi + L"\\Alicia's Keys");
  EXPECT_EQ(Text(change, IDC_RELOCATE_PRODUCTS),
            L"&Relocate Content Library products from " + kPublicNi + L"...");
  ASSERT_TRUE(Click(change, IDC_RELOCATE_PRODUCTS));
  HWND relocate = FindPage(run, kRelocateTitle);
  ASSERT_NE(relocate, nullptr);
  EXPECT_EQ(Text(relocate, IDC_OLD_PARENT), kPublicNi);
  EXPECT_EQ(Text(relocate, IDC_OLD_PARENT_LABEL), L"Old parent content folder:");
  EXPECT_EQ(Text(relocate, IDC_NEW_PARENT), L"");
  // The new parent must be given and must exist; No to the last question keeps the dialog open.
  ASSERT_TRUE(Click(relocate, IDC_RELOCATE));
  ASSERT_NO_FATAL_FAILURE(ExpectMessage(
      relocate, L"Please select a new parent folder before attempting to continue.", IDOK));
  const std::wstring nowhere = kScratch + L"\\Nowhere";
  ASSERT_TRUE(SetText(relocate, IDC_NEW_PARENT, nowhere));
  ASSERT_TRUE(Click(relocate, IDC_RELOCATE));
  ASSERT_NO_FATAL_FAILURE(ExpectMessage(
      relocate,
      L"The folder " + nowhere + L" doesn't appear to exist. Please select a valid parent folder.",
      IDOK));
  ASSERT_TRUE(SetText(relocate, IDC_NEW_PARENT, moved));
  SaveScreenshot(L"relocate");
  const std::wstring ready =
      L"Ready to register content folders to " + moved + L". Do you wish to proceed?";
  ASSERT_TRUE(Click(relocate, IDC_RELOCATE));
  ASSERT_NO_FATAL_FAILURE(ExpectMessage(relocate, ready, IDNO));
  EXPECT_TRUE(IsWindowVisible(relocate));
  EXPECT_EQ(ReadText(kView64, ProductKey(L"Alicia's Keys"), L"ContentDir"),
            kPublicNi + L"\\Alicia's Keys");
  ASSERT_TRUE(Click(relocate, IDC_RELOCATE));
  ASSERT_NO_FATAL_FAILURE(ExpectMessage(relocate, ready, IDYES));
  ASSERT_TRUE(WaitForClose(relocate));
  ASSERT_TRUE(WaitForClose(change));
  ASSERT_NO_FATAL_FAILURE(ExpectMessage(
      page, L"Successfully processed 8 products. Encountered 1 errors.", IDOK, L"relocated"));
  const struct {
    const wchar_t* product;
    REGSAM view;
    std::wstring contentDir;
  } contents[] = {
      {L"Kontakt Factory Library 2", kView64, moved + L"\\Kontakt Factory Library 2\\"},
      {L"Alicia's Keys", kView64, moved + L"\\Alicia's Keys"},
      {L"Maschine 2 Factory Library", kView64, moved + L"\\Maschine 2 Factory Library\\"},
      {L"Reaktor Factory Library", kView64, moved + L"\\Reaktor Factory Library\\"},
      {L"Analog Dreams", kView64, moved + L"\\Analog Dreams\\"},
      {L"The Grandeur", kView64, moved + L"\\The Grandeur\\"},
      {L"Retro Machines Mk2", kView64, moved + L"\\Retro Machines Mk2"},
      {L"Elektrik Piano", kView32, moved + L"\\Elektrik Piano\\"},
      // Elsewhere, or not content libraries: unchanged.
      {L"Session Strings Pro 2", kView64, L"C:\\Kontakt Libraries\\Session Strings Pro 2"},
      {L"The Gentleman", kView64, L"C:\\Users\\Public\\Documents\\Old Libraries\\The Gentleman\\"},
      {L"Maschine 2", kView64, kPublicNi + L"\\Maschine 2\\"},
      {L"Komplete 14 Standard", kView64, kPublicNi + L"\\Komplete 14 Standard\\"},
  };
  for (const auto& content : contents) {
    EXPECT_EQ(
        ReadText(content.view, ProductKey(content.product), L"ContentDir").value_or(L"<none>"),
        content.contentDir)
        << ToUtf8(content.product);
  }
  EXPECT_FALSE(KeyExists(kView64, ProductKey(L"Kore Vintage Sounds")));
  EXPECT_EQ(Text(page, IDC_PM_CONTENT_DIR), moved + L"\\Alicia's Keys");

  // The content folders were gathered again: the next dialog offers the new ones.
  change = Options(page, IDC_PM_CONTENT_OPTIONS);
  ASSERT_NE(change, nullptr);
  const std::vector<std::wstring> folders = ListBoxItems(change, IDC_FOLDER_LIST);
  EXPECT_EQ(SelectedLine(change, IDC_FOLDER_LIST), moved + L"\\Alicia's Keys");
  EXPECT_EQ(std::count(folders.begin(), folders.end(), kPublicNi + L"\\Alicia's Keys"), 0);
  SaveScreenshot(L"folders-gathered-again");
  // The relocate dialog keeps the new parent of its last use.
  ASSERT_TRUE(Click(change, IDC_RELOCATE_PRODUCTS));
  relocate = FindPage(run, kRelocateTitle);
  ASSERT_NE(relocate, nullptr);
  EXPECT_EQ(Text(relocate, IDC_OLD_PARENT), moved);
  EXPECT_EQ(Text(relocate, IDC_NEW_PARENT), moved);
  ASSERT_TRUE(Click(relocate, IDCANCEL));
  ASSERT_TRUE(WaitForClose(relocate));
  EXPECT_TRUE(IsWindowVisible(change));
  ASSERT_TRUE(Click(change, IDCANCEL));
  ASSERT_TRUE(WaitForClose(change));
  ASSERT_TRUE(Click(page, IDCANCEL));
  EXPECT_EQ(run.WaitForExit(), 0u);
}

TEST_F(ProductManagerTest, NoSelectionOrNoParentIsRefusedAndWritesNothing) {
  // A relative installation folder, which has no parent to relocate from.
  ASSERT_TRUE(WriteText(kView64, ProductKey(L"Kontakt 7"), L"InstallDir", L"Kontakt"));
  const RegistryTree before64 = ReadTree(kView64, kProducts);
  const RegistryTree before32 = ReadTree(kView32, kProducts);

  HWND page = OpenPage();
  ASSERT_NE(page, nullptr);
  ASSERT_NO_FATAL_FAILURE(Select(page, L"Massive"));
  HWND change = Options(page, IDC_PM_INSTALL_OPTIONS);
  ASSERT_NE(change, nullptr);

  ASSERT_TRUE(SelectListBoxItem(change, IDC_FOLDER_LIST, L"Kontakt"));
  EXPECT_EQ(Text(change, IDC_RELOCATE_PRODUCTS), L"&Relocate App/Plugin products from ...");
  ASSERT_TRUE(Click(change, IDC_RELOCATE_PRODUCTS));
  ASSERT_NO_FATAL_FAILURE(
      ExpectMessage(change,
                    L"The folder Kontakt is not a full folder path, so it has no parent folder "
                    L"to relocate products from. Please choose a folder such as "
                    L"D:\\Libraries\\Komplete.",
                    IDOK, L"no-parent"));
  EXPECT_EQ(FindPage(run, kRelocateTitle, Milliseconds(0)), nullptr);

  // Nothing selected: each way to use a folder asks for one first.
  ASSERT_TRUE(ClearListSelection(change, IDC_FOLDER_LIST));
  EXPECT_FALSE(IsEnabled(change, IDC_USE_FOR_PRODUCT));
  for (int button : {IDC_USE_FOR_ALL, IDC_RELOCATE_PRODUCTS}) {
    SCOPED_TRACE(button);
    ASSERT_TRUE(Click(change, button));
    ASSERT_NO_FATAL_FAILURE(
        ExpectMessage(change, L"Please select a folder first.", IDOK,
                      button == IDC_USE_FOR_ALL ? L"nothing-selected" : nullptr));
    EXPECT_EQ(FindPage(run, kRelocateTitle, Milliseconds(0)), nullptr);
    EXPECT_TRUE(IsWindowVisible(change));
  }
  ASSERT_TRUE(Click(change, IDCANCEL));
  ASSERT_TRUE(WaitForClose(change));
  EXPECT_FALSE(FindMessageBox(run, page, Milliseconds(500)).has_value());
  ASSERT_TRUE(Click(page, IDCANCEL));
  EXPECT_EQ(run.WaitForExit(), 0u);
  EXPECT_EQ(TreeDifference(ReadTree(kView64, kProducts), before64), "");
  EXPECT_EQ(TreeDifference(ReadTree(kView32, kProducts), before32), "");
}

TEST_F(ProductManagerTest, TheBundlesComboListsTheProductsBundlesSortedWithTheFirstSelected) {
  // The hints name Kontakt 7's serial number in "Komplete 14 Standard Bundle" and then in
  // "Komplete 14 Select"; Maschine 2's is in no bundle.
  const struct {
    const wchar_t* product;
    std::vector<std::wstring> bundles;
  } cases[] = {
      {L"Kontakt 7", {L"Komplete 14 Select", L"Komplete 14 Standard Bundle"}},
      {L"Maschine 2", {}},
      {L"Massive", {L"Komplete 14 Select", L"Komplete 14 Standard Bundle"}},
  };
  HWND page = OpenPage();
  ASSERT_NE(page, nullptr);
  for (const auto& c : cases) {
    SCOPED_TRACE(ToUtf8(c.product));
    ASSERT_NO_FATAL_FAILURE(Select(page, c.product));
    EXPECT_EQ(ComboBoxItems(page, IDC_PM_BUNDLES), c.bundles);
    EXPECT_EQ(ComboBoxSelection(page, IDC_PM_BUNDLES), c.bundles.empty() ? CB_ERR : 0);
    EXPECT_EQ(Text(page, IDC_PM_BUNDLES), c.bundles.empty() ? L"" : c.bundles.front());
  }
  SaveScreenshot(L"bundles");
  ASSERT_TRUE(Click(page, IDCANCEL));
  EXPECT_EQ(run.WaitForExit(), 0u);
}

TEST_F(ProductManagerTest, OpeningAMissingFolderReportsTheShellsError) {
  // The Gentleman's content folder is drawn red: "Open" on it cannot open anything.
  const std::wstring missing = L"C:\\Users\\Public\\Documents\\Old Libraries\\The Gentleman\\";
  HWND page = OpenPage();
  ASSERT_NE(page, nullptr);
  ASSERT_NO_FATAL_FAILURE(Select(page, L"The Gentleman"));
  HWND change = Options(page, IDC_PM_CONTENT_OPTIONS);
  ASSERT_NE(change, nullptr);
  ASSERT_EQ(SelectedLine(change, IDC_FOLDER_LIST), missing);
  ASSERT_TRUE(Click(change, IDC_OPEN_SELECTED_FOLDER));
  const auto box = FindMessageBox(run, change);
  ASSERT_TRUE(box.has_value()) << "no message box: the shell opened a missing folder";
  SaveScreenshot(L"explore-failed");
  // The shell's code for a missing folder (file or path not found) is one of its errors, 32 or
  // less; the rest of the text is fixed.
  const std::wstring prefix = L"Explore operation failed with error ";
  const std::wstring suffix = L". Path might not exist.";
  const std::wstring& text = box->text;
  ASSERT_TRUE(text.size() > prefix.size() + suffix.size() && text.rfind(prefix, 0) == 0 &&
              text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0)
      << ToUtf8(text);
  const std::wstring code = text.substr(prefix.size(), text.size() - prefix.size() - suffix.size());
  ASSERT_TRUE(code.size() <= 2 && std::all_of(code.begin(), code.end(),
                                              [](wchar_t c) { return c >= L'0' && c <= L'9'; }))
      << ToUtf8(text);
  EXPECT_LE(std::stoul(code), 32u) << ToUtf8(text);
  ASSERT_TRUE(Answer(*box, IDOK));
  // The dialog stays open with the folder still selected.
  EXPECT_TRUE(IsWindowVisible(change));
  EXPECT_EQ(SelectedLine(change, IDC_FOLDER_LIST), missing);
  ASSERT_TRUE(Click(change, IDCANCEL));
  ASSERT_TRUE(WaitForClose(change));
  ASSERT_TRUE(Click(page, IDCANCEL));
  EXPECT_EQ(run.WaitForExit(), 0u);
}

TEST_F(ProductManagerTest, LaunchOpensTheApplicationAndThePluginHosts) {
  // Traktor Pro 3's program is the probe, which records its arguments and ends.
  const std::wstring record = kScratch + L"\\launched.txt";
  const std::wstring traktor = kScratch + L"\\Traktor\\";
  ASSERT_TRUE(MakeFolder(traktor));
  ASSERT_TRUE(CopyFileW(PathFromEnvironment(L"TESSALY_PROBE").c_str(),
                        (traktor + L"Traktor.exe").c_str(), FALSE));
  ASSERT_TRUE(WriteText(kView64, ProductKey(L"Traktor Pro 3"), L"InstallDir", traktor));
  ScopedEnvironment recording(L"TESSALY_PROBE_RECORD", record);
  HWND page = OpenPage();
  ASSERT_NE(page, nullptr);

  ASSERT_NO_FATAL_FAILURE(Select(page, L"Traktor Pro 3"));
  EXPECT_EQ(Text(page, IDC_PM_APP_PATH), traktor + L"Traktor.exe");
  ASSERT_TRUE(Click(page, IDC_PM_APP_LAUNCH));
  EXPECT_TRUE(WaitUntil([&] { return FileExists(record); })) << "the application was not started";
  const auto box = FindMessageBox(run, nullptr, Milliseconds(500));
  EXPECT_FALSE(box.has_value()) << ToUtf8(box ? box->text : L"");
  EXPECT_EQ(FileText(record), L"");  // started without arguments

  // No 32-bit host: the offer of Preferences, where the probe becomes the host.
  ASSERT_NO_FATAL_FAILURE(Select(page, L"Kontakt 7"));
  const std::wstring plugin32 = kNiVst32 + L"\\Kontakt 7.dll";
  const std::wstring plugin64 = kNiVst64 + L"\\Kontakt 7.dll";
  EXPECT_EQ(Text(page, IDC_PM_PLUGIN32_PATH), plugin32);
  ASSERT_TRUE(Click(page, IDC_PM_PLUGIN32_LAUNCH));
  ASSERT_NO_FATAL_FAILURE(ExpectMessage(
      page, L"No plugin host path configured. Would you like to set one up in Preferences?", IDYES,
      L"no-host"));
  HWND preferences = FindPage(run, kPreferencesTitle);
  ASSERT_NE(preferences, nullptr);
  ASSERT_TRUE(SetText(preferences, IDC_HOST32, PathFromEnvironment(L"TESSALY_PROBE")));
  ASSERT_TRUE(Click(preferences, IDOK));
  ASSERT_TRUE(WaitForClose(preferences));
  EXPECT_EQ(FileText(record), L"");  // Preferences alone start nothing
  ASSERT_TRUE(Click(page, IDC_PM_PLUGIN32_LAUNCH));
  EXPECT_TRUE(WaitUntil([&] { return FileText(record) == plugin32 + L"\n"; }))
      << ToUtf8(FileText(record));

  // The 64-bit row asks for its own host: No leaves it; once one is stored, it starts.
  ASSERT_TRUE(Click(page, IDC_PM_PLUGIN64_LAUNCH));
  ASSERT_NO_FATAL_FAILURE(ExpectMessage(
      page, L"No plugin host path configured. Would you like to set one up in Preferences?", IDNO));
  EXPECT_EQ(FindPage(run, kPreferencesTitle, Milliseconds(500)), nullptr);
  ASSERT_TRUE(profile.WriteProfileString(kSettingsSection, kVstHost64,
                                         PathFromEnvironment(L"TESSALY_PROBE")));
  ASSERT_TRUE(Click(page, IDC_PM_PLUGIN64_LAUNCH));
  EXPECT_TRUE(WaitUntil([&] { return FileText(record) == plugin32 + L"\n" + plugin64 + L"\n"; }))
      << ToUtf8(FileText(record));
  SaveScreenshot(L"launched");
  ASSERT_TRUE(Click(page, IDCANCEL));
  EXPECT_EQ(run.WaitForExit(), 0u);
}

TEST_F(ProductManagerTest, BackAndQuitWhileALargeRegistryIsScanned) {
  // Thousands more products in the 64-bit view keep the scan busy for seconds (2,000 took only half
  // a second here), long enough to leave the page while it runs.
  constexpr int kExtraProducts = 6000;
  for (int i = 0; i < kExtraProducts; ++i) {
    wchar_t name[64];
    swprintf(name, 64, L"TessalyE2E Bulk %04d", i);
    const std::wstring key = ProductKey(name);
    ASSERT_TRUE(WriteText(kView64, key, L"InstallDir", kScratch + L"\\Bulk\\" + name + L"\\"));
    ASSERT_TRUE(WriteText(kView64, key, L"InstallVSTDir", kNiVst32));
    ASSERT_TRUE(WriteText(kView64, key, L"SNO", L"0000-0000-0000-0000-0000"));
  }

  // Each check comes right before the click it is about, so that the click met a running scan.
  auto scanning = [](HWND page) {
    const std::wstring status = Text(page, IDC_PM_STATUS).value_or(L"");
    return !status.empty() && status.rfind(L"Completed", 0) != 0;
  };
  HWND page = StartPage();
  ASSERT_NE(page, nullptr);
  ASSERT_TRUE(scanning(page)) << "the scan ended before Back: "
                              << ToUtf8(Text(page, IDC_PM_STATUS).value_or(L""));
  ASSERT_TRUE(Click(page, IDC_BACK));
  ASSERT_TRUE(WaitForClose(page));
  HWND start = FindPage(run, kStartTitle);
  ASSERT_NE(start, nullptr);
  // The filters are stored also when the scan did not finish.
  EXPECT_EQ(profile.GetProfileInt(kSettingsSection, kProductCheckboxes, -1),
            kDefaultProductCheckboxes.ToBits());
  EXPECT_EQ(profile.GetProfileInt(kSettingsSection, kShowPathFlags, -1),
            PathBits(pathbits::Default).ToBits());
  SaveScreenshot(L"back-during-scan");

  ASSERT_TRUE(ChooseWizard(start, IDC_WIZARD_PRODUCTS));
  page = FindPage(run, kProductManagerTitle);
  ASSERT_NE(page, nullptr);
  ASSERT_TRUE(scanning(page));
  EXPECT_FALSE(IsEnabled(page, IDC_PM_SHOW_APPS));
  SaveScreenshot(L"scanning");
  ASSERT_TRUE(scanning(page)) << "the scan ended before Quit: "
                              << ToUtf8(Text(page, IDC_PM_STATUS).value_or(L""));
  ASSERT_TRUE(Click(page, IDCANCEL));
  EXPECT_EQ(run.WaitForExit(), 0u);
}

// How many values named `name` in `tree` hold `text`.
size_t ValuesHolding(const RegistryTree& tree, const wchar_t* name, const std::wstring& text) {
  size_t count = 0;
  for (const RegistryKeyState& key : tree) {
    for (const RegistryValue& value : key.values) {
      if (!EqualsNoCase(value.name, name) || value.type != REG_SZ) continue;
      const std::wstring data(reinterpret_cast<const wchar_t*>(value.data.data()),
                              value.data.size() / 2);
      if (data.c_str() == text) ++count;
    }
  }
  return count;
}

// Removes the change backups of earlier runs, keeping the first-run backups that later tests (and
// the tour's Preferences) find beside them.
void DeleteChangeBackups() {
  const std::wstring folder = ProgramDocumentsFolder();
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\Change-*.xml").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    EXPECT_TRUE(DeleteFileW((folder + L"\\" + found.cFileName).c_str())) << ToUtf8(found.cFileName);
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

// "Use for all" saves what it changes; Preferences' "Undo a change..." lists that change and puts
// every product's folder back, in both registry views.
TEST_F(ProductManagerTest, UseForAllIsUndoneFromPreferences) {
  DeleteChangeBackups();
  const std::wstring newVst32 = kScratch + L"\\New VST32";
  ASSERT_TRUE(MakeFolder(newVst32));
  ASSERT_TRUE(WriteText(kView32, ProductKey(L"Guitar Rig 5"), L"InstallVSTDir", newVst32));
  const RegistryTree before64 = ReadTree(kView64, kProducts);
  const RegistryTree before32 = ReadTree(kView32, kProducts);

  HWND page = OpenPage();
  ASSERT_NE(page, nullptr);
  ASSERT_NO_FATAL_FAILURE(Select(page, L"Massive"));
  HWND change = Options(page, IDC_PM_VST32_OPTIONS);
  ASSERT_NE(change, nullptr);
  ASSERT_NO_FATAL_FAILURE(UseForAllVst32WithoutLimit(change, newVst32));
  ASSERT_NO_FATAL_FAILURE(
      ExpectMessage(page, L"Successfully processed 15 products. Encountered 0 errors.", IDOK));
  for (const auto& [product, view] :
       {std::pair{L"Massive", kView64}, {L"FM8", kView64}, {L"Absynth 5", kView32}}) {
    EXPECT_EQ(ReadText(view, ProductKey(product), L"InstallVSTDir"), newVst32) << ToUtf8(product);
  }
  // Every product the change wrote now holds the new folder, Guitar Rig 5 (already there) too;
  // the undo puts back each of those values.
  const size_t written = ValuesHolding(ReadTree(kView64, kProducts), L"InstallVSTDir", newVst32) +
                         ValuesHolding(ReadTree(kView32, kProducts), L"InstallVSTDir", newVst32);
  ASSERT_GE(written, 6u) << "both views' products must have moved";

  ASSERT_TRUE(SysCommand(page, 0x100));
  HWND preferences = FindPage(run, kPreferencesTitle);
  ASSERT_NE(preferences, nullptr);
  ASSERT_TRUE(Click(preferences, IDC_UNDO_CHANGE));
  HWND undo = FindPage(run, kUndoChangeTitle);
  ASSERT_NE(undo, nullptr);
  const std::vector<std::vector<std::wstring>> rows = ListViewRows(undo, IDC_CHANGE_LIST, 2);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_FALSE(rows[0][0].empty()) << "the change's date";
  EXPECT_EQ(rows[0][1], L"Use for all App/plugin products: " + newVst32);
  EXPECT_FALSE(IsEnabled(undo, IDC_UNDO_SELECTED)) << "nothing is chosen yet";
  ASSERT_TRUE(SelectListViewRow(undo, IDC_CHANGE_LIST, 0));
  ASSERT_TRUE(WaitUntil([&] { return IsEnabled(undo, IDC_UNDO_SELECTED); }));
  SaveScreenshot(L"undo-a-change");
  ASSERT_TRUE(Click(undo, IDC_UNDO_SELECTED));
  const std::wstring undoable = L" replaced.\n\nThe undo is saved as a change of its own, so that "
                                L"it can be undone. It will not delete or "
                                L"restore any files. Do you wish to proceed?";
  ASSERT_NO_FATAL_FAILURE(ExpectMessage(
      undo,
      L"This will put back the settings that the change \"Use for all App/plugin products: " +
          newVst32 + L"\" of " + rows[0][0] + undoable,
      IDYES, L"undo-a-change-question"));
  ASSERT_NO_FATAL_FAILURE(ExpectMessage(
      undo,
      L"Put back " + std::to_wstring(written) + L" settings. 0 settings could not be put back.",
      IDOK, L"undo-a-change-result"));
  ASSERT_TRUE(WaitForClose(undo));
  EXPECT_EQ(TreeDifference(ReadTree(kView64, kProducts), before64), "") << "64-bit view";
  EXPECT_EQ(TreeDifference(ReadTree(kView32, kProducts), before32), "") << "32-bit view";

  // The undo is listed first as a change of its own; undoing it brings the new folder back.
  ASSERT_TRUE(Click(preferences, IDC_UNDO_CHANGE));
  undo = FindPage(run, kUndoChangeTitle);
  ASSERT_NE(undo, nullptr);
  const std::vector<std::vector<std::wstring>> again = ListViewRows(undo, IDC_CHANGE_LIST, 2);
  ASSERT_EQ(again.size(), 2u);
  EXPECT_EQ(again[0][1], L"Undo of: Use for all App/plugin products: " + newVst32);
  EXPECT_EQ(again[1][1], rows[0][1]);
  ASSERT_TRUE(SelectListViewRow(undo, IDC_CHANGE_LIST, 0));
  ASSERT_TRUE(WaitUntil([&] { return IsEnabled(undo, IDC_UNDO_SELECTED); }));
  SaveScreenshot(L"undo-an-undo");
  ASSERT_TRUE(Click(undo, IDC_UNDO_SELECTED));
  ASSERT_NO_FATAL_FAILURE(ExpectMessage(undo,
                                        L"This will put back the settings that the change \"Undo "
                                        L"of: Use for all App/plugin products: " +
                                            newVst32 + L"\" of " + again[0][0] + undoable,
                                        IDYES, L"undo-an-undo-question"));
  ASSERT_NO_FATAL_FAILURE(ExpectMessage(
      undo,
      L"Put back " + std::to_wstring(written) + L" settings. 0 settings could not be put back.",
      IDOK));
  ASSERT_TRUE(WaitForClose(undo));
  EXPECT_EQ(ValuesHolding(ReadTree(kView64, kProducts), L"InstallVSTDir", newVst32) +
                ValuesHolding(ReadTree(kView32, kProducts), L"InstallVSTDir", newVst32),
            written);

  ASSERT_TRUE(Click(preferences, IDCANCEL));
  ASSERT_TRUE(WaitForClose(preferences));
  ASSERT_TRUE(Click(page, IDCANCEL));
  EXPECT_EQ(run.WaitForExit(), 0u);
  DeleteChangeBackups();
}

}  // namespace
}  // namespace tessaly::e2e
