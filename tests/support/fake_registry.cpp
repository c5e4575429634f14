// An in-memory registry that behaves like Windows'.
#include "tests/support/fake_registry.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/text.h"
#include "tests/support/fake_names.h"

namespace tessaly {

struct FakeRegistry::Node {
  struct Value {
    std::wstring name;
    uint32_t type = 0;
    std::vector<uint8_t> data;
  };
  std::wstring name;
  std::wstring keyClass;
  FileTime lastWrite = 0;
  std::map<std::wstring, std::shared_ptr<Node>, LessUpcaseFn> subkeys;
  std::vector<Value> values;  // in creation order
  bool deleted = false;

  Value* FindValue(std::wstring_view valueName) {
    for (Value& v : values)
      if (EqualsUpcase(v.name, valueName)) return &v;
    return nullptr;
  }
};

namespace {

using Path = std::vector<std::wstring>;

struct Rule {
  RegRoot root;
  std::wstring path;
  FakeRegistry::Operation op;
  ErrorCode code;
  uint32_t count;
  RegView view;
};

Path Split(std::wstring_view path) {
  Path parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(L'\\', start);
    if (end == std::wstring_view::npos) end = path.size();
    if (end > start) parts.emplace_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

std::wstring Join(const Path& parts) {
  std::wstring text;
  for (const std::wstring& p : parts) {
    if (!text.empty()) text += L'\\';
    text += p;
  }
  return text;
}

Path Concat(const Path& a, const Path& b) {
  Path all = a;
  all.insert(all.end(), b.begin(), b.end());
  return all;
}

const wchar_t* RootName(RegRoot root) {
  switch (root) {
    case RegRoot::ClassesRoot: return L"HKCR";
    case RegRoot::CurrentUser: return L"HKCU";
    case RegRoot::LocalMachine: return L"HKLM";
    case RegRoot::Users: return L"HKU";
  }
  return L"?";
}

}  // namespace

struct FakeRegistry::State {
  std::mutex mutex;
  bool is64Bit = true;
  std::map<RegRoot, std::shared_ptr<Node>> roots;
  FileTime clock = kFakeEpoch;
  std::vector<Rule> rules;
  std::vector<std::wstring> changes;

  FileTime Tick() { return clock++; }

  std::shared_ptr<Node> Root(RegRoot root) {
    auto& node = roots[root];
    if (!node) {
      node = std::make_shared<Node>();
      node->lastWrite = clock;
    }
    return node;
  }

  // The view an access mask reaches on this machine.
  RegView Effective(RegView view) const {
    if (!is64Bit) return RegView::Default;
    return view == RegView::Key64 ? RegView::Key64 : RegView::Key32;
  }

  // The physical path of `path` (relative to `root`) in `view`: on a 64-bit machine the 32-bit
  // view of HKLM\SOFTWARE lives under SOFTWARE\Wow6432Node.
  Path Physical(RegRoot root, Path path, RegView view) const {
    if (is64Bit && root == RegRoot::LocalMachine && Effective(view) == RegView::Key32 &&
        !path.empty() && EqualsUpcase(path[0], L"SOFTWARE") &&
        (path.size() == 1 || !EqualsUpcase(path[1], L"Wow6432Node"))) {
      path.insert(path.begin() + 1, L"Wow6432Node");
    }
    return path;
  }

  // Walks to the key; creates missing keys when `keyClass` is given (the class goes to the last
  // one only). Null when a key is missing and not created.
  std::shared_ptr<Node> Walk(RegRoot root, const Path& physical, const std::wstring* keyClass,
                             bool* created) {
    std::shared_ptr<Node> node = Root(root);
    if (created) *created = false;
    for (size_t i = 0; i < physical.size(); ++i) {
      auto it = node->subkeys.find(physical[i]);
      if (it == node->subkeys.end()) {
        if (!keyClass) return nullptr;
        auto child = std::make_shared<Node>();
        child->name = physical[i];
        if (i + 1 == physical.size()) child->keyClass = *keyClass;
        const FileTime now = Tick();
        child->lastWrite = now;
        node->lastWrite = now;
        it = node->subkeys.emplace(physical[i], std::move(child)).first;
        if (created) *created = true;
      }
      node = it->second;
    }
    return node;
  }

