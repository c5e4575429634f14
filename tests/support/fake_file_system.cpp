// An in-memory set of NTFS-like volumes with Windows' rules.
#include "tests/support/fake_file_system.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <mutex>

#include "platform/text.h"
#include "tests/support/fake_names.h"

namespace tessaly {

namespace fakefs {

struct Volume {
  std::wstring root;  // "C:" or "\\server\share"
  std::shared_ptr<FakeFileSystem::Node> rootNode;
  uint64_t freeBytes = 0;
  uint64_t totalBytes = 0;
  uint32_t driveType = drive::Fixed;
};

}  // namespace fakefs

struct FakeFileSystem::Node {
  std::wstring name;
  bool folder = false;
  bool link = false;
  std::wstring linkTarget;
  uint32_t attributes = 0;
  FileTime creation = 0, lastAccess = 0, lastWrite = 0;
  std::vector<uint8_t> bytes;
  bool generated = false;
  uint64_t generatedSize = 0;
  std::map<std::wstring, std::shared_ptr<Node>, LessUpcaseFn> children;
  Node* parent = nullptr;
  fakefs::Volume* volume = nullptr;
  int openCount = 0;
  uint64_t fileIndex = 0;  // unique on the fake, kept through renames
  std::wstring shortName;  // an 8.3 name, or empty

  uint64_t Size() const { return generated ? generatedSize : bytes.size(); }
  bool ReadOnly() const { return (attributes & attr::ReadOnly) != 0; }
  bool HoldsOpenItem() const {
    for (const auto& [key, child] : children)
      if (child->openCount > 0 || (!child->link && child->HoldsOpenItem())) return true;
    return false;
  }
  bool IsBelow(const Node* ancestor) const {
    for (const Node* n = this; n; n = n->parent)
      if (n == ancestor) return true;
    return false;
  }
};

namespace {

using Node = FakeFileSystem::Node;
using NodePtr = std::shared_ptr<Node>;
using Volume = fakefs::Volume;
using Operation = FakeFileSystem::Operation;

// The wildcard characters of the DOS matching rules that FindFirstFileW translates to.
constexpr wchar_t kDosStar = 0xF001;  // '*' before '.': anything but the final dot
constexpr wchar_t kDosQm = 0xF002;    // '?': one character, or nothing at a dot or the end
constexpr wchar_t kDosDot = 0xF003;   // '.' before a wildcard or at the end: a dot or the end

constexpr uint32_t kSettableAttributes =
    attr::ReadOnly | attr::Hidden | attr::System | attr::Archive | 0x100 | 0x1000 | 0x2000;
constexpr uint32_t kRootAttributes = attr::Directory | attr::Hidden | attr::System;

// Translates a file-name pattern as FindFirstFileExW does before the file system sees it.
std::wstring TranslatePattern(std::wstring_view pattern) {
  std::wstring out(pattern);
  if (out == L"*.*") return L"*";
  for (size_t i = 0; i < out.size(); ++i) {
    const wchar_t next = i + 1 < out.size() ? out[i + 1] : 0;
    if (out[i] == L'?') {
      out[i] = kDosQm;
    } else if (out[i] == L'.' && (next == L'?' || next == L'*' || next == 0)) {
      out[i] = kDosDot;
    } else if (out[i] == L'*' && next == L'.') {
      out[i] = kDosStar;
    }
  }
  return out;
}

// FsRtlIsNameInExpression over a translated pattern, without regard to case.
bool MatchTranslated(std::wstring_view pat, std::wstring_view name) {
  const size_t lastDot = name.rfind(L'.');
  std::vector<signed char> memo((pat.size() + 1) * (name.size() + 1), -1);
  auto match = [&](auto& self, size_t p, size_t n) -> bool {
    signed char& m = memo[p * (name.size() + 1) + n];
    if (m >= 0) return m;
    bool r = false;
    const bool end = n == name.size();
    if (p == pat.size()) {
      r = end;
    } else {
      switch (pat[p]) {
        case L'*': r = self(self, p + 1, n) || (!end && self(self, p, n + 1)); break;
        case kDosStar:
          r = self(self, p + 1, n) || (!end && n != lastDot && self(self, p, n + 1));
          break;
        case L'?': r = !end && self(self, p + 1, n + 1); break;
        case kDosQm:
          r = (end || name[n] == L'.') ? self(self, p + 1, n) : self(self, p + 1, n + 1);
          break;
        case kDosDot:
          r = end ? self(self, p + 1, n) : (name[n] == L'.' && self(self, p + 1, n + 1));
          break;
        default: r = !end && UpcaseChar(pat[p]) == UpcaseChar(name[n]) && self(self, p + 1, n + 1);
      }
    }
    m = r ? 1 : 0;
    return r;
  };
  return match(match, 0, 0);
}

// The path as the caller means it: no "\\?\" prefix, backslashes only.
std::wstring Clean(std::wstring_view path) {
  std::wstring s(path);
  std::replace(s.begin(), s.end(), L'/', L'\\');
  if (s.rfind(L"\\\\?\\UNC\\", 0) == 0) {
    s = L"\\\\" + s.substr(8);
  } else if (s.rfind(L"\\\\?\\", 0) == 0 || s.rfind(L"\\\\.\\", 0) == 0) {
    s = s.substr(4);
  }
  return s;
}

struct ParsedPath {
  std::wstring volume;  // "C:" or "\\server\share"
  std::vector<std::wstring> parts;
  bool trailingSlash = false;
};

bool IsLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

bool Parse(std::wstring_view path, ParsedPath& out) {
  const std::wstring s = Clean(path);
  out = ParsedPath{};
  std::wstring_view rest;
  if (s.size() >= 2 && IsLetter(s[0]) && s[1] == L':') {
    out.volume = std::wstring(1, UpcaseChar(s[0])) + L":";
    rest = std::wstring_view(s).substr(2);
  } else if (s.rfind(L"\\\\", 0) == 0) {
    const size_t server = s.find(L'\\', 2);
    if (server == std::wstring::npos || server == 2) return false;
    size_t share = s.find(L'\\', server + 1);
    if (share == std::wstring::npos) share = s.size();
    if (share == server + 1) return false;
    out.volume = s.substr(0, share);
    rest = std::wstring_view(s).substr(share);
  } else {
    return false;  // a relative path: State::Absolute resolves it from the current folder first
  }
  // Win32 drops the trailing dots and spaces of each name ("Strings." and "Strings " are
  // "Strings"), except in a "\\?\" path; a name pattern with wild cards keeps them ("*.").
  const bool verbatim = std::wstring_view(path).substr(0, 4) == L"\\\\?\\";
  size_t start = 0;
  while (start < rest.size()) {
    size_t end = rest.find(L'\\', start);
    if (end == std::wstring_view::npos) end = rest.size();
    std::wstring_view part = rest.substr(start, end - start);
    if (!verbatim && part != L"." && part != L".." &&
        part.find_first_of(L"*?") == std::wstring_view::npos) {
      while (!part.empty() && (part.back() == L'.' || part.back() == L' ')) part.remove_suffix(1);
    }
    if (part == L"..") {
      if (!out.parts.empty()) out.parts.pop_back();
    } else if (!part.empty() && part != L".") {
      out.parts.emplace_back(part);
    }
    start = end + 1;
  }
  out.trailingSlash = !out.parts.empty() && !rest.empty() && rest.back() == L'\\';
  return true;
}

std::wstring Hex(uint32_t value) {
  static const wchar_t digits[] = L"0123456789abcdef";
  std::wstring text;
  do {
    text.insert(text.begin(), digits[value & 0xF]);
    value >>= 4;
  } while (value);
  return L"0x" + text;
}

FindData DataOf(const Node& node, std::wstring name) {
  FindData fd;
  fd.attributes = node.attributes;
  if (!node.folder && fd.attributes == 0) fd.attributes = attr::Normal;
  fd.creationTime = node.creation;
  fd.lastAccessTime = node.lastAccess;
  fd.lastWriteTime = node.lastWrite;
  fd.size = node.folder ? 0 : node.Size();
  fd.reparseTag = node.link ? kReparseTagSymlink : 0;
  fd.name = std::move(name);
  return fd;
}

struct Rule {
  Operation op;
  std::wstring pattern;
  ErrorCode code;
  uint32_t count;
};

struct CopyFailure {
  std::wstring source;
  uint64_t bytes;
  ErrorCode code;
  uint32_t count;
};

}  // namespace

struct FakeFileSystem::State {
  std::recursive_mutex mutex;
  std::map<std::wstring, Volume, LessUpcaseFn> volumes;
  FileTime clock = kFakeEpoch;
  std::vector<Rule> rules;
  std::vector<CopyFailure> copyFailures;
  std::vector<std::wstring> operations;
  std::wstring currentFolder;  // empty: none
  uint64_t nextFileIndex = 1;

