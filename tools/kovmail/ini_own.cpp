// ReadIni where inih is not available (the Windows build): the rules inih
// applies in its default build, for the files kovmail reads: "[section]",
// "key = value" or "key: value", ';' and '#' comments at the start of a
// line and ' ;' after a value, blanks trimmed, and an indented line after a
// key another value of that key.
#include <sstream>

#include "ini_reader.h"
#include "response_text.h"

namespace kovmail {

namespace {

std::string WithoutComment(const std::string& value) {
  size_t at = value.find(" ;");
  return Trim(at == std::string::npos ? value : value.substr(0, at));
}

}  // namespace

int ReadIni(const std::string& text,
            const std::function<bool(const std::string&, const std::string&, const std::string&)>& entry) {
  std::istringstream lines(text);
  std::string raw, section, lastKey;
  int number = 0, firstError = 0;
  while (std::getline(lines, raw)) {
    ++number;
    const std::string line = Trim(number == 1 && raw.rfind("\xEF\xBB\xBF", 0) == 0 ? raw.substr(3) : raw);
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (!lastKey.empty() && (raw[0] == ' ' || raw[0] == '\t')) {
      if (!entry(section, lastKey, WithoutComment(line))) return -1;
      continue;
    }
    if (line[0] == '[') {
      lastKey.clear();
      const size_t close = line.find(']');
      if (close == std::string::npos && firstError == 0) firstError = number;
      if (close != std::string::npos) section = Trim(line.substr(1, close - 1));
      continue;
    }
    const size_t split = line.find_first_of("=:");
    if (split == std::string::npos) {
      if (firstError == 0) firstError = number;
      continue;
    }
    lastKey = Trim(line.substr(0, split));
    if (!entry(section, lastKey, WithoutComment(line.substr(split + 1)))) return -1;
  }
  return firstError;
}

}  // namespace kovmail
