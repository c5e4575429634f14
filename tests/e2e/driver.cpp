// The end-to-end driver over user32, gdi32, advapi32 and zlib.
#include "tests/e2e/driver.h"

#include <shellapi.h>
#include <commctrl.h>
#include <shlobj.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <thread>

#include <gtest/gtest.h>

#include "app/ui/access_keys.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/wine_host.h"
#include "resources/resource.h"
#include "tests/e2e/page_titles.h"

namespace tessaly::e2e {

namespace {

// How long a sent message may wait for the program to answer.
constexpr UINT kSendTimeoutMs = 5000;
constexpr DWORD kKillExitCode = 0xDEAD;
// CreateProcessW's answer, on Windows, for a program that asks for administrator rights.
constexpr DWORD kElevationRequired = 740;

// One argument quoted so that CommandLineToArgvW and the C runtime give it back unchanged.
void AppendQuoted(std::wstring& commandLine, const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    commandLine += arg;
    return;
  }
  commandLine += L'"';
  size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    // Backslashes double only before a quote, which itself is escaped.
    commandLine.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    commandLine += c;
  }
  commandLine.append(backslashes * 2, L'\\');
  commandLine += L'"';
}

std::wstring FolderOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring ClassName(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

struct WindowSearch {
  DWORD processId = 0;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search->processId && IsWindowVisible(window)) search->found.push_back(window);
  return TRUE;
}

BOOL CALLBACK CollectChild(HWND child, LPARAM param) {
  reinterpret_cast<WindowSearch*>(param)->found.push_back(child);
  return TRUE;
}

// Every visible top-level window of the process.
std::vector<HWND> TopLevelWindows(DWORD processId) {
  WindowSearch search{processId, {}};
  EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::vector<HWND> Children(HWND window) {
  WindowSearch search;
  EnumChildWindows(window, CollectChild, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool IsMessageBox(HWND window) {
  if (ClassName(window) != L"#32770" || GetDlgItem(window, 0xFFFF) == nullptr) return false;
  for (HWND child : Children(window)) {
    const std::wstring name = ClassName(child);
    const int id = GetDlgCtrlID(child);
    const bool isButton = CompareStringOrdinal(name.c_str(), -1, L"Button", -1, TRUE) == CSTR_EQUAL;
    const bool isStatic = CompareStringOrdinal(name.c_str(), -1, L"Static", -1, TRUE) == CSTR_EQUAL;
    if (!isStatic && !(isButton && id >= IDOK && id <= IDCONTINUE)) return false;
  }
  return true;
}

bool SendWithTimeout(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR& result) {
  return SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                             &result) != 0;
}

std::wstring SafeFileName(std::wstring name) {
  for (wchar_t& c : name) {
    if (c < 32 || std::wstring_view(L"<>:\"/\\|?*").find(c) != std::wstring_view::npos) c = L'_';
  }
  return name;
}

ErrorCode WriteWholeFile(const std::wstring& path, const std::vector<uint8_t>& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return GetLastError();
  DWORD written = 0;
  const BOOL ok =
      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  const ErrorCode error = ok && written == bytes.size() ? 0 : GetLastError();
  CloseHandle(file);
  return error;
}

void AppendBigEndian(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

void AppendChunk(std::vector<uint8_t>& out, const char type[4], const std::vector<uint8_t>& data) {
  AppendBigEndian(out, static_cast<uint32_t>(data.size()));
  const size_t typeAt = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  // The CRC covers the chunk type and its data, not the length.
  const uLong crc = crc32(0, out.data() + typeAt, static_cast<uInt>(4 + data.size()));
  AppendBigEndian(out, static_cast<uint32_t>(crc));
}

uint8_t Paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return static_cast<uint8_t>(a);
  return static_cast<uint8_t>(pb <= pc ? b : c);
}

}  // namespace

std::wstring PathFromEnvironment(const wchar_t* name) {
  wchar_t buffer[4096];
  const DWORD n = GetEnvironmentVariableW(name, buffer, 4096);
  if (n == 0 || n >= 4096) return std::wstring();
  std::wstring path(buffer, n);
  if (path[0] == L'/') path = L"Z:" + path;
  std::replace(path.begin(), path.end(), L'/', L'\\');
  return path;
}

std::wstring ProgramPath() { return PathFromEnvironment(L"TESSALY_EXE"); }

// --- ProgramRun -----------------------------------------------------------------------------

ProgramRun::~ProgramRun() { Kill(); }

ProgramRun::ProgramRun(ProgramRun&& other) noexcept
    : process_(std::exchange(other.process_, nullptr)),
      processId_(std::exchange(other.processId_, 0)) {}

ProgramRun& ProgramRun::operator=(ProgramRun&& other) noexcept {
  if (this != &other) {
    Kill();
    process_ = std::exchange(other.process_, nullptr);
    processId_ = std::exchange(other.processId_, 0);
  }
  return *this;
}

ErrorCode ProgramRun::Start(const std::wstring& exe, const std::vector<std::wstring>& args,
                            const std::wstring& currentFolder) {
  Kill();
  std::wstring parameters;
  for (const std::wstring& arg : args) {
    if (!parameters.empty()) parameters += L' ';
    AppendQuoted(parameters, arg);
  }
  std::wstring commandLine;
  AppendQuoted(commandLine, exe);
  if (!parameters.empty()) commandLine += L' ' + parameters;
  const std::wstring folder = currentFolder.empty() ? FolderOf(exe) : currentFolder;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                     folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    processId_ = info.dwProcessId;
    return 0;
  }
  const ErrorCode error = GetLastError();
  if (error != kElevationRequired) return error;
  // Windows refuses CreateProcessW for a program that asks for administrator rights when the
  // driver is not elevated; the shell asks for them instead.
  SHELLEXECUTEINFOW shell{};
  shell.cbSize = sizeof shell;
  shell.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC;
  shell.lpVerb = L"runas";
  shell.lpFile = exe.c_str();
  shell.lpParameters = parameters.c_str();
  shell.lpDirectory = folder.empty() ? nullptr : folder.c_str();
  shell.nShow = SW_SHOWNORMAL;
  if (!ShellExecuteExW(&shell) || shell.hProcess == nullptr) return GetLastError();
  process_ = shell.hProcess;
  processId_ = GetProcessId(shell.hProcess);
  return 0;
}