  // The child of `folder` named `name` by its long or its short name, or the end.
  static std::map<std::wstring, NodePtr, LessUpcaseFn>::iterator Child(Node& folder,
                                                                       const std::wstring& name) {
    auto it = folder.children.find(name);
    if (it != folder.children.end()) return it;
    for (it = folder.children.begin(); it != folder.children.end(); ++it) {
      if (!it->second->shortName.empty() && EqualsUpcase(it->second->shortName, name)) return it;
    }
    return it;
  }

  // The path as the process means it: a relative one from the current folder.
  std::wstring Absolute(std::wstring_view path) const {
    ParsedPath parsed;
    if (currentFolder.empty() || path.empty() || Parse(path, parsed)) return std::wstring(path);
    const std::wstring relative = Clean(path);
    if (relative[0] == L'\\') {
      Parse(currentFolder, parsed);
      return parsed.volume + relative;
    }
    return currentFolder + L"\\" + relative;
  }

  // Where a path leads: the folder that holds (or would hold) its last component and the item.
  struct Loc {
    Volume* volume = nullptr;
    Node* parent = nullptr;  // null for a root
    NodePtr node;            // null when missing
    std::wstring name;
    bool trailingSlash = false;
  };

  Volume* FindVolume(const std::wstring& root) {
    auto it = volumes.find(root);
    return it == volumes.end() ? nullptr : &it->second;
  }

  // The existing folder a directory link points to, or null.
  NodePtr FollowLink(const Node& link, int depth) {
    if (depth > 31) return nullptr;
    Loc loc;
    if (Locate(link.linkTarget, true, loc, depth + 1) || !loc.node || !loc.node->folder)
      return nullptr;
    return loc.node;
  }

  // 0, or 3 when the folder part of the path cannot be reached. A missing last item is not an
  // error here (loc.node stays null); with `followFinalLink` a dangling final link gives 2.
  ErrorCode Locate(std::wstring_view path, bool followFinalLink, Loc& loc, int depth = 0) {
    loc = Loc{};
    ParsedPath parsed;
    if (!Parse(Absolute(path), parsed)) return err::PathNotFound;
    loc.volume = FindVolume(parsed.volume);
    if (!loc.volume) return err::PathNotFound;
    loc.trailingSlash = parsed.trailingSlash;
    NodePtr current = loc.volume->rootNode;
    if (parsed.parts.empty()) {
      loc.node = current;
      return err::Success;
    }
    for (size_t i = 0; i + 1 < parsed.parts.size(); ++i) {
      auto it = Child(*current, parsed.parts[i]);
      if (it == current->children.end()) return err::PathNotFound;
      NodePtr next = it->second;
      if (next->link) next = FollowLink(*next, depth);
      if (!next || !next->folder) return err::PathNotFound;
      current = next;
    }
    loc.parent = current.get();
    loc.name = parsed.parts.back();
    auto it = Child(*current, loc.name);
    if (it != current->children.end()) {
      loc.node = it->second;
      // Reached by its short name: the item keeps its long one.
      if (!EqualsUpcase(loc.node->name, loc.name)) loc.name = loc.node->name;
      if (followFinalLink && loc.node->link) {
        loc.node = FollowLink(*loc.node, depth);
        if (!loc.node) return err::FileNotFound;
      }
    }
    return err::Success;
  }

