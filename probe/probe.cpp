#include "probe/probe.h"

#include <windows.h>

#include <bit>
#include <cstring>
#include <stdexcept>

namespace {

struct RawCall {               // layout shared with probe.S
  const void* fn;
  std::uint32_t count;
  const std::uint32_t* slots;
  std::uint32_t control_word;
  std::uint32_t ebx, esi, edi, ebp;
};

struct RawResult {             // layout shared with probe.S
  std::uint32_t esp_after_push;
  std::uint32_t esp_after_return;
  std::uint32_t eax, ebx, esi, edi, ebp;
  std::uint8_t env[28];        // fnstenv: control, status, tag words first
  std::uint8_t st0[10];
  std::uint16_t padding;
  std::uint32_t raised;
};
static_assert(offsetof(RawResult, env) == 28 && offsetof(RawResult, st0) == 56);

}  // namespace

extern "C" {
extern std::uint32_t zk_probe_tls_offset;
void ZkProbeRun(const RawCall* call, RawResult* raw);
void ZkProbeResume();
}

namespace zk::probe {
namespace {

DWORD g_slot = TLS_OUT_OF_INDEXES;

// An export that raises: record the code and continue at the probe's resume point,
// whose frame the thread-local slot still names.
LONG CALLBACK OnException(EXCEPTION_POINTERS* info) {
  if (g_slot == TLS_OUT_OF_INDEXES) return EXCEPTION_CONTINUE_SEARCH;
  auto* frame = static_cast<std::uint32_t*>(TlsGetValue(g_slot));
  if (frame == nullptr) return EXCEPTION_CONTINUE_SEARCH;
  auto* raw = reinterpret_cast<RawResult*>(frame[6]);
  raw->raised = info->ExceptionRecord->ExceptionCode;
  raw->esp_after_return = raw->esp_after_push;
  info->ContextRecord->Ebp = reinterpret_cast<DWORD>(frame);
  info->ContextRecord->Esp = reinterpret_cast<DWORD>(frame) - 64;
  info->ContextRecord->Eip = reinterpret_cast<DWORD>(&ZkProbeResume);
  return EXCEPTION_CONTINUE_EXECUTION;
}

int CountFull(std::uint16_t tags) {
  int depth = 0;
  for (int i = 0; i < 8; ++i) depth += ((tags >> (2 * i)) & 3) != 3;
  return depth;
}

}  // namespace

void Init() {
  if (g_slot != TLS_OUT_OF_INDEXES) return;
  g_slot = TlsAlloc();
  if (g_slot == TLS_OUT_OF_INDEXES || g_slot >= 64) throw std::runtime_error("no TLS slot for the probe");
  zk_probe_tls_offset = 0xE10 + 4 * g_slot;  // TEB TlsSlots
  AddVectoredExceptionHandler(1, OnException);
}

Result Run(const Call& call) {
  Init();
  RawCall in{call.fn, static_cast<std::uint32_t>(call.slots.size()), call.slots.data(),
             call.control_word, call.markers.ebx, call.markers.esi, call.markers.edi,
             call.markers.ebp};
  RawResult raw{};
  ZkProbeRun(&in, &raw);

  Result r;
  r.bytes_removed = static_cast<std::int32_t>(raw.esp_after_return - raw.esp_after_push);
  r.eax = raw.eax;
  r.before = call.markers;
  r.after = {raw.ebx, raw.esi, raw.edi, raw.ebp};
  std::uint16_t tags;
  std::memcpy(&r.control_word, raw.env + 0, 2);
  std::memcpy(&r.status_word, raw.env + 4, 2);
  std::memcpy(&tags, raw.env + 8, 2);
  r.x87_depth = CountFull(tags);
  std::memcpy(r.st0.data(), raw.st0, 10);
  r.raised = raw.raised;
  if (r.raised != 0) r.after = r.before;  // not observable after an unwind
  return r;
}

std::vector<std::uint32_t> MarkedFrame(int slots) {
  std::vector<std::uint32_t> frame(slots);
  for (int i = 0; i < slots; ++i) frame[i] = 0x5A000000u | (i + 1) * 0x010101u;
  return frame;
}

std::uint32_t Low(double d) { return static_cast<std::uint32_t>(std::bit_cast<std::uint64_t>(d)); }
std::uint32_t High(double d) { return static_cast<std::uint32_t>(std::bit_cast<std::uint64_t>(d) >> 32); }

void PutBits(std::vector<std::uint32_t>& slots, int first, std::uint64_t bits) {
  if (slots.size() < static_cast<std::size_t>(first + 1)) slots.resize(first + 1);
  slots[first - 1] = static_cast<std::uint32_t>(bits);
  slots[first] = static_cast<std::uint32_t>(bits >> 32);
}

void PutDouble(std::vector<std::uint32_t>& slots, int first, double d) {
  PutBits(slots, first, std::bit_cast<std::uint64_t>(d));
}

}  // namespace zk::probe
