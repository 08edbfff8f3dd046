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
// The same counter read from a cheaper, coarser clock (a few ms of
// resolution): for the socket layer's waits, which need no finer time.
uint32_t CoarseTickCount();
// Adds `bias` (wrapping) to every later TickCount() and CoarseTickCount(), so
// that tests can place the counter just before its wrap; 0 at start,
// process-wide.
void SetTickBias(uint32_t bias);
// Sleep for the given milliseconds; 0 yields the processor.
void SleepMs(uint32_t ms);
// Seconds since 1970-01-01 UTC, and the calling process's id: with a counter
// they make identifiers that no other message carries.
uint64_t UnixSeconds();
uint32_t ProcessId();

// Integer file handles. A valid handle is always 2 or above (0 and 1 mean
// "none" and "claimed" in the engine's tables); a failure gives -1.
// Only regular files are opened: anything else (a directory, a FIFO, a
// device) is refused at once, without waiting for a peer, so that no open,
// read or write of a file can hold a call past its time limits.

// Opens a regular file for reading; others may read it but not write.
int FileOpenRead(const char* path);

// What FileCreate does with a symbolic link (on Windows, any reparse point)
// at the last component of its path.
enum class LinkRule { kFollow, kRefuse };

// Creates a regular file, or empties an existing one, for writing. A new file
// is readable and writable by its owner only (POSIX mode 0600, narrowed
// further by the umask); an existing one keeps its mode. An existing file
// that is not a regular file, and with kRefuse a link, is refused and left
// as it is: -1.
int FileCreate(const char* path, LinkRule links);

int FileRead(int handle, void* buffer, uint32_t count);         // bytes read, -1 on error
int FileWrite(int handle, const void* buffer, uint32_t count);  // bytes written, -1 on error
int FileClose(int handle);                                      // 0, or -1 on error

// Closes a file that FileCreate made and removes it, provided `path` still
// names that file (a file put in its place meanwhile stays): 0 when it was
// removed, -1 otherwise. The handle is closed either way.
int FileDiscard(int handle, const char* path);

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

// Converts `inLength` bytes of text in the character set named `charset` (a
// MIME name such as "ISO-8859-2", "windows-1251", "KOI8-R", "Shift_JIS", any
// case) into UTF-8 in `out` (`outSize` bytes, no NUL written). A byte that is
// not valid in the set becomes U+FFFD. When `used` is given, an incomplete
// sequence at the end is left unconverted and `*used` tells how many input
// bytes were taken; without it such a rest becomes U+FFFD too. Conversion
// stops where `out` is full. Returns the bytes written, or -1 when the
// system does not know the character set.
int ConvertToUtf8(const char* charset, const char* in, int inLength, char* out, int outSize, int* used);

// Whether the paths given to the file functions are UTF-8 (POSIX: bytes are
// names either way; Windows: the wide-character functions are used) or
// single-byte texts of the system's code page (the default). Process-wide.
void SetUtf8FileNames(bool on);

}  // namespace platform
