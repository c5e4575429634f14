// The product catalog's benchmark: makes 2,000 product keys under HKLM\SOFTWARE\Native
// Instruments in both registry views (1,000 in the 64-bit view only, 500 in the 32-bit view only,
// 500 in both) with the three content catalogs, and times in rounds:
//   (a) the engine: CNiLibrary::Reset() and Scan() of every type over the Win32 backends;
//   (b) the peer: reg query /s of the products key through each view, as two processes;
//   (c) the floor: the least Win32 code that enumerates the same keys and values with the
//       engine's buffers, every key of both views (it does not skip names the 64-bit view had),
//       and the three catalogs;
//   (c1), (c2) variants of the floor that read only the keys the engine reads, opened as the
//       floor opens them or by their whole path as the engine does;
// then counts the engine's registry calls, timed one by one, in one more run.
// Each measure's result is checked: the engine must find every product with its view, type and
// content kinds; the floor and the peer must list the same number of keys.
#include "tests/bench/catalog_bench.h"

#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "catalog/ni_library.h"
#include "platform/ni_installation.h"
#include "platform/text.h"
#include "platform/win32/win32_api.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_system.h"
#include "tests/bench/bench_output.h"
#include "tests/bench/bench_timing.h"

namespace tessaly::bench {
namespace {

constexpr int kProducts = kCatalogProductKeys;
constexpr int k64Only = 1000;  // products 0..999
constexpr int k32Only = 500;   // products 1000..1499; the rest are in both views
// Says which layout the keys were made for; written last, after every key.
constexpr wchar_t kMarkerKey[] = L"SOFTWARE\\Tessaly Bench";
constexpr wchar_t kMarkerValue[] = L"Catalog";
// The scale run's largest layout, whose keys a smaller one deletes.
constexpr int kLargestLayout = 16 * kProducts;

// The marker of a layout of `products` keys (half in the 64-bit view only, a quarter in the
// 32-bit view only, a quarter in both).
std::wstring MarkerText(int products) {
  return FormatText(
      L"catalog v1: %d product keys, %d in the 64-bit view only, %d in the 32-bit view only, "
      L"%d in both; the three content catalogs",
      products, products / 2, products / 4, products - products / 2 - products / 4);
}
// Where the peer's output goes once, to check that it lists the keys the floor lists.
constexpr wchar_t kBenchFolder[] = L"C:\\bench";
constexpr wchar_t kPeerCheckFile[] = L"C:\\bench\\catalog-peer.txt";

constexpr REGSAM kViews[] = {KEY_WOW64_64KEY, KEY_WOW64_32KEY};

// The kinds of product, by the values their installers write.
enum class Shape {
  Plugin,             // InstallDir, one or both plugin folders, KEY, SNO, SYSTEMID (0x0B88)
  PluginWithContent,  // the same with ContentDir and ContentVersion (0x0B8B)
  Library,            // ContentDir, ContentVersion, KEY, SNO, SYSTEMID, Visibility (0x0783)
  LibraryHuJdx,       // the same with HU and JDX (0x07C7)
  Utility,            // InstallDir only (0x0008)
};

struct Value {
  const wchar_t* name;
  DWORD type;
  std::vector<uint8_t> data;
};

struct Product {
  std::wstring name;
  Shape shape;
  bool in64;
  bool in32;
  uint32_t catalogs;  // CNiCatalog::kContent, kMaschine, kReaktor
  std::vector<Value> values;
};

struct CatalogEntry {
  std::wstring valueName;
  std::wstring keyName;
};

struct Layout {
  int count = kProducts;  // product keys
  std::vector<Product> products;
  std::vector<CatalogEntry> catalogs[3];  // Content, Maschine Content, Reaktor Content
  uint32_t keys64 = 0, keys32 = 0;
};

constexpr uint32_t kCatalogTypes[] = {CNiCatalog::kContent, CNiCatalog::kMaschine,
                                      CNiCatalog::kReaktor};
constexpr const wchar_t* kCatalogKeys[] = {ni::kContentCatalogKey, ni::kMaschineCatalogKey,
                                           ni::kReaktorCatalogKey};

// Of every 40 products: 12 plugins, 8 plugins with content, 9 libraries, 9 libraries with HU and
// JDX, 2 utilities.
Shape ShapeOf(int i) {
  const int k = i % 40;
  if (k < 12) return Shape::Plugin;
  if (k < 20) return Shape::PluginWithContent;
  if (k < 29) return Shape::Library;
  if (k < 38) return Shape::LibraryHuJdx;
  return Shape::Utility;
}

bool IsContent(Shape s) { return s == Shape::Library || s == Shape::LibraryHuJdx; }

std::wstring ProductName(int i, Shape shape) {
  static constexpr const wchar_t* kFirst[] = {L"Analog",     L"Cinematic", L"Vintage",  L"Modular",
                                              L"Session",    L"Urban",     L"Ethereal", L"Studio",
                                              L"Orchestral", L"Electric",  L"Acoustic", L"Deep",
                                              L"Retro",      L"Crystal",   L"Dark",     L"Golden"};
  static constexpr const wchar_t* kPlugins[] = {L"Synth",  L"Reverb", L"Delay", L"Compressor",
                                                L"Filter", L"Piano",  L"Organ", L"Drum Machine"};
  static constexpr const wchar_t* kLibraries[] = {L"Strings", L"Brass", L"Choir",    L"Percussion",
                                                  L"Guitars", L"Keys",  L"Textures", L"Expansion"};
  static constexpr const wchar_t* kUtilities[] = {L"Tools", L"Manager", L"Updater", L"Helper"};
  const wchar_t* second = shape == Shape::Utility ? kUtilities[(i / 16) % 4]
                          : IsContent(shape)      ? kLibraries[(i / 16) % 8]
                                                  : kPlugins[(i / 16) % 8];
  return FormatText(L"%s %s %d", kFirst[i % 16], second, 1000 + i);
}

std::vector<uint8_t> Text(const std::wstring& text) { return ToUtf16Bytes(text, true); }

std::vector<uint8_t> Dword(uint32_t v) {
  return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}

// 32 hexadecimal digits derived from the product's number, like the installers' key texts.
std::wstring Hex32(uint32_t seed) {
  std::wstring text;
  uint32_t x = seed * 2654435761u + 12345u;
  for (int i = 0; i < 32; ++i) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    text += L"0123456789ABCDEF"[x & 15];
  }
  return text;
}

std::vector<Value> ValuesOf(int i, const std::wstring& name, Shape shape) {
  std::vector<Value> v;
  auto text = [&v](const wchar_t* valueName, const std::wstring& data) {
    v.push_back({valueName, REG_SZ, Text(data)});
  };
  const bool plugin = shape == Shape::Plugin || shape == Shape::PluginWithContent;
  if (IsContent(shape) || shape == Shape::PluginWithContent) {
    text(ni::kContentDir, L"C:\\Users\\Public\\Documents\\Native Instruments\\" + name + L"\\");
    text(ni::kContentVersion, FormatText(L"%d.%d.%d", 1 + i % 7, i % 10, i % 4));
  }
  if (plugin || shape == Shape::Utility) {
    text(ni::kInstallDir, L"C:\\Program Files\\Native Instruments\\" + name + L"\\");
  }
  if (plugin) {
    // Both plugin folders, the 64-bit one alone or the 32-bit one alone.
    if (i % 3 != 1)
      text(ni::kInstallVstDir, L"C:\\Program Files (x86)\\Native Instruments\\VSTPlugins 32 bit");
    if (i % 3 != 2)
      text(ni::kInstallVst64Dir, L"C:\\Program Files\\Native Instruments\\VSTPlugins 64 bit");
  }
  if (shape != Shape::Utility) {
    text(ni::kKey, Hex32(uint32_t(i)));
    text(ni::kSno, FormatText(L"%04d-%04d-%04d-%04d-%04d", (i * 7) % 10000, (i * 13) % 10000,
                              (i * 31) % 10000, (i * 57) % 10000, (i * 91) % 10000));
    text(ni::kSystemId, L"A4C1-88F2-0D9B-31E7");
  }
  if (IsContent(shape)) v.push_back({ni::kVisibility, REG_DWORD, Dword(i % 5 == 0 ? 1 : 3)});
  if (shape == Shape::LibraryHuJdx) {
    text(ni::kHu, Hex32(uint32_t(i) + 100000));
    text(ni::kJdx, Hex32(uint32_t(i) + 200000));
  }
  return v;
}

Layout MakeLayout(int products = kProducts) {
  Layout layout;
  layout.count = products;
  const int only64 = products / 2, only32 = products / 4;  // 1,000 and 500 of the 2,000
  int content = 0;
  for (int i = 0; i < products; ++i) {
    Product p;
    p.shape = ShapeOf(i);
    p.name = ProductName(i, p.shape);
    p.in64 = i < only64 || i >= only64 + only32;
    p.in32 = i >= only64;
    p.catalogs = 0;
    if (IsContent(p.shape)) {
      const std::wstring valueName = FormatText(L"tb%04d", i);
      if (content % 4 == 0) p.catalogs |= CNiCatalog::kContent;
      if (content % 3 == 1) p.catalogs |= CNiCatalog::kMaschine;
      if (content % 5 == 2) p.catalogs |= CNiCatalog::kReaktor;
      for (int c = 0; c < 3; ++c) {
        if (p.catalogs & kCatalogTypes[c]) layout.catalogs[c].push_back({valueName, p.name});
      }
      ++content;
    }
    p.values = ValuesOf(i, p.name, p.shape);
    layout.keys64 += p.in64;
    layout.keys32 += p.in32;
    layout.products.push_back(std::move(p));
  }
  return layout;
}

std::wstring ProductPath(const Product& p) {
  return std::wstring(ni::kProductsKey) + L"\\" + p.name;
}

// --- Making the keys ---------------------------------------------------------------------------

std::wstring ReadMarker() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kMarkerKey, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key))
    return {};
  wchar_t text[512] = {};
  DWORD size = sizeof text - sizeof(wchar_t), type = 0;
  const LONG e =
      RegQueryValueExW(key, kMarkerValue, nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
  RegCloseKey(key);
  return e == ERROR_SUCCESS && type == REG_SZ ? std::wstring(text) : std::wstring();
}

