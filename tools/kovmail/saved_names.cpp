#include "saved_names.h"

#include <sstream>

namespace kovmail {

std::string MessageStem(int number, int attempt) {
  std::string stem = std::to_string(number);
  return attempt <= 1 ? stem : stem + "-" + std::to_string(attempt);
}

std::string NumberedName(const std::string& name, int number) {
  size_t dot = name.rfind('.');
  // A leading dot starts no extension.
  if (dot == 0 || dot == std::string::npos) dot = name.size();
  return name.substr(0, dot) + " (" + std::to_string(number) + ")" + name.substr(dot);
}

std::map<int, std::string> ParseUidList(const std::string& body) {
  std::map<int, std::string> uids;
  std::istringstream lines(body);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::istringstream fields(line);
    int number = 0;
    std::string uid, rest;
    if (!(fields >> number >> uid) || number < 1 || (fields >> rest)) continue;
    uids[number] = uid;
  }
  return uids;
}

}  // namespace kovmail
