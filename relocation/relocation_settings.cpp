// The relocation wizard's settings.
#include "relocation/relocation_settings.h"

#include "platform/text.h"

namespace tessaly {

FolderChoice LoadFolderChoice(CProfileStore& settings) {
  FolderChoice choice;
  choice.source = settings.GetProfileString(kSettingsSection, kRelocateSource, L"");
  choice.newLocation = settings.GetProfileString(kSettingsSection, kRelocateTarget, L"");
  choice.linkOnly = settings.GetProfileInt(kSettingsSection, kDontCopyFiles, 0) != 0;
  choice.differentName = settings.GetProfileInt(kSettingsSection, kCopyContentsOnly, 0) != 0;
  choice.compareContents = settings.GetProfileInt(kSettingsSection, kCompareContents, 0) != 0;
  return choice;
}

void StoreFolderChoice(CProfileStore& settings, const FolderChoice& choice) {
  settings.WriteProfileString(kSettingsSection, kRelocateSource, choice.source);
  settings.WriteProfileString(kSettingsSection, kRelocateTarget, choice.newLocation);
  settings.WriteProfileInt(kSettingsSection, kDontCopyFiles, choice.linkOnly ? 1 : 0);
  settings.WriteProfileInt(kSettingsSection, kCopyContentsOnly, choice.differentName ? 1 : 0);
  settings.WriteProfileInt(kSettingsSection, kCompareContents, choice.compareContents ? 1 : 0);
}

void StoreConfirmedTarget(CProfileStore& settings, const std::wstring& fullTarget) {
  settings.WriteProfileString(kSettingsSection, kRelocateFinal, fullTarget);
}

RelocationRequest LoadRelocationRequest(CProfileStore& settings) {
  RelocationRequest request;
  request.source = settings.GetProfileString(kSettingsSection, kRelocateSource, L"");
  path::RemoveBackslash(request.source);
  request.target = settings.GetProfileString(kSettingsSection, kRelocateFinal, L"");
  request.linkOnly = settings.GetProfileInt(kSettingsSection, kDontCopyFiles, 0) != 0;
  request.compareContents = settings.GetProfileInt(kSettingsSection, kCompareContents, 0) != 0;
  return request;
}

}  // namespace tessaly
