// The window skin on real windows: which dialogs it takes, the colours their controls get, the
// themed buttons it turns classic, message boxes, and the theme in the program's resources.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/ui/skin_win32.h"

#include <commctrl.h>
#include <uxtheme.h>

namespace tessaly {
namespace {

// Distinct from the built-in defaults, so a colour proves which theme answered.
constexpr char kTheme[] = "[Colors]\n"
                          "Window = 10,20,30\n"
                          "Text = 240,240,200\n"
                          "DisabledText = 150,150,150\n"
                          "GroupText = #90C0FF\n"
                          "EditBackground = 40,10,10\n"
                          "EditText = 255,255,255\n"
                          "ReadOnlyBackground = 10,40,10\n"
                          "ListBackground = 5,5,5\n"
                          "ListText = 230,230,230\n";

constexpr COLORREF kPageRed = RGB(153, 0, 0);
constexpr COLORREF kPageWhite = RGB(255, 255, 255);

enum : WORD { kStatic = 100, kCheck, kRadio, kGroup, kEdit, kOwnEdit, kPush, kReadOnlyEdit };

// A dialog template built in memory: DLGTEMPLATE with a font, then DWORD-aligned items.
class DialogTemplate {
 public:
  explicit DialogTemplate(const wchar_t* title) {
    Dword(DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU);
    Dword(0);
    words_.push_back(0);  // item count, counted by Add
    for (short v : {0, 0, 220, 150}) words_.push_back(WORD(v));
    words_.push_back(0);  // no menu
    words_.push_back(0);  // the dialog class
    Text(title);
    words_.push_back(8);
    Text(L"MS Shell Dlg");
  }
  DialogTemplate& Add(WORD classAtom, const wchar_t* text, WORD id, DWORD style, short x, short y,
                      short cx, short cy) {
    if (words_.size() % 2) words_.push_back(0);
    Dword(WS_CHILD | WS_VISIBLE | style);
    Dword(0);
    for (short v : {x, y, cx, cy}) words_.push_back(WORD(v));
    words_.push_back(id);
    words_.push_back(0xFFFF);
    words_.push_back(classAtom);
    Text(text);
    words_.push_back(0);  // no creation data
    ++words_[4];
    return *this;
  }
  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

 private:
  void Dword(DWORD v) {
    words_.push_back(LOWORD(v));
    words_.push_back(HIWORD(v));
  }
  void Text(const wchar_t* s) {
    for (; *s; ++s) words_.push_back(WORD(*s));
    words_.push_back(0);
  }
  std::vector<WORD> words_;
};

constexpr WORD kButtonAtom = 0x80, kEditAtom = 0x81, kStaticAtom = 0x82;

DialogTemplate PageTemplate() {
  DialogTemplate t(L"Skin test page");
  t.Add(kStaticAtom, L"Static text label", kStatic, SS_LEFT, 7, 7, 200, 10)
      .Add(kButtonAtom, L"Check box label", kCheck, BS_AUTOCHECKBOX, 7, 20, 200, 10)
      .Add(kButtonAtom, L"Radio button label", kRadio, BS_AUTORADIOBUTTON, 7, 33, 200, 10)
      .Add(kButtonAtom, L"Group box label", kGroup, BS_GROUPBOX, 7, 46, 200, 30)
      .Add(kEditAtom, L"edit", kEdit, ES_AUTOHSCROLL | WS_BORDER, 7, 80, 200, 12)
      .Add(kEditAtom, L"own colours", kOwnEdit, ES_AUTOHSCROLL | WS_BORDER, 7, 95, 200, 12)
      .Add(kButtonAtom, L"Push", kPush, BS_PUSHBUTTON, 7, 110, 50, 14)
      .Add(kEditAtom, L"read-only", kReadOnlyEdit, ES_READONLY | WS_BORDER, 7, 128, 200, 12);
  return t;
}

// The page's own colours, red on white, for every control that asks; it marks one edit field
// as keeping them, as CColorEdit does.
INT_PTR CALLBACK PageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      SetPropW(GetDlgItem(dialog, kOwnEdit), kSkinOwnColorsProp, reinterpret_cast<HANDLE>(1));
      return TRUE;
    case WM_DESTROY: RemovePropW(GetDlgItem(dialog, kOwnEdit), kSkinOwnColorsProp); return FALSE;
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
      SetTextColor(reinterpret_cast<HDC>(wParam), kPageRed);
      SetBkColor(reinterpret_cast<HDC>(wParam), kPageWhite);
      return reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH));
    default: return FALSE;
  }
}