// Every product key in the views it belongs to, with its number of values, absent from the other
// view; every catalog entry in place; the marker written last.
bool KeysComplete(const Layout& layout) {
  if (ReadMarker() != MarkerText(layout.count)) return false;
  for (const Product& p : layout.products) {
    const std::wstring path = ProductPath(p);
    for (REGSAM view : kViews) {
      const bool wanted = view == KEY_WOW64_64KEY ? p.in64 : p.in32;
      HKEY key = nullptr;
      const LONG e =
          RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE | view, &key);
      if (e == ERROR_SUCCESS) {
        DWORD values = 0;
        const LONG q = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                        &values, nullptr, nullptr, nullptr, nullptr);
        RegCloseKey(key);
        if (!wanted || q != ERROR_SUCCESS || values != p.values.size()) return false;
      } else if (wanted || e != ERROR_FILE_NOT_FOUND) {
        return false;
      }
    }
  }
  for (int c = 0; c < 3; ++c) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kCatalogKeys[c], 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY,
                      &key)) {
      return false;
    }
    bool complete = true;
    for (const CatalogEntry& entry : layout.catalogs[c]) {
      wchar_t data[256] = {};
      DWORD size = sizeof data - sizeof(wchar_t);
      if (RegQueryValueExW(key, entry.valueName.c_str(), nullptr, nullptr,
                           reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS ||
          entry.keyName != data) {
        complete = false;
        break;
      }
    }
    RegCloseKey(key);
    if (!complete) return false;
  }
  return true;
}

