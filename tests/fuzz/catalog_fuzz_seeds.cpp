// Writes the seed corpora of the catalog fuzz targets into the folder given, one subfolder each:
// product_hints/ and file_database/ (small documents, valid and broken, UTF-8 and UTF-16), and
// registry_record/ (registry values in registry_record_fuzz's input format).
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Of(const std::string& text) { return Bytes(text.begin(), text.end()); }

// ASCII text as UTF-16 with its byte-order mark.
Bytes Utf16(const std::string& text, bool bigEndian) {
  Bytes out = bigEndian ? Bytes{0xFE, 0xFF} : Bytes{0xFF, 0xFE};
  for (char c : text) {
    if (bigEndian) out.push_back(0);
    out.push_back(uint8_t(c));
    if (!bigEndian) out.push_back(0);
  }
  return out;
}

const std::string kHints =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<ProductHints>\n"
    " <Product>\n"
    "  <RegKey>Alpha Synth</RegKey><Name>Alpha</Name><Type>App</Type>\n"
    "  <BinName>Alpha Synth</BinName>\n"
    "  <BinName target=\"VST\" platform=\"PC\">Alpha VST</BinName>\n"
    "  <BinName target=\"AAX\">Alpha AAX</BinName>\n"
    "  <HostMode>Standalone</HostMode>\n"
    "  <Relevance><Engine nativeContent=\"true\">Kontakt</Engine><Engine>Reaktor</Engine>"
    "</Relevance>\n"
    " </Product>\n"
    " <Product><RegKey>Beta Fx</RegKey><Type>Plugin</Type><BinName>Beta</BinName>"
    "<HostMode>None</HostMode></Product>\n"
    " <Product><RegKey>Gamma Library</RegKey><Type>Content</Type><PoweredBy>Kontakt</PoweredBy>"
    "<Relevance><Engine nativeContent=\"false\">Maschine</Engine><Engine>KKontrol</Engine>"
    "</Relevance></Product>\n"
    " <Product><RegKey>Suite One</RegKey><Type>Bundle</Type><Members><Member>Alpha Synth</Member>"
    "<Member>Beta Fx</Member><Other>Gamma Library</Other><!-- a note --><Member></Member>"
    "<Member>alpha synth</Member>loose text</Members></Product>\n"
    " <Product><Name>Only A Name</Name><Type>App</Type><BinName>No Key</BinName></Product>\n"
    " <Product><RegKey>alpha synth</RegKey><Type>Utility</Type></Product>\n"
    "</ProductHints>\n";

std::vector<std::pair<std::string, Bytes>> HintsSeeds() {
  const std::string longName(256, 'L');  // one past what takes an extension in a path buffer
  return {
      {"valid", Of(kHints)},
      {"valid_utf16le_bom", Utf16(kHints, false)},
      {"valid_utf16be_bom", Utf16(kHints, true)},
      {"empty", {}},
      {"not_xml", Of("this is not XML < & >")},
      {"no_root", Of("<?xml version=\"1.0\"?>\n<!-- nothing -->\n")},
      {"other_root", Of("<FileDatabase><Product><RegKey>A</RegKey></Product></FileDatabase>")},
      {"unclosed", Of("<ProductHints><Product><RegKey>A</RegKey>")},
      {"entries_without_keys",
       Of("<ProductHints><Product/><Product><Name>Named</Name><Type>Utility</Type></Product>"
          "<Product><Type>App</Type><BinName>Nameless</BinName></Product>"
          "<Product><RegKey></RegKey><Type>Plugin</Type></Product></ProductHints>")},
      {"bin_names",
       Of("<ProductHints><Product><RegKey>Delta</RegKey><Type>App</Type>"
          "<BinName target=\"vst\" platform=\"pc\">Delta VST</BinName>"
          "<BinName target=\"VST\" platform=\"Mac\">Delta Mac</BinName>"
          "<BinName platform=\"PC\">Delta</BinName><BinName></BinName>"
          "<BinName>" +
          longName + "</BinName><BinName>" + longName.substr(1) +
          "</BinName>"
          "</Product><Product><RegKey>Epsilon</RegKey><Type>plugin</Type>"
          "<HostMode>none</HostMode><BinName>Eps</BinName><BinName target=\"VST\">Eps VST"
          "</BinName></Product></ProductHints>")},
      {"members",
       Of("<ProductHints><Product><RegKey>Suite</RegKey><Type>BUNDLE</Type><Members>"
          "<Other>skipped</Other><Member><![CDATA[First]]></Member><Member/>"
          "<Nested><Member>Inner</Member></Nested><?pi x?><Member>first</Member>"
          "</Members><Members><Member>Second List</Member></Members></Product>"
          "<Product><RegKey>suite</RegKey><Type>Bundle</Type><Members><Member>More</Member>"
          "</Members></Product><Product><RegKey>Empty Suite</RegKey><Type>Bundle</Type>"
          "</Product></ProductHints>")},
      {"entities",
       Of("<!DOCTYPE ProductHints [<!ENTITY e \"x\">]><ProductHints><Product>"
          "<RegKey>A &amp; B &#233; &#x1F600;</RegKey><Type>App</Type><BinName>A&amp;B</BinName>"
          "</Product></ProductHints>")},
  };
}

