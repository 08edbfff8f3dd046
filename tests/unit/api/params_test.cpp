// kovIntegerParam and kovStringParam: every index of both tables, what each
// stores, the log file and the extra header lines.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "api/blocks.h"
#include "kov32.h"
#include "support/library_fixture.h"

namespace {

using Params = AttachedLibrary;

TEST_F(Params, ChannelCheckComesFirst) {
  EXPECT_EQ(kovIntegerParam(4, KOV_BODY_TYPE, 1), -73);
  EXPECT_EQ(kovStringParam(-1, KOV_FROM, "a"), -73);
  EXPECT_EQ(kovStringParam(0, KOV_FROM, nullptr), -47);
  kovRelease();
  EXPECT_EQ(kovIntegerParam(0, KOV_BODY_TYPE, 1), -71);
  EXPECT_EQ(kovStringParam(0, KOV_FROM, nullptr), -71);
}

TEST_F(Params, ChannelIntegersTakeThePartTheirWidthHolds) {
  const ChannelContext& c = Channel(1);
  struct Case {
    int index;
    int value;
    int64_t (*read)(const ChannelContext&);
    int64_t expected;
  } cases[] = {
      {KOV_BODY_TYPE, 18, [](const ChannelContext& c) -> int64_t { return c.smtp.BodyType; }, 2},
      {KOV_AUTO_CALL, 2, [](const ChannelContext& c) -> int64_t { return c.link.AutoCall; }, 0},
      {KOV_AUTO_CALL, 3, [](const ChannelContext& c) -> int64_t { return c.link.AutoCall; }, 1},
      {KOV_NUMBER_NAMES, 7, [](const ChannelContext& c) -> int64_t { return c.decoder.AttachNamePrefix; }, 7},
      {KOV_SAVE_UNNAMED, 1, [](const ChannelContext& c) -> int64_t { return c.decoder.SaveUnnamedParts; }, 1},
      {KOV_SMTP_PORT, 65536 + 25, [](const ChannelContext& c) -> int64_t { return c.link.SmtpPort; }, 25},
      {KOV_POP3_PORT, 1100, [](const ChannelContext& c) -> int64_t { return c.link.Pop3Port; }, 1100},
      {KOV_BLOCKING, 0, [](const ChannelContext& c) -> int64_t { return c.link.NonBlockingConnect; }, 1},
      {KOV_BLOCKING, 5, [](const ChannelContext& c) -> int64_t { return c.link.NonBlockingConnect; }, 0},
      {KOV_IMAGE_TYPES, 0x100, [](const ChannelContext& c) -> int64_t { return c.smtp.DetectImageTypes; }, 0},
      {KOV_DECODE_MODE, 0x1ffff, [](const ChannelContext& c) -> int64_t { return c.pop.DecodeMode; }, -1},
      {KOV_DECODE_MODE, 1, [](const ChannelContext& c) -> int64_t { return c.pop.DecodeMode; }, 1},
      {KOV_USE_EHLO, 1, [](const ChannelContext& c) -> int64_t { return c.smtp.UseEhlo; }, 1},
      {KOV_USE_APOP, 0x201, [](const ChannelContext& c) -> int64_t { return c.pop.UseApop; }, 1},
      {KOV_ATTACH_NUMBER, 12, [](const ChannelContext& c) -> int64_t { return c.decoder.AttachFileNumber; }, 12},
      {KOV_SKIP_RCPT_ERRORS, 1, [](const ChannelContext& c) -> int64_t { return c.smtp.SkipRcptErrors; }, 1},
      {KOV_TEXT_ATTACH, 1, [](const ChannelContext& c) -> int64_t { return c.smtp.TextAttachments; }, 1},
  };
  for (const Case& t : cases) {
    SCOPED_TRACE(t.index);
    EXPECT_EQ(kovIntegerParam(1, t.index, t.value), 1);
    EXPECT_EQ(t.read(c), t.expected);
  }
}

// Only the four families are taken; any other value is refused and the
// channel keeps what it had.
TEST_F(Params, IpFamilyTakesOnlyKnownFamilies) {
  const ChannelContext& c = Channel(2);
  EXPECT_EQ(c.link.IpFamily, 0);
  const struct {
    int value;
    int result;
    int kept;
  } cases[] = {{46, 1, 46}, {5, -1, 46}, {6, 1, 6}, {-4, -1, 6}, {4 + 256, -1, 6}, {4, 1, 4}, {64, -1, 4}, {0, 1, 0}};
  for (const auto& t : cases) {
    EXPECT_EQ(kovIntegerParam(2, KOV_IP_FAMILY, t.value), t.result) << t.value;
    EXPECT_EQ(c.link.IpFamily, t.kept) << t.value;
  }
  EXPECT_EQ(Channel(1).link.IpFamily, 0);
}

TEST_F(Params, AutoCallClearsTheTimers) {
  Channel(0).link.NotBefore = 5;
  Channel(0).link.Deadline = 6;
  EXPECT_EQ(kovIntegerParam(0, KOV_AUTO_CALL, 0), 1);
  EXPECT_EQ(Channel(0).link.NotBefore, 0u);
  EXPECT_EQ(Channel(0).link.Deadline, 0u);
}

TEST_F(Params, ProcessIntegersReachEveryChannel) {
  EXPECT_EQ(kovIntegerParam(2, KOV_DELAY, 40), 1);
  EXPECT_EQ(kovIntegerParam(2, KOV_TIMEOUT, 900), 1);
  EXPECT_EQ(kovIntegerParam(2, KOV_CONNECT_WAIT, 1500), 1);
  EXPECT_EQ(kovIntegerParam(2, KOV_SLEEP_TIME, 10), 1);
  EXPECT_EQ(kovIntegerParam(2, KOV_LINE_LENGTH, 78), 1);
  EXPECT_EQ(kovIntegerParam(2, KOV_8BIT_TEXT, 0x101), 1);
  EXPECT_EQ(kovIntegerParam(2, KOV_HIDE_SAVE_NOTES, 1), 1);
  EXPECT_EQ(kovIntegerParam(2, KOV_NO_TO_HEADER, 1), 1);
  EXPECT_EQ(kovIntegerParam(2, KOV_ADDRESS_SEP, ';'), 1);
  EXPECT_EQ(kovIntegerParam(2, KOV_RESERVED, 99), 1);
  EXPECT_EQ(kovIntegerParam(2, KOV_ATTACH_SEP, '+' + 0x100), 1);
  EXPECT_EQ(kovIntegerParam(2, KOV_NAME_SEP, '#'), 1);
  const Settings& s = gSettings;
  EXPECT_EQ(s.MinWait, 40);
  EXPECT_EQ(s.LineWait, 40);
  EXPECT_EQ(s.MaxWait, 900);
  EXPECT_EQ(s.SendWait, 900);
  EXPECT_EQ(s.ReadWait, 900);
  EXPECT_EQ(s.ConnectWait, 1500);
  EXPECT_EQ(s.PollSleep, 10);
  EXPECT_EQ(s.LineLimit, 78);
  EXPECT_EQ(s.WrapColumn, 60);  // 78 - 18, not the initial 61
  EXPECT_EQ(s.Allow8Bit, 1);
  EXPECT_EQ(s.HideSaveNotes, 1);
  EXPECT_EQ(s.HideTo, 1);
  EXPECT_EQ(s.AddressSep, ';');
  EXPECT_EQ(s.AttachSep, '+');
  EXPECT_EQ(s.NameSep, '#');
}

TEST_F(Params, UnknownIndicesChangeNothing) {
  const std::string log = OpenLog(0);
  const Settings before = gSettings;
  for (int index : {0, 4, 5, 6, 7, 11, 12, 20, 33, 41, 59, 61, 1000, -1}) {
    EXPECT_EQ(kovIntegerParam(0, index, 5), -1) << index;
  }
  for (int index : {0, 8, 9, 21, 40, 42, 49, 60, 62, -20}) EXPECT_EQ(kovStringParam(0, index, "x"), -1) << index;
  EXPECT_EQ(memcmp(&before, &gSettings, sizeof before), 0);
  // The entry line is written for unknown indices too.
  EXPECT_NE(LogOf(log).find("*** kovIntegerParam(0,1000,5)\r\n"), std::string::npos);
  EXPECT_NE(LogOf(log).find("*** kovStringParam(0,62,x)\r\n"), std::string::npos);
}

TEST_F(Params, TextFieldsAreCutToTheirLimits) {
  const std::string longText(200, 'a');
  struct Case {
    int index;
    const char* field;
    int limit;
  } cases[] = {
      {KOV_REPLY_TO, Channel(3).smtp.ReplyTo, 128},
      {KOV_FROM, Channel(3).smtp.FromAddress, 128},
      {KOV_AUTH_PASSWORD, Channel(3).login.AuthPassword, 64},
      {KOV_USER, Channel(3).login.UserName, 64},
      {KOV_BODY_CONTENT, gSettings.UserContentType, 128},
      {KOV_BODY_ENCODING, gSettings.UserTransferEncoding, 128},
      {KOV_ATTACH_CONTENT, gSettings.AttachContentType, 128},
  };
  for (const Case& t : cases) {
    SCOPED_TRACE(t.index);
    EXPECT_EQ(kovStringParam(3, t.index, longText.c_str()), t.limit);
    EXPECT_EQ(std::string(t.field), longText.substr(0, t.limit));
    EXPECT_EQ(kovStringParam(3, t.index, "Joe <joe@example.com>"), 21);
    EXPECT_STREQ(t.field, "Joe <joe@example.com>");
  }
}

TEST_F(Params, LogFileGetsEntryLinesAndUserText) {
  const std::string first = OpenLog(1, "first.log");
  EXPECT_EQ(kovIntegerParam(1, KOV_BODY_TYPE, 2), 1);
  EXPECT_EQ(kovStringParam(1, KOV_LOG_TEXT, "hello"), Channel(1).diag.LogHandle);
  const std::string second = dir.File("second.log");
  int handle = kovStringParam(1, KOV_LOG_FILE, second.c_str());
  EXPECT_GE(handle, 2);
  EXPECT_EQ(Channel(1).diag.LogHandle, handle);
  // The entry line of the switch goes into the log being closed.
  EXPECT_EQ(LogOf(first),
            "*** kovIntegerParam(1,8,2)\r\n*** kovStringParam(1,52,hello)\r\nhello\r\n*** kovStringParam(1,20," +
                second + ")\r\n");
  EXPECT_EQ(LogOf(second), "");
}

TEST_F(Params, LogFileThatCannotBeCreatedLeavesNoLog) {
  OpenLog(2);
  EXPECT_EQ(kovStringParam(2, KOV_LOG_FILE, dir.File("missing/x.log").c_str()), -1);
  EXPECT_EQ(Channel(2).diag.LogHandle, 0);
  EXPECT_EQ(kovStringParam(2, KOV_LOG_TEXT, "lost"), 0);
}

TEST_F(Params, SetHeadersCutsOneFinalLineBreak) {
  struct Case {
    const char* text;
    int result;
    const char* stored;
  } cases[] = {
      {"X-One: 1\r\n", 2, "X-One: 1"},
      {"X-One: 1", 4, "X-One: 1"},
      {"X-A: 1\r\nX-B: 2", 4, "X-A: 1\r\nX-B: 2"},
      {"ab", 3, "ab"},
      {"a\n", 2, "a"},
      {"\r\n", 1, ""},
  };
  for (const Case& t : cases) {
    SCOPED_TRACE(t.text);
    EXPECT_EQ(kovStringParam(0, KOV_SET_HEADERS, t.text), t.result);
    ASSERT_NE(Channel(0).smtp.ExtraHeaders, nullptr);
    EXPECT_STREQ(Channel(0).smtp.ExtraHeaders, t.stored);
  }
  EXPECT_EQ(kovStringParam(0, KOV_SET_HEADERS, ""), 0);
  EXPECT_EQ(Channel(0).smtp.ExtraHeaders, nullptr);
  EXPECT_EQ(IsAllocated(7), 0);
}

TEST_F(Params, AddHeaderAppendsLines) {
  EXPECT_EQ(kovStringParam(1, KOV_ADD_HEADER, "X-A: 1"), 4);
  EXPECT_EQ(kovStringParam(1, KOV_ADD_HEADER, "X-B: 2\r\n"), 2);
  ASSERT_NE(Channel(1).smtp.ExtraHeaders, nullptr);
  EXPECT_STREQ(Channel(1).smtp.ExtraHeaders, "X-A: 1\r\nX-B: 2");
}

TEST_F(Params, AddHeaderKeepsTheCombinedTextWithinItsLimit) {
  const std::string big(2040, 'h');
  EXPECT_EQ(kovStringParam(1, KOV_SET_HEADERS, big.c_str()), 4);
  kovStringParam(1, KOV_ADD_HEADER, std::string(100, 'k').c_str());
  ASSERT_NE(Channel(1).smtp.ExtraHeaders, nullptr);
  EXPECT_EQ(strlen(Channel(1).smtp.ExtraHeaders), 2048u);
}

TEST_F(Params, AltTextIsSetOnce) {
  EXPECT_EQ(kovStringParam(2, KOV_ALT_TEXT, "plain words"), 11);
  EXPECT_EQ(kovStringParam(2, KOV_ALT_TEXT, "other"), 0);
  EXPECT_STREQ(Channel(2).smtp.AltText, "plain words");
  EXPECT_EQ(kovStringParam(3, KOV_ALT_TEXT, ""), 0);
  EXPECT_EQ(Channel(3).smtp.AltText, nullptr);
}

TEST_F(Params, SaveBufferWritesTheMailLines) {
  const std::string path = dir.File("lines.txt");
  EXPECT_EQ(kovStringParam(3, KOV_SAVE_BUFFER, path.c_str()), -47);
  char* lines = AllocateMemory(3, kMailLinesSlot, 32);
  ASSERT_NE(lines, nullptr);
  strcpy(lines, "+OK\r\nSubject: x\r\n");
  EXPECT_EQ(kovStringParam(3, KOV_SAVE_BUFFER, path.c_str()), 17);
  EXPECT_EQ(ReadFile(path), "+OK\r\nSubject: x\r\n");
  EXPECT_EQ(kovStringParam(3, KOV_SAVE_BUFFER, dir.File("missing/x").c_str()), -67);
}

TEST_F(Params, ExtremeTimesAndLineLengthsAreKeptInRange) {
  constexpr int32_t kDay = 86400000;
  struct Case {
    int index;
    int value;
    int32_t Settings::*field;
    int32_t expected;
  } cases[] = {
      {KOV_DELAY, INT_MIN, &Settings::MinWait, 0},
      {KOV_DELAY, -1, &Settings::LineWait, 0},
      {KOV_DELAY, INT_MAX, &Settings::MinWait, kDay},
      {KOV_DELAY, INT_MAX, &Settings::LineWait, kDay},
      {KOV_TIMEOUT, INT_MIN, &Settings::MaxWait, 0},
      {KOV_TIMEOUT, -1, &Settings::SendWait, 0},
      {KOV_TIMEOUT, -1, &Settings::ReadWait, 0},
      {KOV_TIMEOUT, INT_MAX, &Settings::MaxWait, kDay},
      {KOV_TIMEOUT, kDay + 1, &Settings::SendWait, kDay},
      {KOV_TIMEOUT, INT_MAX, &Settings::ReadWait, kDay},
      {KOV_TIMEOUT, kDay, &Settings::MaxWait, kDay},
      {KOV_CONNECT_WAIT, INT_MIN, &Settings::ConnectWait, 0},
      {KOV_CONNECT_WAIT, -1, &Settings::ConnectWait, 0},
      {KOV_CONNECT_WAIT, INT_MAX, &Settings::ConnectWait, kDay},
      {KOV_SLEEP_TIME, INT_MIN, &Settings::PollSleep, 0},
      {KOV_SLEEP_TIME, -1, &Settings::PollSleep, 0},
      {KOV_SLEEP_TIME, INT_MAX, &Settings::PollSleep, kDay},
      {KOV_LINE_LENGTH, INT_MIN, &Settings::LineLimit, INT_MIN},
      {KOV_LINE_LENGTH, INT_MIN, &Settings::WrapColumn, INT_MIN},
      {KOV_LINE_LENGTH, INT_MIN + 17, &Settings::WrapColumn, INT_MIN},
      {KOV_LINE_LENGTH, INT_MIN + 19, &Settings::WrapColumn, INT_MIN + 1},
      {KOV_LINE_LENGTH, -1, &Settings::WrapColumn, -19},
      {KOV_LINE_LENGTH, INT_MAX, &Settings::LineLimit, INT_MAX},
      {KOV_LINE_LENGTH, INT_MAX, &Settings::WrapColumn, INT_MAX - 18},
  };
  for (const Case& t : cases) {
    SCOPED_TRACE(testing::Message() << "index " << t.index << " value " << t.value);
    EXPECT_EQ(kovIntegerParam(0, t.index, t.value), 1);
    EXPECT_EQ(gSettings.*t.field, t.expected);
  }
}

TEST_F(Params, PasswordIsMaskedInTheLog) {
  const std::string log = OpenLog(0);
  EXPECT_EQ(kovStringParam(0, KOV_AUTH_PASSWORD, "s3cret"), 6);
  EXPECT_EQ(kovStringParam(0, KOV_USER, "alice"), 5);
  EXPECT_STREQ(Channel(0).login.AuthPassword, "s3cret");
  EXPECT_EQ(LogOf(log), "*** kovStringParam(0,57,*****)\r\n*** kovStringParam(0,58,alice)\r\n");
}

TEST_F(Params, LineBreaksInCredentialsAndAddressesAreRefused) {
  const std::string longWithBreak = std::string(200, 'a') + "\n";
  struct Case {
    int index;
    const char* text;
    int result;
    const char* field;
  } cases[] = {
      {KOV_USER, "bob\r\nQUIT", -61, Channel(1).login.UserName},
      {KOV_USER, "\n", -61, Channel(1).login.UserName},
      {KOV_AUTH_PASSWORD, "pw\rRSET", -62, Channel(1).login.AuthPassword},
      {KOV_AUTH_PASSWORD, longWithBreak.c_str(), -62, Channel(1).login.AuthPassword},
      {KOV_FROM, "<a@b.c>\r\nRCPT TO:<x@y.z>", -32, Channel(1).smtp.FromAddress},
      {KOV_FROM, longWithBreak.c_str(), -32, Channel(1).smtp.FromAddress},
  };
  for (const Case& t : cases) {
    SCOPED_TRACE(t.text);
    ASSERT_EQ(kovStringParam(1, t.index, "kept"), 4);
    EXPECT_EQ(kovStringParam(1, t.index, t.text), t.result);
    EXPECT_STREQ(t.field, "kept");
  }
}

TEST_F(Params, TlsAndLoginIntegersTakeOnlyTheirValues) {
  const SecurityState& s = Channel(2).security;
  EXPECT_EQ(s.TlsMode, 0);
  EXPECT_EQ(s.TlsVerify, 1);
  EXPECT_EQ(s.TlsMinVersion, 0x0303);
  EXPECT_EQ(s.AuthMechanism, 0);
  struct Case {
    int index;
    int value;
    int result;
    int64_t (*read)(const SecurityState&);
    int64_t expected;
  } cases[] = {
      {KOV_TLS, 2, 1, [](const SecurityState& s) -> int64_t { return s.TlsMode; }, 2},
      // A value outside the set is refused and the setting stays: a typo must not mean plain text.
      {KOV_TLS, 3, -1, [](const SecurityState& s) -> int64_t { return s.TlsMode; }, 2},
      {KOV_TLS, -1, -1, [](const SecurityState& s) -> int64_t { return s.TlsMode; }, 2},
      {KOV_TLS, 256 + 1, -1, [](const SecurityState& s) -> int64_t { return s.TlsMode; }, 2},
      {KOV_TLS, 0, 1, [](const SecurityState& s) -> int64_t { return s.TlsMode; }, 0},
      {KOV_TLS_VERIFY, 0, 1, [](const SecurityState& s) -> int64_t { return s.TlsVerify; }, 0},
      {KOV_TLS_VERIFY, 256, 1, [](const SecurityState& s) -> int64_t { return s.TlsVerify; }, 1},
      {KOV_TLS_MIN_VERSION, 0x0304, 1, [](const SecurityState& s) -> int64_t { return s.TlsMinVersion; }, 0x0304},
      {KOV_TLS_MIN_VERSION, 0x0302, -1, [](const SecurityState& s) -> int64_t { return s.TlsMinVersion; }, 0x0304},
      {KOV_TLS_MIN_VERSION, 0x0303, 1, [](const SecurityState& s) -> int64_t { return s.TlsMinVersion; }, 0x0303},
      {KOV_AUTH_MECHANISM, KOV_AUTH_OAUTHBEARER, 1, [](const SecurityState& s) -> int64_t { return s.AuthMechanism; }, 5},
      {KOV_AUTH_MECHANISM, 6, -1, [](const SecurityState& s) -> int64_t { return s.AuthMechanism; }, 5},
      {KOV_AUTH_MECHANISM, KOV_AUTH_AUTOMATIC, 1, [](const SecurityState& s) -> int64_t { return s.AuthMechanism; }, 0},
  };
  for (const auto& t : cases) {
    EXPECT_EQ(kovIntegerParam(2, t.index, t.value), t.result) << t.index << " " << t.value;
    EXPECT_EQ(t.read(s), t.expected) << t.index << " " << t.value;
  }
}

TEST_F(Params, TlsTextsAreRefusedRatherThanCut) {
  const SecurityState& s = Channel(1).security;
  const std::string longest(4096, 'T');
  EXPECT_EQ(kovStringParam(1, KOV_OAUTH_TOKEN, longest.c_str()), 4096);
  EXPECT_EQ(std::string(s.OAuthToken), longest);
  for (const std::string& bad : {longest + "T", std::string("ya29 x"), std::string("a\x01b"), std::string("a\r\nQUIT"),
                                  std::string("caf\xc3\xa9")}) {
    EXPECT_EQ(kovStringParam(1, KOV_OAUTH_TOKEN, bad.c_str()), KOV_E_NO_PASSWORD) << bad.size();
    EXPECT_EQ(std::string(s.OAuthToken), longest);
  }
  EXPECT_EQ(kovStringParam(1, KOV_OAUTH_TOKEN, ""), 0);
  EXPECT_STREQ(s.OAuthToken, "");

  EXPECT_EQ(kovStringParam(1, KOV_TLS_SERVER_NAME, "mail.example.com"), 16);
  EXPECT_EQ(kovStringParam(1, KOV_TLS_SERVER_NAME, "a<b"), KOV_E_BAD_SERVER_NAME);
  EXPECT_EQ(kovStringParam(1, KOV_TLS_SERVER_NAME, std::string(129, 'h').c_str()), KOV_E_BAD_SERVER_NAME);
  EXPECT_STREQ(s.TlsServerName, "mail.example.com");
  EXPECT_EQ(kovStringParam(1, KOV_TLS_SERVER_NAME, ""), 0);

  EXPECT_EQ(kovStringParam(1, KOV_TLS_CA_FILE, std::string(255, 'p').c_str()), 255);
  EXPECT_EQ(kovStringParam(1, KOV_TLS_CA_FILE, std::string(256, 'q').c_str()), KOV_E_CANNOT_OPEN_FILE);
  EXPECT_EQ(std::string(s.TlsCaFile), std::string(255, 'p'));
}

TEST_F(Params, TokenIsMaskedInTheLog) {
  const std::string log = OpenLog(0);
  EXPECT_EQ(kovStringParam(0, KOV_OAUTH_TOKEN, "ya29.secret"), 11);
  EXPECT_EQ(LogOf(log), "*** kovStringParam(0,107,*****)\r\n");
}

}  // namespace
