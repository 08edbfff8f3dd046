#include "uid_state.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace kovmail {

namespace fs = std::filesystem;

namespace {

fs::path StateFolder() {
#ifdef _WIN32
  if (const char* local = std::getenv("LOCALAPPDATA")) return fs::path(local) / "kovmail";
#endif
  if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && state[0] != '\0') {
    return fs::path(state) / "kovmail";
  }
  const char* home = std::getenv("HOME");
  return fs::path(home != nullptr ? home : ".") / ".local" / "state" / "kovmail";
}

}  // namespace

std::string DefaultStatePath(const std::string& user, const std::string& where) {
  std::string name = user + "@" + where + ".uidl";
  for (char& ch : name) {
    if (ch == '/' || ch == '\\') ch = '_';
  }
  return (StateFolder() / name).string();
}

bool UidState::Load(const std::string& path, std::string& error) {
  path_ = path;
  std::error_code missing;
  if (!fs::exists(path, missing)) return true;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot read the state file " + path;
    return false;
  }
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) seen_.insert(line);
  }
  return true;
}

bool UidState::Add(const std::string& uid, std::string& error) {
  std::error_code ignored;
  const fs::path folder = fs::path(path_).parent_path();
  if (!folder.empty() && fs::create_directories(folder, ignored)) {
    fs::permissions(folder, fs::perms::owner_all, ignored);
  }
  const bool created = !fs::exists(path_, ignored);
  std::ofstream out(path_, std::ios::binary | std::ios::app);
  out << uid << '\n';
  out.flush();
  if (!out) {
    error = "cannot write the state file " + path_;
    return false;
  }
  if (created) fs::permissions(path_, fs::perms::owner_read | fs::perms::owner_write, ignored);
  seen_.insert(uid);
  return true;
}

}  // namespace kovmail