struct Answer {
  COLORREF brush = CLR_INVALID;
  COLORREF text = CLR_INVALID;
  COLORREF background = CLR_INVALID;
};

// Sends `message` to `window` for `control` with a fresh memory context, as a control does.
Answer Ask(HWND window, UINT message, HWND control) {
  HDC dc = CreateCompatibleDC(nullptr);
  SetTextColor(dc, RGB(1, 2, 3));
  SetBkColor(dc, RGB(4, 5, 6));
  const auto brush = reinterpret_cast<HBRUSH>(SendMessageW(
      window, message, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control)));
  Answer answer;
  LOGBRUSH logBrush{};
  if (brush && GetObjectW(brush, sizeof logBrush, &logBrush) == sizeof logBrush)
    answer.brush = logBrush.lbColor;
  answer.text = GetTextColor(dc);
  answer.background = GetBkColor(dc);
  DeleteDC(dc);
  return answer;
}

Answer AskDialog(HWND dialog) { return Ask(dialog, WM_CTLCOLORDLG, dialog); }

// How many pixels of the control's client area, drawn through WM_PRINTCLIENT, reach a contrast
// of 3 to `background` (its text, for a label area), and how many are `background` itself.
struct Rendering {
  int contrasting = 0;
  int background = 0;
};
Rendering Render(HWND control, COLORREF background, RECT area) {
  RECT client;
  GetClientRect(control, &client);
  const int width = client.right, height = client.bottom;
  IntersectRect(&area, &area, &client);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  Rendering result;
  if (!bitmap) {
    DeleteDC(dc);
    return result;
  }
  HGDIOBJ old = SelectObject(dc, bitmap);
  SendMessageW(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
  GdiFlush();
  const auto* pixels = static_cast<const uint32_t*>(bits);
  for (int y = area.top; y < area.bottom; ++y) {
    for (int x = area.left; x < area.right; ++x) {
      const uint32_t p = pixels[y * width + x];  // 0x00RRGGBB
      const COLORREF color = RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
      if (color == background) ++result.background;
      if (ContrastRatio(color, background) >= 3.0) ++result.contrasting;
    }
  }
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  return result;
}

bool IsWine() {
  return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

constexpr char kCommonControls6[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\n"
    "<dependency><dependentAssembly><assemblyIdentity type=\"win32\" "
    "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\" processorArchitecture=\"*\" "
    "publicKeyToken=\"6595b64144ccf1df\" language=\"*\"/></dependentAssembly></dependency>\n"
    "</assembly>\n";

// Dialogs are built under common controls 6, as in the program (whose manifest asks for it),
// so buttons carry visual styles wherever the system has them on.
class SkinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HWND probe =
        CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    if (!probe)
      GTEST_SKIP() << "windows cannot be created here (error " << GetLastError()
                   << "): Wine needs a display, run the tier with DISPLAY set (Xvfb)";
    DestroyWindow(probe);
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    manifest_ = std::wstring(folder) + L"tessaly-skin-test.manifest";
    HANDLE file =
        CreateFileW(manifest_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << GetLastError();
    DWORD written = 0;
    WriteFile(file, kCommonControls6, sizeof kCommonControls6 - 1, &written, nullptr);
    CloseHandle(file);
    ACTCTXW context{};
    context.cbSize = sizeof context;
    context.lpSource = manifest_.c_str();
    context_ = CreateActCtxW(&context);
    ASSERT_NE(context_, INVALID_HANDLE_VALUE) << GetLastError();
    ASSERT_TRUE(ActivateActCtx(context_, &cookie_)) << GetLastError();
  }
  void TearDown() override {
    for (HWND dialog : dialogs_) DestroyWindow(dialog);
    UnloadSkin();
    if (cookie_) DeactivateActCtx(0, cookie_);
    if (context_ != INVALID_HANDLE_VALUE) ReleaseActCtx(context_);
    if (!manifest_.empty()) DeleteFileW(manifest_.c_str());
  }

  HWND CreatePage(HINSTANCE instance = GetModuleHandleW(nullptr)) {
    const DialogTemplate t = PageTemplate();
    HWND dialog = CreateDialogIndirectParamW(instance, t.Get(), nullptr, PageProc, 0);
    if (dialog) dialogs_.push_back(dialog);
    return dialog;
  }

  std::wstring manifest_;
  HANDLE context_ = INVALID_HANDLE_VALUE;
  ULONG_PTR cookie_ = 0;
  std::vector<HWND> dialogs_;
};

TEST_F(SkinTest, DialogsCreatedWhileOnAnswerEveryControlWithReadableColours) {
  ASSERT_EQ(LoadSkinFromText(kTheme), 0u);
  ASSERT_TRUE(SkinIsOn());
  const SkinTheme& theme = CurrentSkinTheme();
  ASSERT_EQ(theme.window, RGB(10, 20, 30));
  HWND page = CreatePage();  // no SkinWindow: the creation hook takes it
  ASSERT_NE(page, nullptr) << GetLastError();

  EXPECT_EQ(AskDialog(page).brush, theme.window);
  struct Case {
    const char* name;
    UINT message;
    WORD id;
    COLORREF brush;
    COLORREF text;
  };
  const Case cases[] = {
      {"static", WM_CTLCOLORSTATIC, kStatic, theme.window, theme.text},
      {"check box", WM_CTLCOLORSTATIC, kCheck, theme.window, theme.text},
      {"radio button", WM_CTLCOLORSTATIC, kRadio, theme.window, theme.text},
      {"group box", WM_CTLCOLORSTATIC, kGroup, theme.window, theme.groupText},
      {"edit", WM_CTLCOLOREDIT, kEdit, theme.editBackground, theme.editText},
      {"read-only edit", WM_CTLCOLORSTATIC, kReadOnlyEdit, theme.readOnlyBackground, theme.text},
  };
  for (const Case& c : cases) {
    const Answer answer = Ask(page, c.message, GetDlgItem(page, c.id));
    EXPECT_EQ(answer.brush, c.brush) << c.name;
    EXPECT_EQ(answer.background, c.brush) << c.name;
    EXPECT_EQ(answer.text, c.text) << c.name;
    EXPECT_GE(ContrastRatio(answer.text, answer.brush), 4.5) << c.name;
  }

  // A disabled check box gets the disabled colour, still readable.
  EnableWindow(GetDlgItem(page, kCheck), FALSE);
  const Answer disabled = Ask(page, WM_CTLCOLORSTATIC, GetDlgItem(page, kCheck));
  EXPECT_EQ(disabled.text, theme.disabledText);
  EXPECT_GE(ContrastRatio(disabled.text, disabled.brush), 3.0);

  // A push button draws its face in system colours: the text it is told pairs with that face.
  const Answer push = Ask(page, WM_CTLCOLORBTN, GetDlgItem(page, kPush));
  EXPECT_EQ(push.brush, theme.window);
  EXPECT_GE(ContrastRatio(push.text, push.background), 4.5);

  // The marked edit keeps the page's red on white.
  const Answer own = Ask(page, WM_CTLCOLOREDIT, GetDlgItem(page, kOwnEdit));
  EXPECT_EQ(own.brush, kPageWhite);
  EXPECT_EQ(own.text, kPageRed);
  EXPECT_EQ(own.background, kPageWhite);
}

TEST_F(SkinTest, CheckBoxesRadiosAndGroupBoxesDrawTheirLabelsReadably) {
  // Created before the skin is on: the hook is not retroactive, SkinWindow applies it.
  HWND page = CreatePage();
  ASSERT_NE(page, nullptr) << GetLastError();
  EXPECT_EQ(AskDialog(page).brush, kPageWhite);
  const bool styled = GetWindowTheme(GetDlgItem(page, kCheck)) != nullptr;
  ASSERT_EQ(LoadSkinFromText(kTheme), 0u);
  EXPECT_EQ(AskDialog(page).brush, kPageWhite);
  SkinWindow(page);
  const SkinTheme& theme = CurrentSkinTheme();
  EXPECT_EQ(AskDialog(page).brush, theme.window);

  // Label areas only: the check glyph and the group box's frame are not text, and no control
  // has the focus, so no focus rectangle is drawn.
  const int glyph = GetSystemMetrics(SM_CXMENUCHECK) + 4;
  struct Case {
    const char* name;
    WORD id;
    RECT area;
  };
  for (const Case& c : {Case{"check box", kCheck, {glyph, 0, 1000, 1000}},
                        Case{"radio button", kRadio, {glyph, 0, 1000, 1000}},
                        Case{"static", kStatic, {0, 0, 1000, 1000}}}) {
    const Rendering drawn = Render(GetDlgItem(page, c.id), theme.window, c.area);
    EXPECT_GE(drawn.contrasting, 20) << c.name << ": no readable label pixels";
    EXPECT_GT(drawn.background, drawn.contrasting) << c.name << ": background not the skin's";
  }
  if (styled) {
    EXPECT_NE(GetWindowTheme(GetDlgItem(page, kPush)), nullptr) << "push buttons keep their style";
  }

  // The skin paints group boxes itself, so their captions are readable even where the visual
  // style stays on: Wine keeps it after SetWindowTheme(L"", L""), Windows removes it.
  HWND group = GetDlgItem(page, kGroup);
  if (!IsWine()) {
    for (WORD id : {kCheck, kRadio, kGroup})
      EXPECT_EQ(GetWindowTheme(GetDlgItem(page, id)), nullptr) << "control " << id;
  }
  // The caption strip: from the text's start (past the frame's corner) over its width.
  HDC dc = GetDC(group);
  HGDIOBJ font = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(group, WM_GETFONT, 0, 0)));
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  SIZE extent{};
  GetTextExtentPoint32W(dc, L"Group box label", 15, &extent);
  SelectObject(dc, font);
  ReleaseDC(group, dc);
  const Rendering caption =
      Render(group, theme.window, RECT{10, 0, 10 + extent.cx - 4, metrics.tmHeight});
  EXPECT_GE(caption.contrasting, 20) << "group box caption unreadable";
  EXPECT_GT(caption.background, caption.contrasting);
}