bool ProgramRun::Running() const {
  return process_ != nullptr && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

std::optional<uint32_t> ProgramRun::WaitForExit(Milliseconds timeout) {
  if (process_ == nullptr) return std::nullopt;
  if (WaitForSingleObject(process_, static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0) {
    return std::nullopt;
  }
  DWORD code = 0;
  if (!GetExitCodeProcess(process_, &code)) return std::nullopt;
  return code;
}

void ProgramRun::Kill() {
  if (process_ == nullptr) return;
  if (Running()) {
    TerminateProcess(process_, kKillExitCode);
    WaitForSingleObject(process_, 10000);
  }
  CloseHandle(process_);
  process_ = nullptr;
  processId_ = 0;
}

// --- ScopedEnvironment --------------------------------------------------------------------

ScopedEnvironment::ScopedEnvironment(std::wstring name, const std::wstring& value)
    : name_(std::move(name)) {
  wchar_t buffer[4096];
  const DWORD n = GetEnvironmentVariableW(name_.c_str(), buffer, 4096);
  if (n > 0 && n < 4096) previous_ = std::wstring(buffer, n);
  SetEnvironmentVariableW(name_.c_str(), value.c_str());
}

ScopedEnvironment::~ScopedEnvironment() {
  SetEnvironmentVariableW(name_.c_str(), previous_ ? previous_->c_str() : nullptr);
}

bool WaitUntil(const std::function<bool()>& condition, Milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(Milliseconds(50));
  }
}

// --- Windows ------------------------------------------------------------------------------

std::wstring Title(HWND window) {
  wchar_t buffer[1024] = {};
  const int n = GetWindowTextW(window, buffer, 1024);
  return std::wstring(buffer, static_cast<size_t>(std::max(n, 0)));
}

HWND FindPage(const ProgramRun& run, std::wstring_view title, Milliseconds timeout) {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        for (HWND window : TopLevelWindows(run.ProcessId())) {
          if (Title(window) == title) {
            found = window;
            return true;
          }
        }
        return false;
      },
      timeout);
  return found;
}

