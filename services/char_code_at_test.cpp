#include "services/char_code_at.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <string_view>

namespace zk {
namespace {

constexpr std::int32_t kMaxIndex = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMinIndex = std::numeric_limits<std::int32_t>::min();

struct CharCodeCase {
  const char16_t* text;
  std::int32_t index;
  std::int32_t expected;
  const char* why;
};

const CharCodeCase kCharCodeCases[] = {
    {nullptr, 0, 0, "null counts as empty"},
    {nullptr, 5, 0, ""},
    {u"", 0, 0, ""},
    {u"abc", -1, 0, ""},
    {u"abc", kMinIndex, 0, ""},
    {u"abc", 0, 97, ""},
    {u"abc", 2, 99, ""},
    {u"abc", 3, 0, "the terminator's position"},
    {u"abc", 4, 0, "past the terminator"},
    {u"abc", kMaxIndex, 0, ""},
    {u"ab\0cd", 3, 0, "the text ends at its first NUL"},
    {u"\u2192", 0, 8594, ""},
    {u"\uFFFF", 0, 65535, "zero-extended, never negative"},
    {u"\U0001F600", 0, 0xD83D, "surrogate halves come back one at a time"},
    {u"\U0001F600", 1, 0xDE00, ""},
    {u"0123456789abcdefg", 16, 'g', "17 units"},
    {u"0123456789abcdefg", 17, 0, ""},
    {u"0123456789abcdefgh", 17, 'h', "18 units"},
};

TEST(CharCodeAt, Table) {
  for (const auto& c : kCharCodeCases) {
    SCOPED_TRACE(testing::Message() << "index " << c.index << " (" << c.why << ")");
    EXPECT_EQ(CharCodeAt(c.text, c.index), c.expected);
  }
}

// Texts placed at the very end of a readable page, followed by an inaccessible one:
// reading a unit beyond what the answer needs faults.
class CharCodeAtGuarded : public testing::Test {
 protected:
  void SetUp() override {
    page_ = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    void* area = mmap(nullptr, 2 * page_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(area, MAP_FAILED);
    area_ = static_cast<char*>(area);
    ASSERT_EQ(mprotect(area_ + page_, page_, PROT_NONE), 0);
  }
  void TearDown() override {
    if (area_ != nullptr) munmap(area_, 2 * page_);
  }

  const char16_t* Guard() const { return reinterpret_cast<const char16_t*>(area_ + page_); }

  // Copies the units (no terminator added) so that the last one ends the page.
  const char16_t* PlaceAtPageEnd(std::u16string_view units) {
    char* start = area_ + page_ - units.size() * sizeof(char16_t);
    std::memcpy(start, units.data(), units.size() * sizeof(char16_t));
    return reinterpret_cast<const char16_t*>(start);
  }

  std::size_t page_ = 0;
  char* area_ = nullptr;
};

TEST_F(CharCodeAtGuarded, ReadsNoFurtherThanTheIndex) {
  const char16_t* text = PlaceAtPageEnd(u"xyz");  // no terminator in reach
  EXPECT_EQ(CharCodeAt(text, 0), 'x');
  EXPECT_EQ(CharCodeAt(text, 2), 'z');
}

TEST_F(CharCodeAtGuarded, StopsAtTheTerminator) {
  const char16_t* text = PlaceAtPageEnd(std::u16string_view(u"ab\0", 3));
  EXPECT_EQ(CharCodeAt(text, 2), 0);
  EXPECT_EQ(CharCodeAt(text, 1000), 0);
  EXPECT_EQ(CharCodeAt(text, kMaxIndex), 0);
}

TEST_F(CharCodeAtGuarded, NegativeIndexNeverTouchesTheText) {
  EXPECT_EQ(CharCodeAt(Guard(), -1), 0);
  EXPECT_EQ(CharCodeAt(Guard(), kMinIndex), 0);
}

}  // namespace
}  // namespace zk
