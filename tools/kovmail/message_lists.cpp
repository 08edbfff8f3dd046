#include "message_lists.h"

namespace kovmail {

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