bool WaitForClose(HWND window, Milliseconds timeout) {
  return WaitUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); }, timeout);
}

RECT WindowRect(HWND window) {
  RECT rect{};
  if (!GetWindowRect(window, &rect)) rect = RECT{};
  return rect;
}

bool SysCommand(HWND window, WPARAM command) {
  return IsWindow(window) && PostMessageW(window, WM_SYSCOMMAND, command, 0);
}

bool MessageBoxInfo::Has(int button) const {
  return std::find(buttons.begin(), buttons.end(), button) != buttons.end();
}

std::optional<MessageBoxInfo> FindMessageBox(const ProgramRun& run, HWND owner,
                                             Milliseconds timeout) {
  std::optional<MessageBoxInfo> found;
  WaitUntil(
      [&] {
        for (HWND window : TopLevelWindows(run.ProcessId())) {
          HWND boxOwner = GetWindow(window, GW_OWNER);
          if ((owner != nullptr && boxOwner != owner) || !IsMessageBox(window)) continue;
          MessageBoxInfo box;
          box.window = window;
          box.owner = boxOwner;
          box.caption = Title(window);
          box.text = Text(window, 0xFFFF).value_or(L"");
          for (int id = IDOK; id <= IDCONTINUE; ++id) {
            if (IsVisible(window, id)) box.buttons.push_back(id);
          }
          found = std::move(box);
          return true;
        }
        return false;
      },
      timeout);
  return found;
}

bool Answer(const MessageBoxInfo& box, int button, Milliseconds timeout) {
  return box.Has(button) && Click(box.window, button) && WaitForClose(box.window, timeout);
}

// --- Dialogs and controls by their texts ----------------------------------------------------

bool DialogControl::IsPushOrCheck() const {
  if (CompareStringOrdinal(className.c_str(), -1, L"Button", -1, TRUE) != CSTR_EQUAL) return false;
  const DWORD type = style & BS_TYPEMASK;
  return type != BS_GROUPBOX && type != BS_OWNERDRAW;
}

std::vector<DialogControl> DialogControls(HWND dialog) {
  std::vector<DialogControl> controls;
  for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    DialogControl c;
    c.window = child;
    c.id = GetDlgCtrlID(child);
    c.className = ClassName(child);
    c.style = static_cast<DWORD>(GetWindowLongW(child, GWL_STYLE));
    DWORD_PTR length = 0;
    if (SendMessageTimeoutW(child, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) {
      std::wstring text(length + 1, L'\0');
      DWORD_PTR copied = 0;
      if (SendMessageTimeoutW(child, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                              SMTO_ABORTIFHUNG, 5000, &copied)) {
        text.resize(copied);
        c.caption = text;
      }
    }
    const std::wstring firstLine = c.caption.substr(0, c.caption.find(L'\n'));
    c.shown = WithoutAccessKeys(firstLine);
    c.accessKey = AccessKeyOf(firstLine);
    GetWindowRect(child, &c.rect);
    controls.push_back(std::move(c));
  }
  return controls;
}

HWND FindDialog(const ProgramRun& run, HWND owner, std::wstring_view caption,
                Milliseconds timeout) {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        for (HWND window : TopLevelWindows(run.ProcessId())) {
          if (owner != nullptr && GetWindow(window, GW_OWNER) != owner) continue;
          if (ClassName(window) != L"#32770" || IsMessageBox(window) || Title(window) != caption) {
            continue;
          }
          found = window;
          return true;
        }
        return false;
      },
      timeout);
  return found;
}

