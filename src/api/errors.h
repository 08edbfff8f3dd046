// Result codes of the library, under the names the engine uses. Each number
// is written once, in the public header; Windows Sockets failures are the
// negated Windows Sockets error number (-10061 for a refused connection) on
// every system.
#pragma once

#include "kov32.h"

enum ErrorCode : int {
  kCannotComply = KOV_E_CANNOT_COMPLY,
  kWexlClosed = KOV_E_CLOSED,
  kWinsockBlocking = KOV_E_BLOCKING,
  kBadStatusFlag = KOV_E_BAD_STATE,
  kInvalidSocket = KOV_E_INVALID_SOCKET,
  kTimedOut = KOV_E_TIMEOUT,
  kNoSockaddr = KOV_E_NO_SOCKADDR,
  kNoHostName = KOV_E_NO_HOST_NAME,
  kCannotCreateSocket = KOV_E_CANNOT_CREATE_SOCKET,
  kResponseOverflow = KOV_E_RESPONSE_OVERFLOW,
  kBadAddressChar = KOV_E_BAD_ADDRESS_CHAR,
  kCannotAccessWinsock = KOV_E_CANNOT_ACCESS_WINSOCK,
  kCannotOpenFile = KOV_E_CANNOT_OPEN_FILE,
  kConnectError = KOV_E_CONNECT,
  kEmptyAddress = KOV_E_EMPTY_ADDRESS,
  kFromNull = KOV_E_FROM_NULL,
  kMissingAt = KOV_E_MISSING_AT,
  kMissingFrom = KOV_E_MISSING_FROM,
  kMissingOpenBracket = KOV_E_MISSING_LT,
  kMissingCloseBracket = KOV_E_MISSING_GT,
  kNotConnected = KOV_E_NOT_CONNECTED,
  kNoRecipient = KOV_E_NO_RECIPIENT,
  kServerNotFound = KOV_E_SERVER_NOT_FOUND,
  kNullPointer = KOV_E_NULL_POINTER,
  kToNull = KOV_E_TO_NULL,
  kSmtpError = KOV_E_SMTP_ERROR,
  kServerNotSpecified = KOV_E_NO_SERVER,
  kReadError = KOV_E_READ,
  kWriteError = KOV_E_WRITE,
  kTooManyAt = KOV_E_TOO_MANY_AT,
  kUnexpectedCloseBracket = KOV_E_UNEXPECTED_GT,
  kNoMemory = KOV_E_NO_MEMORY,
  kBadServerName = KOV_E_BAD_SERVER_NAME,
  kApopTimestampMissing = KOV_E_APOP_TIMESTAMP,
  kSmtpOnly = KOV_E_SMTP_ONLY,
  kPop3Only = KOV_E_POP3_ONLY,
  kUserMissing = KOV_E_NO_USER,
  kPasswordMissing = KOV_E_NO_PASSWORD,
  kPop3Error = KOV_E_POP3_ERROR,
  kNoSuchMessage = KOV_E_NO_SUCH_MESSAGE,
  kMissingFileName = KOV_E_NO_FILE_NAME,
  kMissingMailPath = KOV_E_NO_MAIL_PATH,
  kCannotCreateFile = KOV_E_CANNOT_CREATE_FILE,
  kBufferNull = KOV_E_BUFFER_NULL,
  kBufferTooSmall = KOV_E_BUFFER_TOO_SMALL,
  kMissingAttachPath = KOV_E_NO_ATTACH_PATH,
  kNotAttached = KOV_E_NOT_ATTACHED,
  kAlreadyAttached = KOV_E_ALREADY_ATTACHED,
  kChannelOutOfRange = KOV_E_CHANNEL_RANGE,
  kCannotWriteFile = KOV_E_CANNOT_WRITE_FILE,
  kTlsUnavailable = KOV_E_TLS_UNAVAILABLE,
  kTlsNotOffered = KOV_E_TLS_NOT_OFFERED,
  kTlsHandshake = KOV_E_TLS_HANDSHAKE,
  kTlsCertificate = KOV_E_TLS_CERTIFICATE,
  kTlsVersion = KOV_E_TLS_VERSION,
  kTlsInjection = KOV_E_TLS_INJECTION,
  kAuthNeedsTls = KOV_E_AUTH_NEEDS_TLS,
  kNoAddress = KOV_E_NO_ADDRESS,
  kRawLineTooLong = KOV_E_RAW_LINE_TOO_LONG,
  kRawWithParts = KOV_E_RAW_WITH_PARTS,
};

struct ChannelContext;

// The fixed text of a code, or null for a code without one (positive values,
// internal results of the socket layer, unknown numbers).
const char* ErrorMessage(int code);

// Places the text of `code` in buffer (size bytes, terminator included) and,
// for -36, -49, -63 and -102, one blank and the channel's last server reply after
// it, as far as the size allows. Returns the characters placed; 0 with an
// empty text for a code without one; 0 with nothing written for a null
// buffer or a size below 1.
int FormatErrorText(const ChannelContext& c, int code, char* buffer, int size);
