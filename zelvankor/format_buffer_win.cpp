#include <windows.h>

#include "services/format_fixed.h"
#include "zelvankor/format_buffer.h"

namespace zk {
namespace {

DWORD g_slot = TLS_OUT_OF_INDEXES;
// A private heap: destroying it at unload also frees the buffers of threads that
// are still running then.
HANDLE g_heap = nullptr;

}  // namespace

char16_t* ThreadFormatBuffer() noexcept {
  const DWORD last_error = GetLastError();  // TlsGetValue clears it
  void* buffer = TlsGetValue(g_slot);
  if (buffer == nullptr && g_heap != nullptr) {
    buffer = HeapAlloc(g_heap, 0, kFormatBufferUnits * sizeof(char16_t));
    if (buffer != nullptr && !TlsSetValue(g_slot, buffer)) {
      HeapFree(g_heap, 0, buffer);
      buffer = nullptr;
    }
  }
  SetLastError(last_error);
  return static_cast<char16_t*>(buffer);
}

bool StartFormatBuffers() noexcept {
  g_slot = TlsAlloc();
  if (g_slot == TLS_OUT_OF_INDEXES) return false;
  g_heap = HeapCreate(0, 0, 0);
  return g_heap != nullptr;
}

void ReleaseThreadFormatBuffer() noexcept {
  if (g_slot == TLS_OUT_OF_INDEXES || g_heap == nullptr) return;
  if (void* buffer = TlsGetValue(g_slot)) {
    TlsSetValue(g_slot, nullptr);
    HeapFree(g_heap, 0, buffer);
  }
}

void StopFormatBuffers() noexcept {
  if (g_heap != nullptr) HeapDestroy(g_heap);
  g_heap = nullptr;
  if (g_slot != TLS_OUT_OF_INDEXES) TlsFree(g_slot);
  g_slot = TLS_OUT_OF_INDEXES;
}

}  // namespace zk
