// Writes a seed corpus for version_resource_fuzz into the folder given: built PE images (PE32
// and PE32+) with version resources, and bare version blocks.
#include <cstdio>
#include <string>
#include <vector>

#include "tests/unit/pe_test_images.h"

using namespace tessaly;
using namespace tessaly::testing;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s corpus-folder\n", argv[0]);
    return 2;
  }
  const std::vector<uint8_t> one = StandardVersionInfo({{0x0409, 1200}});
  const std::vector<uint8_t> two = StandardVersionInfo({{0x0407, 1252}, {0x0409, 1200}});
  PeLayout languages;
  languages.resources = {{16, 1, 0x0407, one}, {16, 1, 0x0409, two}, {6, 1, 0x0409, {1, 2}}};
  const std::vector<std::pair<const char*, std::vector<uint8_t>>> seeds = {
      {"version_block", one},
      {"version_block_two_tables", two},
      {"pe32_i386", VersionedDll(one).bytes},
      {"pe32plus_amd64", VersionedDll(two, pe::kMachineAmd64, true).bytes},
      {"pe32_two_languages", BuildPe(languages).bytes},
  };
  for (const auto& [name, bytes] : seeds) {
    const std::string path = std::string(argv[1]) + "/" + name;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
    std::fclose(file);
  }
  return 0;
}