  ErrorCode Injected(Operation op, std::wstring_view path, std::wstring_view other = {}) {
    const std::wstring a = Clean(path), b = Clean(other);
    for (auto it = rules.begin(); it != rules.end(); ++it) {
      if (it->op != op) continue;
      const std::wstring pattern = TranslatePattern(it->pattern);
      if (!MatchTranslated(pattern, a) && (b.empty() || !MatchTranslated(pattern, b))) continue;
      const ErrorCode code = it->code;
      if (it->count != kForever && --it->count == 0) rules.erase(it);
      return code;
    }
    return err::Success;
  }

  void Record(std::wstring text) { operations.push_back(std::move(text)); }

  NodePtr NewNode(Node* parent, std::wstring name, bool folder) {
    auto node = std::make_shared<Node>();
    node->name = std::move(name);
    node->folder = folder;
    node->attributes = folder ? attr::Directory : attr::Archive;
    node->creation = node->lastAccess = node->lastWrite = clock;
    node->fileIndex = nextFileIndex++;
    node->parent = parent;
    node->volume = parent->volume;
    parent->children[node->name] = node;
    parent->lastWrite = clock;
    return node;
  }

  // Takes a file's bytes from its volume's free space (never below zero).
  static void Charge(Volume& volume, int64_t delta) {
    if (delta >= 0) {
      volume.freeBytes -= std::min<uint64_t>(volume.freeBytes, uint64_t(delta));
    } else {
      volume.freeBytes = std::min(volume.totalBytes, volume.freeBytes + uint64_t(-delta));
    }
  }

  void Detach(Node& node) {
    Node* parent = node.parent;
    if (!parent) return;
    auto keep = parent->children[node.name];  // keeps `node` alive through the erase
    parent->children.erase(node.name);
    parent->lastWrite = clock;
    node.parent = nullptr;
  }

  void RemoveFile(Node& node) {
    Charge(*node.volume, -int64_t(node.Size()));
    Detach(node);
  }

  // A folder fixture path, made with its parents; null (and a test failure) if impossible.
  NodePtr MakeFolders(std::wstring_view path) {
    ParsedPath parsed;
    if (!Parse(path, parsed)) {
      ADD_FAILURE() << "not an absolute path: " << ToUtf8(path);
      return nullptr;
    }
    Volume* volume = FindVolume(parsed.volume);
    if (!volume) {
      ADD_FAILURE() << "no volume " << ToUtf8(parsed.volume) << " (AddVolume first)";
      return nullptr;
    }
    NodePtr current = volume->rootNode;
    for (const std::wstring& part : parsed.parts) {
      auto it = current->children.find(part);
      NodePtr next =
          it == current->children.end() ? NewNode(current.get(), part, true) : it->second;
      if (next->link) next = FollowLink(*next, 0);
      if (!next || !next->folder) {
        ADD_FAILURE() << "cannot make folder " << ToUtf8(path) << ": " << ToUtf8(part)
                      << " is a file or a dangling link";
        return nullptr;
      }
      current = next;
    }
    return current;
  }

  NodePtr Find(std::wstring_view path, bool followFinalLink) {
    Loc loc;
    if (Locate(path, followFinalLink, loc)) return nullptr;
    return loc.node;
  }
};

namespace {

// A file or folder held open without sharing.
class FakeHeldFile : public testing::HeldFile {
 public:
  FakeHeldFile(std::weak_ptr<FakeFileSystem::State> state, NodePtr node)
      : state_(std::move(state)), node_(std::move(node)) {}
  ~FakeHeldFile() override {
    if (auto state = state_.lock()) {
      std::lock_guard lock(state->mutex);
      --node_->openCount;
    }
  }

