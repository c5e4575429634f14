// The driver's own tests, against the probe program: finding pages and message boxes, reading
// and operating controls, exit codes, killing a hung run, screenshots, and the state helpers.
#include "tests/e2e/driver.h"
#include "tests/e2e/fit_check.h"

#include <shlobj.h>

#include <gtest/gtest.h>
#include <zlib.h>

#include <memory>
#include <random>

#include "platform/registry.h"
#include "platform/win32/win32_registry.h"
#include "tests/e2e/probe/probe_ids.h"

namespace tessaly::e2e {
namespace {

namespace probe = tessaly::e2e::probe;
constexpr Milliseconds kShortTimeout{300};

std::wstring ProbePath() { return PathFromEnvironment(L"TESSALY_PROBE"); }

std::optional<std::wstring> ReadString(RegRoot root, const wchar_t* path, const wchar_t* name,
                                       uint32_t view = 0) {
  Win32Registry registry;
  std::unique_ptr<RegistryKey> key;
  std::wstring value;
  if (registry.OpenKey(root, path, access::Read | view, key) != 0 ||
      tessaly::ReadString(*key, name, value) != 0) {
    return std::nullopt;
  }
  return value;
}

std::optional<uint32_t> ReadProbeDword(const wchar_t* name) {
  Win32Registry registry;
  std::unique_ptr<RegistryKey> key;
  uint32_t value = 0;
  if (registry.OpenKey(RegRoot::CurrentUser, probe::kKey, access::Read, key) != 0 ||
      ReadDword(*key, name, value) != 0) {
    return std::nullopt;
  }
  return value;
}

std::vector<uint8_t> ReadFileBytes(const std::wstring& path) {
  std::vector<uint8_t> bytes;
  HANDLE file =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  bytes.resize(GetFileSize(file, nullptr));
  DWORD read = 0;
  if (!ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) read = 0;
  bytes.resize(read);
  CloseHandle(file);
  return bytes;
}

void WriteFileBytes(const std::wstring& path, const void* data, size_t size) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << GetLastError();
  DWORD written = 0;
  WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr);
  CloseHandle(file);
  ASSERT_EQ(written, size);
}

std::wstring TempPath(const wchar_t* name) {
  wchar_t folder[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, folder);
  return std::wstring(folder) + name;
}

