// Calls of FormatText that must not compile, one per FORMAT_CASE, and one that must
// (FORMAT_CASE_accepted), so that a broken command line cannot pass for a refused call. Built
// with -fsyntax-only by the tests of tests/CMakeLists.txt.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/text.h"

namespace tessaly {

std::wstring Snippet() {
  const std::wstring text = L"text";
  const std::wstring_view view = text;
  const int32_t count = -1;
  const uint32_t code = 5;
  const uint64_t big = 1;
#if defined(FORMAT_CASE_accepted)
  return FormatText(L"%s %s %s %d %lu %u %04x %02d %llu %I64u %lld %% %-8s", text, view, L"lit",
                    count, code, code, code, count, big, big, int64_t{-1}, text.c_str());
#elif defined(FORMAT_CASE_int_for_text)
  return FormatText(L"%s", count);
#elif defined(FORMAT_CASE_text_for_int)
  return FormatText(L"%d", text);
#elif defined(FORMAT_CASE_view_for_unsigned)
  return FormatText(L"%lu", view);
#elif defined(FORMAT_CASE_too_few)
  return FormatText(L"%s and %s", text);
#elif defined(FORMAT_CASE_too_many)
  return FormatText(L"%s", text, code);
#elif defined(FORMAT_CASE_none_for_one)
  return FormatText(L"%d%%");
#elif defined(FORMAT_CASE_signed_for_unsigned)
  return FormatText(L"%lu", count);
#elif defined(FORMAT_CASE_64_for_32)
  return FormatText(L"%lu", big);
#elif defined(FORMAT_CASE_unsigned_32_for_signed_32)
  return FormatText(L"%d", code);
#elif defined(FORMAT_CASE_float_conversion)
  return FormatText(L"%f", count);
#elif defined(FORMAT_CASE_double)
  return FormatText(L"%d", 1.5);
#elif defined(FORMAT_CASE_narrow_text)
  return FormatText(L"%s", "narrow");
#elif defined(FORMAT_CASE_character)
  return FormatText(L"%d", L'x');
#elif defined(FORMAT_CASE_bool)
  return FormatText(L"%d", true);
#elif defined(FORMAT_CASE_pointer)
  return FormatText(L"%d", &count);
#elif defined(FORMAT_CASE_format_not_literal)
  const wchar_t* format = L"%s";
  return FormatText(format, text);
#else
#error no FORMAT_CASE given
#endif
}

}  // namespace tessaly
