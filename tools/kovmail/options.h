// What the command line asks for, filled in by command_line.cpp.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace kovmail {

// Exit status: success, a server or network failure, a usage error.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// The environment variable that holds the password.
constexpr const char* kPasswordVariable = "KOVMAIL_PASSWORD";

// The longest user name and password the library keeps.
constexpr size_t kMaxCredential = 64;

struct ConnectionOptions {
  std::string server;
  int port = 0;  // 0: the protocol's default port
  std::string user;
  std::string logFile;
  int timeoutSeconds = 0;  // 0: the library's limits
  bool quiet = false;
  bool pace = false;  // keep the library's fixed pauses (off: KOV_PACING 0)
};

struct SendOptions {
  ConnectionOptions connection;
  std::string from;
  std::vector<std::string> to;
  std::vector<std::string> cc;
  std::vector<std::string> bcc;
  std::string subject;
  std::string text;
  std::string textFile;
  std::string htmlFile;
  std::string altTextFile;
  std::vector<std::string> attachments;  // FILE[=NAME]
};

struct MailboxOptions {
  std::string command;  // count, list, uidl, top, fetch, fetch-all, delete
  ConnectionOptions connection;
  bool apop = false;
  int number = 0;  // the message of top, fetch and delete
  int lines = 0;   // body lines of top
  std::string dir = ".";
  std::string attachDir;  // empty: dir
  bool raw = false;
};

}  // namespace kovmail
