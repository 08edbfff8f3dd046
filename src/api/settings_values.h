// The values of the process-wide settings as plain fields, so that a
// channel's record can hold the copy its operation runs with. The library's
// own copy and the lock that guards it are engine/frame/settings.h's; the
// record only holds a copy.
#pragma once

#include <cstdint>

// Longest wait a timing parameter keeps (one day), so that sums of waits fit an int32.
constexpr int32_t kMaxWaitMs = 86400000;

struct Settings {
  int32_t MinWait = 25;
  int32_t LineWait = 0;
  int32_t MaxWait = 25000;
  int32_t SendWait = 25000;
  int32_t ReadWait = 25000;
  int32_t ConnectWait = 60000;
  int32_t PollSleep = 100;
  int32_t WrapColumn = 61;
  int32_t LineLimit = 78;
  uint8_t Allow8Bit = 0;
  uint8_t HideSaveNotes = 0;
  uint8_t HideTo = 0;
  char AddressSep = ',';
  char AttachSep = ',';
  char NameSep = '|';
  // 0: no fixed pause before a step (KOV_PACING); the timers' limits stay.
  uint8_t Pacing = 1;
  char UserContentType[128 + 2] = {};
  char UserTransferEncoding[128 + 2] = {};
  char AttachContentType[128 + 2] = {};
  char Charset[32 + 2] = {};  // KOV_CHARSET: "" as before, "UTF-8" Unicode mode
};

// The MIME boundary of composed messages: its room, terminator included.
constexpr int kBoundarySize = 32;

// What one operation runs with from its start to its end: the settings and
// the MIME boundary as they were when it started.
struct OperationSettings : Settings {
  char Boundary[kBoundarySize] = {};
};
