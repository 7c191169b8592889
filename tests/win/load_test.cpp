// Loading and unloading: the control word of the loading thread, and the number
// format fixed at load.
#include <gtest/gtest.h>

#include "tests/win/test_support.h"
#include "zelvankor/number_format.h"

namespace zk::test {
namespace {

bool DllIsLoaded() { return GetModuleHandleW(DllPath().c_str()) != nullptr; }

TEST(LoadTest, LeavesTheLoadingThreadsControlWordAsItWas) {
  for (const std::uint16_t cw : {0x027F, 0x037F, 0x1332, 0x0C7F}) {
    ASSERT_FALSE(DllIsLoaded()) << "each load must run the load steps";
    SetControlWord(cw);
    HMODULE module = LoadLibraryW(DllPath().c_str());
    const std::uint16_t after = ControlWord();
    SetControlWord(0x027F);
    ASSERT_NE(module, nullptr);
    FreeLibrary(module);
    EXPECT_EQ(after, cw) << std::hex << "control word 0x" << cw;
  }
}

// Sets the user's decimal separator for the life of the object.
class UserDecimalSeparator {
 public:
  explicit UserDecimalSeparator(const wchar_t* separator) {
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, saved_, std::size(saved_));
    ok_ = SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator) != 0;
  }
  ~UserDecimalSeparator() { SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, saved_); }
  bool ok() const { return ok_; }

 private:
  wchar_t saved_[16] = L".";
  bool ok_;
};

std::wstring UserSeparator() {
  wchar_t value[16] = {};
  GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, value, std::size(value));
  return value;
}

TEST(LoadTest, FormatsWithAFullStopWhateverTheUsersSeparator) {
  ASSERT_FALSE(DllIsLoaded());
  UserDecimalSeparator comma(L",");
  ASSERT_TRUE(comma.ok());
  ASSERT_EQ(UserSeparator(), L",") << "the override must be in force for this test to mean anything";

  LoadedDll dll;
  probe::Call call;
  call.fn = dll.Bind(RowByTail("Ii1IiI11i1"));  // FormatFixed(x in slots 5-6, 2 decimals)
  ASSERT_NE(call.fn, nullptr);
  call.slots.resize(6);
  probe::PutDouble(call.slots, 5, 1.5);
  const probe::Result r = probe::Run(call);
  EXPECT_EQ(TextAt(r.eax), u"1.50");
}

TEST(LoadTest, NumberFormatReadsTheLocalesStandardData) {
  UserDecimalSeparator comma(L",");
  ASSERT_TRUE(comma.ok());
  EXPECT_EQ(QueryNumberFormat(L"en-US").decimal_separator, u'.');
  EXPECT_EQ(QueryNumberFormat(L"de-DE").decimal_separator, u',');
}

TEST(LoadTest, NumberFormatFallsBackToTheThreadsLocale) {
  UserDecimalSeparator semicolon(L";");
  ASSERT_TRUE(semicolon.ok());
  ASSERT_EQ(GetThreadLocale(), GetUserDefaultLCID());
  EXPECT_EQ(QueryNumberFormat(L"qq-not-a-locale").decimal_separator, u';');
}

}  // namespace
}  // namespace zk::test
