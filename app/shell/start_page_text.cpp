// The descriptions of the Start page's five wizards.
#include "app/shell/start_page_text.h"

#include <initializer_list>

namespace tessaly {
namespace {

std::wstring Paragraphs(std::initializer_list<const wchar_t*> paragraphs) {
  std::wstring text;
  for (const wchar_t* paragraph : paragraphs) {
    if (!text.empty()) text += L"\r\n\r\n";
    text += paragraph;
  }
  return text;
}

}  // namespace

std::wstring WizardDescription(int selection) {
  switch (selection) {
    case 0:
      return Paragraphs(
          {L"Recursively searches specified folders for VST 2.x DLL files and identifies "
           L"duplicate files, in case you have multiple versions scattered around in your "
           L"plugin folders. ",
           L"Can also identify invalid plugins or files meant for other operating system "
           L"platforms.",
           L"After duplicates and unexpected files are identified, the wizard presents you with "
           L"version, location, and date info on every file and gives you the opportunity to "
           L"browse to the files in Explorer or delete unwanted files from within the program."});
    case 1:
      return Paragraphs(
          {L"Displays installation details of all currently installed Native Instruments "
           L"products, including product type and the locations of any application, plugins, or "
           L"content that the products might include.",
           L"Use this to correct your install paths if you move your plugins or content folders "
           L"to different locations after initial installation.",
           L"This feature includes optional batch support, where you can change a certain "
           L"location type for ALL installed products of a given category at once. This is "
           L"useful for cases where you move your entire plugin or content folders to another "
           L"directory or drive."});
    case 2:
      return Paragraphs(
          {L"Organizes the Libraries tab in Native Instruments Kontakt. You can use this wizard "
           L"to sort the Libraries alphabetically, and to select frequently-used libraries to "
           L"place at the very top of the list for easy access.",
           L"This is only intended to work with Kontakt Player-certified instruments (packages "
           L"that install in your Kontakt Libraries tab without any manual user tweaks).",
           L"Nothing too sophisticated, but has a couple of features I've always wanted to see."});
    case 3:
      return Paragraphs(
          {L"Restores the appropriate product thumbnails for installed Native Instruments "
           L"products in Maschine and Komplete Kontrol. Use this when Komplete Kontrol or "
           L"Maschine appear to be using generic graphics to represent specific products "
           L"currently installed on your system."});
    case 4:
      return Paragraphs(
          {L"Moves plugin content files from their original location to a new location without "
           L"requiring any additional configuration. Use this for products whose installers "
           L"don't let you choose where to install library content, such as recent Waves or "
           L"MusicLab releases.",
           L"You can really use this in any situation where you need to move files or programs "
           L"from one place to another but you don't want to have to reinstall or reconfigure "
           L"applications afterward. It's not limited only to plugins and sample libraries."});
    default: return {};
  }
}

int SelectionOfRadioId(int id) {
  for (size_t i = 0; i < kWizardRadioIds.size(); ++i) {
    if (kWizardRadioIds[i] == id) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace tessaly