  // The injected failure for this operation, if any (and counts it).
  ErrorCode Failure(RegRoot root, const Path& logical, Operation op, RegView view) {
    const std::wstring path = Join(logical);
    for (auto it = rules.begin(); it != rules.end(); ++it) {
      if (it->root != root || it->op != op || !EqualsUpcase(Join(Split(it->path)), path)) continue;
      if (it->view != RegView::Default && is64Bit && Effective(it->view) != Effective(view))
        continue;
      const ErrorCode code = it->code;
      if (it->count != kForever && --it->count == 0) rules.erase(it);
      return code;
    }
    return err::Success;
  }

  void Record(const wchar_t* what, RegRoot root, const Path& physical,
              const std::wstring* valueName = nullptr) {
    std::wstring text = std::wstring(what) + L" " + RootName(root);
    if (!physical.empty()) text += L"\\" + Join(physical);
    if (valueName) text += L" [" + *valueName + L"]";
    changes.push_back(std::move(text));
  }
};

namespace {

constexpr ErrorCode kKeyDeleted = FakeRegistry::kKeyDeleted;
using Operation = FakeRegistry::Operation;

class FakeKey : public RegistryKey {
 public:
  FakeKey(std::shared_ptr<FakeRegistry::State> state, std::shared_ptr<FakeRegistry::Node> node,
          RegRoot root, Path logical, Path physical, RegView view, uint32_t accessMask)
      : state_(std::move(state)),
        node_(std::move(node)),
        root_(root),
        logical_(std::move(logical)),
        physical_(std::move(physical)),
        view_(view),
        access_(accessMask) {}

  ErrorCode OpenSubKey(std::wstring_view path, uint32_t accessMask,
                       std::unique_ptr<RegistryKey>& out) override {
    std::lock_guard lock(state_->mutex);
    if (node_->deleted) return kKeyDeleted;
    const Path sub = Split(path);
    const RegView view = ViewOf(accessMask);
    const Path logical = Concat(logical_, sub);
    if (ErrorCode e = state_->Failure(root_, logical, Operation::Open, view)) return e;
    const Path physical = state_->Physical(root_, Concat(physical_, sub), view);
    auto node = state_->Walk(root_, physical, nullptr, nullptr);
    if (!node) return err::FileNotFound;
    out = std::make_unique<FakeKey>(state_, node, root_, logical, physical, view, accessMask);
    return err::Success;
  }

  ErrorCode CreateSubKey(std::wstring_view path, std::wstring_view keyClass, uint32_t accessMask,
                         std::unique_ptr<RegistryKey>& out, bool* created) override {
    std::lock_guard lock(state_->mutex);
    if (created) *created = false;
    if (node_->deleted) return kKeyDeleted;
    const Path sub = Split(path);
    const RegView view = ViewOf(accessMask);
    const Path logical = Concat(logical_, sub);
    if (ErrorCode e = state_->Failure(root_, logical, Operation::Create, view)) return e;
    const Path physical = state_->Physical(root_, Concat(physical_, sub), view);
    // As in Windows, the handle a key is created under needs no particular access right: the
    // key's security decides, and the fake grants everything.
    if (!state_->Walk(root_, physical, nullptr, nullptr))
      state_->Record(L"CreateKey", root_, physical);
    const std::wstring cls(keyClass);
    bool made = false;
    auto node = state_->Walk(root_, physical, &cls, &made);
    if (created) *created = made;
    out = std::make_unique<FakeKey>(state_, node, root_, logical, physical, view, accessMask);
    return err::Success;
  }

