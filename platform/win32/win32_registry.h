// The registry interface over advapi32. Access masks, view flags included, reach the system as
// given; every key handle is closed by its object.
#pragma once

#include "platform/registry.h"

namespace tessaly {

class Win32Registry : public Registry {
 public:
  [[nodiscard]] ErrorCode OpenKey(RegRoot root, std::wstring_view path, uint32_t accessMask,
                                  std::unique_ptr<RegistryKey>& out) override;
  [[nodiscard]] ErrorCode CreateKey(RegRoot root, std::wstring_view path,
                                    std::wstring_view keyClass, uint32_t accessMask,
                                    std::unique_ptr<RegistryKey>& out,
                                    bool* created = nullptr) override;
};

}  // namespace tessaly
