// The relocation wizard's settings: the two folders, its two options and the target the user
// confirmed.
#pragma once

#include <string>

#include "app/settings/profile_store.h"
#include "relocation/folder_choice.h"
#include "relocation/relocation_engine.h"

namespace tessaly {

inline constexpr const wchar_t* kRelocateSource = L"RelocateSource";      // Original Location
inline constexpr const wchar_t* kRelocateTarget = L"RelocateTarget";      // New Location
inline constexpr const wchar_t* kDontCopyFiles = L"DontCopyFiles";        // only create the link
inline constexpr const wchar_t* kCopyContentsOnly = L"CopyContentsOnly";  // a different folder name
inline constexpr const wchar_t* kRelocateFinal = L"RelocateFinal";        // the confirmed target
// Compare file contents before removing the original (DWORD, default 0).
inline constexpr const wchar_t* kCompareContents = L"RelocateCompareContents";

// The folder page's fields as they were left, and what it leaves for the next visit; the target
// the user confirmed is stored only then.
FolderChoice LoadFolderChoice(CProfileStore& settings);
void StoreFolderChoice(CProfileStore& settings, const FolderChoice& choice);
void StoreConfirmedTarget(CProfileStore& settings, const std::wstring& fullTarget);

// What the progress page carries out: the Original Location, the confirmed target, the mode.
RelocationRequest LoadRelocationRequest(CProfileStore& settings);

}  // namespace tessaly
