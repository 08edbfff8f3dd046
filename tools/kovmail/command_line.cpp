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

std::string CheckAttachment(const std::string& value) {
  Attachment attachment = SplitAttachment(value, IsFile(value));
  if (!IsFile(attachment.path)) return "no such file: " + attachment.path;
  return std::string();
}

void AddConnectionOptions(CLI::App& command, ConnectionOptions& options, const char* portHelp) {
  command.add_option("--server", options.server, "Mail server name or address")->required();
  command.add_option("--port", options.port, portHelp)->check(CLI::Range(1, 65535));
  command.add_option("--log", options.logFile, "Write the channel's log (commands, replies, states) to FILE");
  command.add_option("--timeout", options.timeoutSeconds, "Seconds to wait for a connect or a reply")
      ->check(CLI::Range(1, 86400));
  command.add_flag("-q,--quiet", options.quiet, "No progress line");
  command.add_flag("--pace", options.pace, "Keep the library's fixed pauses after commands and closes");
  command.footer("The password comes from the environment variable KOVMAIL_PASSWORD, or is asked for without echo.");
}

}  // namespace

CLI::App* AddSendCommand(CLI::App& app, SendOptions& options) {
  CLI::App* send = app.add_subcommand("send", "Send one message through an SMTP server");
  AddConnectionOptions(*send, options.connection, "SMTP port (default 25)");
  send->add_option("--user", options.connection.user, "Log in with this user name (AUTH), then the password")
      ->check(CheckUser);
  send->add_option("--from", options.from, "Sender address")->required();
  send->add_option("--to", options.to, "Recipients, separated by ','")->required();
  send->add_option("--cc", options.cc, "Copy recipients, separated by ','");
  send->add_option("--bcc", options.bcc, "Blind copy recipients: they get the message, no header names them");
  send->add_option("--subject", options.subject, "Subject line")->required();

  CLI::Option_group* body = send->add_option_group("message text", "Exactly one of them");
  body->add_option("--text", options.text, "The text itself")->check(CheckText);
  body->add_option("--text-file", options.textFile, "A file holding the text")->check(CLI::ExistingFile);
  CLI::Option* html =
      body->add_option("--html", options.htmlFile, "A file holding an HTML text")->check(CLI::ExistingFile);
  body->require_option(1);
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
      {"fetch", "Download message N into --dir, attachments into --attach-dir", true},
      {"fetch-all", "Download every message into --dir, attachments into --attach-dir", false},
      {"delete", "Delete message N from the mailbox", true},
  };
  for (const Command& entry : kCommands) {
    CLI::App* command = app.add_subcommand(entry.name, entry.help);
    command->callback([&options, name = std::string(entry.name)] { options.command = name; });
    if (entry.number)
      command->add_option("N", options.number, "Message number (from 1)")->required()->check(CLI::PositiveNumber);
    if (std::string(entry.name) == "top") {
      command->add_option("LINES", options.lines, "Body lines")->required()->check(CLI::NonNegativeNumber);
    }
    AddConnectionOptions(*command, options.connection, "POP3 port (default 110)");
    command->add_option("--user", options.connection.user, "Mailbox user name")->required()->check(CheckUser);
    command->add_flag("--apop", options.apop, "Log in with APOP instead of USER and PASS");
    if (std::string(entry.name).rfind("fetch", 0) == 0) {
      command->add_option("--dir", options.dir, "Directory for the message files (default: the current one)")
          ->check(CLI::ExistingDirectory);
      command->add_option("--attach-dir", options.attachDir, "Directory for attachments (default: --dir)")
          ->check(CLI::ExistingDirectory);
      command->add_flag("--raw", options.raw, "Store messages as received, without decoding them");
    }
  }
}

}  // namespace kovmail