  ErrorCode DeleteSubKey(std::wstring_view name, uint32_t accessMask) override {
    std::lock_guard lock(state_->mutex);
    if (node_->deleted) return kKeyDeleted;
    const Path sub = Split(name);
    const RegView view = ViewOf(accessMask);
    const Path physical = state_->Physical(root_, Concat(physical_, sub), view);
    state_->Record(L"DeleteKey", root_, physical);
    if (ErrorCode e = state_->Failure(root_, Concat(logical_, sub), Operation::Delete, view))
      return e;
    if (physical.empty()) return err::AccessDenied;  // a root cannot be deleted
    auto node = state_->Walk(root_, physical, nullptr, nullptr);
    if (!node) return err::FileNotFound;
    if (!node->subkeys.empty()) return err::AccessDenied;
    Path parentPath(physical.begin(), physical.end() - 1);
    auto parent = state_->Walk(root_, parentPath, nullptr, nullptr);
    parent->subkeys.erase(physical.back());
    parent->lastWrite = state_->Tick();
    node->deleted = true;
    return err::Success;
  }

  ErrorCode EnumKey(uint32_t index, std::wstring& name, std::wstring* keyClass,
                    FileTime* lastWrite) override {
    std::lock_guard lock(state_->mutex);
    if (node_->deleted) return kKeyDeleted;
    if (!(access_ & access::EnumerateSubKeys)) return err::AccessDenied;
    if (ErrorCode e = state_->Failure(root_, logical_, Operation::Enum, view_)) return e;
    if (index >= node_->subkeys.size()) return err::NoMoreItems;
    auto it = node_->subkeys.begin();
    std::advance(it, index);
    name = it->second->name;
    if (keyClass) *keyClass = it->second->keyClass;
    if (lastWrite) *lastWrite = it->second->lastWrite;
    return err::Success;
  }

  ErrorCode EnumValue(uint32_t index, std::wstring& name, uint32_t* type,
                      std::vector<uint8_t>* data) override {
    std::lock_guard lock(state_->mutex);
    if (node_->deleted) return kKeyDeleted;
    if (!(access_ & access::QueryValue)) return err::AccessDenied;
    if (ErrorCode e = state_->Failure(root_, logical_, Operation::Enum, view_)) return e;
    if (index >= node_->values.size()) return err::NoMoreItems;
    const auto& v = node_->values[index];
    name = v.name;
    if (type) *type = v.type;
    if (data) *data = v.data;
    return err::Success;
  }

  ErrorCode QueryInfo(RegKeyInfo& info) override {
    std::lock_guard lock(state_->mutex);
    if (node_->deleted) return kKeyDeleted;
    if (!(access_ & access::QueryValue)) return err::AccessDenied;
    if (ErrorCode e = state_->Failure(root_, logical_, Operation::QueryInfo, view_)) return e;
    info = RegKeyInfo{};
    info.keyClass = node_->keyClass;
    info.subKeys = uint32_t(node_->subkeys.size());
    for (const auto& [key, child] : node_->subkeys) {
      info.maxSubKeyLength = std::max(info.maxSubKeyLength, uint32_t(child->name.size()));
      info.maxClassLength = std::max(info.maxClassLength, uint32_t(child->keyClass.size()));
    }
    info.values = uint32_t(node_->values.size());
    for (const auto& v : node_->values) {
      info.maxValueNameLength = std::max(info.maxValueNameLength, uint32_t(v.name.size()));
      info.maxValueDataLength = std::max(info.maxValueDataLength, uint32_t(v.data.size()));
    }
    info.lastWriteTime = node_->lastWrite;
    return err::Success;
  }

  ErrorCode QueryValue(std::wstring_view name, uint32_t* type,
                       std::vector<uint8_t>* data) override {
    std::lock_guard lock(state_->mutex);
    if (node_->deleted) return kKeyDeleted;
    if (!(access_ & access::QueryValue)) return err::AccessDenied;
    if (ErrorCode e = state_->Failure(root_, logical_, Operation::Query, view_)) return e;
    const auto* v = node_->FindValue(name);
    if (!v) return err::FileNotFound;
    if (type) *type = v->type;
    if (data) *data = v->data;
    return err::Success;
  }

