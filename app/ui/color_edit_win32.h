// CColorEdit: an edit field whose text and background colours its page chooses (the product
// manager shows missing paths in red on white).
#pragma once

#include "platform/win32/win32_api.h"

namespace tessaly {

class CColorEdit {
 public:
  CColorEdit();
  virtual ~CColorEdit();
  CColorEdit(const CColorEdit&) = delete;
  CColorEdit& operator=(const CColorEdit&) = delete;

  // Takes over the colours of the edit control `id` of `dialog`. The control keeps its colours
  // under the window skin. False if there is no such control.
  bool Attach(HWND dialog, int id);
  void Detach();
  HWND Hwnd() const { return hwnd_; }

  // Changes a colour and redraws the control at once.
  void SetTextColor(COLORREF color);
  void SetBackgroundColor(COLORREF color);
  COLORREF TextColor() const { return textColor_; }
  COLORREF BackgroundColor() const { return backgroundColor_; }

  // The answer to the control's colour request: sets the context's colours, returns the brush.
  HBRUSH OnCtlColor(HDC dc);

  // The CColorEdit attached to a control window, or null.
  static CColorEdit* FromHandle(HWND control);

 private:
  void Redraw();

  HWND hwnd_ = nullptr;
  COLORREF backgroundColor_;
  COLORREF textColor_ = RGB(0, 0, 0);
  HBRUSH backgroundBrush_;
};

}  // namespace tessaly
