#include <gtest/gtest.h>

#include "tests/win/test_support.h"

#include <bit>
#include <cstdlib>
#include <memory>

#include "exports/x87_extended.h"

namespace zk::test {

std::wstring DllPath() {
  if (const wchar_t* path = _wgetenv(L"ZK_DLL"); path != nullptr && *path != 0) return path;
  wchar_t exe[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring dir(exe, n);
  dir.resize(dir.find_last_of(L"\\/") + 1);
  return dir + L"zelvankor.dll";
}

LoadedDll::LoadedDll() : module_(LoadLibraryW(DllPath().c_str())) {
  if (module_ == nullptr) ADD_FAILURE() << "LoadLibrary failed: " << GetLastError();
}

LoadedDll::~LoadedDll() {
  if (module_ != nullptr) FreeLibrary(module_);
}

const void* LoadedDll::Bind(const ExportRow& row) const {
  if (module_ == nullptr) return nullptr;
  return reinterpret_cast<const void*>(GetProcAddress(module_, row.Name().c_str()));
}

namespace {
std::unique_ptr<LoadedDll> g_suite_dll;
}

void DllSuite::SetUpTestSuite() { g_suite_dll = std::make_unique<LoadedDll>(); }
void DllSuite::TearDownTestSuite() { g_suite_dll.reset(); }
const LoadedDll& DllSuite::dll() { return *g_suite_dll; }

probe::Result DllSuite::Call(const ExportRow& row, std::vector<std::uint32_t> slots,
                             std::uint16_t control_word) {
  probe::Call call;
  call.fn = dll().Bind(row);
  EXPECT_NE(call.fn, nullptr) << row.Name();
  if (call.fn == nullptr) return {};
  slots.resize(std::max<std::size_t>(slots.size(), static_cast<std::size_t>(row.slots)));
  call.slots = std::move(slots);
  call.control_word = control_word;
  return probe::Run(call);
}

const ExportRow& RowByTail(std::string_view tail) {
  for (const ExportRow& row : kCatalogue) {
    if (row.tail == tail) return row;
  }
  ADD_FAILURE() << "no catalogue row " << tail;
  return kCatalogue[0];
}

std::uint16_t ControlWord() {
  std::uint16_t cw;
  asm volatile("fnstcw %0" : "=m"(cw));
  return cw;
}

void SetControlWord(std::uint16_t cw) {
  asm volatile("fnclex\n\tfldcw %0" : : "m"(cw));
}

std::array<std::uint8_t, 10> Extended(double d) { return ToExtended(Bits(d)); }
std::uint64_t Bits(double d) { return std::bit_cast<std::uint64_t>(d); }

void ExpectBindingRules(const ExportRow& row, const probe::Result& r) {
  EXPECT_EQ(r.raised, 0u) << row.Name();
  EXPECT_EQ(r.bytes_removed, row.BytesRemoved()) << row.Name();
  EXPECT_TRUE(r.RegistersPreserved()) << row.Name();
  EXPECT_EQ(r.x87_depth, ResultChannel(row.family) == Channel::St0 ? 1 : 0) << row.Name();
  EXPECT_FALSE(r.ExceptionPending()) << row.Name() << " status " << std::hex << r.status_word;
}

std::u16string TextAt(std::uint32_t address) {
  if (address == 0) return u"<null>";
  return reinterpret_cast<const char16_t*>(address);
}

std::string Utf8(std::u16string_view text) {
  std::string out;
  for (char16_t c : text) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      char buf[12];
      std::snprintf(buf, sizeof buf, "\\u%04X", static_cast<unsigned>(c));
      out += buf;
    }
  }
  return out;
}

}  // namespace zk::test
