// Per-thread storage for FormatFixed texts: allocated on a thread's first call,
// released when the thread ends or the library unloads.
#pragma once

namespace zk {

// The calling thread's buffer (kFormatBufferUnits code units), or null when it
// cannot be allocated. Leaves the thread's last-error value as it was.
char16_t* ThreadFormatBuffer() noexcept;

bool StartFormatBuffers() noexcept;         // process attach
void ReleaseThreadFormatBuffer() noexcept;  // thread detach
void StopFormatBuffers() noexcept;          // process detach

}  // namespace zk