uint32_t BigEndian(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// A PNG reader for what the driver writes (8-bit RGB, no interlace), independent of its writer:
// checks the signature, every chunk's CRC and the header, inflates the data and undoes all five
// row filters. An empty image for anything malformed, with the reason in `error`.
Image DecodePng(const std::vector<uint8_t>& png, std::string& error) {
  static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (png.size() < 8 || !std::equal(signature, signature + 8, png.begin())) {
    error = "signature";
    return {};
  }
  Image image;
  std::vector<uint8_t> compressed;
  bool ended = false;
  for (size_t at = 8; at + 12 <= png.size() && !ended;) {
    const uint32_t length = BigEndian(&png[at]);
    if (at + 12 + length > png.size()) {
      error = "chunk length";
      return {};
    }
    const std::string type(png.begin() + at + 4, png.begin() + at + 8);
    const uint8_t* data = &png[at + 8];
    if (crc32(0, &png[at + 4], length + 4) != BigEndian(data + length)) {
      error = "CRC of " + type;
      return {};
    }
    if (type == "IHDR") {
      if (length != 13 || data[8] != 8 || data[9] != 2 || data[10] != 0 || data[11] != 0 ||
          data[12] != 0) {
        error = "header";
        return {};
      }
      image.width = static_cast<int>(BigEndian(data));
      image.height = static_cast<int>(BigEndian(data + 4));
    } else if (type == "IDAT") {
      compressed.insert(compressed.end(), data, data + length);
    } else if (type == "IEND") {
      ended = true;
    }
    at += 12 + length;
  }
  if (!ended || image.width <= 0 || image.height <= 0) {
    error = "missing IHDR or IEND";
    return {};
  }
  const size_t rowBytes = static_cast<size_t>(image.width) * 3;
  std::vector<uint8_t> raw((rowBytes + 1) * image.height);
  uLongf rawSize = static_cast<uLongf>(raw.size());
  if (uncompress(raw.data(), &rawSize, compressed.data(), static_cast<uLong>(compressed.size())) !=
          Z_OK ||
      rawSize != raw.size()) {
    error = "image data";
    return {};
  }
  image.rgb.resize(rowBytes * image.height);
  for (int y = 0; y < image.height; ++y) {
    const uint8_t filter = raw[(rowBytes + 1) * y];
    const uint8_t* in = &raw[(rowBytes + 1) * y + 1];
    uint8_t* out = &image.rgb[rowBytes * y];
    for (size_t i = 0; i < rowBytes; ++i) {
      const int a = i >= 3 ? out[i - 3] : 0;
      const int b = y > 0 ? out[i - rowBytes] : 0;
      const int c = i >= 3 && y > 0 ? out[i - rowBytes - 3] : 0;
      int predictor = 0;
      switch (filter) {
        case 0: break;
        case 1: predictor = a; break;
        case 2: predictor = b; break;
        case 3: predictor = (a + b) / 2; break;
        case 4: {
          const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
          predictor = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
          break;
        }
        default: error = "filter type"; return {};
      }
      out[i] = static_cast<uint8_t>(in[i] + predictor);
    }
  }
  return image;
}

// Pixels of the probe's page colour inside `rect` (screen coordinates) of a full-screen image.
int CountBackground(const Image& image, RECT rect) {
  int count = 0;
  for (int y = std::max<int>(rect.top, 0); y < std::min<int>(rect.bottom, image.height); ++y) {
    for (int x = std::max<int>(rect.left, 0); x < std::min<int>(rect.right, image.width); ++x) {
      const uint8_t* p = &image.rgb[(static_cast<size_t>(y) * image.width + x) * 3];
      count += p[0] == probe::kBackground[0] && p[1] == probe::kBackground[1] &&
               p[2] == probe::kBackground[2];
    }
  }
  return count;
}

void DeleteProbeKey() { RegDeleteTreeW(HKEY_CURRENT_USER, probe::kKey); }

// A running probe showing its page, with the probe's registry key cleared before and after.
class ProbeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(ProbePath().empty()) << "TESSALY_PROBE is not set";
    DeleteProbeKey();
    ASSERT_EQ(run.Start(ProbePath()), 0u);
    page = FindPage(run, probe::kPageTitle);
    ASSERT_NE(page, nullptr) << "no page titled "
                             << "Probe - Page";
  }
  void TearDown() override { DeleteProbeKey(); }

  ProgramRun run;
  HWND page = nullptr;
};

TEST_F(ProbeTest, FindsThePageByItsExactTitleInItsOwnProcess) {
  wchar_t className[32] = {};
  GetClassNameW(page, className, 32);
  EXPECT_STREQ(className, L"#32770");
  EXPECT_EQ(Title(page), probe::kPageTitle);
  EXPECT_EQ(FindPage(run, L"Probe - Pag", kShortTimeout), nullptr);
  EXPECT_EQ(FindPage(run, L"probe - page", kShortTimeout), nullptr);
  ProgramRun another;
  EXPECT_EQ(FindPage(another, probe::kPageTitle, kShortTimeout), nullptr);
  const RECT rect = WindowRect(page);
  EXPECT_GT(rect.right - rect.left, 100);
  EXPECT_GT(rect.bottom - rect.top, 50);
}

