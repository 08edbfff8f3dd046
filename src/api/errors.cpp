// The code table and kovErrorText. The texts are part of the interface:
// applications compare them, so every byte stays as it is.
#include "api/errors.h"

#include "api/channels.h"
#include "codec/strings.h"
#include "kov32.h"

namespace {

struct CodeText {
  int code;
  const char* text;
};

constexpr CodeText kCodeTexts[] = {
    {0, "Cannot comply"},
    {-1, "Wexl has been closed."},
    {-4, "WINSOCK is currently blocking."},
    {-5, "Bad status flag passed to kovStatus."},
    {-7, "Invalid socket."},
    {-8, "Wexl timed out."},
    {-9, "No available sockaddr structures."},
    {-12, "No host name."},
    {-18, "Cannot create socket."},
    {-31, "Response buffer has overflowed."},
    {-32, "Bad character in email address."},
    {-34, "Cannot access WINSOCK"},
    {-35, "Cannot open file."},
    {-36, "Error attempting to connect."},
    {-37, "EMPTY email address."},
    {-38, "FromPtr is NULL."},
    {-39, "Missing '@' character in email address."},
    {-40, "Missing FROM email address."},
    {-41, "Missing '<' delimiter in email address."},
    {-43, "Missing '>' terminating email address."},
    {-44, "Not connected to server"},
    {-45, "Must have at least one recipient."},
    {-46, "Cannot find SMTP/POP3 server."},
    {-47, "Unexpected NULL pointer."},
    {-48, "ToPtr is NULL."},
    {-49, "SMTP returned error."},
    {-50, "SMTP/POP3 server not specified."},
    {-51, "Wexl read error."},
    {-52, "Wexl write error."},
    {-53, "Too many '@' symbols in email address."},
    {-54, "Found unexpected '>' character in email address."},
    {-55, "Cannot allocate memory."},
    {-56, "Illegal chars in server name."},
    {-57, "APOP timestamp missing."},
    {-58, "SMTP function ONLY."},
    {-59, "POP3 function ONLY."},
    {-61, "USER name not specified."},
    {-62, "PASSWORD not specified."},
    {-63, "POP3 returned error."},
    {-64, "No such message number."},
    {-65, "Missing filename."},
    {-66, "Missing email path."},
    {-67, "Cannot create file."},
    {-68, "Buffer is NULL."},
    {-69, "Buffer size < 128."},
    {-70, "Missing path for attachments."},
    {-71, "Must call kovAttach first."},
    {-72, "Already attached."},
    {-73, "Channel out of range."},
    // Windows Sockets errors, negated.
    {-10004, "Interrupted system call."},
    {-10009, "Bad file number."},
    {-10013, "Access denied."},
    {-10014, "Bad address."},
    {-10022, "Invalid argument."},
    {-10024, "Too many open files."},
    {-10035, "Would block socket in non-blocking mode."},
    {-10036, "Blocking call already in progress."},
    {-10037, "Operation already completed."},
    {-10038, "Not a valid socket"},
    {-10039, "Destination address required."},
    {-10040, "Message too big for buffer."},
    {-10041, "Protocol mismatch."},
    {-10042, "Protocol option invalid."},
    {-10043, "Protocol not supported."},
    {-10044, "Wexl type not supported."},
    {-10045, "Wexl operation not supported."},
    {-10047, "Wexl address family not supported."},
    {-10048, "Wexl address already in use."},
    {-10049, "Wexl address not available."},
    {-10050, "Network error."},
    {-10051, "Cannot reach network."},
    {-10052, "Connection dropped."},
    {-10053, "Connection timed-out or aborted."},
    {-10054, "Connection reset by remote host."},
    {-10055, "Out of buffer space."},
    {-10056, "Wexl already connected."},
    {-10057, "Wexl not connected."},
    {-10058, "Wexl functionality shut down."},
    {-10060, "Timed-out attempting to connect."},
    {-10061, "Connection refused by remote host."},
    {-10064, "Host is down"},
    {-10065, "No route to host"},
    {-10091, "Network not yet ready."},
    {-10092, "WINSOCK doesn't support requested version."},
    {-10093, "Wexls not initialized. Call WSAStartup."},
    {-11001, "Host does not exist."},
    {-11002, "Host not found. Try again."},
    {-11003, "Non-recoverable error has occurred."},
    {-11004, "No data is available."},
};

// The codes whose text is followed by the server's last reply.
bool AppendsReply(int code) { return code == kConnectError || code == kSmtpError || code == kPop3Error; }

}  // namespace

const char* ErrorMessage(int code) {
  for (const CodeText& entry : kCodeTexts) {
    if (entry.code == code) return entry.text;
  }
  return nullptr;
}

int FormatErrorText(const ChannelContext& c, int code, char* buffer, int size) {
  if (buffer == nullptr || size < 1) return 0;
  const char* text = ErrorMessage(code);
  int n = BoundedCopy(buffer, text == nullptr ? "" : text, size - 1);
  if (AppendsReply(code) && n < size - 1) {
    buffer[n++] = ' ';
    int room = size - 1 - n;
    int replyMax = static_cast<int>(sizeof c.ReplyBuffer) - 1;
    n += BoundedCopy(buffer + n, c.ReplyBuffer, room < replyMax ? room : replyMax);
  }
  return n;
}

extern "C" KOV_API int KOV_CALL kovErrorText(int channel, int code, char* buffer, int size) {
  int check = CheckChannel(channel);
  if (check != 0) return check;
  return FormatErrorText(Channel(channel), code, buffer, size);
}
