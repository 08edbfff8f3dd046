// Accounts from kovmail's configuration file (~/.config/kovmail/config or
// --config FILE), an INI file:
//   default = work
//   [account work]
//   server = mail.example.com
//   port = 587
//   tls = starttls
//   user = ann
//   from = Ann <ann@example.com>
//   password-command = pass show mail/work
//   attach-dir = ~/Downloads
#pragma once

#include <map>
#include <string>

namespace kovmail {

struct Account {
  std::string name;
  std::string server;
  int port = 0;
  std::string user;
  std::string from;
  std::string password;
  std::string passwordCommand;
  std::string tokenCommand;
  std::string tls;
  std::string ca;
  std::string attachDir;
};

struct Config {
  std::string defaultAccount;  // "default = NAME" before the first section
  std::map<std::string, Account> accounts;
  bool holdsPassword = false;
};

// Parses the file's text; false with `error` (naming the line or key) when
// it holds anything else than accounts and their keys.
bool ParseConfig(const std::string& text, Config& config, std::string& error);

// The account to use: `name`, else the default one ("default = NAME", else
// an account called "default", else the only one); false with `error` when
// `name` is not there. `found` is false when no account applies.
bool ChooseAccount(const Config& config, const std::string& name, Account& account, bool& found, std::string& error);

// The KOV_TLS mode for --tls (or the account's tls): 2 "implicit", 1
// "starttls", 0 "none"; when not given, by the port: implicit TLS on the
// ports made for it (465, 995), STARTTLS on the submission port (587), none
// elsewhere.
int TlsModeFor(const std::string& tls, int port);

// The configuration file when no --config is given:
// $XDG_CONFIG_HOME/kovmail/config, ~/.config/kovmail/config
// (%APPDATA%\kovmail\config on Windows).
std::string DefaultConfigPath();

// Reads and parses the file and chooses the account, reporting problems on
// stderr: 0, or the exit status. A missing default file is no problem;
// a file that others may read and that holds a password is refused.
int LoadAccount(const std::string& explicitPath, const std::string& name, Account& account, bool& found);

}  // namespace kovmail
