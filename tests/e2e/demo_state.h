// Parts of the demo machine that tests change on purpose, saved before and put back after, since
// the end-to-end tests of one run share one prefix.
#pragma once

#include <string>
#include <vector>

namespace tessaly::e2e {

// Kontakt's per-user values (UserListIndex, UserRemoved) under HKCU\SOFTWARE\Native Instruments.
class SavedLibrariesTab {
 public:
  SavedLibrariesTab();   // reads them
  ~SavedLibrariesTab();  // writes them back and removes the values that were not there
  SavedLibrariesTab(const SavedLibrariesTab&) = delete;
  SavedLibrariesTab& operator=(const SavedLibrariesTab&) = delete;

  bool Empty() const { return values_.empty(); }

 private:
  struct Value {
    std::wstring key;
    std::wstring name;
    bool present;
    unsigned long number;
  };
  std::vector<Value> values_;
};

}  // namespace tessaly::e2e
