#include "password.h"

#include <cstdio>
#include <cstdlib>

#include "console.h"

namespace kovmail {

namespace {

int Refuse(const std::string& why) {
  fprintf(stderr, "kovmail: %s\n", why.c_str());
  return kExitUsage;
}

// The token, when the user logs in with one.
int GetToken(const ConnectionOptions& connection, std::string& token) {
  if (!connection.tokenEnv.empty()) {
    const char* value = std::getenv(connection.tokenEnv.c_str());
    if (value == nullptr || value[0] == '\0') return Refuse("no token in the variable " + connection.tokenEnv);
    token = value;
  } else if (!connection.tokenCommand.empty() && !CommandOutputLine(connection.tokenCommand, token)) {
    return Refuse("the token command failed: " + connection.tokenCommand);
  }
  return kExitOk;
}

int GetPassword(const ConnectionOptions& connection, bool stdinHoldsMessage, std::string& password) {
  bool given = true;
  if (const char* value = std::getenv(kPasswordVariable)) {
    password = value;
  } else if (!connection.password.empty()) {
    password = connection.password;
  } else if (!connection.passwordCommand.empty()) {
    if (!CommandOutputLine(connection.passwordCommand, password)) {
      return Refuse("the password command failed: " + connection.passwordCommand);
    }
  } else if (!StdinIsTerminal()) {
    if (stdinHoldsMessage) return Refuse("no password: standard input holds the message (set KOVMAIL_PASSWORD)");
    given = ReadInputLine(password, false);
  } else {
    fprintf(stderr, "Password for %s@%s: ", connection.user.c_str(), connection.server.c_str());
    fflush(stderr);
    given = ReadInputLine(password, true);
  }
  if (!given) return Refuse("no password given");
  if (password.size() > kMaxCredential) return Refuse("a password holds at most 64 characters");
  return kExitOk;
}

}  // namespace

int GetSecret(const ConnectionOptions& connection, bool stdinHoldsMessage, Secret& secret) {
  if (int status = GetToken(connection, secret.token)) return status;
  if (!secret.token.empty()) return kExitOk;
  return GetPassword(connection, stdinHoldsMessage, secret.password);
}

}  // namespace kovmail
