// Bundles (suites) of Native Instruments products: each with the identifiers of its members, all
// of them by name. Names and members are compared without regard to case (A-Z).
#pragma once

#include <map>
#include <set>
#include <string>

#include "platform/text.h"

namespace tessaly {

using NoCaseTextSet = std::set<std::wstring, LessNoCaseFn>;

class CNiBundle {
 public:
  explicit CNiBundle(std::wstring name) : name_(std::move(name)) {}
  virtual ~CNiBundle() = default;
  CNiBundle(const CNiBundle&) = default;
  CNiBundle& operator=(const CNiBundle&) = default;

  std::wstring GetName() const { return name_; }
  // False for a null or empty text, a member already there, or when memory runs out.
  bool AddMember(const wchar_t* member);
  bool HasMember(std::wstring_view member) const;
  const NoCaseTextSet& Members() const { return members_; }

 private:
  NoCaseTextSet members_;
  std::wstring name_;
};

class CNiBundleMap {
 public:
  CNiBundleMap() = default;
  virtual ~CNiBundleMap() = default;
  CNiBundleMap(const CNiBundleMap&) = default;
  CNiBundleMap& operator=(const CNiBundleMap&) = default;

  // The bundle stored under `name`: a new empty one or the one already there; null when memory
  // runs out.
  CNiBundle* Add(const std::wstring& name);
  // Puts the names of the bundles that hold `member` into `names` (emptied first) and counts them.
  size_t GetBundlesContaining(std::wstring_view member, NoCaseTextSet& names) const;
  void Clear() { bundles_.clear(); }
  size_t Count() const { return bundles_.size(); }
  const std::map<std::wstring, CNiBundle, LessNoCaseFn>& Bundles() const { return bundles_; }

 private:
  std::map<std::wstring, CNiBundle, LessNoCaseFn> bundles_;
};

}  // namespace tessaly
