// CDupeFinderDlg: the duplicate finder's second page. A worker searches the plugin folders; the
// page lists the names found more than once (and on request once) among the files of the chosen
// platform, every name among the others, and the files of a selected name.
#pragma once

#include "app/ui/page_win32.h"
#include "app/ui/page_worker_win32.h"
#include "app/ui/progress_throttle.h"
#include "plugins/plugin_folders.h"
#include "plugins/plugin_map.h"
#include "resources/page_messages.h"

namespace tessaly {

// The completion message (WM_DUPE_SEARCH_COMPLETE) is the page worker's end message: wParam 0
// (lParam 0) when the search completed, otherwise how it ended (WorkerEnd) and the error.
class CDupeFinderDlg : public CPage {
 public:
  explicit CDupeFinderDlg(const PageContext& context);

  // Set before the run: the platform searched for, the folders to search and whether VST3 and
  // CLAP plugins are searched (and copies compared) too.
  void SetInputs(DupeSearchInputs inputs) { inputs_ = std::move(inputs); }

 protected:
  std::span<const Anchor> Anchors() const override;
  bool OnInitPage() override;
  void OnDestroyPage() override;
  bool OnPageCommand(int id, int notifyCode, HWND control) override;
  bool OnButton(int id) override;
  bool OnNotify(const NMHDR& header, LRESULT& result) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
  std::span<const ToolTipText> ToolTips() const override;
  void UpdateControls() override;

 private:
  // The two halves of the page: the expected files above, the unexpected ones below.
  struct Half {
    CPluginMap* map;
    int namesId, filesId, deleteId, browseId, launchId;  // launchId 0: none
    CPluginList* group = nullptr;
    int rememberedRow = -1;
    int sortColumn = 0;
    bool rowChosen = false;  // a file row was selected since the list was filled or acted on
  };

  void SearchEnded(WorkerEnd end, ErrorCode error);
  // Status line 2 shows the newest text at most every 50 ms (see .cpp); Flush shows it now.
  void ShowFileLine(const wchar_t* text);
  void FlushFileLine();
  void RefillNames(bool full);
  void FillNames(Half& half, bool singles, bool duplicates);
  void NameSelected(Half& half);
  void FillFiles(Half& half);
  void ForgetChosenRow(Half& half);
  // The file of the first selected row of the half's file list, or null.
  CPluginFile* SelectedFile(Half& half, uint32_t* id = nullptr);
  void DeleteSelected(Half& half);
  Half* HalfOfFileList(int id);

  DupeSearchInputs inputs_;
  CPluginMap expected_;
  CPluginMap unexpected_;
  Half upper_;
  Half lower_;
  // True from the start of the search until its end message: the maps belong to the worker.
  bool searching_ = false;
  // True while the worker's reports are shown on the status lines: from the start until the
  // worker reports that it has ended, or the page closes (a report sent afterwards is ignored).
  bool running_ = false;
  std::wstring pendingFileLine_;
  CProgressThrottle fileLineThrottle_;
  // Last member: destroyed first, so the worker has stopped before the maps go.
  CPageWorker worker_;
};

}  // namespace tessaly