bool PressButton(HWND dialog, std::wstring_view shown) {
  for (const DialogControl& c : DialogControls(dialog)) {
    if (!c.IsPushOrCheck() || c.shown != shown) continue;
    return IsWindowEnabled(c.window) && IsWindowVisible(c.window) &&
           PostMessageW(c.window, BM_CLICK, 0, 0);
  }
  return false;
}

HWND FocusedControl(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  const DWORD thread = GetWindowThreadProcessId(window, nullptr);
  if (thread == 0 || !GetGUIThreadInfo(thread, &info)) return nullptr;
  return info.hwndFocus;
}

bool PressKey(HWND window, UINT virtualKey) {
  HWND target = FocusedControl(window);
  if (target == nullptr) target = window;
  const UINT scan = MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC);
  const LPARAM down = 1 | (static_cast<LPARAM>(scan) << 16);
  const LPARAM up = down | (LPARAM(1) << 30) | (LPARAM(1) << 31);
  return PostMessageW(target, WM_KEYDOWN, virtualKey, down) &&
         PostMessageW(target, WM_KEYUP, virtualKey, up);
}

// --- Controls -------------------------------------------------------------------------------

HWND Control(HWND page, int id) { return page == nullptr ? nullptr : GetDlgItem(page, id); }

std::optional<std::wstring> Text(HWND page, int id) {
  HWND control = Control(page, id);
  DWORD_PTR length = 0;
  if (control == nullptr || !SendWithTimeout(control, WM_GETTEXTLENGTH, 0, 0, length)) {
    return std::nullopt;
  }
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!SendWithTimeout(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                       copied)) {
    return std::nullopt;
  }
  text.resize(std::min<size_t>(copied, length));
  return text;
}

bool SetText(HWND page, int id, std::wstring_view text) {
  HWND control = Control(page, id);
  const std::wstring copy(text);
  DWORD_PTR result = 0;
  return control != nullptr &&
         SendWithTimeout(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(copy.c_str()), result) &&
         result != FALSE;
}

namespace {

// The lines of a list box or of a combo box's list, read with that control's three messages
// (LB_ERR and CB_ERR are both -1).
std::vector<std::wstring> ControlLines(HWND control, UINT getCount, UINT getLength, UINT getText) {
  std::vector<std::wstring> items;
  DWORD_PTR count = 0;
  if (!control || !SendWithTimeout(control, getCount, 0, 0, count) ||
      count == static_cast<DWORD_PTR>(LB_ERR)) {
    return items;
  }
  for (DWORD_PTR i = 0; i < count; ++i) {
    DWORD_PTR length = 0;
    if (!SendWithTimeout(control, getLength, i, 0, length) ||
        length == static_cast<DWORD_PTR>(LB_ERR))
      break;
    // The line may change between the two messages while the page refills the list, and the
    // system copies the whole new line back: room for any path, whatever the length said.
    std::wstring text(std::max<size_t>(length + 1, 2048), L'\0');
    DWORD_PTR copied = 0;
    if (!SendWithTimeout(control, getText, i, reinterpret_cast<LPARAM>(text.data()), copied) ||
        copied == static_cast<DWORD_PTR>(LB_ERR)) {
      break;
    }
    text.resize(std::min<size_t>(copied, text.size() - 1));
    items.push_back(std::move(text));
  }
  return items;
}

}  // namespace

std::vector<std::wstring> ListBoxItems(HWND page, int id) {
  return ControlLines(Control(page, id), LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT);
}

std::vector<std::wstring> ComboBoxItems(HWND page, int id) {
  return ControlLines(Control(page, id), CB_GETCOUNT, CB_GETLBTEXTLEN, CB_GETLBTEXT);
}

std::optional<int> ComboBoxSelection(HWND page, int id) {
  HWND combo = Control(page, id);
  DWORD_PTR selected = 0;
  if (!combo || !SendWithTimeout(combo, CB_GETCURSEL, 0, 0, selected)) return std::nullopt;
  return static_cast<int>(static_cast<LRESULT>(selected));
}