TEST_F(ProbeTest, ReadsAndSetsControlsAndTheProgramActsOnThem) {
  EXPECT_EQ(Text(page, IDC_PROBE_NAME), std::optional<std::wstring>(probe::kInitialName));
  const std::wstring name = L"Gr\u00FC\u00DFe \u65E5\u672C 7";
  ASSERT_TRUE(SetText(page, IDC_PROBE_NAME, name));
  EXPECT_EQ(Text(page, IDC_PROBE_NAME), std::optional<std::wstring>(name));

  EXPECT_EQ(CheckState(page, IDC_PROBE_OPTION), std::optional<int>(BST_UNCHECKED));
  ASSERT_TRUE(Click(page, IDC_PROBE_OPTION));
  EXPECT_TRUE(WaitUntil([&] { return CheckState(page, IDC_PROBE_OPTION) == BST_CHECKED; }));

  EXPECT_TRUE(IsEnabled(page, IDC_PROBE_ASK));
  EXPECT_FALSE(IsEnabled(page, IDC_PROBE_LOCKED));
  EXPECT_FALSE(Click(page, IDC_PROBE_LOCKED)) << "a disabled button cannot be clicked";
  EXPECT_TRUE(IsVisible(page, IDC_PROBE_NAME));
  EXPECT_FALSE(IsVisible(page, IDC_PROBE_HIDDEN));
  EXPECT_FALSE(Click(page, IDC_PROBE_HIDDEN)) << "a hidden control cannot be clicked";
  EXPECT_EQ(Text(page, 4242), std::nullopt);
  EXPECT_EQ(CheckState(page, 4242), std::nullopt);
  EXPECT_FALSE(SetText(page, 4242, L"x"));
  SaveScreenshot(L"filled");

  ASSERT_TRUE(Click(page, IDC_PROBE_NEXT));
  EXPECT_EQ(run.WaitForExit(), std::optional<uint32_t>(IDC_PROBE_NEXT));
  EXPECT_EQ(ReadString(RegRoot::CurrentUser, probe::kKey, L"Name"),
            std::optional<std::wstring>(name));
  EXPECT_EQ(ReadProbeDword(L"Option"), std::optional<uint32_t>(1));
}

struct AnswerCase {
  int button;
  const wchar_t* stored;
};
void PrintTo(const AnswerCase& c, std::ostream* os) { *os << "button " << c.button; }

class MessageBoxTest : public ProbeTest, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(MessageBoxTest, IsFoundReadAndAnswered) {
  // The page has a static with id 0xFFFF too ("Name:"), but an edit: it is no message box.
  EXPECT_EQ(FindMessageBox(run, nullptr, kShortTimeout), std::nullopt);

  ASSERT_TRUE(Click(page, IDC_PROBE_ASK));
  const std::optional<MessageBoxInfo> box = FindMessageBox(run, page);
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(box->owner, page);
  EXPECT_EQ(box->caption, probe::kBoxCaption);
  EXPECT_EQ(box->text, probe::kBoxText);
  EXPECT_EQ(box->buttons, (std::vector<int>{IDYES, IDNO}));
  const std::optional<MessageBoxInfo> anyOwner = FindMessageBox(run, nullptr, kShortTimeout);
  ASSERT_TRUE(anyOwner.has_value());
  EXPECT_EQ(anyOwner->window, box->window);
  EXPECT_EQ(FindMessageBox(run, GetDesktopWindow(), kShortTimeout), std::nullopt);
  SaveScreenshot(L"question");

  EXPECT_FALSE(Answer(*box, IDOK, kShortTimeout)) << "the box has no OK button";
  ASSERT_TRUE(Answer(*box, GetParam().button));
  EXPECT_TRUE(WaitUntil(
      [] { return ReadString(RegRoot::CurrentUser, probe::kKey, L"Answer").has_value(); }));
  EXPECT_EQ(ReadString(RegRoot::CurrentUser, probe::kKey, L"Answer"),
            std::optional<std::wstring>(GetParam().stored));
  SaveScreenshot(L"answered");

  ASSERT_TRUE(Click(page, IDCANCEL));
  EXPECT_EQ(run.WaitForExit(), std::optional<uint32_t>(IDCANCEL));
}

