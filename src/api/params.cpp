// What kovIntegerParam and kovStringParam set: per-channel and process-wide
// settings (the latter under the library lock), the log file, extra header
// lines, the alternative text and buffer saving.
#include <cstdint>
#include <cstring>

#include "api/blocks.h"
#include "api/errors.h"
#include "api/library.h"
#include "api/log.h"
#include "codec/address.h"
#include "codec/strings.h"
#include "engine/frame/settings.h"
#include "engine/frame/step_io.h"
#include "kov32.h"
#include "net/connections.h"
#include "platform/platform.h"
#include "platform/tls.h"

namespace {

// A time in milliseconds as the settings keep it: 0 to kMaxWaitMs.
int32_t Wait(int v) { return v < 0 ? 0 : (v > kMaxWaitMs ? kMaxWaitMs : v); }

// The wrap column of a line length, 18 characters shorter, without overflow.
int32_t WrapColumnOf(int v) { return v < INT32_MIN + 18 ? INT32_MIN : v - 18; }

// Process-wide integer settings, changed under the library lock; true when
// the index is one of them.
bool SetProcessInteger(int index, int v) {
  platform::LockHold hold(LibraryLock());
  Settings& s = gSettings;
  switch (index) {
    case KOV_DELAY:
      s.MinWait = Wait(v);
      s.LineWait = Wait(v);
      return true;
    case KOV_TIMEOUT:
      s.MaxWait = Wait(v);
      s.SendWait = Wait(v);
      s.ReadWait = Wait(v);
      return true;
    case KOV_CONNECT_WAIT:
      s.ConnectWait = Wait(v);
      return true;
    case KOV_SLEEP_TIME:
      s.PollSleep = Wait(v);
      return true;
    case KOV_LINE_LENGTH:
      s.LineLimit = v;
      s.WrapColumn = WrapColumnOf(v);
      return true;
    case KOV_8BIT_TEXT:
      s.Allow8Bit = static_cast<uint8_t>(v);
      return true;
    case KOV_HIDE_SAVE_NOTES:
      s.HideSaveNotes = static_cast<uint8_t>(v);
      return true;
    case KOV_NO_TO_HEADER:
      s.HideTo = static_cast<uint8_t>(v);
      return true;
    case KOV_ADDRESS_SEP:
      s.AddressSep = static_cast<char>(v);
      return true;
    case KOV_RESERVED:
      return true;
    case KOV_ATTACH_SEP:
      s.AttachSep = static_cast<char>(v);
      return true;
    case KOV_NAME_SEP:
      s.NameSep = static_cast<char>(v);
      return true;
    case KOV_PACING:
      s.Pacing = v != 0 ? 1 : 0;
      return true;
    default:
      return false;
  }
}

// The TLS and login settings of a channel; true when the index is one of
// them and the value one it takes. A value outside its set is refused rather
// than read as another choice: a mistyped mode must never mean plain text.
bool SetSecurityInteger(SecurityState& s, int index, int v) {
  switch (index) {
    case KOV_TLS:
      if (v < 0 || v > 2) return false;
      s.TlsMode = static_cast<uint8_t>(v);
      return true;
    case KOV_TLS_VERIFY:
      s.TlsVerify = v != 0 ? 1 : 0;
      return true;
    case KOV_TLS_MIN_VERSION:
      if (v != platform::kTls12 && v != platform::kTls13) return false;
      s.TlsMinVersion = v;
      return true;
    case KOV_AUTH_MECHANISM:
      if (v < KOV_AUTH_AUTOMATIC || v > KOV_AUTH_OAUTHBEARER) return false;
      s.AuthMechanism = static_cast<uint8_t>(v);
      return true;
    default:
      return false;
  }
}

// Per-channel integer settings; true when the index is one of them.
bool SetChannelInteger(ChannelContext& c, int index, int v) {
  switch (index) {
    case KOV_BODY_TYPE:
      c.smtp.BodyType = static_cast<uint32_t>(v) & 15u;
      return true;
    case KOV_AUTO_CALL:
      c.link.AutoCall = static_cast<uint32_t>(v) & 1u;
      c.link.NotBefore = 0;
      c.link.Deadline = 0;
      return true;
    case KOV_NUMBER_NAMES:
      c.decoder.AttachNamePrefix = static_cast<uint32_t>(v);
      return true;
    case KOV_SAVE_UNNAMED:
      c.decoder.SaveUnnamedParts = static_cast<uint32_t>(v);
      return true;
    case KOV_SMTP_PORT:
      c.link.SmtpPort = static_cast<int16_t>(v);
      return true;
    case KOV_POP3_PORT:
      c.link.Pop3Port = static_cast<int16_t>(v);
      return true;
    case KOV_BLOCKING:
      c.link.NonBlockingConnect = v == 0 ? 1u : 0u;
      return true;
    case KOV_IMAGE_TYPES:
      c.smtp.DetectImageTypes = static_cast<uint8_t>(v);
      return true;
    case KOV_DECODE_MODE:
      c.pop.DecodeMode = static_cast<int16_t>(v);
      return true;
    case KOV_USE_EHLO:
      c.smtp.UseEhlo = static_cast<uint8_t>(v);
      return true;
    case KOV_USE_APOP:
      c.pop.UseApop = static_cast<uint8_t>(v);
      return true;
    case KOV_ATTACH_NUMBER:
      c.decoder.AttachFileNumber = v;
      return true;
    case KOV_SKIP_RCPT_ERRORS:
      c.smtp.SkipRcptErrors = static_cast<uint8_t>(v);
      return true;
    case KOV_RAW_MESSAGE:
      c.smtp.RawMessage = v != 0 ? 1 : 0;
      return true;
    case KOV_TEXT_ATTACH:
      c.smtp.TextAttachments = static_cast<uint8_t>(v);
      return true;
    default:
      return SetSecurityInteger(c.security, index, v);
  }
}

// KOV_IP_FAMILY: 1 for a known family, -1 (the setting stays) for another value.
int SetIpFamily(ChannelContext& c, int v) {
  if (!WexlValidFamily(v)) return -1;
  c.link.IpFamily = static_cast<uint8_t>(v);
  return 1;
}

// A process-wide text, changed under the library lock.
int SetProcessText(char* field, const char* text) {
  platform::LockHold hold(LibraryLock());
  return BoundedCopy(field, text, 128);
}

// Closes the channel's log and opens a new one; the socket trace follows.
int OpenLog(ChannelContext& c, const char* path) {
  ReplaceLog(c, 0);
  // Anything but a regular file is refused: a FIFO nobody reads would hold
  // every later log line, and with it the channel.
  int handle = platform::FileCreate(path, platform::LinkRule::kFollow);
  ReplaceLog(c, handle > 0 ? handle : 0);
  AttachTrace(c);
  return handle > 0 ? handle : -1;
}

// Stores a copy of the extra header lines in slot 7, without a final line
// break; the result tells where the end of the text was cut (1 to 4).
int StoreHeaders(ChannelContext& c, const char* text) {
  c.smtp.ExtraHeaders = AllocAndCopy(c.ChannelNumber, kHeadersSlot, text);
  if (c.smtp.ExtraHeaders == nullptr) return 0;
  size_t length = strlen(c.smtp.ExtraHeaders);
  char* tail = c.smtp.ExtraHeaders + (length > 3 ? length - 3 : 0);
  int scanned = 0;
  for (; tail[scanned] != '\0'; ++scanned) {
    if (tail[scanned] == '\r' || tail[scanned] == '\n') {
      tail[scanned] = '\0';
      break;
    }
  }
  return scanned + 1;
}

int SetHeaders(ChannelContext& c, const char* text) {
  if (text[0] == '\0') {
    FreeMemory(c.ChannelNumber, kHeadersSlot, kHeadersSlot);
    c.smtp.ExtraHeaders = nullptr;
    return 0;
  }
  return StoreHeaders(c, text);
}

int AddHeader(ChannelContext& c, const char* text) {
  constexpr int kLimit = 2048;  // the combined text
  char combined[kLimit + 2] = "";
  if (c.smtp.ExtraHeaders != nullptr) {
    BoundedCopy(combined, c.smtp.ExtraHeaders, kLimit);
    BoundedAppend(combined, "\r\n", kLimit - StringLength(combined));
    FreeMemory(c.ChannelNumber, kHeadersSlot, kHeadersSlot);
  }
  BoundedAppend(combined, text, kLimit - StringLength(combined));
  return StoreHeaders(c, combined);
}

int SetAltText(ChannelContext& c, const char* text) {
  if (c.smtp.AltText != nullptr) return 0;
  c.smtp.AltText = AllocAndCopy(c.ChannelNumber, kAltTextSlot, text);
  return c.smtp.AltText == nullptr ? 0 : static_cast<int>(strlen(c.smtp.AltText));
}

int SaveMailLines(const ChannelContext& c, const char* path) {
  uint16_t id = BlockId(c.ChannelNumber, kMailLinesSlot);
  const char* data = BlockData(id);
  if (data == nullptr) return kNullPointer;
  int handle = platform::FileCreate(path, platform::LinkRule::kFollow);
  if (handle < 0) return kCannotCreateFile;
  size_t length = strnlen(data, static_cast<size_t>(BlockSize(id)));
  int written = platform::FileWrite(handle, data, static_cast<uint32_t>(length));
  const int closed = platform::FileClose(handle);
  return written == static_cast<int>(length) && closed == 0 ? written : kCannotWriteFile;
}

int LogUserText(ChannelContext& c, const char* text) {
  if (c.diag.LogHandle == 0) return 0;
  LogText(c, text);
  LogText(c, "\r\n");
  return c.diag.LogHandle;
}

// "" or "UTF-8" (any case), stored as given; anything else is refused.
int SetCharset(const char* text) {
  if (text[0] != '\0' && !(StringLength(text) == 5 && CompareNoCase(text, "UTF-8", 5))) return -1;
  platform::LockHold hold(LibraryLock());
  const int stored = BoundedCopy(gSettings.Charset, text, 32);
  platform::SetUtf8FileNames(UnicodeMode(gSettings));
  return stored;
}

// A token travels base64-encoded between separators of its own: a blank or
// a control character inside would change what the server reads, and a cut
// token is a wrong one, so either is refused whole. "" removes the token.
int SetToken(SecurityState& s, const char* text) {
  constexpr int kTokenField = static_cast<int>(sizeof s.OAuthToken) - 2;
  const int length = static_cast<int>(strnlen(text, kTokenField + 1));
  if (length > kTokenField) return kPasswordMissing;
  for (int i = 0; i < length; ++i) {
    const unsigned char ch = static_cast<unsigned char>(text[i]);
    if (ch <= ' ' || ch >= 0x7F) return kPasswordMissing;
  }
  return BoundedCopy(s.OAuthToken, text, kTokenField);
}

int SetTlsServerName(SecurityState& s, const char* text) {
  if (StringLength(text) > 128 || (text[0] != '\0' && !ValidServerName(text))) return kBadServerName;
  return BoundedCopy(s.TlsServerName, text, 128);
}

int SetCaFile(SecurityState& s, const char* text) {
  constexpr int kPathField = static_cast<int>(sizeof s.TlsCaFile) - 2;
  if (StringLength(text) > kPathField) return kCannotOpenFile;
  return BoundedCopy(s.TlsCaFile, text, kPathField);
}

// Credentials and the sender address are sent as (part of) one protocol line: a CR or
// LF inside would split it and let the text send commands of its own. Such a
// text is refused with the code of its kind; 0 lets the text through.
int RefuseLineBreak(int index, const char* text) {
  if (!HasLineBreak(text)) return 0;
  switch (index) {
    case KOV_USER:
      return kUserMissing;
    case KOV_AUTH_PASSWORD:
      return kPasswordMissing;
    case KOV_FROM:
      return kBadAddressChar;
    default:
      return 0;
  }
}

}  // namespace

