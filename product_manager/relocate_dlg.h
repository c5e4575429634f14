// CRelocateDlg: confirms the new parent folder under which the products of one type that are
// registered below an old parent get registered instead. It writes nothing itself: the product
// manager re-registers the products after the change-folder dialog ends.
#pragma once

#include <string>

#include "app/ui/page_context_win32.h"
#include "app/ui/page_win32.h"

namespace tessaly {

class CRelocateDlg : public CPage {
 public:
  explicit CRelocateDlg(const PageContext& context);

  // Before each DoModal(owner): the parent folder the products are registered under and the
  // words of their type and folder kind.
  void SetInputs(std::wstring oldParent, std::wstring typeWord, std::wstring kindWord);

  // DoModal(owner) ends with 1055 (Relocate... confirmed) or 2 (cancel). The new parent is the
  // confirmed folder after 1055; it is kept for the next run, which starts with it.
  const std::wstring& NewParent() const { return newParent_; }

 protected:
  std::span<const Anchor> Anchors() const override;
  bool OnInitPage() override;
  bool OnButton(int id) override;

 private:
  void Browse();
  void Relocate();

  std::wstring oldParent_;
  std::wstring typeWord_;
  std::wstring kindWord_;
  std::wstring newParent_;
};

}  // namespace tessaly
