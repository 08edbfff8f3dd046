#include "command_line.h"

#include <filesystem>
#include <system_error>

#include "message_lists.h"

namespace kovmail {

namespace {

bool IsFile(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}

// --user: the library keeps 64 characters; a longer name would be cut.
std::string CheckUser(const std::string& user) {
  if (user.size() > kMaxCredential) return "a user name holds at most 64 characters";
  return std::string();
}

// --text: the library reads a text that starts with '@' as a file name.
std::string CheckText(const std::string& text) {
  if (!text.empty() && text[0] == '@') return "a text starting with '@' must come from --text-file";
  return std::string();
}

// A file to read, or "-" for standard input.
std::string CheckInput(const std::string& path) {
  if (path == "-" || IsFile(path)) return std::string();
  return "no such file: " + path;
}

std::string CheckAttachment(const std::string& value) {
  Attachment attachment = SplitAttachment(value, IsFile(value));
  if (!IsFile(attachment.path)) return "no such file: " + attachment.path;
  return std::string();
}

void AddConnectionOptions(CLI::App& command, ConnectionOptions& options, const char* portHelp) {
  command.add_option("--config", options.configFile, "Read accounts from FILE (default ~/.config/kovmail/config)")
      ->check(CLI::ExistingFile);
  command.add_option("--account", options.account, "Use this account of the configuration file");
  command.add_option("--server", options.server, "Mail server name or address");
  command.add_option("--port", options.port, portHelp)->check(CLI::Range(1, 65535));
  command.add_option("--log", options.logFile, "Write the channel's log (commands, replies, states) to FILE");
  command.add_option("--timeout", options.timeoutSeconds, "Seconds to wait for a connect or a reply")
      ->check(CLI::Range(1, 86400));
  command.add_option("--tls", options.tls,
                     "starttls, implicit or none (default: implicit on ports 465 and 995, starttls on 587, else none)")
      ->check(CLI::IsMember({"starttls", "implicit", "none"}));
  command.add_option("--ca", options.caFile, "Trust the certificate authorities in FILE (PEM) instead of the system's")
      ->check(CLI::ExistingFile);
  command.add_option("--token-env", options.tokenEnv,
                     "Log in with the OAuth 2.0 token in this environment variable (XOAUTH2, OAUTHBEARER; TLS only)");
  CLI::Option* four = command.add_flag("-4", options.ipv4, "Connect over IPv4 only");
  command.add_flag("-6", options.ipv6, "Connect over IPv6 only")->excludes(four);
  command.add_flag("-q,--quiet", options.quiet, "No progress line, no summary");
  command.add_flag("--pace", options.pace, "Keep the library's fixed pauses after commands and closes");
  command.footer(kHelpFooter);
}

}  // namespace

const char* const kHelpFooter =
    "The password comes from KOVMAIL_PASSWORD, the account's password or password-command, or is asked for\n"
    "without echo (standard input's first line when it is no terminal).\n"
    "Exit status: 0 done, 64 wrong command line, 65 bad address or message, 66 input file unreadable,\n"
    "67 recipient refused, 68 host not found, 69 server refused or unreachable, 74 file or connection\n"
    "failed, 75 temporary failure (4xx, time-out): try again, 77 login refused or TLS untrusted, 78 configuration file\n"
    "wrong or unsafe, 130 interrupted.";

CLI::App* AddSendCommand(CLI::App& app, SendOptions& options) {
  CLI::App* send = app.add_subcommand("send", "Send one message through an SMTP server");
  AddConnectionOptions(*send, options.connection, "SMTP port (default 25)");
  send->add_option("--user", options.connection.user, "Log in with this user name (AUTH), then the password")
      ->check(CheckUser);
  send->add_option("--from", options.from, "Sender address (default: the account's, or the message's From)");
  send->add_option("--to", options.to, "Recipients, separated by ','");
  send->add_option("--cc", options.cc, "Copy recipients, separated by ','");
  send->add_option("--bcc", options.bcc, "Blind copy recipients: they get the message, no header names them");
  send->add_option("--subject", options.subject, "Subject line");

  CLI::Option_group* body = send->add_option_group("message", "One of them (-t alone reads standard input)");
  body->add_option("--text", options.text, "The text itself")->check(CheckText);
  body->add_option("--text-file", options.textFile, "A file holding the text ('-': standard input)")
      ->check(CheckInput);
  CLI::Option* html =
      body->add_option("--html", options.htmlFile, "A file holding an HTML text")->check(CLI::ExistingFile);
  body->add_option("--eml", options.emlFile, "A finished message (header and body), sent as it is ('-': standard input)")
      ->check(CheckInput);
  body->require_option(0, 1);
  send->add_flag("-t", options.headerRecipients,
                 "Recipients also from the message's To, Cc and Bcc; the message from --eml or standard input");
  send->add_option("--alt-text", options.altTextFile, "A file holding the plain text shown instead of the HTML")
      ->check(CLI::ExistingFile)
      ->needs(html);
  send->add_option("--attach", options.attachments, "Attach FILE, shown as NAME when given (repeatable)")
      ->type_name("FILE[=NAME]")
      ->check(CheckAttachment);
  return send;
}

void AddMailboxCommands(CLI::App& app, MailboxOptions& options) {
  struct Command {
    const char* name;
    const char* help;
    bool number;  // takes a message number
  };
  static const Command kCommands[] = {
      {"count", "Print the number of messages in the mailbox", false},
      {"list", "Print each message's number and size", false},
      {"uidl", "Print each message's number and unique identifier", false},
      {"top", "Print the header and the first LINES body lines of message N", true},
      {"fetch", "Download message N as N.txt, its attachments into the new folder N.files", true},
      {"fetch-all", "Download every message as fetch does", false},
      {"delete", "Delete message N from the mailbox", true},
  };
  for (const Command& entry : kCommands) {
    const std::string name = entry.name;
    CLI::App* command = app.add_subcommand(name, entry.help);
    command->callback([&options, name] { options.command = name; });
    if (entry.number)
      command->add_option("N", options.number, "Message number (from 1)")->required()->check(CLI::PositiveNumber);
    if (name == "top") {
      command->add_option("LINES", options.lines, "Body lines")->required()->check(CLI::NonNegativeNumber);
    }
    AddConnectionOptions(*command, options.connection, "POP3 port (default 110)");
    command->add_option("--user", options.connection.user, "Mailbox user name")->check(CheckUser);
    command->add_flag("--apop", options.apop, "Log in with APOP instead of USER and PASS");
    if (name.rfind("fetch", 0) != 0) continue;
    command->add_option("--dir", options.dir, "Directory for the message files (default: the current one)")
        ->check(CLI::ExistingDirectory);
    command->add_option("--attach-dir", options.attachDir,
                        "Save attachments into this directory, under free names (default: N.files beside N.txt)")
        ->check(CLI::ExistingDirectory);
    command->add_flag("--raw", options.raw, "Store messages as received (N.eml), without decoding them");
    command->add_flag("--overwrite", options.overwrite, "Replace existing files instead of numbering the new ones");
    command->add_flag("--delete", options.deleteAfter, "Delete each message from the server once it is saved whole");
    if (name != "fetch-all") continue;
    command->add_flag("--new", options.onlyNew, "Only messages not fetched before (their UIDL is in the state file)");
    command->add_option("--state", options.stateFile,
                        "The state file of --new (default ~/.local/state/kovmail/USER@SERVER:PORT.uidl)");
  }
}

}  // namespace kovmail
