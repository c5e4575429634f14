// What the program hands every page: the platform objects, the settings store and the dialogs
// that every page's system menu opens. Pages and their workers reach the system only through it.
#pragma once

#include "app/settings/profile_store.h"
#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "platform/win32/win32_api.h"

namespace tessaly {

// The dialogs a page can open that belong to the program rather than to the page: the
// Preferences dialog and the About box. The program provides them, so the page kit needs to know
// nothing of what they show or change.
class PageCommands {
 public:
  virtual ~PageCommands() = default;
  virtual void RunPreferences(HWND owner) = 0;
  virtual void RunAbout(HWND owner) = 0;
};

struct PageContext {
  Registry& registry;
  FileSystem& files;
  System& system;
  CProfileStore& settings;
  PageCommands& commands;
};

}  // namespace tessaly