bool SelectListBoxItem(HWND page, int id, std::wstring_view text) {
  HWND list = Control(page, id);
  const std::wstring wanted(text);
  DWORD_PTR row = 0;
  if (!list ||
      !SendWithTimeout(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                       reinterpret_cast<LPARAM>(wanted.c_str()), row) ||
      row == static_cast<DWORD_PTR>(LB_ERR)) {
    return false;
  }
  DWORD_PTR ignored = 0;
  // LB_SETCURSEL tells nobody; the page learns of a click through LBN_SELCHANGE, sent so that
  // the page has acted on it when this returns.
  return SendWithTimeout(list, LB_SETCURSEL, row, 0, ignored) &&
         SendWithTimeout(page, WM_COMMAND, MAKEWPARAM(id, LBN_SELCHANGE),
                         reinterpret_cast<LPARAM>(list), ignored);
}

namespace {

// A piece of memory in the process that owns `window`, for messages whose structures the
// system does not carry across processes.
class RemoteBuffer {
 public:
  RemoteBuffer(HWND window, size_t size) : size_(size) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    process_ =
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
    if (process_)
      address_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  }
  ~RemoteBuffer() {
    if (address_) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    if (process_) CloseHandle(process_);
  }
  RemoteBuffer(const RemoteBuffer&) = delete;
  RemoteBuffer& operator=(const RemoteBuffer&) = delete;

  bool Ok() const { return address_ != nullptr; }
  void* Address() const { return address_; }
  bool Write(const void* data, size_t size, size_t offset = 0) {
    return offset + size <= size_ &&
           WriteProcessMemory(process_, static_cast<char*>(address_) + offset, data, size, nullptr);
  }
  bool Read(void* data, size_t size, size_t offset = 0) {
    return offset + size <= size_ &&
           ReadProcessMemory(process_, static_cast<char*>(address_) + offset, data, size, nullptr);
  }

 private:
  HANDLE process_ = nullptr;
  void* address_ = nullptr;
  size_t size_;
};

}  // namespace

std::vector<std::vector<std::wstring>> ListViewRows(HWND page, int id, int columns) {
  std::vector<std::vector<std::wstring>> rows;
  HWND list = Control(page, id);
  DWORD_PTR count = 0;
  if (!list || !SendWithTimeout(list, LVM_GETITEMCOUNT, 0, 0, count)) return rows;
  constexpr int kChars = 520;
  RemoteBuffer buffer(list, sizeof(LVITEMW) + kChars * sizeof(wchar_t));
  if (!buffer.Ok()) return rows;
  wchar_t* remoteText =
      reinterpret_cast<wchar_t*>(static_cast<char*>(buffer.Address()) + sizeof(LVITEMW));
  for (DWORD_PTR row = 0; row < count; ++row) {
    std::vector<std::wstring> cells;
    for (int column = 0; column < columns; ++column) {
      LVITEMW item{};
      item.iSubItem = column;
      item.pszText = remoteText;
      item.cchTextMax = kChars;
      DWORD_PTR copied = 0;
      wchar_t text[kChars] = {};
      if (!buffer.Write(&item, sizeof item) ||
          !SendWithTimeout(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(buffer.Address()),
                           copied) ||
          !buffer.Read(text, sizeof text, sizeof(LVITEMW))) {
        return {};
      }
      cells.emplace_back(text, std::min<size_t>(copied, kChars - 1));
    }
    rows.push_back(std::move(cells));
  }
  return rows;
}

bool SelectListViewRow(HWND page, int id, int row) {
  HWND list = Control(page, id);
  if (!list) return false;
  RemoteBuffer buffer(list, sizeof(LVITEMW));
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  DWORD_PTR result = 0;
  return buffer.Ok() && buffer.Write(&item, sizeof item) &&
         SendWithTimeout(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(buffer.Address()),
                         result) &&
         result != FALSE;
}

