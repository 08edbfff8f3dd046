// What the command line asks for, filled in by command_line.cpp.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace kovmail {

// Exit status, as sysexits.h numbers them (as msmtp and sendmail use them).
constexpr int kExitOk = 0;
constexpr int kExitUsage = 64;        // a wrong command line
constexpr int kExitData = 65;         // a bad address or message
constexpr int kExitNoInput = 66;      // an input file cannot be read
constexpr int kExitNoUser = 67;       // the server refused a recipient for good
constexpr int kExitNoHost = 68;       // the server's name cannot be resolved
constexpr int kExitUnavailable = 69;  // the server refused for good, or cannot be reached
constexpr int kExitIo = 74;           // a file or the connection failed to read or write
constexpr int kExitTempFail = 75;     // try again later: a 4xx reply, a time-out
constexpr int kExitNoPerm = 77;       // the login was refused
constexpr int kExitConfig = 78;       // the configuration file is wrong or unsafe
constexpr int kExitInterrupted = 130; // stopped by a signal (Ctrl-C)

// The environment variable that holds the password.
constexpr const char* kPasswordVariable = "KOVMAIL_PASSWORD";

// The longest user name and password the library keeps.
constexpr size_t kMaxCredential = 64;

struct ConnectionOptions {
  std::string configFile;  // --config; empty: the default file, when it exists
  std::string account;     // --account; empty: the configuration's default
  std::string server;
  int port = 0;  // 0: the protocol's default port
  std::string user;
  std::string passwordCommand;  // from the account: its output's first line is the password
  std::string password;         // from the account file itself
  std::string tokenEnv;         // --token-env: the variable that holds an OAuth 2.0 token
  std::string tokenCommand;     // from the account: its output's first line is the token
  std::string tls;              // --tls: starttls, implicit or none; empty: by the port
  std::string caFile;           // --ca: the authorities to trust instead of the system's
  bool ipv4 = false;            // -4
  bool ipv6 = false;            // -6
  std::string logFile;
  int timeoutSeconds = 0;  // 0: the library's limits
  bool quiet = false;
  bool pace = false;  // keep the library's fixed pauses (off: KOV_PACING 0)
};

struct SendOptions {
  ConnectionOptions connection;
  bool headerRecipients = false;  // -t: recipients from To, Cc and Bcc of the message
  std::string emlFile;            // a finished message, sent as it is ("-": standard input)
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
  std::string attachDir;  // empty: a fresh folder N.files beside N.txt
  bool raw = false;
  bool overwrite = false;   // replace existing files instead of numbering the new ones
  bool onlyNew = false;     // fetch-all: only messages whose UIDL the state file lacks
  bool deleteAfter = false; // delete each message once it is saved whole
  std::string stateFile;    // --state; empty: the account's file
};

}  // namespace kovmail
