#include "password.h"

#include <cstdio>
#include <cstdlib>

#include "console.h"
#include "options.h"

namespace kovmail {

bool GetPassword(const std::string& user, const std::string& server, std::string& password) {
  if (const char* value = std::getenv(kPasswordVariable)) {
    password = value;
    return true;
  }
  if (!StdinIsTerminal()) return ReadInputLine(password, false);
  fprintf(stderr, "Password for %s@%s: ", user.c_str(), server.c_str());
  fflush(stderr);
  return ReadInputLine(password, true);
}

}  // namespace kovmail
