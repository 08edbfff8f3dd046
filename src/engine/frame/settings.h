// Process-wide settings: one copy per loaded library, kept across release
// and attach. Plain values without a lock, set through the parameter calls
// and read by the steps.
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
  char UserContentType[128 + 2] = {};
  char UserTransferEncoding[128 + 2] = {};
  char AttachContentType[128 + 2] = {};
  // KOV_CHARSET: "" or "UTF-8" (Unicode mode).
  char Charset[32 + 2] = {};
};

// Unicode mode: names, headers and text bodies handed over in UTF-8.
inline bool Utf8Mode(const Settings& s) { return s.Charset[0] != '\0'; }

inline Settings gSettings;

// The MIME boundary of composed messages, renewed by every attach.
constexpr int kBoundarySize = 32;
inline char Boundary[kBoundarySize] = "=====_KOV000000000_=====";
