// zk_boot_keeper: keeps a Wine session booted for the length of a test run.
//
// Every Wine process, as it starts, opens the named event \KernelObjects\__wineboot_event.
// When the event does not exist, the process takes itself for the first of a session and
// boots the prefix again (wineboot --init, which restarts services.exe), waiting up to two
// minutes for it. After a boot only services.exe holds the event, and under qemu-user
// services.exe sometimes crashes: the next test would then reboot the prefix inside its
// own time limit, and the services it starts would write into the test's output.
//
// This program holds the event, signalled, until the session's wineserver is stopped.
// It prints one line once it holds it, which the start script waits for.
#include <windows.h>
#include <winternl.h>
#include <ntdef.h>

#include <cstdio>

extern "C" NTSTATUS NTAPI NtCreateEvent(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, EVENT_TYPE,
                                        BOOLEAN);

int main() {
  UNICODE_STRING name;
  RtlInitUnicodeString(&name, L"\\KernelObjects\\__wineboot_event");
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &name, OBJ_OPENIF, nullptr, nullptr);
  HANDLE event = nullptr;
  const NTSTATUS status =
      NtCreateEvent(&event, EVENT_ALL_ACCESS, &attributes, NotificationEvent, TRUE);
  if (!NT_SUCCESS(status)) {
    std::fprintf(stderr, "zk_boot_keeper: cannot open the boot event (status 0x%08lx)\n",
                 static_cast<unsigned long>(status));
    return 1;
  }
  // This process started only after the boot ended or its wait ran out; either way the
  // boot is as finished as it will be, so later processes must not wait for it.
  SetEvent(event);
  std::printf("zk_boot_keeper: holding the boot event\n");
  std::fflush(stdout);
  Sleep(INFINITE);
}
