#include "message_lists.h"

namespace kovmail {

namespace {

std::string Trim(const std::string& text) {
  const char* blanks = " \t\r\n";
  size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return std::string();
  size_t last = text.find_last_not_of(blanks);
  return text.substr(first, last - first + 1);
}

}  // namespace

std::string AddressList(const std::vector<std::string>& values) {
  std::string list;
  for (const std::string& value : values) {
    size_t start = 0;
    while (start <= value.size()) {
      size_t comma = value.find(',', start);
      if (comma == std::string::npos) comma = value.size();
      std::string entry = Trim(value.substr(start, comma - start));
      start = comma + 1;
      if (entry.empty()) continue;
      if (!list.empty()) list += ',';
      list += entry.find('<') == std::string::npos ? "<" + entry + ">" : entry;
    }
  }
  return list;
}

Attachment SplitAttachment(const std::string& value, bool wholeIsFile) {
  size_t equals = value.find('=');
  if (wholeIsFile || equals == std::string::npos) return {value, std::string()};
  return {value.substr(0, equals), value.substr(equals + 1)};
}

char FreeSeparator(const std::vector<std::string>& texts, const std::string& candidates) {
  for (char candidate : candidates) {
    bool used = false;
    for (const std::string& text : texts) used = used || text.find(candidate) != std::string::npos;
    if (!used) return candidate;
  }
  return '\0';
}

std::string AttachmentList(const std::vector<Attachment>& attachments, char entrySep, char nameSep) {
  std::string list;
  for (const Attachment& attachment : attachments) {
    if (!list.empty()) list += entrySep;
    list += attachment.path;
    if (!attachment.shownName.empty()) list += nameSep + attachment.shownName;
  }
  return list;
}

uint64_t Base64Size(uint64_t size) { return 4 * ((size + 2) / 3) + 2 * ((size + 56) / 57); }

}  // namespace kovmail