const std::string kDatabase =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<FileDatabase>\n"
    " <Header RegKey=\"Before The First Product\"/>\n"
    " <Product RegKey=\"Alpha Synth\"><AppFile>Alpha Synth.exe</AppFile>"
    "<PluginFile>Alpha VST.dll</PluginFile><Type>App</Type></Product>\n"
    " <Other RegKey=\"After A Product\"><AppFile>Other.exe</AppFile></Other>\n"
    " <Product RegKey=\"alpha synth\"><AppFile>Second.exe</AppFile><Type>App</Type></Product>\n"
    " <Product><AppFile>No Key.exe</AppFile></Product>\n"
    " <Product RegKey=\"\"><Type>Plugin</Type></Product>\n"
    "</FileDatabase>\n";

std::vector<std::pair<std::string, Bytes>> DatabaseSeeds() {
  return {
      {"valid", Of(kDatabase)},
      {"valid_utf16le_bom", Utf16(kDatabase, false)},
      {"empty", {}},
      {"not_xml", Of("RegKey=\"A\"")},
      {"no_root", Of("<?xml version=\"1.0\"?>")},
      {"other_root", Of("<ProductHints><Product RegKey=\"A\"/></ProductHints>")},
      {"no_products", Of("<FileDatabase><Item RegKey=\"A\"/>text</FileDatabase>")},
  };
}

// registry_record_fuzz's input: a flags byte, then values.
class RegistryInput {
 public:
  explicit RegistryInput(uint8_t flags) { bytes_.push_back(flags); }
  enum Where : uint8_t { Key64 = 0, Key32 = 1, User = 2, Catalog = 3 };

  // A known name by its index in the target's list (0 ContentDir, 1 SystemContentDir,
  // 2 ContentVersion, 3 InstallDir, 4 InstallVSTDir, 5 InstallVST64Dir, 6 HU, 7 JDX, 8 KEY,
  // 9 SNO, 10 SYSTEMID, 11 Visibility, 12 UserListIndex, 13 UserRemoved).
  // `length` is the data's length in bytes; the pattern repeats to it (default: the pattern's).
  RegistryInput& Known(Where where, uint8_t index, uint8_t type, const Bytes& pattern,
                       int length = -1) {
    bytes_.push_back(where);
    bytes_.push_back(index);
    return Data(type, pattern, length);
  }
  RegistryInput& Named(Where where, const std::string& units, uint16_t nameLength, uint8_t type,
                       const Bytes& pattern, int length = -1) {
    bytes_.push_back(where);
    bytes_.push_back(0x80);
    Put16(nameLength);
    bytes_.push_back(uint8_t(units.size()));
    for (char c : units) Put16(uint8_t(c));
    return Data(type, pattern, length);
  }
  const Bytes& bytes() const { return bytes_; }

 private:
  RegistryInput& Data(uint8_t type, const Bytes& pattern, int length) {
    bytes_.push_back(type);
    Put16(uint16_t(length < 0 ? pattern.size() : size_t(length)));
    bytes_.push_back(uint8_t(pattern.size()));
    bytes_.insert(bytes_.end(), pattern.begin(), pattern.end());
    return *this;
  }
  void Put16(uint16_t v) {
    bytes_.push_back(uint8_t(v));
    bytes_.push_back(uint8_t(v >> 8));
  }
  Bytes bytes_;
};

// UTF-16LE of ASCII text, with a terminator when asked.
Bytes Sz(const std::string& text, bool terminator = true) {
  Bytes out;
  for (char c : text) {
    out.push_back(uint8_t(c));
    out.push_back(0);
  }
  if (terminator) out.insert(out.end(), {0, 0});
  return out;
}

