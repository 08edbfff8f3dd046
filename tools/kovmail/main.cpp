// kovmail: a command-line mail client on the KOV32 library.
//   kovmail send --server H --from A --to LIST --subject S --text T ...
//   kovmail send -t < message.eml          (recipients from the message)
//   kovmail count|list|uidl|top N LINES|fetch N|fetch-all|delete N --server H --user U ...
// Accounts come from ~/.config/kovmail/config; exit codes are sysexits.h's.
#include <CLI/CLI.hpp>
#include <kov32.h>

#include <cstdio>

#include "command_line.h"
#include "config.h"
#include "console.h"
#include "mailbox_command.h"
#include "options.h"
#include "password.h"
#include "send_command.h"

namespace {

using namespace kovmail;

// "kovmail 1.0 (KOV32 3.5.0)".
std::string VersionText() {
  int version = 0;
  if (kovAttach(1) == 1) {
    version = kovStatistics(0, KOV_STAT_VERSION);
    kovRelease();
  }
  char text[64];
  snprintf(text, sizeof text, "kovmail %s (KOV32 %d.%d.%d)", KOVMAIL_VERSION, (version >> 8) & 0xFF,
           (version >> 4) & 0xF, version & 0xF);
  return text;
}

std::string ExpandHome(const std::string& path) {
  const char* home = std::getenv("HOME");
  if (path.rfind("~/", 0) != 0 || home == nullptr) return path;
  return home + path.substr(1);
}

// Fills what the command line left empty from the account, and checks what
// must be there in the end. 0, or the exit status after a message.
int ApplyAccount(ConnectionOptions& connection, std::string* from, std::string* attachDir) {
  Account account;
  bool found = false;
  if (int status = LoadAccount(connection.configFile, connection.account, account, found)) return status;
  if (found) {
    if (!account.tls.empty() && account.tls != "none" && account.tls != "starttls" && account.tls != "implicit") {
      fprintf(stderr, "kovmail: account %s: tls = %s: use starttls, implicit or none\n", account.name.c_str(),
              account.tls.c_str());
      return kExitConfig;
    }
    if (connection.tls.empty()) connection.tls = account.tls;
    if (connection.caFile.empty()) connection.caFile = ExpandHome(account.ca);
    if (connection.tokenEnv.empty()) connection.tokenCommand = account.tokenCommand;
    if (connection.server.empty()) connection.server = account.server;
    if (connection.port == 0) connection.port = account.port;
    if (connection.user.empty()) connection.user = account.user;
    connection.password = account.password;
    connection.passwordCommand = account.passwordCommand;
    if (from != nullptr && from->empty()) *from = account.from;
    if (attachDir != nullptr && attachDir->empty()) *attachDir = ExpandHome(account.attachDir);
  }
  if (connection.server.empty()) {
    fprintf(stderr, "kovmail: no server: give --server, or an account with a server\n");
    return kExitUsage;
  }
  return kExitOk;
}

int Mailbox(MailboxOptions& options) {
  if (int status = ApplyAccount(options.connection, nullptr, &options.attachDir)) return status;
  if (options.connection.user.empty()) {
    fprintf(stderr, "kovmail %s: no user: give --user, or an account with a user\n", options.command.c_str());
    return kExitUsage;
  }
  Secret secret;
  if (int status = GetSecret(options.connection, false, secret)) return status;
  return RunMailbox(options, secret);
}

}  // namespace

int main(int argc, char** argv) {
  CatchInterrupts();
  CLI::App app("kovmail: sends mail through SMTP servers and reads POP3 mailboxes", "kovmail");
  app.require_subcommand(1);
  app.set_version_flag("--version", VersionText);
  app.footer(kHelpFooter);
  SendOptions send;
  MailboxOptions mailbox;
  CLI::App* sendCommand = AddSendCommand(app, send);
  AddMailboxCommands(app, mailbox);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // --help and --version end parsing with exit code 0; anything else is a usage error.
    return app.exit(e) == 0 ? kExitOk : kExitUsage;
  }
  if (!sendCommand->parsed()) return Mailbox(mailbox);
  if (int status = ApplyAccount(send.connection, &send.from, nullptr)) return status;
  return RunSend(send);
}