bool ClickColumn(HWND page, int id, int column) {
  // WM_NOTIFY does not cross processes, so the click goes to the list's header as the mouse's
  // would, and the list view tells its page (LVN_COLUMNCLICK).
  HWND list = Control(page, id);
  DWORD_PTR header = 0;
  if (!list || !SendWithTimeout(list, LVM_GETHEADER, 0, 0, header) || !header) return false;
  HWND headerWindow = reinterpret_cast<HWND>(header);
  RemoteBuffer buffer(headerWindow, sizeof(RECT));
  DWORD_PTR ok = 0;
  RECT rect{};
  if (!buffer.Ok() ||
      !SendWithTimeout(headerWindow, HDM_GETITEMRECT, column,
                       reinterpret_cast<LPARAM>(buffer.Address()), ok) ||
      !ok || !buffer.Read(&rect, sizeof rect)) {
    return false;
  }
  // Sent, not posted: the page has sorted when this returns.
  const LPARAM point = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
  DWORD_PTR ignored = 0;
  return SendWithTimeout(headerWindow, WM_LBUTTONDOWN, MK_LBUTTON, point, ignored) &&
         SendWithTimeout(headerWindow, WM_LBUTTONUP, 0, point, ignored);
}

std::optional<int> CheckState(HWND page, int id) {
  HWND control = Control(page, id);
  DWORD_PTR state = 0;
  if (control == nullptr || !SendWithTimeout(control, BM_GETCHECK, 0, 0, state))
    return std::nullopt;
  return static_cast<int>(state);
}

bool IsEnabled(HWND page, int id) {
  HWND control = Control(page, id);
  return control != nullptr && IsWindowEnabled(control);
}

bool IsVisible(HWND page, int id) {
  HWND control = Control(page, id);
  return control != nullptr && IsWindowVisible(control);
}

bool Click(HWND page, int id) {
  HWND control = Control(page, id);
  // Posted, never sent: a handler that opens a message box would block the driver.
  return control != nullptr && IsWindowEnabled(control) && IsWindowVisible(control) &&
         PostMessageW(control, BM_CLICK, 0, 0);
}

bool ClickAndWait(HWND page, int id) {
  HWND control = Control(page, id);
  DWORD_PTR ignored = 0;
  return control != nullptr && IsWindowEnabled(control) && IsWindowVisible(control) &&
         SendWithTimeout(control, BM_CLICK, 0, 0, ignored);
}

bool ChooseWizard(HWND start, int wizardId) {
  return Click(start, wizardId) &&
         WaitUntil([&] { return CheckState(start, wizardId) == BST_CHECKED; }) &&
         Click(start, IDC_NEXT);
}

HWND EnterWizard(const ProgramRun& run, int wizardId) {
  const auto choice =
      std::find_if(std::begin(kWizards), std::end(kWizards),
                   [&](const WizardChoice& wizard) { return wizard.id == wizardId; });
  if (choice == std::end(kWizards)) return nullptr;
  HWND start = FindPage(run, kStartTitle);
  if (!start || !ChooseWizard(start, wizardId)) return nullptr;
  return FindPage(run, choice->firstPage);
}

HWND OpenWizard(ProgramRun& run, int wizardId, const std::wstring& folder) {
  if (run.Start(ProgramPath(), {}, folder) != 0) return nullptr;
  return EnterWizard(run, wizardId);
}

// --- Screenshots --------------------------------------------------------------------------

Image CaptureScreen() {
  Image image;
  const int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
  const int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
  const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
  const int height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
  if (width <= 0 || height <= 0) return image;

  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap != nullptr && bits != nullptr) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    if (BitBlt(memory, 0, 0, width, height, screen, left, top, SRCCOPY | CAPTUREBLT)) {
      GdiFlush();
      const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
      image.width = width;
      image.height = height;
      image.rgb.resize(static_cast<size_t>(width) * height * 3);
      for (int y = 0; y < height; ++y) {
        const uint8_t* row = static_cast<const uint8_t*>(bits) + stride * y;
        uint8_t* out = image.rgb.data() + static_cast<size_t>(y) * width * 3;
        for (int x = 0; x < width; ++x) {  // the DIB holds B, G, R
          out[x * 3] = row[x * 3 + 2];
          out[x * 3 + 1] = row[x * 3 + 1];
          out[x * 3 + 2] = row[x * 3];
        }
      }
    }
    SelectObject(memory, old);
  }
  if (bitmap != nullptr) DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return image;
}

