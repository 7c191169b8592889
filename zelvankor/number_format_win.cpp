#include <windows.h>

#include "zelvankor/number_format.h"

namespace zk {
namespace {

LibraryNumberFormat g_format;

std::u16string_view AsText(const wchar_t* text, int length_with_nul) {
  if (length_with_nul <= 1) return {};
  return {reinterpret_cast<const char16_t*>(text), static_cast<std::size_t>(length_with_nul - 1)};
}

}  // namespace

LibraryNumberFormat QueryNumberFormat(const wchar_t* locale_name) noexcept {
  wchar_t separator[32];
  int length = GetLocaleInfoEx(locale_name, LOCALE_SDECIMAL | LOCALE_NOUSEROVERRIDE, separator,
                               static_cast<int>(std::size(separator)));
  if (length <= 0) {
    length = GetLocaleInfoW(GetThreadLocale(), LOCALE_SDECIMAL, separator,
                            static_cast<int>(std::size(separator)));
  }
  return NumberFormatFrom(length > 0 ? AsText(separator, length) : std::u16string_view{});
}

const LibraryNumberFormat& CurrentNumberFormat() noexcept { return g_format; }

void BuildNumberFormat() noexcept { g_format = QueryNumberFormat(L"en-US"); }

void ReleaseNumberFormat() noexcept { g_format = {}; }

}  // namespace zk
