// Access keys of control captions: the letter after a lone "&" is the key (Alt+letter presses the
// control), and "&&" shows one "&".
#pragma once

#include <string>
#include <string_view>

namespace tessaly {

// The caption as shown: "&&" becomes "&", a lone "&" goes.
std::wstring WithoutAccessKeys(std::wstring_view caption);
// The access key of the caption, folded to upper case (A-Z only); 0 when it has none.
wchar_t AccessKeyOf(std::wstring_view caption);
// `text` made safe inside a caption: every "&" doubled, so that a product name or a path never
// makes an access key of its own.
std::wstring EscapeAccessKeys(std::wstring_view text);

}  // namespace tessaly