INSTANTIATE_TEST_SUITE_P(Answers, MessageBoxTest,
                         ::testing::Values(AnswerCase{IDYES, L"Yes"}, AnswerCase{IDNO, L"No"}),
                         [](const auto& info) {
                           return info.param.button == IDYES ? "Yes" : "No";
                         });

struct EndCase {
  const char* name;
  std::function<bool(HWND)> act;
  uint32_t exitCode;
};
void PrintTo(const EndCase& c, std::ostream* os) { *os << c.name; }

class ExitCodeTest : public ProbeTest, public ::testing::WithParamInterface<EndCase> {};

TEST_P(ExitCodeTest, IsThePageEndCode) {
  ASSERT_TRUE(GetParam().act(page));
  EXPECT_TRUE(WaitForClose(page));
  EXPECT_EQ(run.WaitForExit(), std::optional<uint32_t>(GetParam().exitCode));
  EXPECT_FALSE(run.Running());
}

INSTANTIATE_TEST_SUITE_P(
    Ends, ExitCodeTest,
    ::testing::Values(
        EndCase{"Next", [](HWND p) { return Click(p, IDC_PROBE_NEXT); }, IDC_PROBE_NEXT},
        EndCase{"Cancel", [](HWND p) { return Click(p, IDCANCEL); }, IDCANCEL},
        EndCase{"SystemMenuClose", [](HWND p) { return SysCommand(p, SC_CLOSE); }, IDCANCEL}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProbeTest, ScreenshotIsAValidPngThatShowsThePage) {
  const std::wstring first = SaveScreenshot(L"page");
  ASSERT_FALSE(first.empty()) << "TESSALY_ARTIFACTS missing or not writable";
  EXPECT_NE(first.find(L"\\ProbeTest.ScreenshotIsAValidPngThatShowsThePage\\01-page.png"),
            std::wstring::npos)
      << std::string(first.begin(), first.end());
  const std::wstring second = SaveScreenshot(L"again");
  EXPECT_NE(second.find(L"\\02-again.png"), std::wstring::npos);

  std::string error;
  const Image image = DecodePng(ReadFileBytes(first), error);
  ASSERT_TRUE(error.empty()) << error;
  EXPECT_EQ(image.width, GetSystemMetrics(SM_CXVIRTUALSCREEN));
  EXPECT_EQ(image.height, GetSystemMetrics(SM_CYVIRTUALSCREEN));

  // The page's client area shows its colour (the controls cover the rest); nothing else does.
  RECT client{};
  GetClientRect(page, &client);
  MapWindowPoints(page, nullptr, reinterpret_cast<POINT*>(&client), 2);
  const int area = (client.right - client.left) * (client.bottom - client.top);
  const int inside = CountBackground(image, client);
  EXPECT_GT(inside, area / 3) << "the page is missing from the screenshot";
  EXPECT_EQ(CountBackground(image, RECT{0, 0, image.width, image.height}), inside);
}

TEST_F(ProbeTest, TheFitCheckFindsAClippedLabelAControlOutsideAndAWindowOffTheWorkArea) {
  // The probe's page fits as it is made.
  EXPECT_TRUE(FitFaults(page).empty());
  HWND label = GetWindow(page, GW_CHILD);  // "Name:"
  HWND name = Control(page, IDC_PROBE_NAME);
  ASSERT_NE(label, nullptr);
  ASSERT_NE(name, nullptr);
  auto rectIn = [&](HWND control) {
    RECT rect = WindowRect(control);
    MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
  };
  const RECT labelRect = rectIn(label);
  const RECT nameRect = rectIn(name);
  auto faultsMention = [&](const char* what) {
    const std::vector<std::string> faults = FitFaults(page);
    for (const std::string& fault : faults) {
      if (fault.find(what) != std::string::npos) return true;
    }
    ADD_FAILURE() << "no fault mentions \"" << what << "\" among " << faults.size();
    return false;
  };
  // Moving the windows of another process is allowed; the probe's page follows.
  ASSERT_TRUE(SetWindowPos(label, nullptr, 0, 0, 6, labelRect.bottom - labelRect.top,
                           SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE));
  EXPECT_TRUE(faultsMention("static text clipped"));
  ASSERT_TRUE(SetWindowPos(label, nullptr, 0, 0, labelRect.right - labelRect.left,
                           labelRect.bottom - labelRect.top,
                           SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE));
  ASSERT_TRUE(SetWindowPos(name, nullptr, nameRect.left + 400, nameRect.top, 0, 0,
                           SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE));
  EXPECT_TRUE(faultsMention("outside the client area"));
  ASSERT_TRUE(SetWindowPos(name, nullptr, nameRect.left, nameRect.top, 0, 0,
                           SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE));
  EXPECT_TRUE(FitFaults(page).empty());
  const RECT window = WindowRect(page);
  ASSERT_TRUE(SetWindowPos(page, nullptr, -40, window.top, 0, 0,
                           SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE));
  EXPECT_TRUE(faultsMention("outside the work area"));
}

TEST(Png, EncodesEveryPixelExactly) {
  // Noise, flat areas and gradients, so that every row filter the writer picks is exercised.
  Image image;
  image.width = 97;
  image.height = 61;
  std::mt19937 random(7);
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const uint8_t noise = static_cast<uint8_t>(random());
      const uint8_t pixel[3] = {static_cast<uint8_t>(y < 20   ? 200
                                                     : y < 40 ? x * 2
                                                              : noise),
                                static_cast<uint8_t>(y < 20   ? 30
                                                     : y < 40 ? y * 3
                                                              : noise ^ 0x5A),
                                static_cast<uint8_t>(y < 20 ? 90 : x + y)};
      image.rgb.insert(image.rgb.end(), pixel, pixel + 3);
    }
  }
  std::string error;
  const Image decoded = DecodePng(EncodePng(image), error);
  ASSERT_TRUE(error.empty()) << error;
  EXPECT_EQ(decoded.width, image.width);
  EXPECT_EQ(decoded.height, image.height);
  EXPECT_TRUE(decoded.rgb == image.rgb);
  EXPECT_TRUE(EncodePng(Image{}).empty());
}

