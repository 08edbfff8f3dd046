// The entries of an address list as the recipients are walked: the one walk
// that both the argument check of kovSendEmail and the RCPT TO states use.
#include "api/errors.h"
#include "codec/strings.h"
#include "engine/compose/compose.h"
#include "engine/smtp/smtp.h"

namespace {

// An entry goes out after "RCPT TO:" on one line of at most 998 octets.
constexpr int kMaxRcptEntry = kMaxLineOctets - 8;

}  // namespace

int FindListEntry(const char* cursor, char separator, ListEntry& entry) {
  const char* open = FindBeforeSeparator(cursor, '<', separator);
  if (open == nullptr) return kEmptyAddress;
  const char* sep = separator != '\0' ? FindChar(open, separator) : nullptr;
  const int length = sep != nullptr ? static_cast<int>(sep - open) : StringLength(open);
  // An entry too long for one line is refused whole, never sent cut.
  if (length > kMaxRcptEntry) return kBadAddressChar;
  entry.open = open;
  entry.sep = sep;
  entry.length = length;
  entry.next = sep != nullptr ? sep + 1 : open + length;
  return 0;
}

int CheckListEntries(const char* list, char separator) {
  ListEntry entry;
  for (const char* cursor = list; cursor != nullptr && cursor[0] != '\0'; cursor = entry.next) {
    if (int rc = FindListEntry(cursor, separator, entry)) return rc;
  }
  return 0;
}
