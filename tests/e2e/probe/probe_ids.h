// Control ids, titles and texts of the probe program, shared by the probe and the driver's tests.
#pragma once

#define IDD_PROBE 100
#define IDC_PROBE_NAME 1000
#define IDC_PROBE_OPTION 1001
#define IDC_PROBE_NEXT 1002
#define IDC_PROBE_ASK 1003
#define IDC_PROBE_LOCKED 1004
#define IDC_PROBE_HIDDEN 1005

#ifndef RC_INVOKED
namespace tessaly::e2e::probe {

constexpr const wchar_t* kPageTitle = L"Probe - Page";
constexpr const wchar_t* kHungTitle = L"Probe - Hung";
constexpr const wchar_t* kInitialName = L"initial";
constexpr const wchar_t* kBoxCaption = L"Probe";
constexpr const wchar_t* kBoxText = L"Save the answer?";
// The probe's own key under HKEY_CURRENT_USER: Answer (REG_SZ "Yes"/"No") when the message box
// is answered; Name (REG_SZ, the edit's text) and Option (REG_DWORD, the check box) on Next.
constexpr const wchar_t* kKey = L"Software\\TessalyE2E";
// The page's background, so that a screenshot shows beyond doubt where the page is.
constexpr unsigned char kBackground[3] = {0x2E, 0x8B, 0x57};
// When this variable names a file, the probe shows nothing: it appends each of its arguments
// as a UTF-8 line to that file and exits with 0.
constexpr const wchar_t* kRecordVariable = L"TESSALY_PROBE_RECORD";
// First argument that makes the probe show its page titled kHungTitle and then stop pumping
// messages for good.
constexpr const wchar_t* kHangSwitch = L"--hang";

}  // namespace tessaly::e2e::probe
#endif
