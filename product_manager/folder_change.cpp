// The product manager's folder repair: which products a change reaches, and their writes.
#include "product_manager/folder_change.h"

#include <vector>

#include "platform/text.h"
#include "product_manager/product_details.h"
#include "registry_archive/change_backups.h"

namespace tessaly {

namespace {

// One product the change reaches and the folder it gets; `write` is false for a product that
// lacks the folder kind, which is passed over and still counts as done.
struct PlannedWrite {
  CNiProduct* product;
  std::wstring folder;
  bool write;
};

// The products in the library's order, and the relocations that cannot be made (`errors`).
std::vector<PlannedWrite> Plan(CNiLibrary& library, CNiProduct& product, const FolderChange& change,
                               uint32_t& errors) {
  std::vector<PlannedWrite> plan;
  const ValueKind kind = change.kind;
  if (change.scope == FolderChangeScope::OneProduct) {
    plan.push_back({&product, change.folder, product.presentValues.HasAny(kind)});
    return plan;
  }
  const ProductType type = product.GetType();
  for (CNiProduct& record : library.records()) {
    if (!(record.GetType() & type)) continue;
    const bool present = record.presentValues.HasAny(kind);
    if (change.scope == FolderChangeScope::AllOfType) {
      if (!change.onlyFrom.empty() && !EqualsNoCase(change.onlyFrom, record.GetValue(kind)))
        continue;
      plan.push_back({&record, change.folder, present});
      continue;
    }
    // A value outside the old parent, an empty one included, is not the relocation's.
    const std::wstring value = present ? record.GetValue(kind) : std::wstring();
    if (value.empty()) continue;
    std::wstring moved;
    const ErrorCode rebased = RebasePath(value, change.oldParent, change.newParent, moved);
    if (rebased == err::FileNotFound) continue;
    if (rebased != err::Success) {
      ++errors;
      continue;
    }
    plan.push_back({&record, std::move(moved), true});
  }
  return plan;
}

}  // namespace

std::wstring DescribeFolderChange(const CNiProduct& product, const FolderChange& change) {
  const std::wstring type = ProductTypeText(product);
  switch (change.scope) {
    case FolderChangeScope::OneProduct:
      return L"Use for " + product.keyName + L" only: " + change.folder;
    case FolderChangeScope::AllOfType:
      return L"Use for all " + type + L" products" +
             (change.onlyFrom.empty() ? L"" : L" in " + change.onlyFrom) + L": " + change.folder;
    case FolderChangeScope::Relocate:
      return L"Relocate " + type + L" products from " + change.oldParent + L": " + change.newParent;
  }
  return {};
}

FolderChangeResult ChangeProductFolder(CNiLibrary& library, const BackupContext& context,
                                       CNiProduct& product, const FolderChange& change,
                                       FolderChangeObserver* observer, const CancelFlag* stop) {
  FolderChangeResult result;
  const std::vector<PlannedWrite> plan = Plan(library, product, change, result.errors);

  std::vector<ChangedValue> values;
  for (const PlannedWrite& planned : plan) {
    if (!planned.write) continue;
    values.push_back({RegRoot::LocalMachine, planned.product->view32, planned.product->keyPath,
                      planned.product->DescribeValue(change.kind).name,
                      TextValueData(planned.folder)});
  }
  if (!values.empty()) {
    const ErrorCode saved =
        SaveChangeBackup(context, DescribeFolderChange(product, change), values);
    if (saved != err::Success) {
      result.error = saved;
      result.backupFailed = true;
      result.errors = 0;
      return result;
    }
  }
  Registry& registry = context.registry;
  for (const PlannedWrite& planned : plan) {
    if (stop && stop->load()) break;
    const ErrorCode written =
        planned.write ? planned.product->WriteValue(registry, change.kind, true,
                                                    RegRoot::LocalMachine, planned.folder)
                      : err::Success;
    if (written != err::Success) {
      ++result.errors;
      if (change.scope == FolderChangeScope::OneProduct) result.error = written;
    } else {
      ++result.done;
    }
    if (observer) observer->ProductWritten(*planned.product, written);
  }
  return result;
}

}  // namespace tessaly
