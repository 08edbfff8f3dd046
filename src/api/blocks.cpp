#include "api/blocks.h"

#include <cstring>

#include "api/library.h"
#include "api/log.h"
#include "platform/platform.h"

namespace {

struct BlockEntry {
  unsigned char* storage;  // leading guard byte
  int32_t size;            // caller's area
  uintptr_t handle;        // 0 = free
  int16_t id;              // own index; anything else means the table is damaged
};

BlockEntry blockTable[kBlockCount];
// Held while an entry changes and while the memory check walks the table:
// each channel changes only its own entries, but the check reads them all.
platform::LastingLock blockLock;

constexpr unsigned char kLeadGuard = 'U';
constexpr unsigned char kTailGuard = 'z';
// The lead guard sits this far into the allocation, so that the caller's area
// right after it is 16-byte aligned and can hold any record.
constexpr size_t kAlignPad = 15;

// The common checks of every block operation: 0 or the first failing code.
int CheckEntry(uint16_t id) {
  if (id >= kBlockCount) return kBlockIdTooLarge;
  if (blockTable[id].id != static_cast<int16_t>(id)) return kBlockTableDamaged;
  return 0;
}

bool HasStorage(const BlockEntry& e) { return e.handle != 0 && e.storage != nullptr && e.size != 0; }

// Clears every reference of the record that points into a block being freed
// (list heads, cursors, the mail-lines buffer), so no operation uses it later.
void ForgetBlock(ChannelContext& c, const char* data, int32_t size) {
  char** const fields[] = {&c.smtp.RcptCursor,   &c.smtp.ToList,      &c.smtp.CcList,     &c.smtp.BccList,    &c.smtp.Subject,
                           &c.smtp.ExtraHeaders, &c.smtp.MessageText, &c.smtp.AttachList, &c.smtp.NextAttach, &c.smtp.RcptSepPos,
                           &c.smtp.AltText,      &c.smtp.CurrentRcpt, &c.pop.UserBuffer};
  const uintptr_t first = reinterpret_cast<uintptr_t>(data);
  const uintptr_t last = first + static_cast<uintptr_t>(size);
  const bool userBufferHere = c.pop.UserBuffer != nullptr && reinterpret_cast<uintptr_t>(c.pop.UserBuffer) >= first &&
                              reinterpret_cast<uintptr_t>(c.pop.UserBuffer) <= last;
  for (char** field : fields) {
    const uintptr_t at = reinterpret_cast<uintptr_t>(*field);
    if (at >= first && at <= last) *field = nullptr;
  }
  if (userBufferHere) c.pop.UserBufferSize = 0;
}

// The record of a channel that has one (and is not the record's own slot).
ChannelContext* RecordOf(int channel) {
  if (channel < 0 || channel >= kMaxChannels || IsAllocated(static_cast<uint16_t>(channel * kSlotsPerChannel)) != 1)
    return nullptr;
  return ChannelRecord(channel);
}

}  // namespace

uint16_t BlockId(int channel, int slot) { return static_cast<uint16_t>(channel * kSlotsPerChannel + slot); }

void ResetBlockTable() {
  platform::LockHold hold(blockLock.lock);
  for (int i = 0; i < kBlockCount; ++i) blockTable[i] = BlockEntry{nullptr, 0, 0, static_cast<int16_t>(i)};
}

int AllocBlock(uint16_t id, int32_t size) {
  platform::LockHold hold(blockLock.lock);
  if (int rc = CheckEntry(id)) return rc;
  BlockEntry& e = blockTable[id];
  if (e.handle != 0) return kBlockInUse;
  if (size < 0) return kBlockAllocFailed;
  uintptr_t handle = platform::MemAllocZero(kAlignPad + static_cast<size_t>(size) + 3);
  if (handle == 0) return kBlockAllocFailed;
  unsigned char* base = static_cast<unsigned char*>(platform::MemLock(handle));
  if (base == nullptr) {
    platform::MemFree(handle);
    return kBlockAllocFailed;
  }
  unsigned char* storage = base + kAlignPad;
  e.handle = handle;
  e.storage = storage;
  e.size = size;
  storage[0] = kLeadGuard;
  storage[size + 1] = kTailGuard;
  return id;
}

