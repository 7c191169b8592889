// libFuzzer target: 8 bytes of a double and a decimals byte, checked against the
// reference used by the unit tests, plus the buffer contract.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "services/format_fixed.h"
#include "services/format_fixed_oracle.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 9) return 0;
  std::uint64_t bits;
  std::memcpy(&bits, data, sizeof bits);
  // Signed, so values outside 0..2 exercise the clamp too.
  const int decimals = static_cast<std::int8_t>(data[8]);
  // Any separator will do; one other than '.' shows where it lands.
  const char separator = size > 9 && (data[9] & 1) ? ',' : '.';

  char16_t out[zk::kFormatBufferUnits + 4];
  for (char16_t& unit : out) unit = u'#';
  const std::size_t n = zk::FormatFixedBits(bits, decimals, static_cast<char16_t>(separator), out);

  double x;
  std::memcpy(&x, &bits, sizeof x);
  const std::string expected = zk::oracle::FixedReference(x).Text(decimals, separator);
  std::string got;
  for (std::size_t i = 0; i < n && i < zk::kFormatTextMax; ++i) got += static_cast<char>(out[i]);

  if (n > zk::kFormatTextMax || out[n] != 0 || out[zk::kFormatBufferUnits] != u'#' || got != expected) {
    std::fprintf(stderr, "bits 0x%016llx decimals %d separator '%c': got \"%s\" (length %zu), expected \"%s\"\n",
                 static_cast<unsigned long long>(bits), decimals, separator, got.c_str(), n,
                 expected.c_str());
    std::abort();
  }
  return 0;
}
