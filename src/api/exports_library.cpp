// The library's and the channels' own exports: attach and release, error
// texts, parameters, statistics and debug texts, and the calls on whatever a
// channel runs (driver step, raw command, close, abort). Each checks its
// arguments and hands over to the library frame or the operation prelude.
#include "api/errors.h"
#include "api/library.h"
#include "api/log.h"
#include "codec/address.h"
#include "codec/strings.h"
#include "engine/frame/control.h"
#include "engine/frame/operation.h"
#include "kov32.h"

namespace {

constexpr OperationRules kCommandRules = {"kovCommand", 0, OperationRules::kNoKind, 0, true, false};
constexpr OperationRules kCloseRules = {"kovClose", 0, OperationRules::kNoKind, 0, false, true};

}  // namespace

extern "C" KOV_API int KOV_CALL kovAttach(int channels) {
  if (ChannelCount() != 0) return kAlreadyAttached;
  if (channels < 0 || channels > kMaxChannels) return kChannelOutOfRange;
  return AttachChannels(channels);
}

extern "C" KOV_API int KOV_CALL kovRelease(void) {
  if (ChannelCount() != 0) ReleaseChannels();
  return 1;
}

extern "C" KOV_API int KOV_CALL kovErrorText(int channel, int code, char* buffer, int size) {
  if (int rc = CheckChannel(channel)) return rc;
  return FormatErrorText(Channel(channel), code, buffer, size);
}

extern "C" KOV_API int KOV_CALL kovIntegerParam(int channel, int index, int value) {
  if (int rc = CheckChannel(channel)) return rc;
  ChannelContext& c = Channel(channel);
  LogFormat(c, "*** kovIntegerParam(%d,%d,%ld)\r\n", channel, index, static_cast<long>(value));
  return SetIntegerParam(c, index, value);
}

extern "C" KOV_API int KOV_CALL kovStringParam(int channel, int index, const char* text) {
  if (int rc = CheckChannel(channel)) return rc;
  if (text == nullptr) return kNullPointer;
  ChannelContext& c = Channel(channel);
  LogFormat(c, "*** kovStringParam(%d,%d,%s)\r\n", channel, index, index == KOV_AUTH_PASSWORD || index == KOV_OAUTH_TOKEN ? "*****" : text);
  return SetStringParam(c, index, text);
}

extern "C" KOV_API int KOV_CALL kovStatistics(int channel, int selector) {
  if (int rc = CheckChannel(channel)) return rc;
  return ChannelStatistic(Channel(channel), selector);
}

extern "C" KOV_API int KOV_CALL kovDebug(int channel, int selector, char* buffer, int size) {
  if (channel == KOV_DEBUG_CHECK_MEMORY) {
    CheckMemory();
    return 0;
  }
  if (buffer == nullptr || size < 1) return 0;
  buffer[0] = '\0';
  if (int rc = CheckChannel(channel)) return rc;
  return ChannelDebugText(Channel(channel), selector, buffer, size);
}

extern "C" KOV_API int KOV_CALL kovDriver(int channel) {
  if (int rc = CheckChannel(channel)) return rc;
  return DriverCall(Channel(channel));
}

extern "C" KOV_API int KOV_CALL kovWaitInfo(int channel, int* socket, int* events, int* timeoutMs) {
  if (int rc = CheckChannel(channel)) return rc;
  if (socket == nullptr || events == nullptr || timeoutMs == nullptr) return kNullPointer;
  DescribeWait(Channel(channel), *socket, *events, *timeoutMs);
  return 0;
}

extern "C" KOV_API int KOV_CALL kovCommand(int channel, const char* text) {
  if (int rc = CheckChannel(channel)) return rc;
  return RunOperation(Channel(channel), kCommandRules, [&](ChannelContext& c) -> int {
    if (text == nullptr) return kNullPointer;
    // One command is one line, sent whole: a line break would send a second
    // command, and a text longer than the command field would go out cut.
    if (HasLineBreak(text) || StringLength(text) > kCommandField) return kBadServerName;
    return PrepareCommand(c, text);
  });
}

extern "C" KOV_API int KOV_CALL kovClose(int channel) {
  if (int rc = CheckChannel(channel)) return rc;
  return RunOperation(Channel(channel), kCloseRules, PrepareClose, FinishClose);
}

extern "C" KOV_API int KOV_CALL kovAbort(int channel) {
  if (int rc = CheckChannel(channel)) return rc;
  ChannelContext& c = Channel(channel);
  LogEntry(c, "kovAbort");
  AbortOperation(c);
  return 1;
}
