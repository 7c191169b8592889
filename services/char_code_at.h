// The UTF-16 code unit at an index of a NUL-terminated text; 0 for a null text, a
// negative index or one at or past the end.
#pragma once

#include <cstdint>

namespace zk {

inline std::int32_t CharCodeAt(const char16_t* text, std::int32_t index) noexcept {
  // A negative index must not touch the text at all.
  if (index < 0 || text == nullptr) return 0;
  // Scan no further than the index: past the terminator the memory may not be the
  // caller's, and measuring the whole text would give the same answer.
  for (std::int32_t i = 0; i < index; ++i) {
    if (text[i] == u'\0') return 0;
  }
  // A NUL at the index itself is also "past the end", and reads as 0 anyway.
  return static_cast<std::int32_t>(text[index]);  // char16_t zero-extends: no surrogate pairing
}

}  // namespace zk
