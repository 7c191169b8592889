// The process-wide number format, fixed while the library loads.
#pragma once

#include <string_view>

namespace zk {

struct LibraryNumberFormat {
  char16_t decimal_separator = u'.';
};

// The locale reports its separator as a text; the library uses its first code unit.
constexpr LibraryNumberFormat NumberFormatFrom(std::u16string_view decimal_separator) {
  return {decimal_separator.empty() ? u'.' : decimal_separator.front()};
}

const LibraryNumberFormat& CurrentNumberFormat() noexcept;

// Load and unload steps.
void BuildNumberFormat() noexcept;
void ReleaseNumberFormat() noexcept;

// Reads the separator of the named locale's standard data (not the user's
// overrides); falls back to the calling thread's locale when the name does not
// resolve, and to "." when the platform yields nothing.
LibraryNumberFormat QueryNumberFormat(const wchar_t* locale_name) noexcept;

}  // namespace zk