HKEY CreateKey(const std::wstring& path, REGSAM view) {
  HKEY key = nullptr;
  const LONG e =
      RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_READ | KEY_WRITE | view, nullptr, &key, nullptr);
  if (e != ERROR_SUCCESS) Fail(Str("cannot create %s, error %ld", ToUtf8(path).c_str(), e));
  return key;
}

void SetValue(HKEY key, const wchar_t* name, DWORD type, const std::vector<uint8_t>& data) {
  const LONG e = RegSetValueExW(key, name, 0, type, data.data(), static_cast<DWORD>(data.size()));
  if (e != ERROR_SUCCESS) Fail(Str("cannot set %s, error %ld", ToUtf8(name).c_str(), e));
}

// The product keys and catalog entries of a larger layout (the scale run's) beyond `layout`'s.
void DeleteBeyond(const Layout& layout, int largest) {
  HKEY catalogs[3] = {};
  for (int c = 0; c < 3; ++c) {
    RegOpenKeyExW(HKEY_LOCAL_MACHINE, kCatalogKeys[c], 0, KEY_SET_VALUE | KEY_WOW64_64KEY,
                  &catalogs[c]);
  }
  for (int i = layout.count; i < largest; ++i) {
    const std::wstring path = std::wstring(ni::kProductsKey) + L"\\" + ProductName(i, ShapeOf(i));
    for (REGSAM view : kViews) {
      const LONG deleted = RegDeleteKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), view, 0);
      if (deleted != ERROR_SUCCESS && deleted != ERROR_FILE_NOT_FOUND) {
        Fail(Str("cannot delete %s, error %ld", ToUtf8(path).c_str(), deleted));
      }
    }
    for (HKEY key : catalogs) {
      if (key) RegDeleteValueW(key, FormatText(L"tb%04d", i).c_str());
    }
  }
  for (HKEY key : catalogs) {
    if (key) RegCloseKey(key);
  }
}

// The number of product keys the marker names, 0 when there is none.
int MarkedCount() {
  const std::wstring marker = ReadMarker();
  return marker.empty() ? 0 : _wtoi(marker.c_str() + wcslen(L"catalog v1: "));
}

void EnsureKeys(const Layout& layout) {
  if (KeysComplete(layout)) {
    Log("catalog keys: reusing the %d product keys (%u in the 64-bit view, %u in the 32-bit "
        "view)\n",
        layout.count, layout.keys64, layout.keys32);
    return;
  }
  Log("catalog keys: making %d product keys in both views (missing or incomplete) ...\n",
      layout.count);
  const auto started = Clock::now();
  // A larger layout's keys go (all that may be left when no marker says how many there were).
  const int marked = MarkedCount();
  if (marked != layout.count)
    DeleteBeyond(layout, marked > layout.count ? marked : marked == 0 ? kLargestLayout : 0);
  // The marker goes first, so that keys left half made are never taken as complete.
  RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kMarkerKey, KEY_WOW64_64KEY, 0);
  uint32_t values = 0;
  for (const Product& p : layout.products) {
    const std::wstring path = ProductPath(p);
    for (REGSAM view : kViews) {
      // A key of an earlier layout goes as a whole, with values this one does not write.
      const LONG deleted = RegDeleteKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), view, 0);
      if (deleted != ERROR_SUCCESS && deleted != ERROR_FILE_NOT_FOUND) {
        Fail(Str("cannot delete %s, error %ld", ToUtf8(path).c_str(), deleted));
      }
      if (!(view == KEY_WOW64_64KEY ? p.in64 : p.in32)) continue;
      HKEY key = CreateKey(path, view);
      for (const Value& v : p.values) SetValue(key, v.name, v.type, v.data);
      RegCloseKey(key);
      values += static_cast<uint32_t>(p.values.size());
    }
  }
  for (int c = 0; c < 3; ++c) {
    HKEY key = CreateKey(kCatalogKeys[c], KEY_WOW64_64KEY);
    for (const CatalogEntry& entry : layout.catalogs[c]) {
      SetValue(key, entry.valueName.c_str(), REG_SZ, Text(entry.keyName));
    }
    RegCloseKey(key);
  }
  HKEY marker = CreateKey(kMarkerKey, KEY_WOW64_64KEY);
  SetValue(marker, kMarkerValue, REG_SZ, Text(MarkerText(layout.count)));
  RegCloseKey(marker);
  if (!KeysComplete(layout)) Fail("the product keys just made do not read back as written");
  Log("catalog keys: %u keys with %u values and %u + %u + %u catalog entries made in %.1f s\n",
      layout.keys64 + layout.keys32, values, unsigned(layout.catalogs[0].size()),
      unsigned(layout.catalogs[1].size()), unsigned(layout.catalogs[2].size()),
      Ms(Clock::now() - started) / 1000);
}

// --- Counting the engine's registry calls --------------------------------------------------------

