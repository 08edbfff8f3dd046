// kovmail: a command-line mail client on the KOV32 library.
//   kovmail send --server H --from A --to LIST --subject S --text T ...
//   kovmail count|list|uidl|top N LINES|fetch N|fetch-all|delete N --server H --user U ...
// Exit status: 0 done, 1 the server or the network failed, 2 usage error.
#include <CLI/CLI.hpp>

#include "command_line.h"
#include "mailbox_command.h"
#include "options.h"
#include "send_command.h"

int main(int argc, char** argv) {
  using namespace kovmail;
  CLI::App app("kovmail: sends mail through SMTP servers and reads POP3 mailboxes", "kovmail");
  app.require_subcommand(1);
  SendOptions send;
  MailboxOptions mailbox;
  CLI::App* sendCommand = AddSendCommand(app, send);
  AddMailboxCommands(app, mailbox);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // --help ends parsing with exit code 0; anything else is a usage error.
    return app.exit(e) == 0 ? kExitOk : kExitUsage;
  }
  if (sendCommand->parsed()) return RunSend(send);
  return RunMailbox(mailbox);
}
