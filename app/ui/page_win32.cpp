// The page skeleton.
#include "app/ui/page_win32.h"

#include <algorithm>
#include <string>
#include <vector>

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
  if (guide.empty() || !path::RemoveFileSpec(guide) ||
      !path::Append(guide, kUserGuideName, MAX_PATH)) {
    return;
  }
  OpenWithShell(nullptr, ShellTarget::File, guide);
}

ScreenRect ToScreenRect(const RECT& rect) { return {rect.left, rect.top, rect.right, rect.bottom}; }

BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, RECT*, LPARAM data) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (GetMonitorInfoW(monitor, &info)) {
    reinterpret_cast<std::vector<MonitorArea>*>(data)->push_back(
        {ToScreenRect(info.rcMonitor), ToScreenRect(info.rcWork)});
  }
  return TRUE;
}

// Every monitor with its work area.
std::vector<MonitorArea> Monitors() {
  std::vector<MonitorArea> monitors;
  EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&monitors));
  return monitors;
}

// The work area of the monitor that shows most of `window`.
ScreenRect WorkAreaOf(HWND window) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (!GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &info)) return {};
  return ToScreenRect(info.rcWork);
}

std::wstring PageSizeName(const wchar_t* prefix, int templateId) {
  return prefix + std::to_wstring(templateId);
}

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
    case syscmd::About: commands.RunAbout(owner); return true;
    case syscmd::UserGuide: OpenUserGuide(); return true;
    case syscmd::CheckForUpdates:
      OpenWithShell(nullptr, ShellTarget::Address, kMakerDownloadsPage);
      return true;
    case syscmd::NewsAndInfo:
      OpenWithShell(nullptr, ShellTarget::Address, kMakerNewsPage);
      return true;
    case syscmd::Preferences: commands.RunPreferences(owner); return true;
    default: return false;
  }
}

