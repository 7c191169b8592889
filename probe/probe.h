// The call probe: calls an export the way a host does (push N slots, call) and
// records the stack pointer, the callee-saved registers, EAX and the x87 state it
// leaves. Used by the Windows test bench and by zelvankor-check.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace zk::probe {

struct Registers {
  std::uint32_t ebx, esi, edi, ebp;
  bool operator==(const Registers&) const = default;
};

struct Call {
  const void* fn = nullptr;
  std::vector<std::uint32_t> slots;   // slot 1 first
  std::uint16_t control_word = 0x027F;
  Registers markers = {0xB0B1B2B3, 0x51525354, 0xD1D2D3D4, 0xE0E1E2E3};
};

struct Result {
  std::int32_t bytes_removed = 0;     // by the export from the slots pushed
  std::uint32_t eax = 0;
  Registers before{}, after{};
  int x87_depth = 0;                  // values left on the x87 stack (it starts empty)
  std::array<std::uint8_t, 10> st0{}; // meaningful when x87_depth > 0
  std::uint16_t control_word = 0;     // after the call
  std::uint16_t status_word = 0;      // after the call; flags start clear
  std::uint32_t raised = 0;           // code of an exception the export raised, 0 if none

  bool RegistersPreserved() const { return before == after; }
  bool ExceptionPending() const { return (status_word & 0x80) != 0; }  // ES
  std::uint16_t Flags() const { return status_word & 0x3F; }
};

// Installs the probe's thread-local slot and its exception handler; once per process.
void Init();
Result Run(const Call& call);

// Helpers for building frames.
// Distinct marker words in every slot, so an export reading the wrong one shows.
std::vector<std::uint32_t> MarkedFrame(int slots);
std::uint32_t Low(double d);
std::uint32_t High(double d);
// Extends slots so that the double occupies slot `first` (1-based) and the next one.
void PutDouble(std::vector<std::uint32_t>& slots, int first, double d);
void PutBits(std::vector<std::uint32_t>& slots, int first, std::uint64_t bits);

}  // namespace zk::probe
