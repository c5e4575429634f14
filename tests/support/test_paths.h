// Helpers shared by tests of both builds.
#pragma once

#include <string>

#include "platform/text.h"

namespace tessaly::testing {

std::wstring Widen(const std::string& text);

}  // namespace tessaly::testing