int SetIntegerParam(ChannelContext& c, int index, int value) {
  if (index == KOV_IP_FAMILY) return SetIpFamily(c, value);
  return SetProcessInteger(index, value) || SetChannelInteger(c, index, value) ? 1 : -1;
}

int SetStringParam(ChannelContext& c, int index, const char* text) {
  if (int rc = RefuseLineBreak(index, text)) return rc;
  Settings& s = gSettings;
  switch (index) {
    case KOV_LOG_FILE:
      return OpenLog(c, text);
    case KOV_SAVE_BUFFER:
      return SaveMailLines(c, text);
    case KOV_REPLY_TO:
      return BoundedCopy(c.smtp.ReplyTo, text, 128);
    case KOV_SET_HEADERS:
      return SetHeaders(c, text);
    case KOV_LOG_TEXT:
      return LogUserText(c, text);
    case KOV_FROM:
      return BoundedCopy(c.smtp.FromAddress, text, 128);
    case KOV_BODY_CONTENT:
      return SetProcessText(s.UserContentType, text);
    case KOV_BODY_ENCODING:
      return SetProcessText(s.UserTransferEncoding, text);
    case KOV_ADD_HEADER:
      return AddHeader(c, text);
    case KOV_AUTH_PASSWORD:
      return BoundedCopy(c.login.AuthPassword, text, 64);
    case KOV_USER:
      return BoundedCopy(c.login.UserName, text, 64);
    case KOV_ALT_TEXT:
      return SetAltText(c, text);
    case KOV_ATTACH_CONTENT:
      return SetProcessText(s.AttachContentType, text);
    case KOV_CHARSET:
      return SetCharset(text);
    case KOV_TLS_CA_FILE:
      return SetCaFile(c.security, text);
    case KOV_TLS_SERVER_NAME:
      return SetTlsServerName(c.security, text);
    case KOV_OAUTH_TOKEN:
      return SetToken(c.security, text);
    default:
      return -1;
  }
}
