// The titles of the program's pages and dialogs, by which the end-to-end tests find them, and the
// first page of each wizard of the Start page.
#pragma once

#include "resources/resource.h"

namespace tessaly::e2e {

inline constexpr wchar_t kStartTitle[] = L"Tessaly - Start";
inline constexpr wchar_t kPreferencesTitle[] = L"Tessaly - Preferences";
inline constexpr wchar_t kAboutTitle[] = L"About Tessaly";
inline constexpr wchar_t kUndoChangeTitle[] = L"Tessaly - Undo a Change";
inline constexpr wchar_t kPluginFoldersTitle[] = L"Tessaly - Choose Plugin Folders";
inline constexpr wchar_t kDupeFinderTitle[] = L"Tessaly - Find Duplicate VST Plugins";
inline constexpr wchar_t kProductManagerTitle[] = L"Tessaly - Manage Native Instruments Products";
inline constexpr wchar_t kLocateDatabaseTitle[] = L"Tessaly - Locate File Database";
inline constexpr wchar_t kChangeFolderTitle[] = L"Tessaly - Change Folder";
inline constexpr wchar_t kRelocateTitle[] = L"Tessaly - Relocate";
inline constexpr wchar_t kKontaktTitle[] = L"Tessaly - Arrange Kontakt Libraries Tab";
inline constexpr wchar_t kThumbnailsTitle[] = L"Tessaly - Fix Product Thumbnails";
inline constexpr wchar_t kFolderLocationsTitle[] = L"Tessaly - Choose Folder Locations";
inline constexpr wchar_t kRelocateContentTitle[] = L"Tessaly - Relocate Content";

// The Start page's wizards: the radio button, the selection stored for it and its first page.
struct WizardChoice {
  int id;
  int selection;
  const wchar_t* firstPage;
};
inline constexpr WizardChoice kWizards[] = {
    {IDC_WIZARD_DUPLICATES, 0, kPluginFoldersTitle}, {IDC_WIZARD_PRODUCTS, 1, kProductManagerTitle},
    {IDC_WIZARD_LIBRARIES, 2, kKontaktTitle},        {IDC_WIZARD_THUMBNAILS, 3, kThumbnailsTitle},
    {IDC_WIZARD_RELOCATE, 4, kFolderLocationsTitle},
};

}  // namespace tessaly::e2e