char* BlockData(uint16_t id) {
  if (CheckEntry(id) != 0 || blockTable[id].handle == 0) return nullptr;
  return reinterpret_cast<char*>(blockTable[id].storage + 1);
}

int CheckBlock(uint16_t id) {
  if (int rc = CheckEntry(id)) return rc;
  const BlockEntry& e = blockTable[id];
  if (!HasStorage(e)) return kBlockNotAllocated;
  if (e.storage[0] != kLeadGuard || e.storage[e.size + 1] != kTailGuard) return kBlockGuardDamaged;
  return kBlockOk;
}

int FreeBlock(uint16_t id) {
  platform::LockHold hold(blockLock.lock);
  if (int rc = CheckEntry(id)) return rc;
  BlockEntry& e = blockTable[id];
  if (e.handle == 0 || e.storage == nullptr) return kBlockNotAllocated;
  uintptr_t handle = e.handle;
  e.handle = 0;
  e.storage = nullptr;
  e.size = 0;
  platform::MemUnlock(handle);
  platform::MemFree(handle);
  return kBlockOk;
}

int IsAllocated(uint16_t id) {
  if (int rc = CheckEntry(id)) return rc;
  return blockTable[id].handle != 0 ? 1 : 0;
}

int BlockSize(uint16_t id) {
  if (int rc = CheckEntry(id)) return rc;
  if (blockTable[id].handle == 0) return kBlockNotAllocated;
  return blockTable[id].size;
}

int DamagedBlocks(uint16_t* ids) {
  platform::LockHold hold(blockLock.lock);
  int count = 0;
  for (int id = 0; id < kBlockCount; ++id) {
    if (IsAllocated(static_cast<uint16_t>(id)) == 1 && CheckBlock(static_cast<uint16_t>(id)) == kBlockGuardDamaged)
      ids[count++] = static_cast<uint16_t>(id);
  }
  return count;
}

void LogMemoryError(const char* message, int channel, int slot, int code) {
  if (ChannelContext* c = RecordOf(channel))
    LogFormat(*c, "%s: Chan=%d, Index=%d, Code=%d\r\n", message, channel, slot, code);
}

char* AllocateMemory(int channel, int slot, int32_t size) {
  int rc = AllocBlock(BlockId(channel, slot), size);
  if (rc < 0) {
    LogMemoryError("AllocateMemory Error", channel, slot, rc);
    return nullptr;
  }
  return BlockData(BlockId(channel, slot));
}

char* AllocAndCopy(int channel, int slot, const char* text) {
  if (text == nullptr || text[0] == '\0') {
    LogMemoryError("AllocAndCopy Error 1", channel, slot, 0);
    return nullptr;
  }
  if (IsAllocated(BlockId(channel, slot)) == 1) FreeMemory(channel, slot, slot);
  size_t length = strlen(text);
  int rc = length > 0x7ffffff0u ? static_cast<int>(kBlockAllocFailed)
                                : AllocBlock(BlockId(channel, slot), static_cast<int32_t>(length + 2));
  if (rc < 0) {
    LogMemoryError("AllocAndCopy Error 2", channel, slot, rc);
    return nullptr;
  }
  char* data = BlockData(BlockId(channel, slot));
  memcpy(data, text, length + 1);
  return data;
}

void FreeMemory(int channel, int first, int last) {
  ChannelContext* record = RecordOf(channel);
  for (int slot = first; slot <= last; ++slot) {
    int rc = CheckBlock(BlockId(channel, slot));
    if (rc == kBlockOk) {
      if (record != nullptr && slot != kRecordSlot)
        ForgetBlock(*record, BlockData(BlockId(channel, slot)), BlockSize(BlockId(channel, slot)));
      FreeBlock(BlockId(channel, slot));
    } else if (rc == kBlockTableDamaged || rc == kBlockGuardDamaged) {
      LogMemoryError("FreeMemory Error", channel, slot, rc);
      return;
    }
  }
}
