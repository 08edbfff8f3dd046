#include "session.h"

#include <kov32.h>

#include <cstdio>
#include <string>

#include "channel_wait.h"
#include "config.h"
#include "console.h"
#include "failure.h"

namespace kovmail {

namespace {

// The longest wait without a look at the progress line and at Ctrl-C.
constexpr int kProgressTickMs = 250;

std::string LibraryText(int code) {
  char buffer[512];
  kovErrorText(kChannel, code, buffer, static_cast<int>(sizeof buffer));
  return CleanLibraryText(buffer);
}

uint64_t Counter(int selector) {
  if (selector == 0) return 0;
  int value = kovStatistics(kChannel, selector);
  return static_cast<uint64_t>(value > 0 ? value : 0);
}

}  // namespace

Session::Session() = default;

Session::~Session() {
  if (attached_) kovRelease();
}

int Session::Open(const ConnectionOptions& options, int portParam, int defaultPort, bool smtp) {
  smtp_ = smtp;
  where_ = options.server + ":" + std::to_string(options.port > 0 ? options.port : defaultPort);
  int rc = kovAttach(1);
  if (rc != 1) {
    fprintf(stderr, "kovmail: cannot start the library (%d)\n", rc);
    return kExitUnavailable;
  }
  attached_ = true;
  DeferInterrupts();
  // A tool waits on its socket: the library's fixed pauses only slow it down.
  kovIntegerParam(kChannel, KOV_PACING, options.pace ? 1 : 0);
  // Command lines are UTF-8: texts that are not ASCII go out as Unicode.
  kovStringParam(kChannel, KOV_CHARSET, "UTF-8");
  kovIntegerParam(kChannel, KOV_AUTO_CALL, 0);
  showProgress_ = !options.quiet && StdoutIsTerminal();
  if (!options.logFile.empty() && kovStringParam(kChannel, KOV_LOG_FILE, options.logFile.c_str()) < 0) {
    fprintf(stderr, "kovmail: cannot create the log file %s\n", options.logFile.c_str());
    return kExitIo;
  }
  if (options.port > 0) kovIntegerParam(kChannel, portParam, options.port);
  kovIntegerParam(kChannel, KOV_TLS, TlsModeFor(options.tls, options.port > 0 ? options.port : defaultPort));
  if (!options.caFile.empty() && kovStringParam(kChannel, KOV_TLS_CA_FILE, options.caFile.c_str()) < 0) {
    fprintf(stderr, "kovmail: --ca %s: the path is too long\n", options.caFile.c_str());
    return kExitUsage;
  }
  // Any address of the name, IPv6 and IPv4, tried in turn, unless -4 or -6.
  kovIntegerParam(kChannel, KOV_IP_FAMILY, options.ipv4 ? 4 : options.ipv6 ? 6 : 46);
  if (options.timeoutSeconds > 0) {
    kovIntegerParam(kChannel, KOV_TIMEOUT, options.timeoutSeconds * 1000);
    kovIntegerParam(kChannel, KOV_CONNECT_WAIT, options.timeoutSeconds * 1000);
  }
  return kExitOk;
}

int Session::Run(int startCode, Progress* progress, int counter, int counter2) {
  if (startCode < 0) return startCode;
  auto bytes = [counter, counter2] { return Counter(counter) + Counter(counter2); };
  int rc;
  do {
    rc = kovDriver(kChannel);
    if (rc > 0 && rc != KOV_MORE) lastState_ = rc;
    if (progress != nullptr) progress->Update(bytes());
    if (Interrupted()) {
      kovAbort(kChannel);
      rc = kInterruptedCode;
    } else if (rc == KOV_MORE) {
      WaitForChannel(kChannel, kProgressTickMs);
    }
  } while (rc > 0);
  if (progress != nullptr) progress->Finish(bytes());
  return rc;
}

std::string Session::LastReply() const {
  char reply[256];
  kovDebug(kChannel, KOV_DEBUG_LAST_REPLY, reply, static_cast<int>(sizeof reply));
  std::string line = reply;
  return line.substr(0, line.find_first_of("\r\n"));
}

int Session::Fail(const std::string& givenPhase, int code) const {
  if (code == kInterruptedCode) {
    fprintf(stderr, "kovmail: %s: interrupted\n", where_.c_str());
    return kExitInterrupted;
  }
  // A failed connect names its cause in the socket code the channel kept.
  int socketCode = kovStatistics(kChannel, KOV_STAT_SOCK_CODE);
  if (socketCode > 0) socketCode = -socketCode;
  if (code == KOV_E_CONNECT && socketCode < 0) code = socketCode;
  std::string phase = givenPhase;
  if (phase.empty()) phase = Phase();
  if (IsResolveFailure(code)) phase = "resolve";
  const std::string reply = IsServerRefusal(code) ? LastReply() : std::string();
  std::string text = !reply.empty() ? reply : FailureText(code);
  if (text.empty()) text = LibraryText(code);
  if (text.empty()) text = "error " + std::to_string(code);
  fprintf(stderr, "kovmail: %s: %s: %s\n", where_.c_str(), phase.c_str(), text.c_str());
  return ExitStatusFor(phase.substr(0, phase.find(' ')), code, kovStatistics(kChannel, KOV_STAT_REPLY_CODE), reply);
}

std::string Session::Phase() const {
  return smtp_ ? SmtpPhase(lastState_, "connect") : Pop3Phase(lastState_, "connect");
}

int Session::Refused(const std::string& phase) const {
  if (kovStatistics(kChannel, KOV_STAT_REPLY_CODE) != 500) return 0;
  return Fail(phase, KOV_E_POP3_ERROR);
}

}  // namespace kovmail