// Calls through the registry interface, each timed; with the fixed-buffer forms the scan uses,
// one call is one system call.
struct RegistryCalls {
  uint32_t opens = 0, enumKeys = 0, enumValues = 0, queries = 0, closes = 0, others = 0;
  double ms = 0;
  uint32_t Total() const { return opens + enumKeys + enumValues + queries + closes + others; }
};

template <typename F>
ErrorCode Timed(RegistryCalls& calls, uint32_t& counter, F&& f) {
  ++counter;
  const auto t0 = Clock::now();
  const ErrorCode e = f();
  calls.ms += Ms(Clock::now() - t0);
  return e;
}

class CountingKey final : public RegistryKey {
 public:
  CountingKey(std::unique_ptr<RegistryKey> inner, RegistryCalls& calls)
      : inner_(std::move(inner)), calls_(calls) {}
  ~CountingKey() override {
    Timed(calls_, calls_.closes, [&] {
      inner_.reset();
      return err::Success;
    });
  }

  ErrorCode OpenSubKey(std::wstring_view path, uint32_t accessMask,
                       std::unique_ptr<RegistryKey>& out) override {
    return Wrap(
        Timed(calls_, calls_.opens, [&] { return inner_->OpenSubKey(path, accessMask, out); }),
        out);
  }
  ErrorCode CreateSubKey(std::wstring_view path, std::wstring_view keyClass, uint32_t accessMask,
                         std::unique_ptr<RegistryKey>& out, bool* created) override {
    return Wrap(
        Timed(calls_, calls_.others,
              [&] { return inner_->CreateSubKey(path, keyClass, accessMask, out, created); }),
        out);
  }
  ErrorCode DeleteSubKey(std::wstring_view name, uint32_t accessMask) override {
    return Timed(calls_, calls_.others, [&] { return inner_->DeleteSubKey(name, accessMask); });
  }
  ErrorCode EnumKey(uint32_t index, std::wstring& name, std::wstring* keyClass,
                    FileTime* lastWrite) override {
    return Timed(calls_, calls_.enumKeys,
                 [&] { return inner_->EnumKey(index, name, keyClass, lastWrite); });
  }
  ErrorCode EnumValue(uint32_t index, std::wstring& name, uint32_t* type,
                      std::vector<uint8_t>* data) override {
    return Timed(calls_, calls_.enumValues,
                 [&] { return inner_->EnumValue(index, name, type, data); });
  }
  ErrorCode QueryInfo(RegKeyInfo& info) override {
    return Timed(calls_, calls_.others, [&] { return inner_->QueryInfo(info); });
  }
  ErrorCode QueryValue(std::wstring_view name, uint32_t* type,
                       std::vector<uint8_t>* data) override {
    return Timed(calls_, calls_.queries, [&] { return inner_->QueryValue(name, type, data); });
  }
  ErrorCode SetValue(std::wstring_view name, uint32_t type, const uint8_t* data,
                     size_t size) override {
    return Timed(calls_, calls_.others, [&] { return inner_->SetValue(name, type, data, size); });
  }
  ErrorCode DeleteValue(std::wstring_view name) override {
    return Timed(calls_, calls_.others, [&] { return inner_->DeleteValue(name); });
  }
  ErrorCode EnumKeyInto(uint32_t index, wchar_t* name, uint32_t& nameLength) override {
    return Timed(calls_, calls_.enumKeys,
                 [&] { return inner_->EnumKeyInto(index, name, nameLength); });
  }
  ErrorCode EnumValueInto(uint32_t index, wchar_t* name, uint32_t& nameLength, uint32_t* type,
                          uint8_t* data, uint32_t* dataSize) override {
    return Timed(calls_, calls_.enumValues, [&] {
      return inner_->EnumValueInto(index, name, nameLength, type, data, dataSize);
    });
  }
  ErrorCode QueryValueInto(const wchar_t* name, uint32_t* type, uint8_t* data,
                           uint32_t* dataSize) override {
    return Timed(calls_, calls_.queries,
                 [&] { return inner_->QueryValueInto(name, type, data, dataSize); });
  }

 private:
  ErrorCode Wrap(ErrorCode e, std::unique_ptr<RegistryKey>& out) {
    if (e == err::Success) out = std::make_unique<CountingKey>(std::move(out), calls_);
    return e;
  }

  std::unique_ptr<RegistryKey> inner_;
  RegistryCalls& calls_;
};

class CountingRegistry final : public Registry {
 public:
  ErrorCode OpenKey(RegRoot root, std::wstring_view path, uint32_t accessMask,
                    std::unique_ptr<RegistryKey>& out) override {
    const ErrorCode e =
        Timed(calls, calls.opens, [&] { return inner_.OpenKey(root, path, accessMask, out); });
    if (e == err::Success) out = std::make_unique<CountingKey>(std::move(out), calls);
    return e;
  }
  ErrorCode CreateKey(RegRoot root, std::wstring_view path, std::wstring_view keyClass,
                      uint32_t accessMask, std::unique_ptr<RegistryKey>& out,
                      bool* created) override {
    const ErrorCode e = Timed(calls, calls.others, [&] {
      return inner_.CreateKey(root, path, keyClass, accessMask, out, created);
    });
    if (e == err::Success) out = std::make_unique<CountingKey>(std::move(out), calls);
    return e;
  }

  RegistryCalls calls;

 private:
  Win32Registry inner_;
};

// --- (a) the engine ---------------------------------------------------------------------------

struct EngineTimes {
  double reset = 0, scan = 0;
};

