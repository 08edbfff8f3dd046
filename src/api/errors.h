// Result codes of the library. Windows Sockets failures are the negated
// Windows Sockets error number (-10061 for a refused connection) on every system.
#pragma once

enum ErrorCode : int {
  kCannotComply = 0,
  kWexlClosed = -1,
  kWinsockBlocking = -4,
  kBadStatusFlag = -5,
  kInvalidSocket = -7,
  kTimedOut = -8,
  kNoSockaddr = -9,
  kNoHostName = -12,
  kCannotCreateSocket = -18,
  kResponseOverflow = -31,
  kBadAddressChar = -32,
  kCannotAccessWinsock = -34,
  kCannotOpenFile = -35,
  kConnectError = -36,
  kEmptyAddress = -37,
  kFromNull = -38,
  kMissingAt = -39,
  kMissingFrom = -40,
  kMissingOpenBracket = -41,
  kMissingCloseBracket = -43,
  kNotConnected = -44,
  kNoRecipient = -45,
  kServerNotFound = -46,
  kNullPointer = -47,
  kToNull = -48,
  kSmtpError = -49,
  kServerNotSpecified = -50,
  kReadError = -51,
  kWriteError = -52,
  kTooManyAt = -53,
  kUnexpectedCloseBracket = -54,
  kNoMemory = -55,
  kBadServerName = -56,
  kApopTimestampMissing = -57,
  kSmtpOnly = -58,
  kPop3Only = -59,
  kUserMissing = -61,
  kPasswordMissing = -62,
  kPop3Error = -63,
  kNoSuchMessage = -64,
  kMissingFileName = -65,
  kMissingMailPath = -66,
  kCannotCreateFile = -67,
  kBufferNull = -68,
  kBufferTooSmall = -69,
  kMissingAttachPath = -70,
  kNotAttached = -71,
  kAlreadyAttached = -72,
  kChannelOutOfRange = -73,
};

struct ChannelContext;

// The fixed text of a code, or null for a code without one (positive values,
// internal results of the socket layer, unknown numbers).
const char* ErrorMessage(int code);

// Places the text of `code` in buffer (size bytes, terminator included) and,
// for -36, -49 and -63, one blank and the channel's last server reply after
// it, as far as the size allows. Returns the characters placed; 0 with an
// empty text for a code without one; 0 with nothing written for a null
// buffer or a size below 1.
int FormatErrorText(const ChannelContext& c, int code, char* buffer, int size);
