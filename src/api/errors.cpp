// The code table and the texts kovErrorText gives. The texts are part of the
// interface: applications compare them, so every byte stays as it is.
#include "api/errors.h"

#include "api/context.h"
#include "codec/strings.h"
#include "kov32.h"

namespace {

struct CodeText {
  int code;
  const char* text;
};

constexpr CodeText kCodeTexts[] = {
    {KOV_E_CANNOT_COMPLY, "Cannot comply"},
    {KOV_E_CLOSED, "Wexl has been closed."},
    {KOV_E_BLOCKING, "WINSOCK is currently blocking."},
    {KOV_E_BAD_STATE, "Bad status flag passed to kovStatus."},
    {KOV_E_INVALID_SOCKET, "Invalid socket."},
    {KOV_E_TIMEOUT, "Wexl timed out."},
    {KOV_E_NO_SOCKADDR, "No available sockaddr structures."},
    {KOV_E_NO_HOST_NAME, "No host name."},
    {KOV_E_CANNOT_CREATE_SOCKET, "Cannot create socket."},
    {KOV_E_RESPONSE_OVERFLOW, "Response buffer has overflowed."},
    {KOV_E_BAD_ADDRESS_CHAR, "Bad character in email address."},
    {KOV_E_CANNOT_ACCESS_WINSOCK, "Cannot access WINSOCK"},
    {KOV_E_CANNOT_OPEN_FILE, "Cannot open file."},
    {KOV_E_CONNECT, "Error attempting to connect."},
    {KOV_E_EMPTY_ADDRESS, "EMPTY email address."},
    {KOV_E_FROM_NULL, "FromPtr is NULL."},
    {KOV_E_MISSING_AT, "Missing '@' character in email address."},
    {KOV_E_MISSING_FROM, "Missing FROM email address."},
    {KOV_E_MISSING_LT, "Missing '<' delimiter in email address."},
    {KOV_E_MISSING_GT, "Missing '>' terminating email address."},
    {KOV_E_NOT_CONNECTED, "Not connected to server"},
    {KOV_E_NO_RECIPIENT, "Must have at least one recipient."},
    {KOV_E_SERVER_NOT_FOUND, "Cannot find SMTP/POP3 server."},
    {KOV_E_NULL_POINTER, "Unexpected NULL pointer."},
    {KOV_E_TO_NULL, "ToPtr is NULL."},
    {KOV_E_SMTP_ERROR, "SMTP returned error."},
    {KOV_E_NO_SERVER, "SMTP/POP3 server not specified."},
    {KOV_E_READ, "Wexl read error."},
    {KOV_E_WRITE, "Wexl write error."},
    {KOV_E_TOO_MANY_AT, "Too many '@' symbols in email address."},
    {KOV_E_UNEXPECTED_GT, "Found unexpected '>' character in email address."},
    {KOV_E_NO_MEMORY, "Cannot allocate memory."},
    {KOV_E_BAD_SERVER_NAME, "Illegal chars in server name."},
    {KOV_E_APOP_TIMESTAMP, "APOP timestamp missing."},
    {KOV_E_SMTP_ONLY, "SMTP function ONLY."},
    {KOV_E_POP3_ONLY, "POP3 function ONLY."},
    {KOV_E_NO_USER, "USER name not specified."},
    {KOV_E_NO_PASSWORD, "PASSWORD not specified."},
    {KOV_E_POP3_ERROR, "POP3 returned error."},
    {KOV_E_NO_SUCH_MESSAGE, "No such message number."},
    {KOV_E_NO_FILE_NAME, "Missing filename."},
    {KOV_E_NO_MAIL_PATH, "Missing email path."},
    {KOV_E_CANNOT_CREATE_FILE, "Cannot create file."},
    {KOV_E_BUFFER_NULL, "Buffer is NULL."},
    {KOV_E_BUFFER_TOO_SMALL, "Buffer size < 128."},
    {KOV_E_NO_ATTACH_PATH, "Missing path for attachments."},
    {KOV_E_NOT_ATTACHED, "Must call kovAttach first."},
    {KOV_E_ALREADY_ATTACHED, "Already attached."},
    {KOV_E_CHANNEL_RANGE, "Channel out of range."},
    {KOV_E_CANNOT_WRITE_FILE, "Cannot write file."},
    {KOV_E_TLS_UNAVAILABLE, "TLS is not available."},
    {KOV_E_TLS_NOT_OFFERED, "Server does not offer TLS."},
    {KOV_E_TLS_HANDSHAKE, "TLS handshake failed."},
    {KOV_E_TLS_CERTIFICATE, "Server certificate rejected."},
    {KOV_E_TLS_VERSION, "TLS version too old."},
    {KOV_E_TLS_INJECTION, "Plain text injected before TLS."},
    {KOV_E_AUTH_NEEDS_TLS, "Authentication needs TLS."},
    {KOV_E_NO_ADDRESS, "No server address of the allowed IP family."},
    {KOV_E_RAW_LINE_TOO_LONG, "A line of the message is longer than 998 octets."},
    {KOV_E_RAW_WITH_PARTS, "A finished message takes no attachments."},
    // Windows Sockets errors, negated.
    {KOV_E_WSA_INTR, "Interrupted system call."},
    {KOV_E_WSA_BADF, "Bad file number."},
    {KOV_E_WSA_ACCES, "Access denied."},
    {KOV_E_WSA_FAULT, "Bad address."},
    {KOV_E_WSA_INVAL, "Invalid argument."},
    {KOV_E_WSA_MFILE, "Too many open files."},
    {KOV_E_WSA_WOULDBLOCK, "Would block socket in non-blocking mode."},
    {KOV_E_WSA_INPROGRESS, "Blocking call already in progress."},
    {KOV_E_WSA_ALREADY, "Operation already completed."},
    {KOV_E_WSA_NOTSOCK, "Not a valid socket"},
    {KOV_E_WSA_DESTADDRREQ, "Destination address required."},
    {KOV_E_WSA_MSGSIZE, "Message too big for buffer."},
    {KOV_E_WSA_PROTOTYPE, "Protocol mismatch."},
    {KOV_E_WSA_NOPROTOOPT, "Protocol option invalid."},
    {KOV_E_WSA_PROTONOSUPPORT, "Protocol not supported."},
    {KOV_E_WSA_SOCKTNOSUPPORT, "Wexl type not supported."},
    {KOV_E_WSA_OPNOTSUPP, "Wexl operation not supported."},
    {KOV_E_WSA_AFNOSUPPORT, "Wexl address family not supported."},
    {KOV_E_WSA_ADDRINUSE, "Wexl address already in use."},
    {KOV_E_WSA_ADDRNOTAVAIL, "Wexl address not available."},
    {KOV_E_WSA_NETDOWN, "Network error."},
    {KOV_E_WSA_NETUNREACH, "Cannot reach network."},
    {KOV_E_WSA_NETRESET, "Connection dropped."},
    {KOV_E_WSA_CONNABORTED, "Connection timed-out or aborted."},
    {KOV_E_WSA_CONNRESET, "Connection reset by remote host."},
    {KOV_E_WSA_NOBUFS, "Out of buffer space."},
    {KOV_E_WSA_ISCONN, "Wexl already connected."},
    {KOV_E_WSA_NOTCONN, "Wexl not connected."},
    {KOV_E_WSA_SHUTDOWN, "Wexl functionality shut down."},
    {KOV_E_WSA_TIMEDOUT, "Timed-out attempting to connect."},
    {KOV_E_WSA_CONNREFUSED, "Connection refused by remote host."},
    {KOV_E_WSA_HOSTDOWN, "Host is down"},
    {KOV_E_WSA_HOSTUNREACH, "No route to host"},
    {KOV_E_WSA_SYSNOTREADY, "Network not yet ready."},
    {KOV_E_WSA_VERNOTSUPPORTED, "WINSOCK doesn't support requested version."},
    {KOV_E_WSA_NOTINITIALISED, "Wexls not initialized. Call WSAStartup."},
    {KOV_E_WSA_HOST_NOT_FOUND, "Host does not exist."},
    {KOV_E_WSA_TRY_AGAIN, "Host not found. Try again."},
    {KOV_E_WSA_NO_RECOVERY, "Non-recoverable error has occurred."},
    {KOV_E_WSA_NO_DATA, "No data is available."},
};

// Lookups take the first entry of a code, so a second one would never be seen.
constexpr bool CodesAreUnique() {
  constexpr int count = static_cast<int>(sizeof kCodeTexts / sizeof kCodeTexts[0]);
  for (int i = 0; i < count; ++i) {
    for (int j = i + 1; j < count; ++j) {
      if (kCodeTexts[i].code == kCodeTexts[j].code) return false;
    }
  }
  return true;
}
static_assert(CodesAreUnique(), "every code has one entry in the table");

// The codes whose text is followed by the server's last reply.
bool AppendsReply(int code) {
  return code == kConnectError || code == kSmtpError || code == kPop3Error || code == kTlsNotOffered;
}

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
    int replyMax = static_cast<int>(sizeof c.link.ReplyBuffer) - 1;
    n += BoundedCopy(buffer + n, c.link.ReplyBuffer, room < replyMax ? room : replyMax);
  }
  return n;
}