EngineTimes EngineRun(CNiLibrary& library) {
  EngineTimes t;
  const auto t0 = Clock::now();
  (void)library.Reset();
  const auto t1 = Clock::now();
  const ErrorCode e = library.Scan(nullptr, producttype::All, contentkind::All);
  const auto t2 = Clock::now();
  if (e != err::Success) Fail(Str("the scan ended with error %lu", static_cast<unsigned long>(e)));
  t.reset = Ms(t1 - t0);
  t.scan = Ms(t2 - t1);
  return t;
}

ProductType ExpectedType(Shape s) {
  switch (s) {
    case Shape::Plugin:
    case Shape::PluginWithContent: return producttype::AppPlugin;
    case Shape::Library:
    case Shape::LibraryHuJdx: return producttype::Content;
    case Shape::Utility: return producttype::Utility;
  }
  return producttype::None;
}

ContentKinds ExpectedContentKinds(const Product& p) {
  ContentKinds kinds;
  if (p.catalogs & CNiCatalog::kContent) kinds |= contentkind::Kore;
  if (p.catalogs & CNiCatalog::kMaschine) kinds |= contentkind::Maschine;
  if (p.catalogs & CNiCatalog::kReaktor) kinds |= contentkind::Reaktor;
  return kinds ? kinds : ContentKinds(contentkind::Kontakt);
}

// Every product once, read from the 64-bit view when it is there, with its type and content kinds.
void CheckEngine(const CNiLibrary& library, const Layout& layout) {
  std::map<std::wstring, const CNiProduct*, LessNoCaseFn> byName;
  for (const CNiProduct& record : library.records()) {
    if (!byName.emplace(record.keyName, &record).second) {
      Fail("the engine listed " + ToUtf8(record.keyName) + " twice");
    }
  }
  for (const Product& p : layout.products) {
    const auto found = byName.find(p.name);
    if (found == byName.end()) Fail("the engine did not list " + ToUtf8(p.name));
    const CNiProduct& record = *found->second;
    if (record.view32 == p.in64) Fail("the engine read " + ToUtf8(p.name) + " from the wrong view");
    if (record.GetType() != ExpectedType(p.shape)) {
      Fail(Str("the engine gave %s type %u", ToUtf8(p.name).c_str(),
               static_cast<unsigned>(record.GetType())));
    }
    if (IsContent(p.shape) && record.contentKinds != ExpectedContentKinds(p)) {
      Fail(Str("the engine gave %s content kinds %u, not %u", ToUtf8(p.name).c_str(),
               record.contentKinds.ToBits(), ExpectedContentKinds(p).ToBits()));
    }
  }
}

// --- (b) the peer -------------------------------------------------------------------------------

HANDLE InheritableOutput(const wchar_t* path, DWORD disposition) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE h = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                         disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE)
    Fail(Str("cannot open %s, error %lu", ToUtf8(path).c_str(), GetLastError()));
  return h;
}

// Runs reg query /s of the products key through one view with its output going to `output`.
void RunRegQuery(const wchar_t* view, HANDLE output) {
  std::wstring command = L"reg.exe query \"HKLM\\";
  command += ni::kProductsKey;
  command += L"\" /s ";
  command += view;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nullptr;
  startup.hStdOutput = output;
  startup.hStdError = output;
  PROCESS_INFORMATION info{};
  // The child shares the benchmark's console, as when typed at a command line: with
  // CREATE_NO_WINDOW each would get a console host of its own, some 40 ms more under Wine.
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &startup, &info)) {
    Fail(Str("cannot start reg, error %lu", GetLastError()));
  }
  WaitForSingleObject(info.hProcess, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(info.hProcess, &code);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  if (code != 0) Fail(Str("reg query %s ended with %lu", ToUtf8(view).c_str(), code));
}

