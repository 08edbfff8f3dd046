// The configuration file's accounts (read with inih natively, with the own
// reader in the Windows build: the same cases hold for both) and the names
// a download saves under.
#include <gtest/gtest.h>

#include "config.h"
#include "saved_names.h"

namespace kovmail {
namespace {

const char* const kFile =
    "; kovmail accounts\n"
    "default = work\n"
    "\n"
    "[account work]\n"
    "server = mail.example.com\n"
    "port = 587 ; submission\n"
    "user = ann\n"
    "from = Ann <ann@example.com>\n"
    "password-command = pass show mail/work\n"
    "# a comment\n"
    "attach-dir = ~/Downloads\n"
    "\n"
    "[account home]\n"
    "server: pop.home.net\n"
    "user  =  ann smith  \n";

TEST(ConfigTest, AccountsAndTheDefault) {
  Config config;
  std::string error;
  ASSERT_TRUE(ParseConfig(kFile, config, error)) << error;
  EXPECT_FALSE(config.holdsPassword);
  Account account;
  bool found = false;
  ASSERT_TRUE(ChooseAccount(config, "", account, found, error));
  EXPECT_TRUE(found);
  EXPECT_EQ(account.name, "work");
  EXPECT_EQ(account.server, "mail.example.com");
  EXPECT_EQ(account.port, 587);
  EXPECT_EQ(account.from, "Ann <ann@example.com>");
  EXPECT_EQ(account.passwordCommand, "pass show mail/work");
  EXPECT_EQ(account.attachDir, "~/Downloads");
  ASSERT_TRUE(ChooseAccount(config, "home", account, found, error));
  EXPECT_EQ(account.server, "pop.home.net");
  EXPECT_EQ(account.user, "ann smith");
  EXPECT_EQ(account.port, 0);
  EXPECT_FALSE(ChooseAccount(config, "none", account, found, error));
  EXPECT_NE(error.find("'none'"), std::string::npos) << error;
}

TEST(ConfigTest, DefaultWithoutADefaultLine) {
  struct Case {
    const char* text;
    bool found;
    const char* name;
  } cases[] = {
      {"[account only]\nserver = a\n", true, "only"},
      {"[account a]\nserver = a\n[account default]\nserver = d\n", true, "default"},
      {"[account a]\nserver = a\n[account b]\nserver = b\n", false, ""},
      {"", false, ""},
  };
  for (const Case& c : cases) {
    Config config;
    std::string error;
    ASSERT_TRUE(ParseConfig(c.text, config, error)) << c.text << error;
    Account account;
    bool found = true;
    ASSERT_TRUE(ChooseAccount(config, "", account, found, error)) << c.text;
    EXPECT_EQ(found, c.found) << c.text;
    EXPECT_EQ(account.name, c.name) << c.text;
  }
}

TEST(ConfigTest, WrongFilesNameWhatIsWrong) {
  struct Case {
    const char* text;
    const char* errorHas;
  } cases[] = {
      {"[account a]\nserver = a\npasword = x\n", "'pasword'"},
      {"[accounts]\nserver = a\n", "[accounts]"},
      {"[account ]\nserver = a\n", "[account]"},
      {"server = a\n", "'server'"},
      {"[account a]\nport = 99999\n", "no port"},
      {"[account a]\nport = 25x\n", "no port"},
      {"[account a]\nserver = a\njust words\n", "line 3"},
  };
  for (const Case& c : cases) {
    Config config;
    std::string error;
    EXPECT_FALSE(ParseConfig(c.text, config, error)) << c.text;
    EXPECT_NE(error.find(c.errorHas), std::string::npos) << c.text << ": " << error;
  }
  Config config;
  std::string error;
  ASSERT_TRUE(ParseConfig("[account a]\npassword = secret\n", config, error)) << error;
  EXPECT_TRUE(config.holdsPassword);
}

TEST(ConfigTest, TlsModeByOptionElseByPort) {
  struct Case {
    const char* tls;
    int port;
    int mode;
  } cases[] = {{"", 25, 0},         {"", 465, 2},   {"", 587, 1},   {"", 995, 2},         {"", 110, 0},
               {"none", 465, 0},    {"starttls", 25, 1}, {"implicit", 2525, 2}};
  for (const Case& c : cases) EXPECT_EQ(TlsModeFor(c.tls, c.port), c.mode) << c.tls << " " << c.port;
}

TEST(SavedNamesTest, StemsNumberedNamesAndUidLists) {
  EXPECT_EQ(MessageStem(7, 1), "7");
  EXPECT_EQ(MessageStem(7, 3), "7-3");
  EXPECT_EQ(NumberedName("a.pdf", 2), "a (2).pdf");
  EXPECT_EQ(NumberedName("_.bashrc", 2), "_ (2).bashrc");
  EXPECT_EQ(NumberedName("noext", 3), "noext (3)");
  EXPECT_EQ(NumberedName(".hidden", 2), ".hidden (2)");
  const auto uids = ParseUidList("1 whqtswO00WBw418f9t5JxYwZ\r\n2 QhdPYR:00W\nnot a line\n0 zero\n3 a b\n");
  ASSERT_EQ(uids.size(), 2u);
  EXPECT_EQ(uids.at(1), "whqtswO00WBw418f9t5JxYwZ");
  EXPECT_EQ(uids.at(2), "QhdPYR:00W");
}

}  // namespace
}  // namespace kovmail
