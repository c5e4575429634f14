// What the program reads from and writes into the Native Instruments installation of a machine:
// its registry keys and values, the Service Center's hints file, product and artwork folders.
// That software is not ours; every key, folder and file name of it that the program relies on is
// named here and only here.
//
//   HKLM\SOFTWARE\Native Instruments\(key name)   one key per product, in the 64-bit view and, on
//       64-bit Windows, the 32-bit view; read, and its folder values (InstallDir, InstallVSTDir,
//       InstallVST64Dir, ContentDir or SystemContentDir) written as REG_SZ into existing keys only
//   HKLM\SOFTWARE\Native Instruments\Content, Maschine Content, Reaktor Content (64-bit view)
//       the content catalogs: each value's data is a product's key name; read
//   HKLM\SOFTWARE\Native Instruments\ServiceCenter (64-bit view), value InstallDir
//       the Service Center's folder; its conf\ProductHints.xml describes the products; read
//   HKCU\SOFTWARE\Native Instruments\(key name), UserListIndex and UserRemoved (REG_DWORD)
//       Kontakt's Libraries tab: the place (0 = at the top) and whether it is hidden; read and
//       written into existing keys only, while Kontakt is not running
//   (common program files)\Native Instruments\(product folder)\PAResources\image\(folder name)
//       a product's own artwork; read
//   (public documents)\NI Resources\image\(product folder name in lower case)
//       the artwork that Maschine and Komplete Kontrol show: MST_artwork.png, VB_artwork.png
//
// A product's key name is the same text in its key, in the content catalogs, in the hints file and
// in our file database; the program matches it without regard to case (letters A-Z).
#pragma once

namespace tessaly::ni {

// Below HKLM (both views) and HKCU.
inline constexpr const wchar_t* kProductsKey = L"SOFTWARE\\Native Instruments";

// Content catalogs below kProductsKey.
inline constexpr const wchar_t* kContentCatalogKey = L"SOFTWARE\\Native Instruments\\Content";
inline constexpr const wchar_t* kMaschineCatalogKey =
    L"SOFTWARE\\Native Instruments\\Maschine Content";
inline constexpr const wchar_t* kReaktorCatalogKey =
    L"SOFTWARE\\Native Instruments\\Reaktor Content";

// The Service Center and its product hints.
inline constexpr const wchar_t* kServiceCenterKey = L"SOFTWARE\\Native Instruments\\ServiceCenter";
inline constexpr const wchar_t* kServiceCenterFolderValue = L"InstallDir";
inline constexpr const wchar_t* kHintsFolder = L"conf";
inline constexpr const wchar_t* kHintsFile = L"ProductHints.xml";

// Values of a product key.
inline constexpr const wchar_t* kContentDir = L"ContentDir";
inline constexpr const wchar_t* kContentVersion = L"ContentVersion";
inline constexpr const wchar_t* kHu = L"HU";
inline constexpr const wchar_t* kInstallDir = L"InstallDir";
inline constexpr const wchar_t* kInstallVstDir = L"InstallVSTDir";
inline constexpr const wchar_t* kInstallVst64Dir = L"InstallVST64Dir";
inline constexpr const wchar_t* kJdx = L"JDX";
inline constexpr const wchar_t* kKey = L"KEY";
inline constexpr const wchar_t* kSno = L"SNO";
inline constexpr const wchar_t* kSystemId = L"SYSTEMID";
inline constexpr const wchar_t* kVisibility = L"Visibility";
inline constexpr const wchar_t* kSystemContentDir = L"SystemContentDir";
inline constexpr const wchar_t* kUserListIndex = L"UserListIndex";
inline constexpr const wchar_t* kUserRemoved = L"UserRemoved";

// Folders below the program-files folders where the installers put their VST plugins.
inline constexpr const wchar_t* kVst64Folder = L"Native Instruments\\VSTPlugins 64 bit";
inline constexpr const wchar_t* kVst32Folder = L"Native Instruments\\VSTPlugins 32 bit";

// Artwork.
inline constexpr const wchar_t* kProductsFolder = L"Native Instruments";
inline constexpr const wchar_t* kProductArtworkFolder = L"PAResources\\image";
inline constexpr const wchar_t* kSharedArtworkFolder = L"NI Resources\\image";
inline constexpr const wchar_t* kArtworkFiles[] = {L"MST_artwork.png", L"VB_artwork.png"};

}  // namespace tessaly::ni
