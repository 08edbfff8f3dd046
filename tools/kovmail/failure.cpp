#include "failure.h"

#include <kov32.h>

#include "options.h"

namespace kovmail {

namespace {

struct Range {
  int first;
  int last;
  const char* phase;
};

// The library's state numbers, by the part of the exchange they belong to.
constexpr Range kCommonRanges[] = {{101, 104, "resolve"}, {105, 106, "connect"}, {150, 171, "login"},
                                   {258, 259, "close"}};
constexpr Range kSmtpRanges[] = {{200, 203, "connect"}, {204, 205, "sender"}, {206, 208, "recipient"},
                                 {209, 212, "data"},    {220, 249, "data"},   {250, 250, "TLS"},
                                 {251, 252, "data"},    {253, 257, "TLS"},    {260, 267, "data"},
                                 {273, 279, "login"},   {400, 402, "data"}};
constexpr Range kPop3Ranges[] = {{300, 306, "login"},    {309, 310, "retrieve"}, {312, 313, "retrieve"},
                                 {350, 369, "TLS"},      {370, 379, "login"}};

template <size_t N>
const char* Find(const Range (&ranges)[N], int state) {
  for (const Range& range : ranges) {
    if (state >= range.first && state <= range.last) return range.phase;
  }
  return nullptr;
}

std::string Phase(const char* own, int state, const std::string& fallback) {
  if (own != nullptr) return own;
  const char* common = Find(kCommonRanges, state);
  return common != nullptr ? common : fallback;
}

bool ContainsNoCase(const std::string& text, const std::string& word) {
  auto lower = [](std::string s) {
    for (char& ch : s) ch = ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch;
    return s;
  };
  return lower(text).find(lower(word)) != std::string::npos;
}

// A server's refusal: 4xx (and POP3's temporary response codes) can pass;
// a refused login, a refused recipient and anything else 5xx stay.
int RefusalStatus(const std::string& phase, int replyCode, const std::string& reply) {
  const bool pop3 = replyCode == 500 || replyCode == 100;
  const bool temporary = pop3 ? ContainsNoCase(reply, "[IN-USE]") || ContainsNoCase(reply, "[SYS/TEMP]")
                              : replyCode >= 400 && replyCode < 500;
  if (temporary) return kExitTempFail;
  if (phase == "login") return kExitNoPerm;
  if (phase == "recipient") return kExitNoUser;
  return kExitUnavailable;
}

}  // namespace

std::string SmtpPhase(int state, const std::string& fallback) { return Phase(Find(kSmtpRanges, state), state, fallback); }

std::string Pop3Phase(int state, const std::string& fallback) { return Phase(Find(kPop3Ranges, state), state, fallback); }

bool IsResolveFailure(int code) {
  return code == KOV_E_SERVER_NOT_FOUND || code == KOV_E_NO_ADDRESS || code == KOV_E_WSA_HOST_NOT_FOUND || code == KOV_E_WSA_NO_DATA ||
         code == KOV_E_WSA_NO_RECOVERY || code == KOV_E_WSA_TRY_AGAIN;
}

bool IsServerRefusal(int code) {
  return code == KOV_E_SMTP_ERROR || code == KOV_E_POP3_ERROR || code == KOV_E_CONNECT;
}

std::string FailureText(int code) {
  switch (code) {
    case KOV_E_NO_ADDRESS:
      return "no address of the allowed IP family (-4, -6)";
    case KOV_E_TLS_CERTIFICATE:
      return "the server's certificate is not trusted or not for its name (--ca FILE names the authority)";
    case KOV_E_AUTH_NEEDS_TLS:
      return "the login would go without TLS: not sent (--tls starttls or implicit)";
    case KOV_E_SERVER_NOT_FOUND:
    case KOV_E_WSA_HOST_NOT_FOUND:
    case KOV_E_WSA_NO_DATA:
    case KOV_E_WSA_NO_RECOVERY:
      return "no such host";
    case KOV_E_WSA_TRY_AGAIN:
      return "the name server did not answer; try again";
    case KOV_E_WSA_CONNREFUSED:
      return "connection refused";
    case KOV_E_WSA_TIMEDOUT:
      return "the connect timed out";
    case KOV_E_WSA_NETUNREACH:
    case KOV_E_WSA_HOSTUNREACH:
    case KOV_E_WSA_HOSTDOWN:
      return "no route to the host";
    case KOV_E_TIMEOUT:
      return "no reply within the time limit";
    case KOV_E_CLOSED:
    case KOV_E_NOT_CONNECTED:
      return "the server closed the connection";
    case KOV_E_WSA_CONNRESET:
    case KOV_E_WSA_CONNABORTED:
    case KOV_E_WSA_NETRESET:
      return "the connection was reset";
    case KOV_E_READ:
      return "reading from the connection failed";
    case KOV_E_WRITE:
      return "writing to the connection failed";
    case KOV_E_CANNOT_CREATE_FILE:
      return "a file cannot be created there";
    case KOV_E_CANNOT_WRITE_FILE:
      return "a file could not be written (is the disk full?)";
    case KOV_E_CANNOT_OPEN_FILE:
      return "a file to be sent cannot be read";
    default:
      return std::string();
  }
}

std::string CleanLibraryText(const std::string& text) {
  std::string line = text.substr(0, text.find_first_of("\r\n"));
  // The socket layer's internal name: "Wexls" for the sockets, "Wexl" for a
  // connection.
  const struct {
    const char* internal;
    const char* shown;
  } kNames[] = {{"Wexls ", "sockets "}, {"Wexl ", "connection: "}};
  for (const auto& name : kNames) {
    const std::string internal = name.internal;
    for (size_t at = line.find(internal); at != std::string::npos; at = line.find(internal, at)) {
      line.replace(at, internal.size(), name.shown);
    }
  }
  const size_t end = line.find_last_not_of(' ');
  return end == std::string::npos ? std::string() : line.substr(0, end + 1);
}

int ExitStatusFor(const std::string& phase, int code, int replyCode, const std::string& reply) {
  if (IsResolveFailure(code)) return code == KOV_E_WSA_TRY_AGAIN ? kExitTempFail : kExitNoHost;
  if (IsServerRefusal(code)) return RefusalStatus(phase, replyCode, reply);
  switch (code) {
    case KOV_E_TIMEOUT:
    case KOV_E_WSA_TIMEDOUT:
    case KOV_E_INVALID_SOCKET:
      return kExitTempFail;
    case KOV_E_CLOSED:
    case KOV_E_NOT_CONNECTED:
    case KOV_E_READ:
    case KOV_E_WRITE:
    case KOV_E_WSA_CONNRESET:
    case KOV_E_WSA_CONNABORTED:
    case KOV_E_WSA_NETRESET:
    case KOV_E_CANNOT_CREATE_FILE:
    case KOV_E_CANNOT_WRITE_FILE:
    case KOV_E_NO_MEMORY:
      return kExitIo;
    case KOV_E_CANNOT_OPEN_FILE:
      return kExitNoInput;
    case KOV_E_TLS_CERTIFICATE:
    case KOV_E_AUTH_NEEDS_TLS:
      return kExitNoPerm;
    case KOV_E_BAD_ADDRESS_CHAR:
    case KOV_E_EMPTY_ADDRESS:
    case KOV_E_MISSING_AT:
    case KOV_E_MISSING_LT:
    case KOV_E_MISSING_GT:
    case KOV_E_TOO_MANY_AT:
    case KOV_E_UNEXPECTED_GT:
      return kExitData;
    default:
      return kExitUnavailable;
  }
}

}  // namespace kovmail