 private:
  std::weak_ptr<FakeFileSystem::State> state_;
  NodePtr node_;
};

}  // namespace

FakeFileSystem::FakeFileSystem() : state_(std::make_shared<State>()) {
  AddVolume(L"C:", 128ull << 30, 256ull << 30);
}

FakeFileSystem::~FakeFileSystem() {
  // Nodes point to their parents and volumes; drop the trees from the top.
  std::lock_guard lock(state_->mutex);
  for (auto& [root, volume] : state_->volumes) volume.rootNode.reset();
}

// --- Listing and attributes -----------------------------------------------------------------

ErrorCode FakeFileSystem::FindFiles(std::wstring_view pattern, const Visitor& visit) {
  std::vector<FindData> found;
  {
    std::lock_guard lock(state_->mutex);
    if (ErrorCode e = state_->Injected(Operation::FindFiles, pattern)) return e;
    const std::wstring absolute = state_->Absolute(pattern);
    ParsedPath parsed;
    if (!Parse(absolute, parsed)) return err::PathNotFound;
    if (parsed.parts.empty() || parsed.trailingSlash) {
      return state_->FindVolume(parsed.volume) ? err::FileNotFound : err::PathNotFound;
    }
    const std::wstring namePattern = parsed.parts.back();
    State::Loc loc;
    if (ErrorCode e = state_->Locate(absolute, false, loc)) {
      // Listing inside a file: the folder cannot be opened as a folder.
      std::wstring folder = Clean(absolute);
      folder.resize(path::FindFileName(folder));
      NodePtr node = state_->Find(folder, true);
      return node && !node->folder ? err::Directory : e;
    }
    Node* listed = loc.parent;
    const std::wstring translated = TranslatePattern(namePattern);
    if (listed->parent) {  // not a root: "." and ".." come first
      if (MatchTranslated(translated, L".")) found.push_back(DataOf(*listed, L"."));
      if (MatchTranslated(translated, L"..")) found.push_back(DataOf(*listed->parent, L".."));
    }
    for (const auto& [key, child] : listed->children) {
      if (MatchTranslated(translated, child->name) ||
          (!child->shortName.empty() && MatchTranslated(translated, child->shortName))) {
        found.push_back(DataOf(*child, child->name));
      }
    }
    if (found.empty()) return err::FileNotFound;
  }
  for (const FindData& fd : found)
    if (!visit(fd)) break;
  return err::Success;
}

ErrorCode FakeFileSystem::GetAttributes(std::wstring_view path, uint32_t& attributes) {
  std::lock_guard lock(state_->mutex);
  if (ErrorCode e = state_->Injected(Operation::GetAttributes, path)) return e;
  State::Loc loc;
  if (ErrorCode e = state_->Locate(path, false, loc)) return e;
  if (!loc.node) return err::FileNotFound;
  if (!loc.parent) {
    attributes = kRootAttributes;
    return err::Success;
  }
  if (loc.trailingSlash && !loc.node->folder) return err::InvalidName;
  attributes = loc.node->attributes;
  if (!loc.node->folder && attributes == 0) attributes = attr::Normal;
  return err::Success;
}

ErrorCode FakeFileSystem::SetAttributes(std::wstring_view path, uint32_t attributes) {
  std::lock_guard lock(state_->mutex);
  state_->Record(L"SetAttributes " + std::wstring(path) + L" " + Hex(attributes));
  if (ErrorCode e = state_->Injected(Operation::SetAttributes, path)) return e;
  State::Loc loc;
  if (ErrorCode e = state_->Locate(path, false, loc)) return e;
  if (!loc.node) return err::FileNotFound;
  if (!loc.parent) return err::AccessDenied;
  Node& node = *loc.node;
  node.attributes = (node.attributes & ~kSettableAttributes) | (attributes & kSettableAttributes);
  return err::Success;
}

ErrorCode FakeFileSystem::SetLastWriteTime(std::wstring_view path, FileTime time) {
  std::lock_guard lock(state_->mutex);
  state_->Record(L"SetLastWriteTime " + std::wstring(path));
  if (ErrorCode e = state_->Injected(Operation::SetLastWriteTime, path)) return e;
  State::Loc loc;
  if (ErrorCode e = state_->Locate(path, true, loc)) return e;
  if (!loc.node) return err::FileNotFound;
  loc.node->lastWrite = time;
  return err::Success;
}

// --- Folders --------------------------------------------------------------------------------

ErrorCode FakeFileSystem::CreateFolder(std::wstring_view path) {
  std::lock_guard lock(state_->mutex);
  state_->Record(L"CreateFolder " + std::wstring(path));
  if (ErrorCode e = state_->Injected(Operation::CreateFolder, path)) return e;
  State::Loc loc;
  if (ErrorCode e = state_->Locate(path, false, loc)) return e;
  if (!loc.parent) return err::AccessDenied;  // a root
  if (loc.node) return err::AlreadyExists;
  state_->NewNode(loc.parent, loc.name, true);
  return err::Success;
}

ErrorCode FakeFileSystem::RemoveFolder(std::wstring_view path) {
  std::lock_guard lock(state_->mutex);
  state_->Record(L"RemoveFolder " + std::wstring(path));
  if (ErrorCode e = state_->Injected(Operation::RemoveFolder, path)) return e;
  State::Loc loc;
  if (ErrorCode e = state_->Locate(path, false, loc)) return e;
  if (!loc.node) return err::FileNotFound;
  if (!loc.parent) return err::AccessDenied;
  Node& node = *loc.node;
  if (!node.folder) return err::Directory;
  if (node.openCount > 0) return err::SharingViolation;
  if (!node.link) {
    // Windows does not remove a read-only folder.
    if (node.ReadOnly()) return err::AccessDenied;
    if (!node.children.empty()) return err::DirNotEmpty;
  }
  state_->Detach(node);
  return err::Success;
}

ErrorCode FakeFileSystem::CreateFolderLink(std::wstring_view link, std::wstring_view target) {
  std::lock_guard lock(state_->mutex);
  state_->Record(L"CreateFolderLink " + std::wstring(link) + L" -> " + std::wstring(target));
  if (ErrorCode e = state_->Injected(Operation::CreateFolderLink, link, target)) return e;
  State::Loc loc;
  if (ErrorCode e = state_->Locate(link, false, loc)) return e;
  if (!loc.parent || loc.node) return err::AlreadyExists;
  std::wstring absolute = Clean(target);
  ParsedPath parsed;
  if (!Parse(absolute, parsed)) {
    // A relative target is relative to the folder holding the link.
    std::wstring base = Clean(link);
    base.resize(path::FindFileName(base));
    absolute = base + absolute;
  }
  NodePtr node = state_->NewNode(loc.parent, loc.name, true);
  node->link = true;
  node->linkTarget = absolute;
  node->attributes = attr::Directory | attr::ReparsePoint;
  return err::Success;
}

ErrorCode FakeFileSystem::GetFinalPath(std::wstring_view path, std::wstring& out) {
  std::lock_guard lock(state_->mutex);
  out.clear();
  if (ErrorCode e = state_->Injected(Operation::GetFinalPath, path)) return e;
  State::Loc loc;
  if (ErrorCode e = state_->Locate(path, true, loc)) return e;
  if (!loc.node) return err::FileNotFound;
  // Up from the item that the links led to: its names as stored, below its volume's root.
  std::vector<const Node*> chain;
  for (const Node* n = loc.node.get(); n->parent; n = n->parent) chain.push_back(n);
  out = loc.node->volume->root;
  if (chain.empty()) out += L'\\';
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) out += L'\\' + (*it)->name;
  return err::Success;
}

