// Subclassing a window by replacing its window procedure, with the procedure it had before and a
// value of the user's kept per window. Cheaper than comctl32's SetWindowSubclass under Wine, which
// looks its chain up in a window property (a wineserver request) on every message the window
// gets. UI thread only.
#pragma once

#include <unordered_map>

#include "platform/win32/win32_api.h"

namespace tessaly {

template <typename Data>
class CProcSubclass {
 public:
  struct Window {
    WNDPROC original = nullptr;
    Data data{};
  };

  explicit CProcSubclass(WNDPROC proc) : proc_(proc) {}

  // Puts `proc` in front of the window's procedure; for a window already subclassed only its
  // value changes. False when the procedure cannot be replaced.
  bool Install(HWND hwnd, Data data) {
    if (Window* known = Find(hwnd)) {
      known->data = data;
      return true;
    }
    // Recorded first: the first messages may arrive while the procedure is being replaced.
    Window& window = windows_[hwnd];
    window.data = data;
    window.original = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWLP_WNDPROC));
    const LONG_PTR previous =
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc_));
    if (!previous) {
      windows_.erase(hwnd);
      return false;
    }
    window.original = reinterpret_cast<WNDPROC>(previous);
    return true;
  }

  Window* Find(HWND hwnd) {
    const auto found = windows_.find(hwnd);
    return found == windows_.end() ? nullptr : &found->second;
  }

  // Gives the window its own procedure back and forgets it. When another subclass came after
  // ours, `proc` must stay in the chain: the window is kept and false returned.
  bool Remove(HWND hwnd) {
    const auto found = windows_.find(hwnd);
    if (found == windows_.end()) return true;
    if (GetWindowLongPtrW(hwnd, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(proc_)) return false;
    SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(found->second.original));
    windows_.erase(found);
    return true;
  }

  // Forgets a window that is going (WM_NCDESTROY), with its procedure given back where possible.
  void Forget(HWND hwnd) {
    Remove(hwnd);
    windows_.erase(hwnd);
  }

 private:
  WNDPROC proc_;
  std::unordered_map<HWND, Window> windows_;
};

}  // namespace tessaly