std::vector<std::pair<std::string, Bytes>> RegistrySeeds() {
  using R = RegistryInput;
  constexpr uint8_t kSz = 1, kBinary = 3, kDword = 4, kMultiSz = 7;
  const Bytes wide = {'A', 0};
  return {
      {"content_product", R(0).Known(R::Key64, 0, kSz, Sz("C:\\Content\\Alpha"))
                              .Known(R::Key64, 2, kSz, Sz("1.0.0"))
                              .Known(R::Key64, 6, kBinary, {1, 2, 3}, 3)
                              .Known(R::Key64, 7, kBinary, {4}, 1)
                              .Known(R::Key64, 11, kDword, {1, 0, 0, 0}, 4)
                              .Known(R::User, 12, kDword, {3, 0, 0, 0}, 4)
                              .Known(R::User, 13, kDword, {1, 0, 0, 0}, 4)
                              .bytes()},
      {"program_both_views", R(0).Known(R::Key64, 3, kSz, Sz("C:\\Program Files\\Alpha"))
                                 .Known(R::Key64, 4, kSz, Sz("C:\\VST32"))
                                 .Known(R::Key64, 5, 0x42, Sz("C:\\VST64"))
                                 .Known(R::Key32, 3, kSz, Sz("C:\\Program Files (x86)\\Alpha"))
                                 .Known(R::Key32, 9, kSz, Sz("123-456"))
                                 .Known(R::Key32, 8 | 0x40, kBinary, {9, 9}, 2)
                                 .Known(R::Key32, 10, kBinary, {7}, 1)
                                 .bytes()},
      {"texts_at_the_buffer",
       R(0).Known(R::Key64, 9, kSz, wide, 2048)                // fills the buffer, no terminator
           .Known(R::Key64, 2, kSz, wide, 2050)                // one unit past it
           .Known(R::Key64, 3, kSz, Sz("D:\\", false))         // no terminator
           .Known(R::Key64, 4, kSz, {'E', 0, ':', 0, 'x'}, 5)  // an odd byte count
           .Known(R::Key64, 0, kMultiSz, Sz(std::string("A\0B", 3)), 10)
           .Known(R::Key64, 6, kBinary, {0}, 2100)  // presence that does not fit
           .bytes()},
      {"dwords_of_other_sizes",
       R(0).Known(R::Key64, 11, kDword, {0xFF, 0xFE}, 2)
           .Known(R::Key32, 11, kDword, {1, 2, 3, 4, 5, 6, 7, 8}, 8)
           .Known(R::User, 12, kSz, Sz("7"))
           .Known(R::User, 13, kDword, {1}, 5)
           .Known(R::Key64, 12, kDword, {1, 0, 0, 0}, 4)  // a user value in the machine key
           .bytes()},
      {"system_content", R(0).Known(R::Key64, 1, kSz, Sz("C:\\System Content"))
                             .Known(R::Key64, 0, kSz, Sz("C:\\User Content"))
                             .Known(R::Key32, 1, kSz, wide, 2100)
                             .Known(R::Key32, 0, kSz, Sz("C:\\Only Content"))
                             .bytes()},
      {"names_at_the_buffer", R(0).Named(R::Key64, "N", 1023, kSz, Sz("fits"))
                                  .Named(R::Key64, "N", 1024, kSz, Sz("one past"))
                                  .Named(R::Key64, "N", 1025, kSz, Sz("two past"))
                                  .Known(R::Key64, 9, kSz, Sz("after the long names"))
                                  .Named(R::Key64, "sno", 3, kDword, {1, 0, 0, 0}, 4)
                                  .bytes()},
      {"catalog", R(0x00)
                      .Named(R::Catalog, "Lib A", 5, kSz, Sz("Alpha Library"))
                      .Named(R::Catalog, "Lib B", 5, kSz, Sz("ALPHA LIBRARY"))
                      .Named(R::Catalog, "Lib C", 5, kSz, wide, 2049)
                      .Named(R::Catalog, "L", 1024, kSz, Sz("Long Name"))
                      .Named(R::Catalog, "", 0, kBinary, {}, 0)
                      .bytes()},
      {"maschine_catalog", R(0x20).Named(R::Catalog, "1", 1, kSz, Sz("Beta Kit", false)).bytes()},
      {"reaktor_catalog", R(0x40).Named(R::Catalog, "1", 1, kSz, Sz("Gamma Ensemble")).bytes()},
      {"machine32", R(0x01).Known(R::Key32, 3, kSz, Sz("C:\\Alpha")).bytes()},
      {"missing_keys", R(0x1E).Known(R::Key32, 9, kSz, Sz("only here")).bytes()},
  };
}

bool WriteAll(const std::filesystem::path& folder,
              const std::vector<std::pair<std::string, Bytes>>& seeds) {
  std::filesystem::create_directories(folder);
  for (const auto& [name, bytes] : seeds) {
    const std::string path = (folder / name).string();
    FILE* file = std::fopen(path.c_str(), "wb");
    const bool ok = file && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (file) std::fclose(file);
    if (!ok) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s corpus-folder\n", argv[0]);
    return 2;
  }
  const std::filesystem::path root = argv[1];
  return WriteAll(root / "product_hints", HintsSeeds()) &&
                 WriteAll(root / "file_database", DatabaseSeeds()) &&
                 WriteAll(root / "registry_record", RegistrySeeds())
             ? 0
             : 1;
}