bool PlaceWindow(HWND page, CProfileStore* profile, ScreenSize size) {
  WINDOWINFO info{};
  info.cbSize = sizeof info;
  if (!page || !GetWindowInfo(page, &info)) return false;
  const ScreenRect window = ToScreenRect(info.rcWindow);
  if (size.cx <= 0 || size.cy <= 0) size = {window.Width(), window.Height()};
  ScreenPoint center = CenterOf(window);
  if (profile) {
    const int storedX =
        static_cast<int>(profile->GetProfileInt(kSettingsSection, kCenterX, kDefaultCenter));
    const int storedY =
        static_cast<int>(profile->GetProfileInt(kSettingsSection, kCenterY, kDefaultCenter));
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    const ScreenRect screen{left, top, left + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                            top + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
    center = ChooseWindowCenter(window, storedX, storedY, screen);
  }
  const std::vector<MonitorArea> monitors = Monitors();
  const int monitor = MonitorForPoint(monitors, center);
  ScreenRect placed;
  if (monitor >= 0) {
    placed = PlaceInWorkArea(size, center, monitors[static_cast<size_t>(monitor)].work);
  } else {  // no monitor known: the centre alone
    const ScreenPoint topLeft = TopLeftForCenter({0, 0, size.cx, size.cy}, center);
    placed = {topLeft.x, topLeft.y, topLeft.x + size.cx, topLeft.y + size.cy};
  }
  SetWindowPos(page, nullptr, placed.left, placed.top, placed.Width(), placed.Height(),
               SWP_NOZORDER | SWP_NOACTIVATE);
  return true;
}

bool RestoreWindowCenter(HWND page, CProfileStore& profile) { return PlaceWindow(page, &profile); }

bool SaveWindowCenter(HWND page, CProfileStore& profile) {
  RECT rect;
  if (!page || !GetWindowRect(page, &rect)) return false;
  const ScreenPoint center = CenterOf(ToScreenRect(rect));
  profile.WriteProfileInt(kSettingsSection, kCenterX, center.x);
  profile.WriteProfileInt(kSettingsSection, kCenterY, center.y);
  return true;
}

void LaunchInPluginHost(const PageContext& context, bool is64Bit, std::wstring_view file,
                        HWND owner) {
  const PluginHostLaunch plan =
      PlanPluginHostLaunch(context.settings, context.files, is64Bit, file);
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

void CProgramIcons::Load(int dpi) {
  const auto load = [dpi](int width, int height) {
    return static_cast<HICON>(LoadImageW(ProgramModule(), MAKEINTRESOURCEW(IDI_TESSALY), IMAGE_ICON,
                                         SystemMetricForDpi(width, dpi),
                                         SystemMetricForDpi(height, dpi), LR_DEFAULTCOLOR));
  };
  HICON big = load(SM_CXICON, SM_CYICON);
  HICON small = load(SM_CXSMICON, SM_CYSMICON);
  if (!big || !small) {
    if (big) DestroyIcon(big);
    if (small) DestroyIcon(small);
    return;
  }
  // The window may still show the old icons until SetOn: they go after the new ones are set.
  std::swap(big_, big);
  std::swap(small_, small);
  if (big) DestroyIcon(big);
  if (small) DestroyIcon(small);
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
  layout_.Capture(Hwnd(), Anchors());
  if (layout_.Dpi() != kLogicalDpi) icons_.Load(layout_.Dpi());
  icons_.SetOn(Hwnd());
  ScreenSize size = layout_.PreferredSize();
  if (options_.savePosition) {
    const ScreenSize stored{
        static_cast<int>(context_.settings.GetProfileInt(
            kSettingsSection, PageSizeName(kPageWidthPrefix, TemplateId()), 0)),
        static_cast<int>(context_.settings.GetProfileInt(
            kSettingsSection, PageSizeName(kPageHeightPrefix, TemplateId()), 0))};
    size = OpeningPageSize(size, stored, layout_.Dpi());
  }
  PlaceWindow(Hwnd(), options_.restorePosition ? &context_.settings : nullptr, size);
  const std::span<const ToolTipText> tips = ToolTips();
  if (!tips.empty()) tips_.Create(Hwnd(), tips);
  const bool result = OnInitPage();
  UpdateControls();
  return result;
}

void CPage::OnDestroy() {
  OnDestroyPage();
  tips_.Destroy();
  if (options_.savePosition) {
    SaveWindowCenter(Hwnd(), context_.settings);
    SavePageSize();
  }
}

void CPage::SavePageSize() {
  // Only a size the user chose is kept; a page the screen made smaller opens at its own size on
  // the next, larger screen.
  if (!layout_.UserSized() || IsIconic(Hwnd()) || IsZoomed(Hwnd())) return;
  RECT rect;
  if (!GetWindowRect(Hwnd(), &rect)) return;
  const ScreenSize logical = ScaleForDpi(ScreenSize{rect.right - rect.left, rect.bottom - rect.top},
                                         layout_.Dpi(), kLogicalDpi);
  context_.settings.WriteProfileInt(kSettingsSection, PageSizeName(kPageWidthPrefix, TemplateId()),
                                    logical.cx);
  context_.settings.WriteProfileInt(kSettingsSection, PageSizeName(kPageHeightPrefix, TemplateId()),
                                    logical.cy);
}

bool CPage::OnSize() {
  layout_.Apply();
  return true;
}

bool CPage::OnSizing() {
  layout_.MarkUserSized();
  return false;
}

bool CPage::OnGetMinMaxInfo(MINMAXINFO& info) {
  // Before the layout is taken there is no size to keep; while the scale changes, the system's
  // suggested rectangle is taken as it is.
  if (layout_.PreferredSize().cx <= 0 || changingDpi_) return false;
  // Never larger than the work area: a page on a small screen can still be made to fit it.
  const ScreenSize minimum = layout_.MinimumSize();
  const ScreenRect work = WorkAreaOf(Hwnd());
  info.ptMinTrackSize.x = work.Width() > 0 ? std::min(minimum.cx, work.Width()) : minimum.cx;
  info.ptMinTrackSize.y = work.Height() > 0 ? std::min(minimum.cy, work.Height()) : minimum.cy;
  return true;
}

bool CPage::OnDpiChanged(int dpi, const RECT& suggested) {
  layout_.ChangeDpi(dpi);
  icons_.Load(dpi);
  icons_.SetOn(Hwnd());
  // The system's suggestion keeps the window where the user dropped it, at the new scale.
  changingDpi_ = true;
  SetWindowPos(Hwnd(), nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  changingDpi_ = false;
  layout_.Apply();
  OnScaleChanged();
  return true;
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