TEST_F(SkinTest, ForeignDialogsAndSuspendedCreationKeepSystemColours) {
  ASSERT_EQ(LoadSkinFromText(kTheme), 0u);
  HMODULE commonDialogs = LoadLibraryW(L"comdlg32.dll");
  ASSERT_NE(commonDialogs, nullptr);
  HWND foreign = CreatePage(commonDialogs);  // as GetOpenFileNameW's templates are
  ASSERT_NE(foreign, nullptr);
  EXPECT_EQ(AskDialog(foreign).brush, kPageWhite);
  EXPECT_EQ(Ask(foreign, WM_CTLCOLORSTATIC, GetDlgItem(foreign, kCheck)).text, kPageRed);
  {
    CSkinSuspend suspend;
    HWND ours = CreatePage();
    ASSERT_NE(ours, nullptr);
    EXPECT_EQ(AskDialog(ours).brush, kPageWhite);
  }
  HWND after = CreatePage();
  ASSERT_NE(after, nullptr);
  EXPECT_EQ(AskDialog(after).brush, CurrentSkinTheme().window);
  FreeLibrary(commonDialogs);
}

TEST_F(SkinTest, LoadingAgainReplacesTheThemeAndBadTextKeepsIt) {
  ASSERT_EQ(LoadSkinFromText(kTheme), 0u);
  HWND page = CreatePage();
  ASSERT_NE(page, nullptr);
  ASSERT_EQ(LoadSkinFromText("[Colors]\nWindow=#000000\nText=#FFFFFF\n"), 0u);
  EXPECT_EQ(AskDialog(page).brush, RGB(0, 0, 0));
  EXPECT_EQ(Ask(page, WM_CTLCOLORSTATIC, GetDlgItem(page, kStatic)).text, RGB(255, 255, 255));
  // Keys the new text leaves out come back to the defaults, not the old theme's values.
  EXPECT_EQ(CurrentSkinTheme().editBackground, SkinTheme{}.editBackground);

  EXPECT_EQ(LoadSkinFromText("[Colors]\nWindow=#12345\n"), 13u);
  EXPECT_TRUE(SkinIsOn());
  EXPECT_EQ(AskDialog(page).brush, RGB(0, 0, 0));

  UnloadSkin();
  EXPECT_FALSE(SkinIsOn());
  EXPECT_EQ(AskDialog(page).brush, kPageWhite);  // skinned windows pass everything through
}

