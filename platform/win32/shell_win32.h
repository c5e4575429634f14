// Shell dialogs and actions used by the pages: the folder browser, the open-file dialog, opening
// a folder and showing a file selected in Explorer.
#pragma once

#include "platform/win32/win32_api.h"

namespace tessaly {

// Shows the shell's folder browser. `out` (260 characters) receives the chosen folder. Result:
// S_OK (or S_FALSE when COM was already initialised on this thread) when a folder was chosen,
// E_FAIL when the user cancelled or the item has no file-system path, or COM's failure code.
HRESULT BrowseForFolder(HWND owner, const wchar_t* initialFolder, const wchar_t* title,
                        wchar_t* out);

// Shows the open-file dialog. `filter` holds description/pattern pairs, double-null-terminated;
// `file` (260 characters) gives the initial name and receives the choice. Result: 0 when a file
// was chosen, 1223 when the user cancelled, else the common dialog's extended error.
DWORD ChooseFile(HWND owner, const wchar_t* filter, wchar_t* file, const wchar_t* defExt,
                 const wchar_t* title, const wchar_t* initialDir);

// Opens the folder of `path` in Explorer with the item selected. Result: 87 for a null path,
// 2 if it does not exist, 31 if COM cannot be initialised, else 0 (the shell's own failure is
// not reported).
DWORD ShowInExplorer(const wchar_t* path);

// Opens `folder` in Explorer (the shell verb "explore", shown normally), owned by `owner`. The
// shell's result: 32 or less is its error code.
INT_PTR ExploreFolder(HWND owner, const wchar_t* folder);

}  // namespace tessaly
