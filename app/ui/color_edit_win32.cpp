// The coloured edit field: colours kept in the object, found by its control through a property.
#include "app/ui/color_edit_win32.h"

#include "app/ui/skin_win32.h"

namespace tessaly {
namespace {
constexpr wchar_t kColorEditProp[] = L"Tessaly.ColorEdit";
}

CColorEdit::CColorEdit()
    : backgroundColor_(GetSysColor(COLOR_3DFACE)),
      backgroundBrush_(CreateSolidBrush(backgroundColor_)) {}

CColorEdit::~CColorEdit() {
  Detach();
  if (backgroundBrush_) DeleteObject(backgroundBrush_);
}

bool CColorEdit::Attach(HWND dialog, int id) {
  Detach();
  HWND control = GetDlgItem(dialog, id);
  if (!control) return false;
  hwnd_ = control;
  SetPropW(hwnd_, kColorEditProp, this);
  // The skin leaves the colours of this control to its page.
  SetPropW(hwnd_, kSkinOwnColorsProp, reinterpret_cast<HANDLE>(1));
  return true;
}

void CColorEdit::Detach() {
  if (!hwnd_) return;
  if (IsWindow(hwnd_)) {
    RemovePropW(hwnd_, kColorEditProp);
    RemovePropW(hwnd_, kSkinOwnColorsProp);
  }
  hwnd_ = nullptr;
}

void CColorEdit::SetTextColor(COLORREF color) {
  textColor_ = color;
  Redraw();
}

void CColorEdit::SetBackgroundColor(COLORREF color) {
  backgroundColor_ = color;
  if (backgroundBrush_) DeleteObject(backgroundBrush_);
  backgroundBrush_ = CreateSolidBrush(color);
  Redraw();
}

HBRUSH CColorEdit::OnCtlColor(HDC dc) {
  ::SetBkColor(dc, backgroundColor_);
  ::SetTextColor(dc, textColor_);
  return backgroundBrush_;
}

CColorEdit* CColorEdit::FromHandle(HWND control) {
  return control ? static_cast<CColorEdit*>(GetPropW(control, kColorEditProp)) : nullptr;
}

void CColorEdit::Redraw() {
  if (!hwnd_) return;
  InvalidateRect(hwnd_, nullptr, TRUE);
  UpdateWindow(hwnd_);
}

}  // namespace tessaly