ErrorCode FakeFileSystem::GetFullPath(std::wstring_view path, std::wstring& out) {
  std::lock_guard lock(state_->mutex);
  out.clear();
  if (path.empty()) return err::InvalidName;
  ParsedPath parsed;
  if (!Parse(state_->Absolute(path), parsed)) return err::PathNotFound;
  out = parsed.volume;
  for (const std::wstring& part : parsed.parts) out += L'\\' + part;
  if (parsed.parts.empty() || parsed.trailingSlash) out += L'\\';
  return err::Success;
}

// --- Files ----------------------------------------------------------------------------------

ErrorCode FakeFileSystem::DeleteFile(std::wstring_view path) {
  std::lock_guard lock(state_->mutex);
  state_->Record(L"DeleteFile " + std::wstring(path));
  if (ErrorCode e = state_->Injected(Operation::DeleteFile, path)) return e;
  State::Loc loc;
  if (ErrorCode e = state_->Locate(path, false, loc)) return e;
  if (!loc.node) return err::FileNotFound;
  Node& node = *loc.node;
  if (node.folder) return err::AccessDenied;
  if (loc.trailingSlash) return err::InvalidName;
  if (node.openCount > 0) return err::SharingViolation;
  if (node.ReadOnly()) return err::AccessDenied;
  state_->RemoveFile(node);
  return err::Success;
}

ErrorCode FakeFileSystem::MoveFile(std::wstring_view from, std::wstring_view to,
                                   uint32_t moveFlags) {
  std::lock_guard lock(state_->mutex);
  state_->Record(L"MoveFile " + std::wstring(from) + L" -> " + std::wstring(to));
  if (ErrorCode e = state_->Injected(Operation::MoveFile, from, to)) return e;
  State::Loc src, dst;
  if (ErrorCode e = state_->Locate(from, false, src)) return e;
  if (!src.node) return err::FileNotFound;
  if (!src.parent) return err::AccessDenied;
  if (ErrorCode e = state_->Locate(to, false, dst)) return e;
  if (!dst.parent) return err::AccessDenied;
  NodePtr node = src.node;
  if (node->openCount > 0) return err::SharingViolation;
  // Windows refuses to rename a folder while something inside it is open.
  if (node->folder && !node->link && node->HoldsOpenItem()) return err::AccessDenied;
  if (dst.node == node) {
    // The same item (a rename that changes only the case): take the new spelling.
    if (dst.parent == node->parent) {
      Node* parent = node->parent;
      parent->children.erase(node->name);
      node->name = dst.name;
      parent->children[node->name] = node;
      parent->lastWrite = state_->clock;
    }
    return err::Success;
  }
  if (node->folder && dst.parent->IsBelow(node.get())) return err::SharingViolation;
  if (dst.node) {
    if (!(moveFlags & moveflags::ReplaceExisting)) return err::AlreadyExists;
    if (dst.node->folder || node->folder) return err::AccessDenied;
    if (dst.node->openCount > 0 || dst.node->ReadOnly()) return err::AccessDenied;
  }
  const bool sameVolume = dst.parent->volume == node->volume;
  if (!sameVolume) {
    if (node->folder || !(moveFlags & moveflags::CopyAllowed)) return kNotSameDevice;
    const uint64_t available = dst.parent->volume->freeBytes + (dst.node ? dst.node->Size() : 0);
    if (node->Size() > available) return err::DiskFull;
  }
  if (dst.node) state_->RemoveFile(*dst.node);
  state_->Detach(*node);
  node->name = dst.name;
  node->parent = dst.parent;
  dst.parent->children[node->name] = node;
  dst.parent->lastWrite = state_->clock;
  if (!sameVolume) {
    State::Charge(*node->volume, -int64_t(node->Size()));
    node->volume = dst.parent->volume;
    State::Charge(*node->volume, int64_t(node->Size()));
  }
  return err::Success;
}

ErrorCode FakeFileSystem::CopyFile(std::wstring_view from, std::wstring_view to,
                                   CopyProgressRoutine routine, void* userData, CancelToken cancel,
                                   uint32_t copyFlags) {
  std::lock_guard lock(state_->mutex);
  state_->Record(L"CopyFile " + std::wstring(from) + L" -> " + std::wstring(to));
  if (ErrorCode e = state_->Injected(Operation::CopyFile, from, to)) return e;
  State::Loc src, dst;
  if (ErrorCode e = state_->Locate(from, true, src)) return e;
  if (!src.node) return err::FileNotFound;
  NodePtr source = src.node;
  if (source->folder) return err::AccessDenied;
  if (source->openCount > 0) return err::SharingViolation;
  if (ErrorCode e = state_->Locate(to, true, dst)) return e;
  if (!dst.parent) return err::AccessDenied;
  if (dst.node) {
    if (copyFlags & copyflags::FailIfExists) return err::FileExists;
    if (dst.node == source) return err::SharingViolation;
    if (dst.node->folder) return err::AccessDenied;
    if (dst.node->openCount > 0) return err::SharingViolation;
    // CopyFile does not overwrite a read-only or hidden file.
    if (dst.node->attributes & (attr::ReadOnly | attr::Hidden)) return err::AccessDenied;
  }

  // The copy that fails midway, if one is arranged for this source.
  uint64_t failAt = UINT64_MAX;
  ErrorCode failCode = err::Success;
  const std::wstring cleanFrom = Clean(from);
  for (auto it = state_->copyFailures.begin(); it != state_->copyFailures.end(); ++it) {
    if (!EqualsUpcase(Clean(it->source), cleanFrom)) continue;
    failAt = std::min(it->bytes, source->Size());
    failCode = it->code;
    if (--it->count == 0) state_->copyFailures.erase(it);
    break;
  }

  // The target is created (an existing one truncated) and given its full size before any data
  // moves, so a copy that does not fit fails at once and leaves nothing behind.
  Volume& volume = *dst.parent->volume;
  FileTime creation = state_->clock;
  if (dst.node) {
    creation = dst.node->creation;
    state_->RemoveFile(*dst.node);
  }
  if (source->Size() > volume.freeBytes) return err::DiskFull;
  NodePtr target = state_->NewNode(dst.parent, dst.name, false);
  target->creation = creation;
  State::Charge(volume, int64_t(source->Size()));

  CopyProgress progress;
  progress.totalFileSize = progress.streamSize = source->Size();
  progress.streamNumber = 1;
  bool quiet = routine == nullptr;
  auto report = [&](uint32_t reason) -> ErrorCode {
    progress.callbackReason = reason;
    if (!quiet) {
      const uint32_t answer = routine(progress, userData);
      if (answer == kProgressCancel || answer == kProgressStop) return err::RequestAborted;
      if (answer == kProgressQuiet) quiet = true;
    }
    if (cancel.Requested()) return err::RequestAborted;
    return err::Success;
  };
  ErrorCode result = report(kCallbackStreamSwitch);
  uint64_t done = 0;
  while (!result) {
    if (done >= failAt) {
      result = failCode;
      break;
    }
    if (done >= source->Size()) break;
    const uint64_t chunk = std::min({kCopyChunk, source->Size() - done, failAt - done});
    done += chunk;
    progress.totalBytesTransferred = progress.streamBytesTransferred = done;
    result = report(kCallbackChunkFinished);
  }
  if (result) {
    State::Charge(volume, -int64_t(source->Size()));
    state_->Detach(*target);
    return result;
  }
  target->bytes = source->bytes;
  target->generated = source->generated;
  target->generatedSize = source->generatedSize;
  target->attributes = source->attributes | attr::Archive;
  target->lastWrite = source->lastWrite;
  target->lastAccess = state_->clock;
  return err::Success;
}