// The key lines of reg query's output below the products key (the key itself not counted).
uint32_t PeerKeys(const wchar_t* view) {
  HANDLE file = InheritableOutput(kPeerCheckFile, CREATE_ALWAYS);
  RunRegQuery(view, file);
  CloseHandle(file);
  // Wine's console host of the child may still hold the handle it inherited for a moment.
  file = CreateFileW(kPeerCheckFile, GENERIC_READ,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                     0, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    Fail(Str("cannot read back reg query's output, error %lu", GetLastError()));
  std::string text;
  char buffer[65536];
  DWORD got = 0;
  while (::ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
    text.append(buffer, got);
  CloseHandle(file);
  DeleteFileW(kPeerCheckFile);
  const std::string prefix = "HKEY_LOCAL_MACHINE\\" + ToUtf8(ni::kProductsKey) + "\\";
  uint32_t keys = 0;
  size_t line = 0;
  while (line < text.size()) {
    size_t end = text.find('\n', line);
    if (end == std::string::npos) end = text.size();
    if (end - line > prefix.size() &&
        _strnicmp(text.c_str() + line, prefix.c_str(), prefix.size()) == 0)
      ++keys;
    line = end + 1;
  }
  return keys;
}

// --- (c) the floor ------------------------------------------------------------------------------

struct FloorCount {
  uint32_t keys64 = 0, keys32 = 0, skipped = 0, values = 0, catalogValues = 0;
  uint32_t opens = 0, enumKeys = 0, enumValues = 0, closes = 0;
  bool operator==(const FloorCount&) const = default;
};

// The floor reads every key of both views. Its variants, which tell where the engine's time
// differs from it, do part of the engine's work the engine's way.
struct FloorOptions {
  bool skipSeen = false;   // the 32-bit pass skips the names the 64-bit pass read
  bool fullPaths = false;  // each key opened by its whole path from HKLM, not below the open key
};

// RegEnumValueW into the engine's buffers until the end; returns the values seen.
uint32_t EnumerateValues(HKEY key, FloorCount& count) {
  wchar_t name[kRegistryNameChars];
  alignas(4) BYTE data[kRegistryDataBytes];
  uint32_t values = 0;
  for (DWORD index = 0;; ++index) {
    DWORD nameLength = kRegistryNameChars, size = kRegistryDataBytes, type = 0;
    ++count.enumValues;
    const LONG e = RegEnumValueW(key, index, name, &nameLength, nullptr, &type, data, &size);
    if (e == ERROR_NO_MORE_ITEMS) break;
    if (e != ERROR_SUCCESS && e != ERROR_MORE_DATA) Fail(Str("RegEnumValueW failed, error %ld", e));
    ++values;
  }
  return values;
}

using NameSet = std::set<std::wstring, LessNoCaseFn>;

void FloorView(REGSAM view, const FloorOptions& o, NameSet& seen, uint32_t& keys,
               FloorCount& count) {
  HKEY products = nullptr;
  ++count.opens;
  if (LONG e = RegOpenKeyExW(HKEY_LOCAL_MACHINE, ni::kProductsKey, 0, KEY_READ | view, &products)) {
    Fail(Str("cannot open the products key, error %ld", e));
  }
  const bool firstView = view == KEY_WOW64_64KEY;
  wchar_t name[kRegistryNameChars];
  for (DWORD index = 0;; ++index) {
    DWORD nameLength = kRegistryNameChars;
    ++count.enumKeys;
    const LONG e =
        RegEnumKeyExW(products, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr);
    if (e == ERROR_NO_MORE_ITEMS) break;
    if (e != ERROR_SUCCESS) Fail(Str("RegEnumKeyExW failed, error %ld", e));
    if (o.skipSeen) {
      if (firstView) {
        seen.emplace(name, nameLength);
      } else if (seen.count(std::wstring_view(name, nameLength))) {
        ++count.skipped;
        continue;
      }
    }
    HKEY key = nullptr;
    ++count.opens;
    LONG opened;
    if (o.fullPaths) {
      std::wstring path = ni::kProductsKey;
      path += L'\\';
      path.append(name, nameLength);
      opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, &key);
    } else {
      opened = RegOpenKeyExW(products, name, 0, KEY_READ | view, &key);
    }
    if (opened != ERROR_SUCCESS) continue;
    ++keys;
    count.values += EnumerateValues(key, count);
    ++count.closes;
    RegCloseKey(key);
  }
  ++count.closes;
  RegCloseKey(products);
}

FloorCount Floor(const FloorOptions& o = {}) {
  FloorCount count;
  NameSet seen;
  FloorView(KEY_WOW64_64KEY, o, seen, count.keys64, count);
  FloorView(KEY_WOW64_32KEY, o, seen, count.keys32, count);
  for (const wchar_t* path : kCatalogKeys) {
    HKEY key = nullptr;
    ++count.opens;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ | KEY_WOW64_64KEY, &key) !=
        ERROR_SUCCESS)
      continue;
    count.catalogValues += EnumerateValues(key, count);
    ++count.closes;
    RegCloseKey(key);
  }
  return count;
}

void AddBench(std::vector<Bench>& benches, std::string label, std::function<double()> run) {
  benches.push_back(Bench{Measure{std::move(label), {}}, std::move(run)});
}

double PeerRun(HANDLE nul) {
  const double ms = TimeIt([&] {
    RunRegQuery(L"/reg:64", nul);
    RunRegQuery(L"/reg:32", nul);
  });
  // Under Wine the first registry pass after reg's processes is slower by a quarter or more,
  // whichever measure it is: a pass of the floor, not timed, takes that in the peer's stead.
  Sleep(200);
  Floor();
  return ms;
}

// --- The table ----------------------------------------------------------------------------------

void Row(const Measure& m, const Measure& floor, uint32_t keys) {
  const double median = m.Median();
  Log("%-52s %10.1f %10.1f %10.0f %8.2fx %8.2fx\n", m.label.c_str(), median, m.Min(),
      keys / (median / 1000), median / floor.Median(), RoundRatio(m, floor));
}

void PrintCalls(const char* label, uint32_t opens, uint32_t enumKeys, uint32_t enumValues,
                uint32_t queries, uint32_t closes, uint32_t others, uint32_t keys) {
  const uint32_t total = opens + enumKeys + enumValues + queries + closes + others;
  Log("  %-12s %7u %9u %11u %7u %7u %6u %7u %9.2f\n", label, opens, enumKeys, enumValues, queries,
      closes, others, total, keys ? double(total) / keys : 0.0);
}

}  // namespace

void EnsureCatalogKeys(int times) { EnsureKeys(MakeLayout(kProducts * times)); }

void CheckCatalogProducts(const CNiLibrary& library, int times) {
  CheckEngine(library, MakeLayout(kProducts * times));
}

