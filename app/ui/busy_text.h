// The line a page's list shows while the page's worker is still filling it, the same on every page.
#pragma once

namespace tessaly {

inline constexpr wchar_t kSearching[] = L"Searching...";

}  // namespace tessaly
