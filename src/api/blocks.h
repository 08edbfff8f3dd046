// Numbered memory blocks: ten slots per channel, each block framed by two
// guard bytes ('U' before, 'z' after the caller's area) so that writes past
// either end are found when the block is checked or freed. Entries change
// under the block table's lock (allocation, freeing, the reset at attach).
#pragma once

#include <cstdint>

constexpr int kSlotsPerChannel = 10;
constexpr int kBlockCount = 1280;  // 128 channels x 10 slots

// Fixed uses of a channel's slots.
enum BlockSlot {
  kRecordSlot = 0,
  kToSlot = 1,
  kCcSlot = 2,
  kBccSlot = 3,
  kSubjectSlot = 4,
  kMessageSlot = 5,
  kAttachSlot = 6,
  kHeadersSlot = 7,
  kMailLinesSlot = 8,
  kAltTextSlot = 9,
};

// Internal results of the block operations; they appear only in log lines.
enum BlockCode {
  kBlockOk = 1,
  kBlockIdTooLarge = -100,
  kBlockAllocFailed = -102,
  kBlockInUse = -103,
  kBlockNotAllocated = -104,
  kBlockTableDamaged = -105,
  kBlockGuardDamaged = -106,
};

// The id of a channel's slot: channel x 10 + slot.
uint16_t BlockId(int channel, int slot);

// Block-level operations on block ids.
void ResetBlockTable();
int AllocBlock(uint16_t id, int32_t size);  // id, or -100, -105, -103, -102
char* BlockData(uint16_t id);               // caller's area, or null
int CheckBlock(uint16_t id);                // 1, -100, -105, -104, -106
int FreeBlock(uint16_t id);                 // 1, -100, -105, -104
int IsAllocated(uint16_t id);               // 1, 0, -100, -105
int BlockSize(uint16_t id);                 // size, -100, -105, -104
// The ids of the allocated blocks whose guard bytes were overwritten, in
// ascending order, into `ids` (room for kBlockCount); their count. The walk
// holds the block table's lock, so channels that allocate or free on other
// threads meanwhile are seen before or after their change, never halfway.
int DamagedBlocks(uint16_t* ids);

// Channel-level operations; failures are logged to the channel's log.
char* AllocateMemory(int channel, int slot, int32_t size);
char* AllocAndCopy(int channel, int slot, const char* text);
void FreeMemory(int channel, int first, int last);
void LogMemoryError(const char* message, int channel, int slot, int code);