  ErrorCode SetValue(std::wstring_view name, uint32_t type, const uint8_t* data,
                     size_t size) override {
    std::lock_guard lock(state_->mutex);
    const std::wstring valueName(name);
    state_->Record(L"SetValue", root_, physical_, &valueName);
    if (node_->deleted) return kKeyDeleted;
    if (!(access_ & access::SetValue)) return err::AccessDenied;
    if (ErrorCode e = state_->Failure(root_, logical_, Operation::Set, view_)) return e;
    if (size > 0 && !data) return err::InvalidParameter;
    auto* v = node_->FindValue(name);
    if (!v) {
      node_->values.push_back({valueName, 0, {}});
      v = &node_->values.back();
    }
    v->type = type;
    v->data.assign(data, data + size);
    node_->lastWrite = state_->Tick();
    return err::Success;
  }

  ErrorCode DeleteValue(std::wstring_view name) override {
    std::lock_guard lock(state_->mutex);
    const std::wstring valueName(name);
    state_->Record(L"DeleteValue", root_, physical_, &valueName);
    if (node_->deleted) return kKeyDeleted;
    if (!(access_ & access::SetValue)) return err::AccessDenied;
    if (ErrorCode e = state_->Failure(root_, logical_, Operation::Delete, view_)) return e;
    auto& values = node_->values;
    auto it = std::find_if(values.begin(), values.end(),
                           [&](const auto& v) { return EqualsUpcase(v.name, name); });
    if (it == values.end()) return err::FileNotFound;
    values.erase(it);
    node_->lastWrite = state_->Tick();
    return err::Success;
  }

