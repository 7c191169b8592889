// Shared pieces of the Windows test bench: loading the DLL, binding exports by name
// and the x87 control word of the test thread.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "exports/catalogue.h"
#include "exports/x87_extended.h"
#include "probe/probe.h"

namespace zk::test {

// The DLL under test: ZK_DLL if set, else zelvankor.dll beside the test executable.
std::wstring DllPath();

class LoadedDll {
 public:
  LoadedDll();
  ~LoadedDll();
  LoadedDll(const LoadedDll&) = delete;
  LoadedDll& operator=(const LoadedDll&) = delete;

  HMODULE module() const { return module_; }
  const void* Bind(const ExportRow& row) const;   // null when the name is missing

 private:
  HMODULE module_;
};

// A fixture whose suite shares one loaded DLL.
class DllSuite : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  static const LoadedDll& dll();
  static probe::Result Call(const ExportRow& row, std::vector<std::uint32_t> slots,
                            std::uint16_t control_word = 0x027F);
};

const ExportRow& RowByTail(std::string_view tail);

std::uint16_t ControlWord();
void SetControlWord(std::uint16_t cw);

// The 80-bit image of a double as the x87 holds it.
std::array<std::uint8_t, 10> Extended(double d);
std::uint64_t Bits(double d);

// Checks every export must pass whatever it returns: slots removed, registers,
// x87 depth and no exception raised or left pending.
void ExpectBindingRules(const ExportRow& row, const probe::Result& r);

using probe::MarkedFrame;

std::u16string TextAt(std::uint32_t address);
std::string Utf8(std::u16string_view text);

}  // namespace zk::test