ErrorCode FakeFileSystem::ReadFile(std::wstring_view path, uint64_t offset, size_t maxBytes,
                                   std::vector<uint8_t>& out) {
  std::lock_guard lock(state_->mutex);
  if (ErrorCode e = state_->Injected(Operation::ReadFile, path)) return e;
  State::Loc loc;
  if (ErrorCode e = state_->Locate(path, true, loc)) return e;
  if (!loc.node) return err::FileNotFound;
  const Node& node = *loc.node;
  if (node.folder) return err::AccessDenied;
  if (node.openCount > 0) return err::SharingViolation;
  out.clear();
  const uint64_t size = node.Size();
  if (offset >= size) return err::Success;
  const uint64_t end = std::min<uint64_t>(size, offset + std::min<uint64_t>(maxBytes, size));
  if (node.generated) {
    out.reserve(size_t(end - offset));
    for (uint64_t i = offset; i < end; ++i) out.push_back(GeneratedByte(i));
  } else {
    out.assign(node.bytes.begin() + ptrdiff_t(offset), node.bytes.begin() + ptrdiff_t(end));
  }
  return err::Success;
}

ErrorCode FakeFileSystem::WriteFile(std::wstring_view path, const uint8_t* data, size_t size) {
  std::lock_guard lock(state_->mutex);
  state_->Record(L"WriteFile " + std::wstring(path));
  if (ErrorCode e = state_->Injected(Operation::WriteFile, path)) return e;
  State::Loc loc;
  if (ErrorCode e = state_->Locate(path, true, loc)) return e;
  if (!loc.parent) return err::AccessDenied;
  if (loc.node) {
    if (loc.node->folder) return err::AccessDenied;
    if (loc.node->openCount > 0) return err::SharingViolation;
    if (loc.node->ReadOnly()) return err::AccessDenied;
  }
  Volume& volume = *loc.parent->volume;
  const uint64_t old = loc.node ? loc.node->Size() : 0;
  if (size > volume.freeBytes + old) return err::DiskFull;
  NodePtr node = loc.node ? loc.node : state_->NewNode(loc.parent, loc.name, false);
  State::Charge(volume, int64_t(size) - int64_t(old));
  node->bytes.assign(data, data + size);
  node->generated = false;
  node->generatedSize = 0;
  node->attributes |= attr::Archive;
  node->lastWrite = node->lastAccess = state_->clock;
  return err::Success;
}

// --- Volumes --------------------------------------------------------------------------------

ErrorCode FakeFileSystem::GetFreeSpace(std::wstring_view folder, uint64_t& freeToCaller,
                                       uint64_t& totalBytes) {
  std::lock_guard lock(state_->mutex);
  if (ErrorCode e = state_->Injected(Operation::GetFreeSpace, folder)) return e;
  // A share is named with its trailing backslash ("\\server\share\"); the system refuses it
  // without one.
  const std::wstring asked = Clean(folder);
  if (asked.rfind(L"\\\\", 0) == 0 && path::IsRoot(asked) && asked.back() != L'\\') {
    return err::InvalidName;
  }
  State::Loc loc;
  if (state_->Locate(folder, true, loc)) return err::PathNotFound;
  if (!loc.node) return err::FileNotFound;
  if (!loc.node->folder) return err::Directory;
  freeToCaller = loc.node->volume->freeBytes;
  totalBytes = loc.node->volume->totalBytes;
  return err::Success;
}

uint32_t FakeFileSystem::GetDriveType(std::wstring_view root) {
  std::lock_guard lock(state_->mutex);
  ParsedPath parsed;
  if (!Parse(root, parsed) || !parsed.parts.empty()) return drive::NoRootDir;
  Volume* volume = state_->FindVolume(parsed.volume);
  return volume ? volume->driveType : drive::NoRootDir;
}

