// Loads KOV32.dll the way an application does: by name, every function by its
// plain name, each called through a __stdcall pointer. Exit code 0 = all good.
#include <windows.h>

#include <cstdio>

#include "exports.h"

namespace {

int failures = 0;

void Check(bool ok, const char* what, const char* name) {
  if (ok) return;
  ++failures;
  printf("FAIL: %s: %s\n", what, name);
}

// Calls `fn` with `bytes` bytes of zero arguments and returns how far the
// stack pointer moved: 0 when the callee popped its own arguments (__stdcall).
int StackDrift(FARPROC fn, int bytes) {
  int drift;
  int words = bytes / 4;
  __asm__ volatile(
      "movl %%esp, %%esi\n\t"
      "jecxz 2f\n\t"
      "1:\n\t"
      "pushl $0\n\t"
      "loop 1b\n\t"
      "2:\n\t"
      "call *%%edi\n\t"
      "movl %%esi, %%edx\n\t"
      "subl %%esp, %%edx\n\t"
      "movl %%esi, %%esp\n\t"
      : "=d"(drift), "+c"(words)
      : "D"(fn)
      : "eax", "esi", "memory", "cc");
  return drift;
}

}  // namespace

int main() {
  HMODULE dll = LoadLibraryA("KOV32.dll");
  if (dll == nullptr) {
    printf("FAIL: LoadLibraryA(KOV32.dll) error %lu\n", GetLastError());
    return 1;
  }
  char decorated[128];
  for (const ExportedFunction& f : kExports) {
    FARPROC fn = GetProcAddress(dll, f.name);
    Check(fn != nullptr, "missing export", f.name);
    snprintf(decorated, sizeof decorated, "_%s@%d", f.name, f.argumentBytes);
    Check(GetProcAddress(dll, decorated) == nullptr, "decorated export present", decorated);
    snprintf(decorated, sizeof decorated, "%s@%d", f.name, f.argumentBytes);
    Check(GetProcAddress(dll, decorated) == nullptr, "decorated export present", decorated);
    // With no library attached, every function rejects all-zero arguments at once.
    if (fn != nullptr) Check(StackDrift(fn, f.argumentBytes) == 0, "callee did not pop its arguments", f.name);
  }

  using AttachFn = int(__stdcall*)(int);
  using ReleaseFn = int(__stdcall*)();
  auto attach = reinterpret_cast<AttachFn>(reinterpret_cast<void*>(GetProcAddress(dll, "kovAttach")));
  auto release = reinterpret_cast<ReleaseFn>(reinterpret_cast<void*>(GetProcAddress(dll, "kovRelease")));
  if (attach != nullptr && release != nullptr) {
    Check(attach(4) == 1, "kovAttach(4) != 1", "kovAttach");
    Check(attach(4) == -72, "second kovAttach != -72", "kovAttach");
    Check(release() == 1, "kovRelease != 1", "kovRelease");
    Check(release() == 1, "second kovRelease != 1", "kovRelease");
  }
  printf("%s: %d export(s) checked, %d failure(s)\n", failures == 0 ? "PASS" : "FAIL",
         static_cast<int>(sizeof kExports / sizeof kExports[0]), failures);
  return failures == 0 ? 0 : 1;
}
