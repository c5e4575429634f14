// Program-files and common-files folders as each system backend gives them: a 32-bit program on
// 64-bit Windows must get the real 64-bit folders and the "(x86)" ones apart.
#include <gtest/gtest.h>

#include <string>

#include "platform/locations.h"
#include "platform/text.h"
#include "tests/support/backends.h"

namespace tessaly {
namespace {

class LocationsContractTest : public ::testing::TestWithParam<testing::FileSystemBackend> {};

TEST_P(LocationsContractTest, TellsThe64BitAndThe32BitFoldersApart) {
  auto harness = GetParam().make();
  System& system = harness->system();
  if (!system.Is64BitWindows()) GTEST_SKIP() << "32-bit Windows has one program-files folder";
  for (auto get : {GetProgramFilesFolder, GetCommonFilesFolder}) {
    std::wstring folder64, folder32;
    ASSERT_EQ(get(system, true, folder64), 0u);
    ASSERT_EQ(get(system, false, folder32), 0u);
    EXPECT_NE(CompareNoCase(folder64, folder32), 0) << ToUtf8(folder64);
    EXPECT_NE(folder32.find(L" (x86)"), std::wstring::npos) << ToUtf8(folder32);
    EXPECT_EQ(folder64.find(L" (x86)"), std::wstring::npos) << ToUtf8(folder64);
  }
}

INSTANTIATE_TEST_SUITE_P(Backends, LocationsContractTest,
                         ::testing::ValuesIn(testing::AllFileSystemBackends()),
                         testing::BackendNamePrinter());

}  // namespace
}  // namespace tessaly
