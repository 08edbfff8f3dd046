// Win32 side of the platform layer (KOV32.dll).
#include <windows.h>

#include <atomic>
#include <cstring>

#include "platform/platform.h"
#include "platform/syscall_count.h"

static_assert(sizeof(CRITICAL_SECTION) <= sizeof(platform::Lock::storage), "lock storage");

namespace platform {

static std::atomic<uint32_t> tickBias{0};

uint32_t TickCount() {
  KOV_COUNT_CLOCK_READ();
  return GetTickCount() + tickBias.load(std::memory_order_relaxed);
}
// GetTickCount is the coarse clock already.
uint32_t CoarseTickCount() { return TickCount(); }
void SetTickBias(uint32_t bias) { tickBias.store(bias, std::memory_order_relaxed); }

void SleepMs(uint32_t ms) {
  KOV_COUNT_SYSCALL();
  Sleep(ms);
}

int FileOpenRead(const char* path) {
  if (path == nullptr) return -1;
  HFILE h = _lopen(path, OF_READ | OF_SHARE_DENY_WRITE);
  return h == HFILE_ERROR ? -1 : static_cast<int>(h);
}

int FileCreate(const char* path) {
  if (path == nullptr) return -1;
  HFILE h = _lcreat(path, 0);
  return h == HFILE_ERROR ? -1 : static_cast<int>(h);
}

int FileRead(int handle, void* buffer, uint32_t count) {
  UINT n = _lread(static_cast<HFILE>(handle), buffer, count);
  return n == static_cast<UINT>(HFILE_ERROR) ? -1 : static_cast<int>(n);
}

int FileWrite(int handle, const void* buffer, uint32_t count) {
  UINT n = _lwrite(static_cast<HFILE>(handle), static_cast<LPCCH>(buffer), count);
  return n == static_cast<UINT>(HFILE_ERROR) ? -1 : static_cast<int>(n);
}

int FileClose(int handle) { return _lclose(static_cast<HFILE>(handle)) == HFILE_ERROR ? -1 : 0; }

uintptr_t MemAllocZero(size_t size) { return reinterpret_cast<uintptr_t>(GlobalAlloc(GHND, size == 0 ? 1 : size)); }
void* MemLock(uintptr_t handle) { return GlobalLock(reinterpret_cast<HGLOBAL>(handle)); }
void MemUnlock(uintptr_t handle) { GlobalUnlock(reinterpret_cast<HGLOBAL>(handle)); }
void MemFree(uintptr_t handle) { GlobalFree(reinterpret_cast<HGLOBAL>(handle)); }

static CRITICAL_SECTION* Section(Lock& lock) { return reinterpret_cast<CRITICAL_SECTION*>(lock.storage); }
void LockInit(Lock& lock) { InitializeCriticalSection(Section(lock)); }
void LockEnter(Lock& lock) { EnterCriticalSection(Section(lock)); }
void LockLeave(Lock& lock) { LeaveCriticalSection(Section(lock)); }
void LockDelete(Lock& lock) { DeleteCriticalSection(Section(lock)); }

void GetLocalTimeInfo(LocalTime& out) {
  SYSTEMTIME st;
  GetLocalTime(&st);
  TIME_ZONE_INFORMATION tzi;
  DWORD zone = GetTimeZoneInformation(&tzi);
  out.year = st.wYear;
  out.month = st.wMonth;
  out.dayOfWeek = st.wDayOfWeek;
  out.day = st.wDay;
  out.hour = st.wHour;
  out.minute = st.wMinute;
  out.second = st.wSecond;
  out.biasMinutes = static_cast<int>(tzi.Bias);
  out.daylight = zone == TIME_ZONE_ID_DAYLIGHT;
}

void AlertBox(const char* text, const char* caption) {
  MessageBoxA(nullptr, text, caption, MB_TASKMODAL | MB_ICONWARNING);
}

char PathSeparator() { return '\\'; }
bool IsPathBreak(char ch) { return ch == '\\' || ch == ':'; }

}  // namespace platform
