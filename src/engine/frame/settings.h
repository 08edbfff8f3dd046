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
  char Charset[32 + 2] = {};  // KOV_CHARSET: "" as before, "UTF-8" Unicode mode
};

inline Settings gSettings;

// Unicode mode: texts are UTF-8, header texts that are not ASCII go out as
// encoded words, the message text as quoted-printable UTF-8.
inline bool UnicodeMode() {
  const char* s = gSettings.Charset;
  return (s[0] == 'U' || s[0] == 'u') && (s[1] == 'T' || s[1] == 't') && (s[2] == 'F' || s[2] == 'f') && s[3] == '-' &&
         s[4] == '8' && s[5] == '\0';
}

// The MIME boundary of composed messages, renewed by every attach.
constexpr int kBoundarySize = 32;
inline char Boundary[kBoundarySize] = "=====_KOV000000000_=====";
