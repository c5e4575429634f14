// COsPlatformDlg: the first page of the duplicate finder. The user picks the plugin platform to
// look for and edits the folders to search, one list per platform.
#pragma once

#include "app/ui/page_win32.h"
#include "plugins/plugin_folders.h"

namespace tessaly {

class COsPlatformDlg : public CPage {
 public:
  explicit COsPlatformDlg(const PageContext& context);

  // Set before the run: the stored platform and folder lists (defaults where none are stored).
  void SetInputs(PluginFolderChoice choice) { choice_ = std::move(choice); }
  // After the run, whatever ended it: the platform checked and both lists as edited.
  const PluginFolderChoice& Choice() const { return choice_; }

 protected:
  std::span<const Anchor> Anchors() const override;
  bool OnInitPage() override;
  void OnDestroyPage() override;
  bool OnPageCommand(int id, int notifyCode, HWND control) override;
  bool OnButton(int id) override;
  bool CanGoNext() override;
  std::span<const ToolTipText> ToolTips() const override;
  void UpdateControls() override;

 private:
  // The position of the checked platform radio button (0 = 32-bit, 1 = 64-bit).
  int ReadPlatform() const;
  void ShowPlatform(int platform);
  // The VST3 and CLAP check box clicked: turned on, it adds those formats' default folders.
  void SetModernFormats(bool on);
  void AddFolder();
  void RemoveFolder();
  void OpenFolder();
  std::wstring SelectedFolder() const;

  PluginFolderChoice choice_;
  int shownPlatform_ = 0;
};

}  // namespace tessaly
