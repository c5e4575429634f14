// Helpers shared by tests of both builds.
#include "tests/support/test_paths.h"

namespace tessaly::testing {

std::wstring Widen(const std::string& text) { return FromUtf8(text); }

}  // namespace tessaly::testing
