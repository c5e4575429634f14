// The Libraries-tab page's settings: its two check boxes.
#pragma once

namespace tessaly {

inline constexpr const wchar_t* kIgnoreArticles = L"IgnoreArticles";  // "Ignore articles ..."
inline constexpr const wchar_t* kExtendSearch = L"ExtendSearch";      // "Extend search."

}  // namespace tessaly
