// Benchmark builds (KOV_COUNT_SYSCALLS) count the system calls that the
// platform layer makes for sockets, sleeps and files, and its clock reads;
// other builds count nothing.
#pragma once

#include <cstdint>

#ifdef KOV_COUNT_SYSCALLS
#include <atomic>

namespace platform {
inline std::atomic<uint64_t> syscallCount{0};
inline std::atomic<uint64_t> clockReadCount{0};
inline uint64_t SyscallCount() { return syscallCount.load(std::memory_order_relaxed); }
inline uint64_t ClockReadCount() { return clockReadCount.load(std::memory_order_relaxed); }
}  // namespace platform

#define KOV_COUNT_SYSCALL() platform::syscallCount.fetch_add(1, std::memory_order_relaxed)
#define KOV_COUNT_CLOCK_READ() platform::clockReadCount.fetch_add(1, std::memory_order_relaxed)
#else
#define KOV_COUNT_SYSCALL() ((void)0)
#define KOV_COUNT_CLOCK_READ() ((void)0)
#endif