std::vector<uint8_t> EncodePng(const Image& image) {
  const size_t rowBytes = static_cast<size_t>(image.width) * 3;
  if (image.width <= 0 || image.height <= 0 || image.rgb.size() != rowBytes * image.height)
    return {};

  // Each row goes with the filter (None, Sub, Up, Paeth) that leaves the smallest sum of
  // absolute differences, the usual heuristic; flat pages then compress to a few bytes a row.
  std::vector<uint8_t> filtered;
  filtered.reserve((rowBytes + 1) * image.height);
  std::vector<uint8_t> candidate[4];
  const std::vector<uint8_t> zeroRow(rowBytes, 0);
  for (int y = 0; y < image.height; ++y) {
    const uint8_t* row = image.rgb.data() + rowBytes * y;
    const uint8_t* above = y > 0 ? row - rowBytes : zeroRow.data();
    uint64_t bestCost = UINT64_MAX;
    int best = 0;
    const uint8_t types[4] = {0, 1, 2, 4};
    for (int f = 0; f < 4; ++f) {
      candidate[f].resize(rowBytes);
      uint64_t cost = 0;
      for (size_t i = 0; i < rowBytes; ++i) {
        const int a = i >= 3 ? row[i - 3] : 0, b = above[i], c = i >= 3 ? above[i - 3] : 0;
        const int predictor = types[f] == 0   ? 0
                              : types[f] == 1 ? a
                              : types[f] == 2 ? b
                                              : Paeth(a, b, c);
        const uint8_t value = static_cast<uint8_t>(row[i] - predictor);
        candidate[f][i] = value;
        cost += value < 128 ? value : 256 - value;
      }
      if (cost < bestCost) {
        bestCost = cost;
        best = f;
      }
    }
    filtered.push_back(types[best]);
    filtered.insert(filtered.end(), candidate[best].begin(), candidate[best].end());
  }

  uLongf compressedSize = compressBound(static_cast<uLong>(filtered.size()));
  std::vector<uint8_t> compressed(compressedSize);
  if (compress2(compressed.data(), &compressedSize, filtered.data(),
                static_cast<uLong>(filtered.size()), 6) != Z_OK) {
    return {};
  }
  compressed.resize(compressedSize);

  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  AppendBigEndian(header, static_cast<uint32_t>(image.width));
  AppendBigEndian(header, static_cast<uint32_t>(image.height));
  header.insert(header.end(),
                {8, 2, 0, 0, 0});  // 8 bits, truecolour, deflate, adaptive, no interlace
  AppendChunk(png, "IHDR", header);
  AppendChunk(png, "IDAT", compressed);
  AppendChunk(png, "IEND", {});
  return png;
}

std::wstring SaveScreenshot(std::wstring_view name) {
  // A screenshot that cannot be saved fails the test (without stopping it): artifacts are part
  // of what every end-to-end test delivers.
  const std::wstring artifacts = PathFromEnvironment(L"TESSALY_ARTIFACTS");
  if (artifacts.empty()) {
    ADD_FAILURE() << "screenshot: TESSALY_ARTIFACTS is not set";
    return std::wstring();
  }
  std::wstring test = L"outside-tests";
  if (const auto* info = ::testing::UnitTest::GetInstance()->current_test_info()) {
    const std::string full = std::string(info->test_suite_name()) + "." + info->name();
    test.assign(full.begin(), full.end());
  }
  const std::wstring folder = artifacts + L"\\" + SafeFileName(test);
  // Numbered per test from 01; a test's folder starts empty in each run of the test program.
  static std::map<std::wstring, int> counters;
  int& count = counters[folder];
  if (count == 0) DeleteTree(folder);
  const int created = SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
  if (created != ERROR_SUCCESS && created != ERROR_ALREADY_EXISTS) {
    ADD_FAILURE() << "screenshot: cannot create the artifacts folder, error " << created;
    return std::wstring();
  }
  // Windows that were just uncovered or opened repaint in their own time (a page behind a new
  // message box, say): give them a moment, so the picture shows what the user sees.
  Sleep(300);
  const std::vector<uint8_t> png = EncodePng(CaptureScreen());
  if (png.empty()) {
    ADD_FAILURE() << "screenshot: the screen could not be captured";
    return std::wstring();
  }
  wchar_t number[8];
  swprintf(number, 8, L"%02d", ++count);
  const std::wstring path =
      folder + L"\\" + number + L"-" + SafeFileName(std::wstring(name)) + L".png";
  if (const ErrorCode error = WriteWholeFile(path, png)) {
    ADD_FAILURE() << "screenshot: cannot write the file, error " << error;
    return std::wstring();
  }
  return path;
}