int RunCatalogBench(int rounds) {
  CreateDirectoryW(kBenchFolder, nullptr);
  Win32System system;
  if (!system.Is64BitWindows())
    Fail("the catalog benchmark needs 64-bit Windows (a 64-bit Wine prefix): two registry views");
  const Layout layout = MakeLayout();
  EnsureKeys(layout);

  Win32Registry registry;
  Win32FileSystem fs;
  CNiLibrary library(registry, fs, system);
  const ErrorCode resetResult = library.Reset();
  Log("catalog: Reset() gives %lu; catalogs of %u, %u and %u entries; hints %s\n",
      static_cast<unsigned long>(resetResult), unsigned(library.contentCatalog.Count()),
      unsigned(library.maschineCatalog.Count()), unsigned(library.reaktorCatalog.Count()),
      library.hints.IsLoaded() ? "loaded" : "not loaded");

  // What each measure finds, before any timing: the engine every product as written, the floor
  // and the peer the same keys.
  EngineRun(library);
  CheckEngine(library, layout);
  const size_t records = library.Count();
  const FloorCount floorCount = Floor();
  if (floorCount.keys64 < layout.keys64 + 3 || floorCount.keys32 < layout.keys32) {
    Fail(Str("the floor saw %u + %u keys, fewer than the %u + %u made", floorCount.keys64,
             floorCount.keys32, layout.keys64 + 3, layout.keys32));
  }
  const uint32_t peer64 = PeerKeys(L"/reg:64"), peer32 = PeerKeys(L"/reg:32");
  if (peer64 != floorCount.keys64 || peer32 != floorCount.keys32) {
    Fail(Str("reg query listed %u + %u keys, the floor %u + %u", peer64, peer32, floorCount.keys64,
             floorCount.keys32));
  }
  const uint32_t keys = floorCount.keys64 + floorCount.keys32;
  Log("catalog: the engine lists %u products; the floor and reg query read %u keys in the 64-bit "
      "view and %u in "
      "the 32-bit view (%u values) and %u catalog values\n",
      unsigned(records), floorCount.keys64, floorCount.keys32, floorCount.values,
      floorCount.catalogValues);

  HANDLE nul = InheritableOutput(L"NUL", OPEN_EXISTING);
  // In each round the engine, the floor and its variants, then the peer (see PeerRun).
  std::vector<Bench> benches;
  enum { kEngine, kFloor, kSkipping, kWholePaths, kPeer };
  EngineTimes last;
  std::vector<double> resets, scans;
  AddBench(benches, "(a) engine: Reset() + Scan(all)", [&] {
    last = EngineRun(library);
    if (library.Count() != records) Fail("the engine's count changed between runs");
    resets.push_back(last.reset);
    scans.push_back(last.scan);
    return last.reset + last.scan;
  });
  AddBench(benches, "(c) floor: RegEnumKeyExW/RegEnumValueW, both views", [&] {
    FloorCount count;
    const double ms = TimeIt([&] { count = Floor(); });
    if (!(count == floorCount)) Fail("the floor's counts changed between runs");
    return ms;
  });
  // The variants skip the keys of the 32-bit view whose names the 64-bit view has: the same keys
  // each time, at least the products made in both views.
  FloorCount skippingCount;
  auto variant = [&floorCount, &skippingCount](const FloorOptions& o) {
    return [o, &floorCount, &skippingCount] {
      FloorCount count;
      const double ms = TimeIt([&] { count = Floor(o); });
      if (count.keys64 != floorCount.keys64 || count.keys32 + count.skipped != floorCount.keys32 ||
          count.skipped < static_cast<uint32_t>(kProducts - k64Only - k32Only)) {
        Fail(Str("a variant of the floor read %u + %u keys and skipped %u", count.keys64,
                 count.keys32, count.skipped));
      }
      skippingCount = count;
      return ms;
    };
  };
  AddBench(benches, "(c1) floor skipping names seen, as the engine does", variant({true, false}));
  AddBench(benches, "(c2) as c1, keys opened by their whole path", variant({true, true}));
  AddBench(benches, "(b) peer: reg query /s, /reg:64 then /reg:32", [&] { return PeerRun(nul); });
  Log("measuring (1 warm-up round, then %d rounds of every measure in turn):\n", rounds);
  RunRounds(benches, rounds);
  CloseHandle(nul);
  resets.erase(resets.begin());  // the warm-up's
  scans.erase(scans.begin());
  CheckEngine(library, layout);

  // The engine's registry calls, counted and timed call by call in one more run.
  CountingRegistry countingRegistry;
  CNiLibrary counted(countingRegistry, fs, system);
  const EngineTimes countedTimes = EngineRun(counted);
  CheckEngine(counted, layout);
  const RegistryCalls& calls = countingRegistry.calls;

  const Measure& engine = benches[kEngine].measure;
  const Measure& peer = benches[kPeer].measure;
  const Measure& floor = benches[kFloor].measure;
  const Measure& skipping = benches[kSkipping].measure;
  Log("\nresults (HKLM\\%s: %d product keys made, %u in the 64-bit view and %u in the 32-bit view, "
      "%u of them in "
      "both, beside the prefix's own; %u keys read in all; median and min of %d runs after 1 "
      "warm-up)\n",
      ToUtf8(ni::kProductsKey).c_str(), kProducts, layout.keys64, layout.keys32,
      static_cast<uint32_t>(kProducts - k64Only - k32Only), keys, rounds);
  Log("(a) lists %u products; (c) reads every key of both views, also the %u names the 64-bit view "
      "has too, "
      "which (a) skips in its 32-bit pass, and the 3 catalogs\n",
      unsigned(records), static_cast<uint32_t>(kProducts - k64Only - k32Only));
  Log("(\"vs floor\": median over (c)'s median; \"by round\": median of the ratios to (c) of the "
      "same round)\n");
  Log("%-52s %10s %10s %10s %9s %9s\n", "measure", "median ms", "min ms", "keys/s", "vs floor",
      "by round");
  for (const Bench& b : benches) Row(b.measure, floor, keys);
  const double ratioFloor = engine.Median() / floor.Median(),
               ratioPeer = engine.Median() / peer.Median();
  Log("(a)/(c) = %.2f (aim 1.20: %s)   (a)/(b) = %.2f (aim below 1.00: %s)   from the medians; by "
      "round %.2f and "
      "%.2f\n",
      ratioFloor, ratioFloor <= 1.2 ? "met" : "missed", ratioPeer, ratioPeer < 1 ? "met" : "missed",
      RoundRatio(engine, floor), RoundRatio(engine, peer));
  Log("(a)/(c1) = %.2f: the engine over the floor that reads the keys the engine reads; by round "
      "%.2f\n",
      engine.Median() / skipping.Median(), RoundRatio(engine, skipping));
  Log("(a) of which Reset() (catalogs, hints file) median %.1f ms, Scan() median %.1f ms\n",
      MedianOf(resets), MedianOf(scans));
  Log("registry calls of one run (the engine's through the registry interface, counted in one more "
      "run):\n");
  Log("  %-12s %7s %9s %11s %7s %7s %6s %7s %9s\n", "", "opens", "enum keys", "enum values",
      "queries", "closes", "other", "total", "per key");
  PrintCalls("(a) engine", calls.opens, calls.enumKeys, calls.enumValues, calls.queries,
             calls.closes, calls.others, keys);
  PrintCalls("(c) floor", floorCount.opens, floorCount.enumKeys, floorCount.enumValues, 0,
             floorCount.closes, 0, keys);
  PrintCalls("(c1), (c2)", skippingCount.opens, skippingCount.enumKeys, skippingCount.enumValues, 0,
             skippingCount.closes, 0, keys);
  const double countedMs = countedTimes.reset + countedTimes.scan;
  Log("(a) counted run: %.1f ms, of which %.1f ms inside the registry calls (%.1f us a call) and "
      "%.1f ms the "
      "engine's own work (hints file read and parsed, records, sorting; timers included)\n",
      countedMs, calls.ms, calls.Total() ? 1000 * calls.ms / calls.Total() : 0.0,
      countedMs - calls.ms);
  return 0;
}

