// Values as zelvankor-check compares and reports them: x87 register images, doubles,
// texts read from addresses an export hands back, and their descriptions for people.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zk::check {

using X87Image = std::array<std::uint8_t, 10>;

// What `fld qword` leaves in ST(0) for this double, taken from the processor itself
// (exceptions masked): exact, subnormals normalised, a signalling NaN quieted.
X87Image LoadedAsX87(std::uint64_t double_bits);
X87Image LoadedAsX87(double d);

bool IsNaN(const X87Image& image);
// The double a register holds, when it holds exactly one.
std::optional<std::uint64_t> AsDoubleBits(const X87Image& image);

std::uint64_t Bits(double d);

// "2.5", "-0", "inf", "NaN (0x7FF8000000000001)", ...
std::string DescribeDouble(std::uint64_t bits);
std::string DescribeX87(const X87Image& image);
std::string Hex32(std::uint32_t value);  // "0x0000027F"
std::string Hex16(std::uint16_t value);  // "0x027F"

// A text in double quotes: printable ASCII kept, everything else as \uXXXX, so trailing
// blanks and look-alike characters stay visible. Longer texts are cut with "...".
std::string Quote(std::u16string_view text, std::size_t max_units = 48);

// The NUL-terminated UTF-16 text at an address an export handed back, read without
// touching memory that is not committed and readable: nullopt when the address is null,
// odd or unreadable, or no NUL comes within max_units.
std::optional<std::u16string> ReadText(std::uint32_t address, std::size_t max_units = 4096);

std::string Utf8(std::wstring_view text);

}  // namespace zk::check