// --- The program's state ------------------------------------------------------------------

ErrorCode DeleteProgramSettings() {
  // Given a subkey, RegDeleteTreeW removes that key itself along with everything below it.
  const LSTATUS status = RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Quillmoor\\Tessaly");
  return status == ERROR_FILE_NOT_FOUND ? 0 : static_cast<ErrorCode>(status);
}

std::wstring ProgramDocumentsFolder() {
  wchar_t documents[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, documents))) {
    return std::wstring();
  }
  return std::wstring(documents) + L"\\Quillmoor\\Tessaly Documents";
}

ErrorCode DeleteProgramDocuments() {
  const std::wstring folder = ProgramDocumentsFolder();
  return folder.empty() ? ERROR_PATH_NOT_FOUND : DeleteTree(folder);
}

ErrorCode DeleteTree(const std::wstring& folder) {
  const DWORD attributes = GetFileAttributesW(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? 0 : error;
  }
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    // A link goes as a link; its target is never entered. The backend removes a host link under
    // Wine, whose own RemoveDirectoryW would act on the target.
    return Win32FileSystem().RemoveFolder(folder);
  }
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = folder + L"\\" + name;
      ErrorCode error = 0;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        error = DeleteTree(path);
      } else {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) {
          SetFileAttributesW(path.c_str(), data.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY);
        }
        if (!DeleteFileW(path.c_str())) error = GetLastError();
      }
      if (error != 0) {
        FindClose(find);
        return error;
      }
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  if (RemoveDirectoryW(folder.c_str())) return 0;
  const ErrorCode error = GetLastError();
  if (error != ERROR_DIR_NOT_EMPTY || !wine::RunsUnderWine()) return error;
  // Under Wine a host link whose target went first is no longer listed: the host removes such
  // links (and only those) from the folder.
  std::wstring hostFolder;
  int status = -1;
  if (!wine::ToHostPath(folder, hostFolder) ||
      wine::RunHostScript(L"for f in \"$1\"/* \"$1\"/.[!.]*; do "
                          L"if [ -L \"$f\" ] && [ ! -e \"$f\" ]; then rm -f -- \"$f\"; fi; done",
                          {hostFolder}, status) != 0) {
    return error;
  }
  return RemoveDirectoryW(folder.c_str()) ? 0 : GetLastError();
}

ErrorCode ImportRegFile(const std::wstring& file, RegView view) {
  wchar_t system[MAX_PATH] = {};
  if (GetSystemDirectoryW(system, MAX_PATH) == 0) return GetLastError();
  std::vector<std::wstring> args = {L"import", file};
  if (view == RegView::Key64) args.push_back(L"/reg:64");
  if (view == RegView::Key32) args.push_back(L"/reg:32");
  ProgramRun reg;
  if (const ErrorCode error = reg.Start(std::wstring(system) + L"\\reg.exe", args)) return error;
  const std::optional<uint32_t> code = reg.WaitForExit(Milliseconds(30000));
  if (!code) return ERROR_TIMEOUT;
  return *code == 0 ? 0 : ERROR_GEN_FAILURE;
}

}  // namespace tessaly::e2e
