// The registry interface against every backend of the build: the fake machines prove here that
// they answer as Windows does (keys, values, key information, error codes and the 32/64-bit views).
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/text.h"
#include "tests/support/backends.h"

namespace tessaly {
namespace {

using Bytes = std::vector<uint8_t>;
constexpr ErrorCode kKeyDeleted = 1018;

class RegistryContractTest : public ::testing::TestWithParam<testing::RegistryBackend> {
 protected:
  void SetUp() override {
    harness = GetParam().make();
    ASSERT_TRUE(harness);
    ASSERT_EQ(reg().CreateKey(RegRoot::CurrentUser, harness->scratchPath, L"", access::AllAccess,
                              scratch),
              0u);
  }

  Registry& reg() { return harness->registry(); }

  std::unique_ptr<RegistryKey> Create(RegistryKey& parent, std::wstring_view path,
                                      std::wstring_view keyClass = L"") {
    std::unique_ptr<RegistryKey> key;
    EXPECT_EQ(parent.CreateSubKey(path, keyClass, access::AllAccess, key), 0u) << ToUtf8(path);
    return key;
  }

  static std::vector<std::wstring> SubKeys(RegistryKey& key) {
    std::vector<std::wstring> names;
    std::wstring name;
    uint32_t i = 0;
    ErrorCode e = 0;
    while ((e = key.EnumKey(i++, name)) == 0) names.push_back(name);
    EXPECT_EQ(e, err::NoMoreItems);
    return names;
  }

  struct Value {
    uint32_t type = 0;
    Bytes data;
    bool operator==(const Value&) const = default;
  };
  // Values by name: Wine enumerates them sorted, Windows in creation order.
  static std::map<std::wstring, Value> Values(RegistryKey& key) {
    std::map<std::wstring, Value> values;
    std::wstring name;
    Value v;
    uint32_t i = 0;
    ErrorCode e = 0;
    while ((e = key.EnumValue(i++, name, &v.type, &v.data)) == 0) values[name] = v;
    EXPECT_EQ(e, err::NoMoreItems);
    return values;
  }