// The message box test's timer: finds the box on this thread, asks its colours, closes it.
struct MessageBoxProbe {
  int ticks = 0;
  bool found = false;
  Answer dialog;
  Answer text;
};
MessageBoxProbe* g_probe = nullptr;

BOOL CALLBACK FindBox(HWND hwnd, LPARAM result) {
  wchar_t title[64] = {};
  wchar_t className[16] = {};
  GetClassNameW(hwnd, className, 16);
  GetWindowTextW(hwnd, title, 64);
  if (wcscmp(className, L"#32770") == 0 && wcscmp(title, L"Tessaly skin test") == 0) {
    *reinterpret_cast<HWND*>(result) = hwnd;
    return FALSE;
  }
  return TRUE;
}

void CALLBACK ProbeMessageBox(HWND, UINT, UINT_PTR, DWORD) {
  HWND box = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindBox, reinterpret_cast<LPARAM>(&box));
  ++g_probe->ticks;
  if (box && !g_probe->found) {
    g_probe->found = true;
    g_probe->dialog = AskDialog(box);
    g_probe->text = Ask(box, WM_CTLCOLORSTATIC, GetDlgItem(box, 0xFFFF));
  }
  if (box && (g_probe->found || g_probe->ticks > 250)) PostMessageW(box, WM_COMMAND, IDOK, 0);
}