TEST(ProgramRunTest, KillsAHungProgramWhenTheRunEnds) {
  DWORD processId = 0;
  HANDLE watch = nullptr;
  HWND page = nullptr;
  {
    ProgramRun run;
    ASSERT_EQ(run.Start(ProbePath(), {probe::kHangSwitch}), 0u);
    page = FindPage(run, probe::kHungTitle);
    ASSERT_NE(page, nullptr);
    // A page that pumps no messages: questions to it time out instead of blocking the driver.
    EXPECT_EQ(Text(page, IDC_PROBE_NAME), std::nullopt);
    processId = run.ProcessId();
    watch = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    ASSERT_NE(watch, nullptr) << GetLastError();
    EXPECT_EQ(run.WaitForExit(kShortTimeout), std::nullopt);
    EXPECT_TRUE(run.Running());
  }
  EXPECT_EQ(WaitForSingleObject(watch, 0), WAIT_OBJECT_0) << "the run's end did not kill it";
  DWORD code = 0;
  GetExitCodeProcess(watch, &code);
  EXPECT_EQ(code, 0xDEADu);
  CloseHandle(watch);
  EXPECT_TRUE(WaitForClose(page));
}

TEST(ProgramRunTest, PassesArgumentsExactlyAndReportsStartFailures) {
  const std::wstring record = TempPath(L"tessaly-e2e-record.txt");
  DeleteFileW(record.c_str());
  {
    ScopedEnvironment recording(probe::kRecordVariable, record);
    ProgramRun run;
    ASSERT_EQ(run.Start(ProbePath(), {L"C:\\Program Files\\Plug In\\a \"b\".dll", L"",
                                      L"C:\\with space\\", L"plain", L"\u00E9t\u00E9"}),
              0u);
    EXPECT_EQ(run.WaitForExit(), std::optional<uint32_t>(0));
  }
  const std::vector<uint8_t> bytes = ReadFileBytes(record);
  EXPECT_EQ(
      std::string(bytes.begin(), bytes.end()),
      "C:\\Program Files\\Plug In\\a \"b\".dll\n\nC:\\with space\\\nplain\n\xC3\xA9t\xC3\xA9\n");
  DeleteFileW(record.c_str());

  ProgramRun missing;
  EXPECT_EQ(missing.Start(L"C:\\windows\\no-such-program.exe"),
            static_cast<ErrorCode>(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(missing.Running());
  EXPECT_EQ(missing.WaitForExit(kShortTimeout), std::nullopt);
}

TEST(ProgramState, SettingsAndDocumentsAreDeletedAndNothingBeside) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Quillmoor\\Tessaly\\Settings\\Deep", 0,
                            nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Quillmoor\\Other", 0, nullptr, 0,
                            KEY_WRITE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(DeleteProgramSettings(), 0u);
  EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Quillmoor\\Tessaly", 0, KEY_READ, &key),
            ERROR_SUCCESS);
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Quillmoor\\Other", 0, KEY_READ, &key),
            ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(DeleteProgramSettings(), 0u) << "nothing to delete is no failure";
  RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Quillmoor\\Other");

  const std::wstring documents = ProgramDocumentsFolder();
  ASSERT_NE(documents.find(L"\\Quillmoor\\Tessaly Documents"), std::wstring::npos);
  const std::wstring sibling = documents.substr(0, documents.rfind(L'\\')) + L"\\Sibling";
  for (const std::wstring& folder : {documents, documents + L"\\Sub", sibling}) {
    ASSERT_EQ(SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr) == ERROR_SUCCESS ||
                  GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES,
              true);
  }
  const std::wstring file = documents + L"\\Sub\\BackupHkcuDefault.xml";
  WriteFileBytes(file, "<x/>", 4);
  SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(DeleteProgramDocuments(), 0u);
  EXPECT_EQ(GetFileAttributesW(documents.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(GetFileAttributesW(sibling.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(DeleteProgramDocuments(), 0u);
  RemoveDirectoryW(sibling.c_str());
}

TEST(ProgramState, RegFilesAreImportedIntoTheChosenView) {
  const wchar_t* key = L"SOFTWARE\\TessalyE2E";
  auto deleteBoth = [&] {
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, key, KEY_WOW64_64KEY, 0);
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, key, KEY_WOW64_32KEY, 0);
  };
  deleteBoth();
  const std::wstring file = TempPath(L"tessaly-e2e.reg");
  for (const auto& [view, value] :
       {std::pair{RegView::Key64, L"64"}, std::pair{RegView::Key32, L"32"}}) {
    const std::wstring text = std::wstring(L"\uFEFFWindows Registry Editor Version 5.00\r\n\r\n") +
                              L"[HKEY_LOCAL_MACHINE\\" + key + L"]\r\n\"View\"=\"" + value +
                              L"\"\r\n";
    WriteFileBytes(file, text.data(), text.size() * sizeof(wchar_t));
    EXPECT_EQ(ImportRegFile(file, view), 0u);
  }
  EXPECT_EQ(ReadString(RegRoot::LocalMachine, key, L"View", access::Wow64_64Key),
            std::optional<std::wstring>(L"64"));
  EXPECT_EQ(ReadString(RegRoot::LocalMachine, key, L"View", access::Wow64_32Key),
            std::optional<std::wstring>(L"32"));

  const char broken[] = "not a registry file\r\n";
  WriteFileBytes(file, broken, sizeof broken - 1);
  EXPECT_EQ(ImportRegFile(file, RegView::Default), static_cast<ErrorCode>(ERROR_GEN_FAILURE));
  DeleteFileW(file.c_str());
  deleteBoth();
}

}  // namespace
}  // namespace tessaly::e2e
