// CDupeFinderDlg: the duplicate finder's second page. A worker searches the plugin folders; the
// page lists the names found more than once (and on request once) among the files of the chosen
// platform, every name among the others, and the files of a selected name.
#pragma once

#include <atomic>

#include "app/ui/page_win32.h"
#include "platform/safe_lists.h"
#include "plugins/plugin_map.h"

namespace tessaly {

// The page's private messages: the worker's reports.
constexpr UINT WM_DUPE_SEARCH_COMPLETE = WM_USER + 601;  // posted at the end of a full search
constexpr UINT WM_DUPE_SEARCH_FILE = WM_USER + 602;      // sent: lParam = text of status line 2
constexpr UINT WM_DUPE_SEARCH_STATUS = WM_USER + 603;    // sent: lParam = text of status line 1
constexpr UINT WM_DUPE_SEARCH_STATE = WM_USER + 604;     // sent: lParam = 1 started, 0 ended

class CDupeFinderDlg : public CPage {
 public:
  CDupeFinderDlg();
  ~CDupeFinderDlg() override;

 protected:
  bool OnInitPage() override;
  void OnDestroyPage() override;
  bool OnCommand(int id, int notifyCode, HWND control) override;
  bool OnNotify(const NMHDR& header, LRESULT& result) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

 private:
  // The two halves of the page: the expected files above, the unexpected ones below.
  struct Half {
    CPluginMap* map;
    int namesId, filesId, deleteId, browseId, launchId;  // launchId 0: none
    CPluginList* group = nullptr;
    int rememberedRow = -1;
    int sortColumn = 0;
  };

  static DWORD WINAPI WorkerMain(void* page);
  // Status line 2 shows the newest text at most every 50 ms (see .cpp); Flush shows it now.
  void ShowFileLine(const wchar_t* text);
  void FlushFileLine();
  void StopWorker();
  void RefillNames(bool full);
  void FillNames(Half& half, bool singles, bool duplicates);
  void NameSelected(Half& half);
  void FillFiles(Half& half);
  void EnableFileButtons(Half& half, bool enabled);
  // The file of the first selected row of the half's file list, or null.
  CPluginFile* SelectedFile(Half& half, uint32_t* id = nullptr);
  void DeleteSelected(Half& half);
  Half* HalfOfFileList(int id);

  CPluginMap expected_;
  CPluginMap unexpected_;
  CSafeStringList folders_;
  int selectedPlatform_ = 0;
  Half upper_;
  Half lower_;
  HANDLE worker_ = nullptr;
  std::atomic<bool> running_{false};
  std::atomic<bool> stop_{false};
  std::wstring pendingFileLine_;
  DWORD lastFileLineTick_ = 0;
  CToolTips tips_;
};

}  // namespace tessaly
