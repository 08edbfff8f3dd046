// The walk over an address list that both kovSendEmail's argument check and
// the RCPT TO states use: where each entry starts and ends, and which lists
// cannot go out.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/smtp/smtp.h"

namespace {

// The entries of a list as the walk finds them, or the code it stops with.
std::vector<std::string> Walk(const char* list, char separator, int& code) {
  std::vector<std::string> entries;
  ListEntry entry;
  code = 0;
  for (const char* cursor = list; cursor[0] != '\0'; cursor = entry.next) {
    code = FindListEntry(cursor, separator, entry);
    if (code != 0) break;
    entries.emplace_back(entry.open, static_cast<size_t>(entry.length));
  }
  return entries;
}

TEST(AddressList, EntriesAndRefusals) {
  const std::string longest = "<" + std::string(990 - 8, 'a') + "@x.org>";  // RCPT TO line of 998 octets
  const std::string tooLong = "<" + std::string(991 - 8, 'a') + "@x.org>";
  const struct {
    std::string list;
    char separator;
    std::vector<std::string> entries;
    int code;
  } cases[] = {
      {"<a@x>", ',', {"<a@x>"}, 0},
      {"Ann <a@x>, Bob <b@x> SIZE=1", ',', {"<a@x>", "<b@x> SIZE=1"}, 0},
      {"<a@x>,", ',', {"<a@x>"}, 0},           // a trailing separator ends the list
      {"<a@x>;<b@x>", ';', {"<a@x>", "<b@x>"}, 0},
      {"<a@x>,<b@x>", '\0', {"<a@x>,<b@x>"}, 0},  // no separator: one entry
      {"<a@x>,,<b@x>", ',', {"<a@x>"}, -37},   // an empty entry inside the list
      {"<a@x>, ", ',', {"<a@x>"}, -37},        // a blank is no trailing separator
      {"<a@x>,b@x", ',', {"<a@x>"}, -37},
      {"a@x", ',', {}, -37},
      {longest, ',', {longest}, 0},
      {"<a@x>," + tooLong, ',', {"<a@x>"}, -32},
  };
  for (const auto& t : cases) {
    SCOPED_TRACE(t.list.substr(0, 40));
    int code = 0;
    EXPECT_EQ(Walk(t.list.c_str(), t.separator, code), t.entries);
    EXPECT_EQ(code, t.code);
    EXPECT_EQ(CheckListEntries(t.list.c_str(), t.separator), t.code);
  }
}

}  // namespace