TEST_F(SkinTest, MessageBoxesOfTheThreadAreSkinned) {
  ASSERT_EQ(LoadSkinFromText(kTheme), 0u);
  MessageBoxProbe probe;
  g_probe = &probe;
  const UINT_PTR timer = SetTimer(nullptr, 0, 20, ProbeMessageBox);
  ASSERT_NE(timer, 0u);
  const int result = MessageBoxW(nullptr, L"Skinned message text", L"Tessaly skin test",
                                 MB_OK | MB_ICONINFORMATION);
  KillTimer(nullptr, timer);
  g_probe = nullptr;
  EXPECT_EQ(result, IDOK);
  ASSERT_TRUE(probe.found);
  const SkinTheme& theme = CurrentSkinTheme();
  EXPECT_EQ(probe.dialog.brush, theme.window);
  EXPECT_EQ(probe.text.brush, theme.window);
  EXPECT_EQ(probe.text.text, theme.text);
}

// The program carries NormalBlack as RCDATA "NORMALBLACK.INI"; this needs no display.
TEST(SkinResourceTest, ProgramCarriesAReadableNormalBlack) {
  wchar_t self[MAX_PATH];
  std::wstring program(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
  program.resize(program.rfind(L'\\'));
  program.resize(program.rfind(L'\\'));
  program += L"\\Tessaly.exe";  // tests run from build/windows/tests
  HMODULE module = LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr) << GetLastError();

  CSkinFrameworkWrapper wrapper;
  EXPECT_FALSE(wrapper.IsSetUp());
  wrapper.SetUpFromResources(module);
  EXPECT_TRUE(wrapper.IsSetUp());
  EXPECT_FALSE(wrapper.LoadSkin(L"Missing.ini"));
  EXPECT_FALSE(SkinIsOn());
  EXPECT_TRUE(wrapper.LoadSkin(kNormalBlackSkin));
  EXPECT_TRUE(SkinIsOn());
  const SkinTheme theme = CurrentSkinTheme();
  EXPECT_TRUE(wrapper.LoadSkin(kNormalBlackSkin));  // again while on: still on, same theme
  EXPECT_EQ(CurrentSkinTheme().window, theme.window);

  wrapper.SetUpFromResources(GetModuleHandleW(nullptr));
  UnloadSkin();
  FreeLibrary(module);

  EXPECT_LT(RelativeLuminance(theme.window), 0.05) << "a dark theme";
  for (const SkinTheme::Pair& pair : theme.TextPairs())
    EXPECT_GE(ContrastRatio(pair.foreground, pair.background), pair.minimumContrast) << pair.name;
}

}  // namespace
}  // namespace tessaly
