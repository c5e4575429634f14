// CFileDatabaseDlg: the page that asks where FileDatabase.xml is when the stored path names no
// file. It opens before the product manager; the path it accepts is stored as FileDatabasePath.
#pragma once

#include "app/ui/page_win32.h"

namespace tessaly {

class CFileDatabaseDlg : public CPage {
 public:
  explicit CFileDatabaseDlg(const PageContext& context);

 protected:
  std::span<const Anchor> Anchors() const override;
  bool OnButton(int id) override;
  void OnBack() override;
  bool CanGoNext() override;

 private:
  // Checks the typed path and stores it when something exists there; the check's result.
  [[nodiscard]] ErrorCode CheckTypedPath();
  void Browse();
};

}  // namespace tessaly
