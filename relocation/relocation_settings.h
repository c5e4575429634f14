// The relocation wizard's settings: the two folders, its two options and the target the user
// confirmed.
#pragma once

namespace tessaly {

inline constexpr const wchar_t* kRelocateSource = L"RelocateSource";      // Original Location
inline constexpr const wchar_t* kRelocateTarget = L"RelocateTarget";      // New Location
inline constexpr const wchar_t* kDontCopyFiles = L"DontCopyFiles";        // only create the link
inline constexpr const wchar_t* kCopyContentsOnly = L"CopyContentsOnly";  // a different folder name
inline constexpr const wchar_t* kRelocateFinal = L"RelocateFinal";        // the confirmed target

}  // namespace tessaly
