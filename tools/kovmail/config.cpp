#include "config.h"

#include "ini_reader.h"
#include "response_text.h"

namespace kovmail {

namespace {

const std::string kAccountPrefix = "account ";

bool ParsePort(const std::string& value, int& port) {
  if (value.empty() || value.size() > 5 || value.find_first_not_of("0123456789") != std::string::npos) return false;
  port = std::stoi(value);
  return port >= 1 && port <= 65535;
}

// Sets one key of an account; false for a key no account has.
bool SetKey(Account& account, const std::string& key, const std::string& value, bool& badValue) {
  std::string* const text = key == "server"             ? &account.server
                            : key == "user"             ? &account.user
                            : key == "from"             ? &account.from
                            : key == "password"         ? &account.password
                            : key == "password-command" ? &account.passwordCommand
                            : key == "token-command"    ? &account.tokenCommand
                            : key == "tls"              ? &account.tls
                            : key == "ca"               ? &account.ca
                            : key == "attach-dir"       ? &account.attachDir
                                                        : nullptr;
  if (text != nullptr) {
    *text = value;
    return true;
  }
  if (key != "port") return false;
  badValue = !ParsePort(value, account.port);
  return true;
}

}  // namespace

bool ParseConfig(const std::string& text, Config& config, std::string& error) {
  int line = ReadIni(text, [&](const std::string& rawSection, const std::string& key, const std::string& value) {
    const std::string section = Trim(rawSection);
    if (section.empty()) {
      if (key != "default") error = "unknown setting '" + key + "' outside an account";
      config.defaultAccount = value;
      return error.empty();
    }
    if (section.rfind(kAccountPrefix, 0) != 0 || section.size() == kAccountPrefix.size()) {
      error = "unknown section [" + section + "] (accounts are [account NAME])";
      return false;
    }
    const std::string name = section.substr(kAccountPrefix.size());
    Account& account = config.accounts[name];
    account.name = name;
    bool badValue = false;
    if (!SetKey(account, key, value, badValue)) error = "unknown key '" + key + "' in [" + section + "]";
    if (badValue) error = "'" + value + "' is no port (in [" + section + "])";
    if (key == "password") config.holdsPassword = true;
    return error.empty();
  });
  if (line > 0) error = "line " + std::to_string(line) + " is not understood";
  return line == 0;
}

int TlsModeFor(const std::string& tls, int port) {
  if (tls == "implicit") return 2;
  if (tls == "starttls") return 1;
  if (tls == "none") return 0;
  return port == 465 || port == 995 ? 2 : port == 587 ? 1 : 0;
}

bool ChooseAccount(const Config& config, const std::string& name, Account& account, bool& found, std::string& error) {
  std::string wanted = !name.empty() ? name : config.defaultAccount;
  if (wanted.empty() && config.accounts.count("default") != 0) wanted = "default";
  if (wanted.empty() && config.accounts.size() == 1) wanted = config.accounts.begin()->first;
  found = false;
  if (wanted.empty()) return true;
  const auto entry = config.accounts.find(wanted);
  if (entry == config.accounts.end()) {
    error = "no account '" + wanted + "'";
    return false;
  }
  account = entry->second;
  found = true;
  return true;
}

}  // namespace kovmail
