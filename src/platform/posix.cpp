// POSIX side of the platform layer (Linux build).
#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/platform.h"
#include "platform/posix_handles.h"
#include "platform/syscall_count.h"

static_assert(sizeof(pthread_mutex_t) <= sizeof(platform::Lock::storage), "lock storage");

namespace platform {

int KeepAboveOne(int fd) {
  if (fd < 0 || fd > 1) return fd;
  int moved = fcntl(fd, F_DUPFD_CLOEXEC, 2);
  int saved = errno;
  close(fd);
  errno = saved;
  return moved;
}

static std::atomic<uint32_t> tickBias{0};

static uint32_t ReadClock(clockid_t clock) {
  KOV_COUNT_CLOCK_READ();
  timespec ts;
  clock_gettime(clock, &ts);
  uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms) + tickBias.load(std::memory_order_relaxed);
}

uint32_t TickCount() { return ReadClock(CLOCK_MONOTONIC); }

uint32_t CoarseTickCount() { return ReadClock(CLOCK_MONOTONIC_COARSE); }

void SetTickBias(uint32_t bias) { tickBias.store(bias, std::memory_order_relaxed); }

uint64_t UnixSeconds() {
  const time_t now = time(nullptr);
  return now > 0 ? static_cast<uint64_t>(now) : 0;
}

uint32_t ProcessId() { return static_cast<uint32_t>(getpid()); }

void SleepMs(uint32_t ms) {
  KOV_COUNT_SYSCALL();
  if (ms == 0) {
    sched_yield();
    return;
  }
  timespec ts{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

namespace {

// Keeps a descriptor opened with O_NONBLOCK when it names a regular file,
// putting it back into blocking mode; closes anything else (a FIFO or a
// device opened that way has not waited for a peer): -1. With `size`, the
// file's size too.
int KeepRegular(int fd, off_t* size = nullptr) {
  if (fd < 0) return -1;
  struct stat st;
  const int flags = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? fcntl(fd, F_GETFL) : -1;
  if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    close(fd);
    return -1;
  }
  if (size != nullptr) *size = st.st_size;
  return fd;
}

}  // namespace

int FileOpenRead(const char* path) {
  if (path == nullptr) return -1;
  return KeepAboveOne(KeepRegular(open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK)));
}

int FileCreate(const char* path, LinkRule links) {
  if (path == nullptr) return -1;
  const int noFollow = links == LinkRule::kRefuse ? O_NOFOLLOW : 0;
  // Not O_TRUNC: only a file found to be regular is emptied, and only one
  // that holds something: some file systems (ext4) write a file out at once
  // when it is closed after being truncated, which costs a new file dearly.
  off_t size = 0;
  const int fd = KeepRegular(open(path, O_RDWR | O_CREAT | O_CLOEXEC | O_NONBLOCK | noFollow, 0600), &size);
  if (fd >= 0 && size != 0 && ftruncate(fd, 0) != 0) {
    close(fd);
    return -1;
  }
  return KeepAboveOne(fd);
}

int FileRead(int handle, void* buffer, uint32_t count) {
  KOV_COUNT_SYSCALL();
  ssize_t n;
  do {
    n = read(handle, buffer, count);
  } while (n < 0 && errno == EINTR);
  return n < 0 ? -1 : static_cast<int>(n);
}

int FileWrite(int handle, const void* buffer, uint32_t count) {
  const char* p = static_cast<const char*>(buffer);
  uint32_t done = 0;
  while (done < count) {
    KOV_COUNT_SYSCALL();
    ssize_t n = write(handle, p + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return -1;
    done += static_cast<uint32_t>(n);
  }
  return static_cast<int>(done);
}

int FileClose(int handle) { return close(handle) == 0 ? 0 : -1; }

int FileDiscard(int handle, const char* path) {
  struct stat held;
  struct stat named;
  const bool same = path != nullptr && fstat(handle, &held) == 0 && lstat(path, &named) == 0 &&
                    held.st_dev == named.st_dev && held.st_ino == named.st_ino;
  const bool removed = same && unlink(path) == 0;
  return FileClose(handle) == 0 && removed ? 0 : -1;
}

uintptr_t MemAllocZero(size_t size) { return reinterpret_cast<uintptr_t>(calloc(1, size == 0 ? 1 : size)); }
void* MemLock(uintptr_t handle) { return reinterpret_cast<void*>(handle); }
void MemUnlock(uintptr_t) {}
void MemFree(uintptr_t handle) { free(reinterpret_cast<void*>(handle)); }

static pthread_mutex_t* Mutex(Lock& lock) { return reinterpret_cast<pthread_mutex_t*>(lock.storage); }
void LockInit(Lock& lock) { pthread_mutex_init(Mutex(lock), nullptr); }
void LockEnter(Lock& lock) { pthread_mutex_lock(Mutex(lock)); }
void LockLeave(Lock& lock) { pthread_mutex_unlock(Mutex(lock)); }
void LockDelete(Lock& lock) { pthread_mutex_destroy(Mutex(lock)); }

void GetLocalTimeInfo(LocalTime& out) {
  time_t now = time(nullptr);
  tm local;
  localtime_r(&now, &local);
  out.year = local.tm_year + 1900;
  out.month = local.tm_mon + 1;
  out.dayOfWeek = local.tm_wday;
  out.day = local.tm_mday;
  out.hour = local.tm_hour;
  out.minute = local.tm_min;
  out.second = local.tm_sec;
  out.daylight = local.tm_isdst > 0;
  // tm_gmtoff includes the daylight hour; the bias is the standard zone's.
  long standardOffset = local.tm_gmtoff - (out.daylight ? 3600 : 0);
  out.biasMinutes = static_cast<int>(-standardOffset / 60);
}

void AlertBox(const char* text, const char* caption) { fprintf(stderr, "%s: %s\n", caption, text); }

char PathSeparator() { return '/'; }

}  // namespace platform