int RunCatalogScale(int rounds) {
  CreateDirectoryW(kBenchFolder, nullptr);
  Win32System system;
  if (!system.Is64BitWindows())
    Fail("the catalog benchmark needs 64-bit Windows (a 64-bit Wine prefix): two registry views");
  Win32Registry registry;
  Win32FileSystem fs;
  struct Size {
    int times;
    uint32_t keys = 0;
    std::vector<Bench> benches;
  };
  std::vector<Size> sizes;
  for (const int times : {1, 4, 16}) {
    Size size{times, 0, {}};
    const Layout layout = MakeLayout(kProducts * times);
    EnsureKeys(layout);
    CNiLibrary library(registry, fs, system);
    EngineRun(library);
    CheckEngine(library, layout);
    const size_t records = library.Count();
    const FloorCount floorCount = Floor();
    size.keys = floorCount.keys64 + floorCount.keys32;
    AddBench(size.benches, Str("(a) engine, %dx", times), [&library, records] {
      const EngineTimes t = EngineRun(library);
      if (library.Count() != records) Fail("the engine's count changed between runs");
      return t.reset + t.scan;
    });
    AddBench(size.benches, Str("(c) floor, %dx", times), [floorCount] {
      FloorCount count;
      const double ms = TimeIt([&] { count = Floor(); });
      if (!(count == floorCount)) Fail("the floor's counts changed between runs");
      return ms;
    });
    AddBench(size.benches, Str("(c1) floor skipping names seen, %dx", times), [floorCount] {
      FloorCount count;
      const double ms = TimeIt([&] { count = Floor({true, false}); });
      if (count.keys64 != floorCount.keys64 || count.keys32 + count.skipped != floorCount.keys32) {
        Fail("the floor variant's counts changed");
      }
      return ms;
    });
    Log("scale %dx (%d product keys, %u keys read by the floor): 1 warm-up round, then %d "
        "rounds:\n",
        times, layout.count, size.keys, rounds);
    RunRounds(size.benches, rounds);
    CheckEngine(library, layout);
    sizes.push_back(std::move(size));
  }
  // The benchmark's own layout again, for the other modes.
  EnsureKeys(MakeLayout());
  Log("\nresults (scale run of the catalog: %d, %d and %d product keys; median and min of %d "
      "rounds after 1 warm-up,\n"
      "each size in rounds of its own; us/key: over the keys the floor reads in both views)\n",
      kProducts, 4 * kProducts, 16 * kProducts, rounds);
  Log("%-52s %10s %10s %10s %10s\n", "measure", "median ms", "min ms", "us/key", "vs 1x");
  for (size_t m = 0; m < sizes[0].benches.size(); ++m) {
    const double base = sizes[0].benches[m].measure.Median() / sizes[0].keys;
    for (const Size& size : sizes) {
      const Measure& measure = size.benches[m].measure;
      const double perKey = measure.Median() / size.keys;
      Log("%-52s %10.1f %10.1f %10.2f %9.2fx\n", measure.label.c_str(), measure.Median(),
          measure.Min(), perKey * 1000, perKey / base);
    }
  }
  for (const Size& size : sizes) {
    Log("(a)/(c1) at %dx = %.2f by round\n", size.times,
        RoundRatio(size.benches[0].measure, size.benches[2].measure));
  }
  const double growth = (sizes.back().benches[0].measure.Median() / sizes.back().keys) /
                        (sizes.front().benches[0].measure.Median() / sizes.front().keys);
  Log("(a) time per key at 16x over 1x: %.2f (aim: at most 1.20: %s)\n", growth,
      growth <= 1.2 ? "met" : "missed");
  return 0;
}

}  // namespace tessaly::bench
