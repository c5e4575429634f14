// The Win32 registry backend against what only a real 64-bit system shows: the two views of
// HKLM\SOFTWARE for this 32-bit process and the shared HKCU, and values and classes larger than
// any first guess of a buffer.
#include <gtest/gtest.h>

#include "platform/win32/win32_api.h"
#include "platform/win32/win32_registry.h"
#include "tests/support/backends.h"

namespace tessaly::testing {
namespace {

class Win32RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    harness = Win32RegistryBackends().front().make();
    if (!harness->is64BitMachine) GTEST_SKIP() << "needs 64-bit Windows (two registry views)";
  }

  std::unique_ptr<RegistryKey> Create(RegRoot root, const std::wstring& path, uint32_t view) {
    std::unique_ptr<RegistryKey> key;
    EXPECT_EQ(harness->registry().CreateKey(root, path, L"", access::AllAccess | view, key), 0u);
    return key;
  }

  // The value's DWORD, or the error of opening the key or reading the value.
  uint32_t Read(RegRoot root, const std::wstring& path, uint32_t view, const wchar_t* name) {
    std::unique_ptr<RegistryKey> key;
    if (ErrorCode e = harness->registry().OpenKey(root, path, access::Read | view, key)) {
      return 0x10000 | e;
    }
    uint32_t value = 0;
    if (ErrorCode e = ReadDword(*key, name, value)) return 0x10000 | e;
    return value;
  }

  std::unique_ptr<RegistryHarness> harness;
};

constexpr uint32_t kMissing = 0x10000 | err::FileNotFound;

TEST_F(Win32RegistryTest, MachineSoftwareHasOneKeyPerView) {
  const std::wstring& path = harness->machineScratchPath;
  auto key64 = Create(RegRoot::LocalMachine, path, access::Wow64_64Key);
  auto key32 = Create(RegRoot::LocalMachine, path, access::Wow64_32Key);
  ASSERT_TRUE(key64 && key32);
  ASSERT_EQ(WriteDword(*key64, L"Written64", 64), 0u);
  ASSERT_EQ(WriteDword(*key32, L"Written32", 32), 0u);

  struct Case {
    uint32_t view;
    uint32_t written64, written32;
  };
  for (const Case& c :
       {Case{access::Wow64_64Key, 64, kMissing}, Case{access::Wow64_32Key, kMissing, 32},
        Case{0, kMissing, 32}}) {  // no flag: this 32-bit process's own view
    SCOPED_TRACE(c.view);
    EXPECT_EQ(Read(RegRoot::LocalMachine, path, c.view, L"Written64"), c.written64);
    EXPECT_EQ(Read(RegRoot::LocalMachine, path, c.view, L"Written32"), c.written32);
  }

  // Seen without redirection, the 32-bit key lives under Wow6432Node.
  const std::wstring below = path.substr(path.find(L'\\'));  // "\TessalyTests\..."
  HKEY raw = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, (L"SOFTWARE\\Wow6432Node" + below).c_str(), 0,
                          KEY_READ | KEY_WOW64_64KEY, &raw),
            ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueExW(raw, L"Written32", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueExW(raw, L"Written64", nullptr, nullptr, nullptr, nullptr),
            ERROR_FILE_NOT_FOUND);
  RegCloseKey(raw);
}

TEST_F(Win32RegistryTest, CurrentUserSoftwareIsSharedByBothViews) {
  const std::wstring& path = harness->scratchPath;
  auto key64 = Create(RegRoot::CurrentUser, path, access::Wow64_64Key);
  ASSERT_TRUE(key64);
  ASSERT_EQ(WriteDword(*key64, L"Written64", 64), 0u);
  auto key32 = Create(RegRoot::CurrentUser, path, access::Wow64_32Key);
  ASSERT_TRUE(key32);
  ASSERT_EQ(WriteDword(*key32, L"Written32", 32), 0u);
  for (uint32_t view : {access::Wow64_64Key, access::Wow64_32Key, 0u}) {
    SCOPED_TRACE(view);
    EXPECT_EQ(Read(RegRoot::CurrentUser, path, view, L"Written64"), 64u);
    EXPECT_EQ(Read(RegRoot::CurrentUser, path, view, L"Written32"), 32u);
  }
}

TEST_F(Win32RegistryTest, LongClassesAndLargeValuesComeBackWhole) {
  auto parent = Create(RegRoot::CurrentUser, harness->scratchPath, 0);
  ASSERT_TRUE(parent);
  const std::wstring childName(200, L'k');
  const std::wstring keyClass(1000, L'c');  // longer than any fixed first buffer
  std::unique_ptr<RegistryKey> child;
  ASSERT_EQ(parent->CreateSubKey(childName, keyClass, access::AllAccess, child), 0u);
  std::vector<uint8_t> big(100000);
  for (size_t i = 0; i < big.size(); ++i) big[i] = uint8_t(i * 7);
  const std::wstring valueName(3000, L'v');
  ASSERT_EQ(child->SetValue(valueName, regtype::Binary, big.data(), big.size()), 0u);

  std::wstring name, gotClass;
  ASSERT_EQ(parent->EnumKey(0, name, &gotClass), 0u);
  EXPECT_EQ(name, childName);
  EXPECT_EQ(gotClass, keyClass);
  EXPECT_EQ(parent->EnumKey(1, name), err::NoMoreItems);

  RegKeyInfo info;
  ASSERT_EQ(child->QueryInfo(info), 0u);
  EXPECT_EQ(info.keyClass, keyClass);
  EXPECT_EQ(info.values, 1u);
  EXPECT_EQ(info.maxValueNameLength, valueName.size());
  EXPECT_EQ(info.maxValueDataLength, big.size());

  uint32_t type = 0;
  std::vector<uint8_t> data;
  ASSERT_EQ(child->EnumValue(0, name, &type, &data), 0u);
  EXPECT_EQ(name, valueName);
  EXPECT_EQ(type, regtype::Binary);
  EXPECT_EQ(data, big);
  data.clear();
  ASSERT_EQ(child->QueryValue(valueName, &type, &data), 0u);
  EXPECT_EQ(data, big);
}

}  // namespace
}  // namespace tessaly::testing
