// ReadIni on inih.
#include <ini.h>

#include "ini_reader.h"

namespace kovmail {

namespace {

using Entry = std::function<bool(const std::string&, const std::string&, const std::string&)>;

struct Reading {
  const Entry* entry;
  bool stopped;
};

int OnEntry(void* user, const char* section, const char* key, const char* value) {
  Reading& reading = *static_cast<Reading*>(user);
  if (reading.stopped) return 1;
  reading.stopped = !(*reading.entry)(section, key != nullptr ? key : "", value != nullptr ? value : "");
  return 1;
}

}  // namespace

int ReadIni(const std::string& text, const Entry& entry) {
  Reading reading{&entry, false};
  const int rc = ini_parse_string(text.c_str(), OnEntry, &reading);
  return reading.stopped ? -1 : rc;
}

}  // namespace kovmail
