// platform/: the only code that knows the operating system: one interface,
// a POSIX side and a Win32 side (time, files, memory, locks, sockets).
//
// The operating-system boundary of the engine: time, files, memory, locks,
// local time and the alert box. Everything outside src/platform/ reaches the
// OS only through these declarations; the Win32 and POSIX sides implement
// them with the same observable behaviour.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

// Milliseconds since an arbitrary start, wrapping at 2^32. Compare unsigned.
uint32_t TickCount();
// Adds `bias` (wrapping) to every later TickCount(), so that tests can place
// the counter just before its wrap; 0 at start, process-wide.
void SetTickBias(uint32_t bias);
// Sleep for the given milliseconds; 0 yields the processor.
void SleepMs(uint32_t ms);

// Integer file handles. A valid handle is always 2 or above (0 and 1 mean
// "none" and "claimed" in the engine's tables); a failure gives -1.
int FileOpenRead(const char* path);                             // read only, others may read but not write
int FileCreate(const char* path);                               // create or truncate, normal attributes
int FileRead(int handle, void* buffer, uint32_t count);         // bytes read, -1 on error
int FileWrite(int handle, const void* buffer, uint32_t count);  // bytes written, -1 on error
int FileClose(int handle);                                      // 0, or -1 on error

// Zero-filled movable memory, as the engine's block table keeps it: a handle
// (never 0 for a successful allocation) and the storage it locks to.
uintptr_t MemAllocZero(size_t size);  // 0 when the allocation fails
void* MemLock(uintptr_t handle);
void MemUnlock(uintptr_t handle);
void MemFree(uintptr_t handle);

// A non-recursive-use critical section; storage large enough for either side.
struct Lock {
  alignas(16) unsigned char storage[64];
};
void LockInit(Lock& lock);
void LockEnter(Lock& lock);
void LockLeave(Lock& lock);
void LockDelete(Lock& lock);

// Holds a lock from its construction to the end of its scope.
class LockHold {
 public:
  explicit LockHold(Lock& lock) : lock_(lock) { LockEnter(lock_); }
  ~LockHold() { LockLeave(lock_); }
  LockHold(const LockHold&) = delete;
  LockHold& operator=(const LockHold&) = delete;

 private:
  Lock& lock_;
};

// A lock for state that lives as long as the loaded library: ready when the
// library is loaded, before any call can need it, and never deleted.
struct LastingLock {
  LastingLock() { LockInit(lock); }
  Lock lock;
};

// The local clock as the date header needs it. `biasMinutes` is the standard
// zone's offset with UTC = local + bias (60 for one hour west of UTC);
// `daylight` tells whether daylight-saving time is in effect now.
struct LocalTime {
  int year;
  int month;      // 1..12
  int dayOfWeek;  // 0 = Sunday
  int day;        // 1..31
  int hour;
  int minute;
  int second;
  int biasMinutes;
  bool daylight;
};
void GetLocalTimeInfo(LocalTime& out);

// A warning that needs a person's attention: a task-modal message box on
// Windows, one line on standard error elsewhere.
void AlertBox(const char* text, const char* caption);

// The separator that joins a directory and a file name.
char PathSeparator();
// Whether a character ends the directory part of a path (base-name split).
bool IsPathBreak(char ch);

}  // namespace platform
