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

uint64_t UnixSeconds() {
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  const uint64_t ticks = (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  const uint64_t kEpochOffset = 116444736000000000ull;  // 1601 to 1970 in 100 ns units
  return ticks > kEpochOffset ? (ticks - kEpochOffset) / 10000000u : 0;
}

uint32_t ProcessId() { return GetCurrentProcessId(); }

void SleepMs(uint32_t ms) {
  KOV_COUNT_SYSCALL();
  Sleep(ms);
}

namespace {

HANDLE AsHandle(int handle) { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(handle)); }

// A handle of a regular file (not a directory, device, pipe or reparse
// point) as the engine's integer handle; any other is closed: -1.
int KeepRegular(HANDLE h) {
  if (h == INVALID_HANDLE_VALUE) return -1;
  BY_HANDLE_FILE_INFORMATION info;
  constexpr DWORD kNotPlain = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
  if (GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info) ||
      (info.dwFileAttributes & kNotPlain) != 0) {
    CloseHandle(h);
    return -1;
  }
  return static_cast<int>(reinterpret_cast<intptr_t>(h));
}

std::atomic<bool> utf8Names{false};

// CreateFile with the path as a single-byte text of the code page, or, in
// UTF-8 mode, converted to UTF-16 for the wide-character call.
HANDLE OpenPath(const char* path, DWORD access, DWORD share, DWORD disposition, DWORD flags) {
  if (!utf8Names.load(std::memory_order_relaxed)) {
    return CreateFileA(path, access, share, nullptr, disposition, flags, nullptr);
  }
  wchar_t wide[MAX_PATH + 1];
  const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, wide, MAX_PATH + 1);
  if (n <= 0) return INVALID_HANDLE_VALUE;
  return CreateFileW(wide, access, share, nullptr, disposition, flags, nullptr);
}

}  // namespace

void SetUtf8FileNames(bool on) { utf8Names.store(on, std::memory_order_relaxed); }

int FileOpenRead(const char* path) {
  if (path == nullptr) return -1;
  return KeepRegular(
      OpenPath(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL));
}

int FileCreate(const char* path, LinkRule links) {
  if (path == nullptr) return -1;
  // With FILE_FLAG_OPEN_REPARSE_POINT a link is opened itself, and refused
  // for its attribute.
  const DWORD flags = FILE_ATTRIBUTE_NORMAL | (links == LinkRule::kRefuse ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
  const int handle =
      KeepRegular(OpenPath(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_ALWAYS, flags));
  // Only a file found to be regular is emptied.
  if (handle >= 0 && !SetEndOfFile(AsHandle(handle))) {
    CloseHandle(AsHandle(handle));
    return -1;
  }
  return handle;
}

int FileRead(int handle, void* buffer, uint32_t count) {
  DWORD n = 0;
  return ReadFile(AsHandle(handle), buffer, count, &n, nullptr) ? static_cast<int>(n) : -1;
}

int FileWrite(int handle, const void* buffer, uint32_t count) {
  DWORD n = 0;
  return WriteFile(AsHandle(handle), buffer, count, &n, nullptr) ? static_cast<int>(n) : -1;
}

int FileClose(int handle) { return CloseHandle(AsHandle(handle)) ? 0 : -1; }

// The path is opened again (a link there itself, not its target) and its
// file removed only when it is the one the handle held: same volume, same
// file index.
int FileDiscard(int handle, const char* path) {
  BY_HANDLE_FILE_INFORMATION held;
  const bool known = GetFileInformationByHandle(AsHandle(handle), &held) != 0;
  const int closed = FileClose(handle);
  if (!known || path == nullptr) return -1;
  HANDLE named = OpenPath(path, DELETE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                          OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT);
  if (named == INVALID_HANDLE_VALUE) return -1;
  BY_HANDLE_FILE_INFORMATION now;
  FILE_DISPOSITION_INFO remove{TRUE};
  const bool removed = GetFileInformationByHandle(named, &now) &&
                       now.dwVolumeSerialNumber == held.dwVolumeSerialNumber &&
                       now.nFileIndexHigh == held.nFileIndexHigh && now.nFileIndexLow == held.nFileIndexLow &&
                       SetFileInformationByHandle(named, FileDispositionInfo, &remove, sizeof remove);
  CloseHandle(named);
  return closed == 0 && removed ? 0 : -1;
}

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

}  // namespace platform
