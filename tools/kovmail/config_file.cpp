// The configuration file on disk: where it is, reading it, and refusing one
// that others may read while it holds a password.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "config.h"
#include "console.h"
#include "options.h"

namespace kovmail {

namespace {

std::string HomePath(const char* variable, const char* fallback) {
  const char* value = std::getenv(variable);
  if (value != nullptr && value[0] != '\0') return value;
  const char* home = std::getenv("HOME");
  return (std::filesystem::path(home != nullptr ? home : ".") / fallback).string();
}

}  // namespace

std::string DefaultConfigPath() {
#ifdef _WIN32
  if (const char* data = std::getenv("APPDATA")) return (std::filesystem::path(data) / "kovmail" / "config").string();
#endif
  return (std::filesystem::path(HomePath("XDG_CONFIG_HOME", ".config")) / "kovmail" / "config").string();
}

int LoadAccount(const std::string& explicitPath, const std::string& name, Account& account, bool& found) {
  found = false;
  const std::string path = explicitPath.empty() ? DefaultConfigPath() : explicitPath;
  std::error_code missing;
  if (explicitPath.empty() && !std::filesystem::exists(path, missing)) {
    if (name.empty()) return kExitOk;
    fprintf(stderr, "kovmail: --account %s: no configuration file %s\n", name.c_str(), path.c_str());
    return kExitConfig;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    fprintf(stderr, "kovmail: cannot read the configuration file %s\n", path.c_str());
    return kExitConfig;
  }
  std::ostringstream text;
  text << in.rdbuf();
  Config config;
  std::string error;
  if (!ParseConfig(text.str(), config, error) || !ChooseAccount(config, name, account, found, error)) {
    fprintf(stderr, "kovmail: %s: %s\n", path.c_str(), error.c_str());
    return kExitConfig;
  }
  if (config.holdsPassword && ReadableByOthers(path)) {
    fprintf(stderr, "kovmail: %s holds a password and others may read it: chmod 600 %s\n", path.c_str(),
            path.c_str());
    return kExitConfig;
  }
  return kExitOk;
}

}  // namespace kovmail