  std::unique_ptr<testing::RegistryHarness> harness;
  std::unique_ptr<RegistryKey> scratch;  // HKCU\<scratch>, all access
};

TEST_P(RegistryContractTest, CreatesOpensAndEnumeratesKeysInWindowsOrder) {
  bool created = false;
  std::unique_ptr<RegistryKey> key;
  ASSERT_EQ(
      scratch->CreateSubKey(L"Parent\\Child", L"FirstClass", access::AllAccess, key, &created), 0u);
  EXPECT_TRUE(created) << "intermediate keys are created too";
  ASSERT_EQ(
      scratch->CreateSubKey(L"Parent\\Child", L"FirstClass", access::AllAccess, key, &created), 0u);
  EXPECT_FALSE(created);

  std::unique_ptr<RegistryKey> parent;
  ASSERT_EQ(scratch->OpenSubKey(L"PARENT", access::AllAccess, parent), 0u) << "names ignore case";
  for (const wchar_t* name : {L"beta", L"Alpha", L"gamma", L"Delta"}) Create(*parent, name);
  EXPECT_EQ(SubKeys(*parent),
            (std::vector<std::wstring>{L"Alpha", L"beta", L"Child", L"Delta", L"gamma"}));

  std::wstring name, keyClass;
  FileTime lastWrite = 0;
  ASSERT_EQ(parent->EnumKey(2, name, &keyClass, &lastWrite), 0u);
  EXPECT_EQ(name, L"Child");
  EXPECT_EQ(keyClass, L"FirstClass");
  EXPECT_NE(lastWrite, 0u);
  EXPECT_EQ(parent->EnumKey(5, name), err::NoMoreItems);

  std::unique_ptr<RegistryKey> missing;
  EXPECT_EQ(scratch->OpenSubKey(L"Parent\\Nope", access::Read, missing), err::FileNotFound);
  EXPECT_EQ(reg().OpenKey(RegRoot::CurrentUser, harness->scratchPath + L"\\Nope\\Deeper",
                          access::Read, missing),
            err::FileNotFound);
}

TEST_P(RegistryContractTest, ValuesRoundTripByteForByte) {
  const Bytes multi = ToUtf16Bytes(std::wstring(L"one\0two\0\0", 9), false);
  const std::map<std::wstring, Value> written = {
      {L"", {regtype::Sz, ToUtf16Bytes(L"default", true)}},
      {L"Text", {regtype::Sz, ToUtf16Bytes(L"C:\\Program Files\\\u00c4", true)}},
      {L"Expand", {regtype::ExpandSz, ToUtf16Bytes(L"%ProgramFiles%\\x", true)}},
      {L"Number", {regtype::Dword, {0x78, 0x56, 0x34, 0x12}}},
      {L"Big", {regtype::Qword, {1, 2, 3, 4, 5, 6, 7, 8}}},
      {L"List", {regtype::MultiSz, multi}},
      {L"Blob", {regtype::Binary, {0, 0xFF, 0, 7, 0}}},
      {L"Empty", {regtype::Binary, {}}},
  };
  for (const auto& [name, v] : written)
    ASSERT_EQ(scratch->SetValue(name, v.type, v.data.data(), v.data.size()), 0u) << ToUtf8(name);

  EXPECT_EQ(Values(*scratch), written);
  for (const auto& [name, v] : written) {
    Value read;
    ASSERT_EQ(scratch->QueryValue(name, &read.type, &read.data), 0u) << ToUtf8(name);
    EXPECT_EQ(read, v) << ToUtf8(name);
  }

  uint32_t number = 0;
  EXPECT_EQ(ReadDword(*scratch, L"NUMBER", number), 0u) << "value names ignore case";
  EXPECT_EQ(number, 0x12345678u);
  std::wstring text;
  EXPECT_EQ(ReadString(*scratch, L"", text), 0u);
  EXPECT_EQ(text, L"default");

  // Overwriting under another spelling keeps the name and its place.
  ASSERT_EQ(WriteDword(*scratch, L"number", 7), 0u);
  const auto values = Values(*scratch);
  EXPECT_EQ(values.count(L"Number"), 1u);
  EXPECT_EQ(values.count(L"number"), 0u);
  EXPECT_EQ(values.size(), written.size());
}

// The fixed-buffer forms: a name fits with its terminator, data fits exactly, one unit less is
// 234, and text stored without a terminator comes back without one.
TEST_P(RegistryContractTest, FixedBufferReadsFitExactlyOrSayMoreData) {
  std::unique_ptr<RegistryKey> key = Create(*scratch, L"Buffers");
  ASSERT_TRUE(key);
  Create(*key, L"Sub12345");
  const Bytes text = {'a', 0, 'b', 0, 'c', 0, 'd', 0};  // "abcd" without a terminator
  ASSERT_EQ(key->SetValue(L"Value", regtype::Sz, text.data(), text.size()), 0u);

  wchar_t name[16] = {};
  uint32_t length = 9;  // "Sub12345" and its terminator
  EXPECT_EQ(key->EnumKeyInto(0, name, length), 0u);
  EXPECT_EQ(std::wstring(name, length), L"Sub12345");
  length = 8;
  EXPECT_EQ(key->EnumKeyInto(0, name, length), err::MoreData);
  length = 16;
  EXPECT_EQ(key->EnumKeyInto(1, name, length), err::NoMoreItems);

  uint8_t data[16];
  std::fill(std::begin(data), std::end(data), 0xEE);
  uint32_t type = 0;
  uint32_t size = 8;
  length = 6;  // "Value" and its terminator
  EXPECT_EQ(key->EnumValueInto(0, name, length, &type, data, &size), 0u);
  EXPECT_EQ(std::wstring(name, length), L"Value");
  EXPECT_EQ(type, regtype::Sz);
  EXPECT_EQ(Bytes(data, data + size), text);
  EXPECT_EQ(data[8], 0xEE);  // nothing written after the data
  length = 16;
  size = 7;
  EXPECT_EQ(key->EnumValueInto(0, name, length, &type, data, &size), err::MoreData);
  length = 5;
  size = 16;
  EXPECT_EQ(key->EnumValueInto(0, name, length, &type, data, &size), err::MoreData);
  length = 16;
  EXPECT_EQ(key->EnumValueInto(0, name, length, nullptr, nullptr, nullptr), 0u);
  EXPECT_EQ(length, 5u);
  length = 16;
  EXPECT_EQ(key->EnumValueInto(1, name, length, nullptr, data, &size), err::NoMoreItems);

  size = 8;
  EXPECT_EQ(key->QueryValueInto(L"Value", &type, data, &size), 0u);
  EXPECT_EQ(size, 8u);
  size = 4;
  EXPECT_EQ(key->QueryValueInto(L"Value", &type, data, &size), err::MoreData);
  EXPECT_EQ(size, 8u);  // the size it needs
  size = 8;
  EXPECT_EQ(key->QueryValueInto(L"Missing", &type, data, &size), err::FileNotFound);
}

TEST_P(RegistryContractTest, MissingValuesAndDeletedValuesGiveNotFound) {
  uint32_t type = 0;
  Bytes data;
  EXPECT_EQ(scratch->QueryValue(L"Nothing", &type, &data), err::FileNotFound);
  EXPECT_EQ(scratch->QueryValue(L"", &type, &data), err::FileNotFound)
      << "a new key has no default value";
  ASSERT_EQ(WriteString(*scratch, L"Gone", L"x"), 0u);
  EXPECT_EQ(scratch->DeleteValue(L"GONE"), 0u);
  EXPECT_EQ(scratch->QueryValue(L"Gone", &type, &data), err::FileNotFound);
  EXPECT_EQ(scratch->DeleteValue(L"Gone"), err::FileNotFound);
}

TEST_P(RegistryContractTest, QueryInfoReportsCountsLongestNamesAndClass) {
  auto key = Create(*scratch, L"Info", L"InfoClass");
  ASSERT_TRUE(key);
  Create(*key, L"Short");
  Create(*key, L"ALongerName", L"TwelveChars!");
  ASSERT_EQ(WriteString(*key, L"Name", L"abc"), 0u);  // 8 bytes
  const Bytes blob(100, 1);
  ASSERT_EQ(key->SetValue(L"LongestValueName", regtype::Binary, blob.data(), blob.size()), 0u);

  RegKeyInfo info;
  ASSERT_EQ(key->QueryInfo(info), 0u);
  EXPECT_EQ(info.keyClass, L"InfoClass");
  EXPECT_EQ(info.subKeys, 2u);
  EXPECT_EQ(info.maxSubKeyLength, 11u);
  EXPECT_EQ(info.maxClassLength, 12u);
  EXPECT_EQ(info.values, 2u);
  EXPECT_EQ(info.maxValueNameLength, 16u);
  EXPECT_EQ(info.maxValueDataLength, 100u);
  EXPECT_NE(info.lastWriteTime, 0u);

  // Re-creating the key keeps its class.
  std::unique_ptr<RegistryKey> again;
  ASSERT_EQ(scratch->CreateSubKey(L"Info", L"OtherClass", access::AllAccess, again), 0u);
  ASSERT_EQ(again->QueryInfo(info), 0u);
  if (info.keyClass == L"OtherClass")
    GTEST_SKIP() << "this registry replaces the class of a re-created key (Wine does)";
  EXPECT_EQ(info.keyClass, L"InfoClass");
}

TEST_P(RegistryContractTest, LastWriteTimeNeverGoesBackOnAChange) {
  auto key = Create(*scratch, L"Times");
  RegKeyInfo before, after;
  ASSERT_EQ(key->QueryInfo(before), 0u);
  ASSERT_EQ(WriteDword(*key, L"v", 1), 0u);
  ASSERT_EQ(key->QueryInfo(after), 0u);
  EXPECT_GE(after.lastWriteTime, before.lastWriteTime);
  EXPECT_NE(after.lastWriteTime, 0u);
}

TEST_P(RegistryContractTest, DeletesOnlyKeysWithoutSubkeys) {
  auto key = Create(*scratch, L"Tree\\Leaf");
  EXPECT_EQ(scratch->DeleteSubKey(L"Tree", 0), err::AccessDenied);
  EXPECT_EQ(scratch->DeleteSubKey(L"Tree\\LEAF", 0), 0u);
  EXPECT_EQ(scratch->DeleteSubKey(L"Tree\\Leaf", 0), err::FileNotFound);
  EXPECT_EQ(scratch->DeleteSubKey(L"Tree", 0), 0u);
  EXPECT_EQ(SubKeys(*scratch), std::vector<std::wstring>{});
}

TEST_P(RegistryContractTest, AHandleToADeletedKeyReportsKeyDeleted) {
  auto key = Create(*scratch, L"Doomed");
  ASSERT_EQ(WriteDword(*key, L"v", 1), 0u);
  ASSERT_EQ(scratch->DeleteSubKey(L"Doomed", 0), 0u);
  uint32_t value = 0;
  EXPECT_EQ(ReadDword(*key, L"v", value), kKeyDeleted);
  EXPECT_EQ(WriteDword(*key, L"v", 2), kKeyDeleted);
  std::unique_ptr<RegistryKey> child;
  EXPECT_EQ(key->CreateSubKey(L"Child", L"", access::AllAccess, child), kKeyDeleted);
}

TEST_P(RegistryContractTest, AHandleOpenedForReadingCannotWrite) {
  Create(*scratch, L"ReadOnly");
  std::unique_ptr<RegistryKey> key;
  ASSERT_EQ(scratch->OpenSubKey(L"ReadOnly", access::Read, key), 0u);
  EXPECT_EQ(WriteDword(*key, L"v", 1), err::AccessDenied);
  EXPECT_EQ(key->DeleteValue(L"v"), err::AccessDenied);

  std::unique_ptr<RegistryKey> queryOnly;
  ASSERT_EQ(scratch->OpenSubKey(L"ReadOnly", access::QueryValue, queryOnly), 0u);
  std::wstring name;
  EXPECT_EQ(queryOnly->EnumKey(0, name), err::AccessDenied);
}

TEST_P(RegistryContractTest, MachineSoftwareHasTwoViewsOnA64BitMachine) {
  const std::wstring path = harness->machineScratchPath;
  std::unique_ptr<RegistryKey> key32, key64, key;
  ASSERT_EQ(reg().CreateKey(RegRoot::LocalMachine, path, L"",
                            access::AllAccess | access::Wow64_32Key, key32),
            0u);
  ASSERT_EQ(WriteString(*key32, L"Side", L"32"), 0u);
  ASSERT_EQ(reg().CreateKey(RegRoot::LocalMachine, path, L"",
                            access::AllAccess | access::Wow64_64Key, key64),
            0u);
  std::wstring side;
  const ErrorCode seen = ReadString(*key64, L"Side", side);

  // The program's own view (no flag) is the 32-bit one.
  ASSERT_EQ(reg().OpenKey(RegRoot::LocalMachine, path, access::Read, key), 0u);
  EXPECT_EQ(ReadString(*key, L"Side", side), 0u);
  EXPECT_EQ(side, L"32");

  std::unique_ptr<RegistryKey> software64, software32;
  ASSERT_EQ(reg().OpenKey(RegRoot::LocalMachine, L"SOFTWARE", access::Read | access::Wow64_64Key,
                          software64),
            0u);
  ASSERT_EQ(reg().OpenKey(RegRoot::LocalMachine, L"SOFTWARE", access::Read | access::Wow64_32Key,
                          software32),
            0u);
  std::unique_ptr<RegistryKey> node;
  const ErrorCode wowIn64 = software64->OpenSubKey(L"Wow6432Node", access::Read, node);
  const auto names64 = SubKeys(*software64);
  const auto names32 = SubKeys(*software32);
  auto lists = [](const std::vector<std::wstring>& names, std::wstring_view name) {
    for (const auto& n : names)
      if (EqualsNoCase(n, name)) return true;
    return false;
  };

  if (harness->is64BitMachine) {
    EXPECT_EQ(seen, err::FileNotFound) << "the 64-bit view must not see the 32-bit value";
    ASSERT_EQ(WriteString(*key64, L"Side", L"64"), 0u);
    EXPECT_EQ(ReadString(*key32, L"Side", side), 0u);
    EXPECT_EQ(side, L"32");
    EXPECT_EQ(wowIn64, 0u);
    EXPECT_TRUE(lists(names64, L"Wow6432Node"));
    EXPECT_FALSE(lists(names32, L"Wow6432Node"));
    // The 32-bit copy lives under Wow6432Node in the 64-bit view.
    std::unique_ptr<RegistryKey> physical;
    ASSERT_EQ(reg().OpenKey(RegRoot::LocalMachine,
                            L"SOFTWARE\\Wow6432Node" + path.substr(path.find(L'\\')),
                            access::Read | access::Wow64_64Key, physical),
              0u);
    EXPECT_EQ(ReadString(*physical, L"Side", side), 0u);
    EXPECT_EQ(side, L"32");
  } else {
    EXPECT_EQ(seen, 0u) << "a 32-bit machine has one view";
    EXPECT_EQ(side, L"32");
    EXPECT_EQ(wowIn64, err::FileNotFound);
    EXPECT_EQ(names64, names32);
  }
}

TEST_P(RegistryContractTest, CurrentUserIsSharedByBothViews) {
  const std::wstring path = harness->scratchPath + L"\\Shared";
  std::unique_ptr<RegistryKey> key64, key32;
  ASSERT_EQ(reg().CreateKey(RegRoot::CurrentUser, path, L"",
                            access::AllAccess | access::Wow64_64Key, key64),
            0u);
  ASSERT_EQ(WriteDword(*key64, L"v", 64), 0u);
  ASSERT_EQ(reg().OpenKey(RegRoot::CurrentUser, path, access::Read | access::Wow64_32Key, key32),
            0u);
  uint32_t v = 0;
  EXPECT_EQ(ReadDword(*key32, L"v", v), 0u);
  EXPECT_EQ(v, 64u);
}

INSTANTIATE_TEST_SUITE_P(Backends, RegistryContractTest,
                         ::testing::ValuesIn(testing::AllRegistryBackends()),
                         testing::BackendNamePrinter());

}  // namespace
}  // namespace tessaly
