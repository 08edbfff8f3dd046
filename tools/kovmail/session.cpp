#include "session.h"

#include <kov32.h>

#include <cstdio>
#include <string>

#include "channel_wait.h"
#include "console.h"

namespace kovmail {

namespace {

// The longest wait without a look at the progress line.
constexpr int kProgressTickMs = 250;

// The library's text for a code on one line, without trailing blanks.
std::string ErrorText(int code) {
  char buffer[512];
  kovErrorText(kChannel, code, buffer, static_cast<int>(sizeof buffer));
  std::string text = buffer;
  text = text.substr(0, text.find_first_of("\r\n"));  // a server reply keeps its line end
  return text.substr(0, text.find_last_not_of(' ') + 1);
}

}  // namespace

Session::Session() = default;

Session::~Session() {
  if (attached_) kovRelease();
}

bool Session::Open(const ConnectionOptions& options, int portParam) {
  int rc = kovAttach(1);
  if (rc != 1) {
    Fail("cannot start the library", rc);
    return false;
  }
  attached_ = true;
  // A tool waits on its socket: the library's fixed pauses only slow it down.
  kovIntegerParam(kChannel, KOV_PACING, options.pace ? 1 : 0);
  // Command lines are UTF-8: texts that are not ASCII go out as Unicode.
  kovStringParam(kChannel, KOV_CHARSET, "UTF-8");
  showProgress_ = !options.quiet && StdoutIsTerminal();
  if (!options.logFile.empty() && kovStringParam(kChannel, KOV_LOG_FILE, options.logFile.c_str()) < 0) {
    fprintf(stderr, "kovmail: cannot create the log file %s\n", options.logFile.c_str());
    return false;
  }
  if (options.port > 0) kovIntegerParam(kChannel, portParam, options.port);
  if (options.timeoutSeconds > 0) {
    kovIntegerParam(kChannel, KOV_TIMEOUT, options.timeoutSeconds * 1000);
    kovIntegerParam(kChannel, KOV_CONNECT_WAIT, options.timeoutSeconds * 1000);
  }
  return true;
}

int Session::Fail(const char* what, int code) const {
  std::string text = ErrorText(code);
  // A failed connect names its cause in the socket code the channel kept.
  int socketCode = kovStatistics(kChannel, KOV_STAT_SOCK_CODE);
  if (socketCode > 0) socketCode = -socketCode;
  if (socketCode < 0 && socketCode != code) text += (text.empty() ? "" : " ") + ErrorText(socketCode);
  if (text.empty()) text = "error " + std::to_string(code);
  fprintf(stderr, "kovmail: %s: %s\n", what, text.c_str());
  return kExitFailure;
}

bool Session::Refused(const char* what) const {
  if (kovStatistics(kChannel, KOV_STAT_REPLY_CODE) != 500) return false;
  char reply[256];
  kovDebug(kChannel, KOV_DEBUG_LAST_REPLY, reply, static_cast<int>(sizeof reply));
  std::string line = reply;
  fprintf(stderr, "kovmail: %s: refused: %s\n", what, line.substr(0, line.find_first_of("\r\n")).c_str());
  return true;
}

int Session::Drive(Progress& progress, int counter) const {
  auto bytes = [counter] {
    int value = kovStatistics(kChannel, counter);
    return static_cast<uint64_t>(value > 0 ? value : 0);
  };
  int rc;
  do {
    rc = kovDriver(kChannel);
    progress.Update(bytes());
    if (rc == KOV_MORE) WaitForChannel(kChannel, kProgressTickMs);
  } while (rc > 0);
  progress.Finish(bytes());
  return rc;
}

}  // namespace kovmail