void FakeFileSystem::AddVolume(std::wstring_view root, uint64_t freeBytes, uint64_t totalBytes,
                               uint32_t driveType) {
  std::lock_guard lock(state_->mutex);
  ParsedPath parsed;
  if (!Parse(root, parsed) || !parsed.parts.empty()) {
    ADD_FAILURE() << "not a volume root: " << ToUtf8(root);
    return;
  }
  Volume& volume = state_->volumes[parsed.volume];
  volume.root = parsed.volume;
  volume.freeBytes = std::min(freeBytes, totalBytes);
  volume.totalBytes = totalBytes;
  volume.driveType = driveType;
  if (!volume.rootNode) {
    volume.rootNode = std::make_shared<Node>();
    volume.rootNode->folder = true;
    volume.rootNode->attributes = kRootAttributes;
    volume.rootNode->creation = volume.rootNode->lastWrite = volume.rootNode->lastAccess =
        state_->clock;
    volume.rootNode->volume = &volume;
    volume.rootNode->fileIndex = state_->nextFileIndex++;
  }
}

void FakeFileSystem::SetFreeSpace(std::wstring_view root, uint64_t freeBytes) {
  std::lock_guard lock(state_->mutex);
  ParsedPath parsed;
  Volume* volume = Parse(root, parsed) ? state_->FindVolume(parsed.volume) : nullptr;
  if (!volume) {
    ADD_FAILURE() << "no volume " << ToUtf8(root);
    return;
  }
  volume->freeBytes = std::min(freeBytes, volume->totalBytes);
}

uint64_t FakeFileSystem::FreeSpace(std::wstring_view root) const {
  std::lock_guard lock(state_->mutex);
  ParsedPath parsed;
  Volume* volume = Parse(root, parsed) ? state_->FindVolume(parsed.volume) : nullptr;
  return volume ? volume->freeBytes : 0;
}

void FakeFileSystem::SetCurrentFolder(std::wstring_view folder) {
  std::lock_guard lock(state_->mutex);
  ParsedPath parsed;
  if (!Parse(folder, parsed)) {
    ADD_FAILURE() << "not an absolute path: " << ToUtf8(folder);
    return;
  }
  state_->currentFolder = Clean(folder);
  path::RemoveBackslash(state_->currentFolder);
}

void FakeFileSystem::SetClock(FileTime now) {
  std::lock_guard lock(state_->mutex);
  state_->clock = now;
}

void FakeFileSystem::AdvanceClock(FileTime ticks) {
  std::lock_guard lock(state_->mutex);
  state_->clock += ticks;
}

FileTime FakeFileSystem::Clock() const {
  std::lock_guard lock(state_->mutex);
  return state_->clock;
}

// --- Fault injection, held files, record ----------------------------------------------------

void FakeFileSystem::InjectFailure(Operation op, std::wstring_view pathPattern, ErrorCode code,
                                   uint32_t count) {
  std::lock_guard lock(state_->mutex);
  if (count == 0) return;
  state_->rules.push_back({op, Clean(pathPattern), code, count});
}

void FakeFileSystem::FailCopyAfter(std::wstring_view source, uint64_t bytes, ErrorCode code,
                                   uint32_t count) {
  std::lock_guard lock(state_->mutex);
  if (count == 0) return;
  state_->copyFailures.push_back({std::wstring(source), bytes, code, count});
}

void FakeFileSystem::ClearFailures() {
  std::lock_guard lock(state_->mutex);
  state_->rules.clear();
  state_->copyFailures.clear();
}

std::unique_ptr<testing::HeldFile> FakeFileSystem::HoldOpen(std::wstring_view path) {
  std::lock_guard lock(state_->mutex);
  NodePtr node = state_->Find(path, true);
  if (!node) {
    ADD_FAILURE() << "cannot hold open a missing item: " << ToUtf8(path);
    return nullptr;
  }
  ++node->openCount;
  return std::make_unique<FakeHeldFile>(state_, node);
}

std::vector<std::wstring> FakeFileSystem::Operations() const {
  std::lock_guard lock(state_->mutex);
  return state_->operations;
}

void FakeFileSystem::ClearOperations() {
  std::lock_guard lock(state_->mutex);
  state_->operations.clear();
}

// --- Test conveniences ----------------------------------------------------------------------

void FakeFileSystem::AddFolder(std::wstring_view path, uint32_t attributes,
                               std::optional<FileTime> lastWriteTime) {
  std::lock_guard lock(state_->mutex);
  NodePtr node = state_->MakeFolders(path);
  if (!node || !node->parent) return;
  node->attributes |= attributes & kSettableAttributes;
  if (lastWriteTime) node->lastWrite = *lastWriteTime;
}

void FakeFileSystem::AddFile(std::wstring_view path, const std::vector<uint8_t>& bytes,
                             uint32_t attributes, std::optional<FileTime> lastWriteTime) {
  std::lock_guard lock(state_->mutex);
  std::wstring folder = Clean(path);
  const size_t nameAt = path::FindFileName(folder);
  const std::wstring name = folder.substr(nameAt);
  folder.resize(nameAt);
  NodePtr parent = state_->MakeFolders(folder);
  if (!parent) return;
  if (name.empty()) {
    ADD_FAILURE() << "no file name in " << ToUtf8(path);
    return;
  }
  auto it = parent->children.find(name);
  if (it != parent->children.end()) {
    if (it->second->folder) {
      ADD_FAILURE() << "a folder is in the way of " << ToUtf8(path);
      return;
    }
    state_->RemoveFile(*it->second);
  }
  NodePtr node = state_->NewNode(parent.get(), name, false);
  node->bytes = bytes;
  node->attributes = attributes & kSettableAttributes;
  if (lastWriteTime) node->lastWrite = *lastWriteTime;
  State::Charge(*node->volume, int64_t(bytes.size()));
}

void FakeFileSystem::AddFile(std::wstring_view path, std::string_view text, uint32_t attributes,
                             std::optional<FileTime> lastWriteTime) {
  AddFile(path, std::vector<uint8_t>(text.begin(), text.end()), attributes, lastWriteTime);
}

