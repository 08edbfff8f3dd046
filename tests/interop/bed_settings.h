// The real-server bed's KEY=VALUE settings (ports, domain and users), as the
// interop tests read them from interop.env.
#pragma once

#include <cstdlib>
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