 private:
  std::shared_ptr<FakeRegistry::State> state_;
  std::shared_ptr<FakeRegistry::Node> node_;
  RegRoot root_;
  Path logical_;   // as the program named it, for injected failures
  Path physical_;  // where it lives, for the record of changes
  RegView view_;
  uint32_t access_;
};

}  // namespace

FakeRegistry::FakeRegistry(bool is64BitMachine)
    : is64Bit_(is64BitMachine), state_(std::make_shared<State>()) {
  state_->is64Bit = is64BitMachine;
  const std::wstring none;
  for (RegRoot root :
       {RegRoot::ClassesRoot, RegRoot::CurrentUser, RegRoot::LocalMachine, RegRoot::Users})
    state_->Root(root);
  state_->Walk(RegRoot::LocalMachine, {L"SOFTWARE"}, &none, nullptr);
  state_->Walk(RegRoot::CurrentUser, {L"Software"}, &none, nullptr);
  if (is64BitMachine)
    state_->Walk(RegRoot::LocalMachine, {L"SOFTWARE", L"Wow6432Node"}, &none, nullptr);
}

FakeRegistry::~FakeRegistry() = default;

ErrorCode FakeRegistry::OpenKey(RegRoot root, std::wstring_view path, uint32_t accessMask,
                                std::unique_ptr<RegistryKey>& out) {
  std::lock_guard lock(state_->mutex);
  const Path logical = Split(path);
  const RegView view = ViewOf(accessMask);
  if (ErrorCode e = state_->Failure(root, logical, Operation::Open, view)) return e;
  const Path physical = state_->Physical(root, logical, view);
  auto node = state_->Walk(root, physical, nullptr, nullptr);
  if (!node) return err::FileNotFound;
  out = std::make_unique<FakeKey>(state_, node, root, logical, physical, view, accessMask);
  return err::Success;
}

ErrorCode FakeRegistry::CreateKey(RegRoot root, std::wstring_view path, std::wstring_view keyClass,
                                  uint32_t accessMask, std::unique_ptr<RegistryKey>& out,
                                  bool* created) {
  std::lock_guard lock(state_->mutex);
  if (created) *created = false;
  const Path logical = Split(path);
  const RegView view = ViewOf(accessMask);
  if (ErrorCode e = state_->Failure(root, logical, Operation::Create, view)) return e;
  const Path physical = state_->Physical(root, logical, view);
  if (!state_->Walk(root, physical, nullptr, nullptr)) state_->Record(L"CreateKey", root, physical);
  const std::wstring cls(keyClass);
  bool made = false;
  auto node = state_->Walk(root, physical, &cls, &made);
  if (created) *created = made;
  out = std::make_unique<FakeKey>(state_, node, root, logical, physical, view, accessMask);
  return err::Success;
}

void FakeRegistry::SetClock(FileTime now) {
  std::lock_guard lock(state_->mutex);
  state_->clock = now;
}

FileTime FakeRegistry::Clock() const {
  std::lock_guard lock(state_->mutex);
  return state_->clock;
}

void FakeRegistry::InjectFailure(RegRoot root, std::wstring_view path, Operation op, ErrorCode code,
                                 uint32_t count, RegView view) {
  std::lock_guard lock(state_->mutex);
  if (count == 0) return;
  state_->rules.push_back({root, std::wstring(path), op, code, count, view});
}

void FakeRegistry::ClearFailures() {
  std::lock_guard lock(state_->mutex);
  state_->rules.clear();
}

std::vector<std::wstring> FakeRegistry::Changes() const {
  std::lock_guard lock(state_->mutex);
  return state_->changes;
}

void FakeRegistry::ClearChanges() {
  std::lock_guard lock(state_->mutex);
  state_->changes.clear();
}

// --- Test conveniences ---------------------------------------------------------------------

void FakeRegistry::CreateKeyAt(RegRoot root, std::wstring_view path, RegView view,
                               std::wstring_view keyClass) {
  std::lock_guard lock(state_->mutex);
  const std::wstring cls(keyClass);
  state_->Walk(root, state_->Physical(root, Split(path), view), &cls, nullptr);
}

void FakeRegistry::SetBytes(RegRoot root, std::wstring_view path, std::wstring_view name,
                            uint32_t type, const std::vector<uint8_t>& data, RegView view) {
  std::lock_guard lock(state_->mutex);
  const std::wstring none;
  auto node = state_->Walk(root, state_->Physical(root, Split(path), view), &none, nullptr);
  auto* v = node->FindValue(name);
  if (!v) {
    node->values.push_back({std::wstring(name), 0, {}});
    v = &node->values.back();
  }
  v->type = type;
  v->data = data;
  node->lastWrite = state_->Tick();
}

void FakeRegistry::SetString(RegRoot root, std::wstring_view path, std::wstring_view name,
                             std::wstring_view value, RegView view) {
  SetBytes(root, path, name, regtype::Sz, ToUtf16Bytes(value, true), view);
}

void FakeRegistry::SetExpandString(RegRoot root, std::wstring_view path, std::wstring_view name,
                                   std::wstring_view value, RegView view) {
  SetBytes(root, path, name, regtype::ExpandSz, ToUtf16Bytes(value, true), view);
}

void FakeRegistry::SetDword(RegRoot root, std::wstring_view path, std::wstring_view name,
                            uint32_t value, RegView view) {
  SetBytes(root, path, name, regtype::Dword,
           {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)}, view);
}

void FakeRegistry::DeleteTree(RegRoot root, std::wstring_view path, RegView view) {
  std::lock_guard lock(state_->mutex);
  const Path physical = state_->Physical(root, Split(path), view);
  if (physical.empty()) {
    ADD_FAILURE() << "DeleteTree cannot delete a root";
    return;
  }
  auto parent = state_->Walk(root, Path(physical.begin(), physical.end() - 1), nullptr, nullptr);
  if (!parent) return;
  auto it = parent->subkeys.find(physical.back());
  if (it == parent->subkeys.end()) return;
  // Open handles below the tree see their keys deleted.
  std::vector<std::shared_ptr<Node>> pending{it->second};
  while (!pending.empty()) {
    auto node = pending.back();
    pending.pop_back();
    node->deleted = true;
    for (auto& [name, child] : node->subkeys) pending.push_back(child);
  }
  parent->subkeys.erase(it);
  parent->lastWrite = state_->Tick();
}

bool FakeRegistry::Exists(RegRoot root, std::wstring_view path, RegView view) const {
  std::lock_guard lock(state_->mutex);
  return state_->Walk(root, state_->Physical(root, Split(path), view), nullptr, nullptr) != nullptr;
}

std::optional<std::vector<uint8_t>> FakeRegistry::ReadBytes(RegRoot root, std::wstring_view path,
                                                            std::wstring_view name, uint32_t* type,
                                                            RegView view) const {
  std::lock_guard lock(state_->mutex);
  auto node = state_->Walk(root, state_->Physical(root, Split(path), view), nullptr, nullptr);
  if (!node) return std::nullopt;
  const auto* v = node->FindValue(name);
  if (!v) return std::nullopt;
  if (type) *type = v->type;
  return v->data;
}

bool FakeRegistry::ValueExists(RegRoot root, std::wstring_view path, std::wstring_view name,
                               RegView view) const {
  return ReadBytes(root, path, name, nullptr, view).has_value();
}

std::optional<std::wstring> FakeRegistry::ReadString(RegRoot root, std::wstring_view path,
                                                     std::wstring_view name, RegView view) const {
  uint32_t type = 0;
  auto data = ReadBytes(root, path, name, &type, view);
  if (!data || (type != regtype::Sz && type != regtype::ExpandSz)) return std::nullopt;
  return FromUtf16Bytes(*data);
}

std::optional<uint32_t> FakeRegistry::ReadDword(RegRoot root, std::wstring_view path,
                                                std::wstring_view name, RegView view) const {
  uint32_t type = 0;
  auto data = ReadBytes(root, path, name, &type, view);
  if (!data || type != regtype::Dword || data->size() != 4) return std::nullopt;
  const auto& d = *data;
  return uint32_t(d[0]) | uint32_t(d[1]) << 8 | uint32_t(d[2]) << 16 | uint32_t(d[3]) << 24;
}

std::vector<std::wstring> FakeRegistry::SubKeyNames(RegRoot root, std::wstring_view path,
                                                    RegView view) const {
  std::lock_guard lock(state_->mutex);
  std::vector<std::wstring> names;
  auto node = state_->Walk(root, state_->Physical(root, Split(path), view), nullptr, nullptr);
  if (node)
    for (const auto& [key, child] : node->subkeys) names.push_back(child->name);
  return names;
}

std::vector<std::wstring> FakeRegistry::ValueNames(RegRoot root, std::wstring_view path,
                                                   RegView view) const {
  std::lock_guard lock(state_->mutex);
  std::vector<std::wstring> names;
  auto node = state_->Walk(root, state_->Physical(root, Split(path), view), nullptr, nullptr);
  if (node)
    for (const auto& v : node->values) names.push_back(v.name);
  return names;
}

FileTime FakeRegistry::LastWriteTime(RegRoot root, std::wstring_view path, RegView view) const {
  std::lock_guard lock(state_->mutex);
  auto node = state_->Walk(root, state_->Physical(root, Split(path), view), nullptr, nullptr);
  return node ? node->lastWrite : 0;
}

std::optional<std::wstring> FakeRegistry::KeyClass(RegRoot root, std::wstring_view path,
                                                   RegView view) const {
  std::lock_guard lock(state_->mutex);
  auto node = state_->Walk(root, state_->Physical(root, Split(path), view), nullptr, nullptr);
  if (!node) return std::nullopt;
  return node->keyClass;
}

}  // namespace tessaly