void FakeFileSystem::AddFile(std::wstring_view path, uint64_t size, uint32_t attributes,
                             std::optional<FileTime> lastWriteTime) {
  std::lock_guard lock(state_->mutex);
  AddFile(path, std::vector<uint8_t>{}, attributes, lastWriteTime);
  NodePtr node = state_->Find(path, false);
  if (!node) return;
  node->generated = true;
  node->generatedSize = size;
  State::Charge(*node->volume, int64_t(size));
}

void FakeFileSystem::AddFolderLink(std::wstring_view link, std::wstring_view target) {
  std::lock_guard lock(state_->mutex);
  std::wstring folder = Clean(link);
  folder.resize(path::FindFileName(folder));
  if (!state_->MakeFolders(folder)) return;
  const size_t before = state_->operations.size();
  const auto rules = std::move(state_->rules);
  state_->rules.clear();
  const ErrorCode e = CreateFolderLink(link, target);
  state_->rules = rules;
  state_->operations.resize(before);
  if (e) ADD_FAILURE() << "cannot add link " << ToUtf8(link) << ": error " << e;
}

bool FakeFileSystem::Exists(std::wstring_view path) const {
  std::lock_guard lock(state_->mutex);
  return state_->Find(path, false) != nullptr;
}

bool FakeFileSystem::IsFolder(std::wstring_view path) const {
  std::lock_guard lock(state_->mutex);
  NodePtr node = state_->Find(path, true);
  return node && node->folder;
}

bool FakeFileSystem::IsFile(std::wstring_view path) const {
  std::lock_guard lock(state_->mutex);
  NodePtr node = state_->Find(path, false);
  return node && !node->folder;
}

bool FakeFileSystem::IsLink(std::wstring_view path) const {
  std::lock_guard lock(state_->mutex);
  NodePtr node = state_->Find(path, false);
  return node && node->link;
}

std::wstring FakeFileSystem::LinkTarget(std::wstring_view path) const {
  std::lock_guard lock(state_->mutex);
  NodePtr node = state_->Find(path, false);
  return node && node->link ? node->linkTarget : std::wstring();
}

std::vector<uint8_t> FakeFileSystem::Contents(std::wstring_view path) const {
  std::lock_guard lock(state_->mutex);
  NodePtr node = state_->Find(path, true);
  if (!node || node->folder) {
    ADD_FAILURE() << "no file " << ToUtf8(path);
    return {};
  }
  if (!node->generated) return node->bytes;
  std::vector<uint8_t> bytes(size_t(node->generatedSize));
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = GeneratedByte(i);
  return bytes;
}

std::string FakeFileSystem::ContentsText(std::wstring_view path) const {
  const std::vector<uint8_t> bytes = Contents(path);
  return std::string(bytes.begin(), bytes.end());
}

uint64_t FakeFileSystem::FileSize(std::wstring_view path) const {
  std::lock_guard lock(state_->mutex);
  NodePtr node = state_->Find(path, true);
  return node && !node->folder ? node->Size() : 0;
}

uint32_t FakeFileSystem::Attributes(std::wstring_view path) const {
  std::lock_guard lock(state_->mutex);
  NodePtr node = state_->Find(path, false);
  if (!node) return attr::Invalid;
  if (!node->parent) return kRootAttributes;
  return (!node->folder && node->attributes == 0) ? attr::Normal : node->attributes;
}

FileTime FakeFileSystem::LastWriteTime(std::wstring_view path) const {
  std::lock_guard lock(state_->mutex);
  NodePtr node = state_->Find(path, false);
  return node ? node->lastWrite : 0;
}

FileTime FakeFileSystem::CreationTime(std::wstring_view path) const {
  std::lock_guard lock(state_->mutex);
  NodePtr node = state_->Find(path, false);
  return node ? node->creation : 0;
}

std::vector<std::wstring> FakeFileSystem::List(std::wstring_view folder) const {
  std::lock_guard lock(state_->mutex);
  std::vector<std::wstring> names;
  NodePtr node = state_->Find(folder, true);
  if (node && node->folder)
    for (const auto& [key, child] : node->children) names.push_back(child->name);
  return names;
}

// --- Identity, durability and short names --------------------------------------------------

ErrorCode FakeFileSystem::GetItemIdentity(std::wstring_view path, ItemIdentity& out) {
  std::lock_guard lock(state_->mutex);
  out = ItemIdentity();
  if (ErrorCode e = state_->Injected(Operation::GetItemIdentity, path)) return e;
  State::Loc loc;
  if (ErrorCode e = state_->Locate(path, false, loc)) return e;
  if (!loc.node) return err::FileNotFound;
  const Node& node = *loc.node;
  // The volume's serial number: a hash of its root name, the same for every item on it.
  uint32_t serial = 2166136261u;
  for (wchar_t c : node.volume->root) serial = (serial ^ uint32_t(UpcaseChar(c))) * 16777619u;
  out.volumeSerial = serial;
  out.fileIndex = node.fileIndex;
  out.attributes = !loc.parent                              ? kRootAttributes
                   : (!node.folder && node.attributes == 0) ? attr::Normal
                                                            : node.attributes;
  return err::Success;
}

ErrorCode FakeFileSystem::FlushFile(std::wstring_view path) {
  std::lock_guard lock(state_->mutex);
  state_->Record(L"FlushFile " + std::wstring(path));
  if (ErrorCode e = state_->Injected(Operation::FlushFile, path)) return e;
  NodePtr node = state_->Find(path, true);
  if (!node) return err::FileNotFound;
  return node->folder ? err::AccessDenied : err::Success;
}

void FakeFileSystem::SetShortName(std::wstring_view path, std::wstring_view shortName) {
  std::lock_guard lock(state_->mutex);
  NodePtr node = state_->Find(path, false);
  if (!node || !node->parent) {
    ADD_FAILURE() << "no item to give a short name: " << ToUtf8(path);
    return;
  }
  node->shortName = shortName;
}

}  // namespace tessaly
