// The page skeleton.
#include "app/ui/page_win32.h"

#include "app/ui/plugin_host.h"
#include "app/ui/system_dialogs_win32.h"
#include "app/ui/window_center.h"
#include "platform/text.h"
#include "resources/resource.h"

namespace tessaly {
namespace {

constexpr wchar_t kUserGuideName[] = L"TessalyUserGuide.pdf";

struct MenuCommand {
  UINT id;
  const wchar_t* text;
};
constexpr MenuCommand kMenuCommands[] = {
    {syscmd::Preferences, L"Preferences"},
    {syscmd::UserGuide, L"Open User Guide"},
    {syscmd::CheckForUpdates, L"Check For Updates"},
    {syscmd::NewsAndInfo, L"Tessaly News and Info"},
    {syscmd::About, L"About Tessaly"},
};

void OpenUserGuide() {
  std::wstring guide = ProgramFilePath();
  if (guide.empty() || !path::RemoveFileSpec(guide) || !path::Append(guide, kUserGuideName, MAX_PATH)) {
    return;
  }
  OpenWithShell(nullptr, ShellTarget::File, guide);
}

ScreenRect ToScreenRect(const RECT& rect) { return {rect.left, rect.top, rect.right, rect.bottom}; }

}  // namespace

bool AddSystemMenuCommands(HMENU systemMenu) {
  if (!systemMenu) return false;
  AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
  for (const MenuCommand& command : kMenuCommands) {
    AppendMenuW(systemMenu, MF_STRING, command.id, command.text);
  }
  return true;
}

bool HandleSystemMenuCommand(PageCommands& commands, UINT command, HWND owner) {
  switch (command & 0xFFF0) {
    case syscmd::About:
      commands.RunAbout(owner);
      return true;
    case syscmd::UserGuide:
      OpenUserGuide();
      return true;
    case syscmd::CheckForUpdates:
      OpenWithShell(nullptr, ShellTarget::Address, kMakerDownloadsPage);
      return true;
    case syscmd::NewsAndInfo:
      OpenWithShell(nullptr, ShellTarget::Address, kMakerNewsPage);
      return true;
    case syscmd::Preferences:
      commands.RunPreferences(owner);
      return true;
    default:
      return false;
  }
}

bool RestoreWindowCenter(HWND page, CProfileStore& profile) {
  WINDOWINFO info{};
  info.cbSize = sizeof info;
  if (!page || !GetWindowInfo(page, &info)) return false;
  const ScreenRect window = ToScreenRect(info.rcWindow);
  const int storedX = static_cast<int>(profile.GetProfileInt(kSettingsSection, kCenterX, kDefaultCenter));
  const int storedY = static_cast<int>(profile.GetProfileInt(kSettingsSection, kCenterY, kDefaultCenter));
  const int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
  const int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
  const ScreenRect screen{left, top, left + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                          top + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
  const ScreenPoint topLeft =
      TopLeftForCenter(window, ChooseWindowCenter(window, storedX, storedY, screen));
  SetWindowPos(page, nullptr, topLeft.x, topLeft.y, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  return true;
}

bool SaveWindowCenter(HWND page, CProfileStore& profile) {
  RECT rect;
  if (!page || !GetWindowRect(page, &rect)) return false;
  const ScreenPoint center = CenterOf(ToScreenRect(rect));
  profile.WriteProfileInt(kSettingsSection, kCenterX, center.x);
  profile.WriteProfileInt(kSettingsSection, kCenterY, center.y);
  return true;
}

void LaunchInPluginHost(const PageContext& context, bool is64Bit, std::wstring_view file, HWND owner) {
  const PluginHostLaunch plan = PlanPluginHostLaunch(context.settings, context.files, is64Bit, file);
  if (plan.action == PluginHostLaunch::Action::Open) {
    // The failure names the plugin the user asked for, not the host.
    OpenWithShell(nullptr, ShellTarget::File, plan.host, plan.parameters, file);
    return;
  }
  if (ShowMessage(owner, plan.question, MessageStyle::WarningQuestion) == IDYES) {
    context.commands.RunPreferences(owner ? owner : GetActiveWindow());
  }
}

CProgramIcons::CProgramIcons()
    : big_(static_cast<HICON>(LoadImageW(ProgramModule(), MAKEINTRESOURCEW(IDI_TESSALY), IMAGE_ICON,
                                         GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON),
                                         LR_DEFAULTCOLOR))),
      small_(static_cast<HICON>(LoadImageW(ProgramModule(), MAKEINTRESOURCEW(IDI_TESSALY),
                                           IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                           GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR))) {}

CProgramIcons::~CProgramIcons() {
  if (big_) DestroyIcon(big_);
  if (small_) DestroyIcon(small_);
}

void CProgramIcons::SetOn(HWND window) const {
  SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big_));
  SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small_));
}

CPage::CPage(const PageContext& context, int templateId, PageOptions options)
    : CDialog(templateId), context_(context), options_(options) {}

CPage::~CPage() = default;

bool CPage::OnInitDialog() {
  if (options_.systemMenu) AddSystemMenuCommands(GetSystemMenu(Hwnd(), FALSE));
  icons_.SetOn(Hwnd());
  if (options_.restorePosition) RestoreWindowCenter(Hwnd(), context_.settings);
  const std::span<const ToolTipText> tips = ToolTips();
  if (!tips.empty()) tips_.Create(Hwnd(), tips);
  const bool result = OnInitPage();
  UpdateControls();
  return result;
}

void CPage::OnDestroy() {
  OnDestroyPage();
  tips_.Destroy();
  if (options_.savePosition) SaveWindowCenter(Hwnd(), context_.settings);
}

bool CPage::OnCommand(int id, int notifyCode, HWND control) {
  if (OnPageCommand(id, notifyCode, control)) return true;
  if (notifyCode != BN_CLICKED) return false;
  if (OnButton(id)) return true;
  if (!options_.wizardEndings) return false;
  // Back and Next end the page with their ids, which are also the wizard's end codes.
  if (id == IDC_BACK) {
    OnBack();
    EndDialog(IDC_BACK);
    return true;
  }
  if (id == IDC_NEXT) {
    if (CanGoNext()) EndDialog(IDC_NEXT);
    return true;
  }
  return false;
}

bool CPage::OnSysCommand(UINT command) {
  return options_.systemMenu && HandleSystemMenuCommand(context_.commands, command, Hwnd());
}

bool CPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
  if (message == WM_PAINT && IsIconic(Hwnd())) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(Hwnd(), &paint);
    SendMessageW(Hwnd(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    GetClientRect(Hwnd(), &client);
    const int iconWidth = GetSystemMetrics(SM_CXICON);
    const int iconHeight = GetSystemMetrics(SM_CYICON);
    DrawIcon(dc, (client.right - client.left - iconWidth + 1) / 2,
             (client.bottom - client.top - iconHeight + 1) / 2, icons_.Big());
    EndPaint(Hwnd(), &paint);
    result = TRUE;
    return true;
  }
  if (message == WM_QUERYDRAGICON) {
    // One of the messages whose answer a dialog procedure returns directly.
    result = reinterpret_cast<INT_PTR>(icons_.Big());
    return true;
  }
  return false;
}

}  // namespace tessaly
