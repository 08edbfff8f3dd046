#include "response_text.h"

namespace kovmail {

std::string ResponseBody(const std::string& response) {
  size_t start = response.find('\n');
  start = start == std::string::npos ? response.size() : start + 1;
  std::string body;
  body.reserve(response.size() - start);
  for (size_t i = start; i < response.size(); ++i) {
    if (response[i] == '\r' && i + 1 < response.size() && response[i + 1] == '\n') continue;
    body += response[i];
  }
  if (!body.empty() && body.back() != '\n') body += '\n';
  return body;
}

std::string Trim(const std::string& text) {
  const char* blanks = " \t\r\n";
  const size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

std::vector<std::string> SplitList(const std::string& list, char separator) {
  std::vector<std::string> entries;
  size_t start = 0;
  while (start < list.size()) {
    size_t end = list.find(separator, start);
    if (end == std::string::npos) end = list.size();
    if (end > start) entries.push_back(list.substr(start, end - start));
    start = end + 1;
  }
  return entries;
}

}  // namespace kovmail
