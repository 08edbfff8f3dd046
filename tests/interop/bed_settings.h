// The real-server bed's KEY=VALUE settings (ports, domain and users), as the
// interop tests read them from interop.env.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

inline std::map<std::string, std::string> ReadBedSettings() {
  std::map<std::string, std::string> settings;
  std::ifstream in(KOV_INTEROP_ENV_FILE);
  for (std::string line; std::getline(in, line);) {
    size_t eq = line.find('=');
    if (line.empty() || line[0] == '#' || eq == std::string::npos) continue;
    settings[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return settings;
}

// The folder of the running bed: configuration, logs, mailboxes and spool.
inline std::string BedRunDir() {
  const char* run = std::getenv("KOV_INTEROP_DIR");
  return run != nullptr && run[0] != '\0' ? run : "/tmp/kov32-interop";
}

// Removes the messages of a Maildir (new, cur and tmp), whatever an earlier
// run left; the folders stay, they are Dovecot's.
inline void EmptyMaildir(const std::filesystem::path& maildir) {
  std::error_code ec;
  for (const char* folder : {"new", "cur", "tmp"}) {
    for (const auto& e : std::filesystem::directory_iterator(maildir / folder, ec)) std::filesystem::remove(e.path(), ec);
  }
}
