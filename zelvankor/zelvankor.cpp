// Load and unload steps of zelvankor.dll. The exports themselves are assembled from
// the catalogue (exports/).
#include <windows.h>

#include "zelvankor/format_buffer.h"
#include "zelvankor/number_format.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      // Nothing here can make loading fail: without per-thread buffers FormatFixed
      // answers an empty text rather than the library refusing to load.
      zk::StartFormatBuffers();
      zk::BuildNumberFormat();
      break;
    case DLL_THREAD_DETACH:
      zk::ReleaseThreadFormatBuffer();
      break;
    case DLL_PROCESS_DETACH:
      zk::ReleaseNumberFormat();
      zk::StopFormatBuffers();
      break;
    default:
      break;
  }
  return TRUE;
}
