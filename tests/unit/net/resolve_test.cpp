// Resolution of server names and the address texts.
#include <cstring>
#include <string>

#include "net_fixture.h"

namespace {

TEST(DottedQuad, GroupsAreReadAsAddresses) {
  struct Case {
    const char* text;
    int accepted;
    uint32_t address;
  } cases[] = {
      {"192.168.1.20", 1, 0xc0a80114u},
      {"255.255.255.255", 1, 0xffffffffu},
      {"1.2.3.", 1, 0x01020300u},                // an empty last group is 0
      {"1..3.4", 1, 0x01000304u},                // so is an empty inner group
      {"1.2.3.4.mail.example", 1, 0x01020304u},  // four groups and a dot: the rest is not read
      {"0000000255.0.0.1", 1, 0xff000001u},
      {"192.168.1.256", 0, 0},
      {"99999999999.1.1.1", 0, 0},
      {"192.168.1", 0, 0},
      {"1.2.3.4x", 0, 0},
      {"1.2.3.4 ", 0, 0},
      {"mail.example.com", 0, 0},
      {"", 0, 0},
      {nullptr, 0, 0},
  };
  for (const Case& c : cases) {
    const char* shown = c.text == nullptr ? "(null)" : c.text;
    EXPECT_EQ(WexlIsDottedQuad(c.text), c.accepted) << shown;
    EXPECT_EQ(WexlParseDottedQuad(c.text), c.address) << shown;
  }
}

TEST(AddressText, NeedsRoomForTheLongestAddress) {
  struct Case {
    uint32_t address;
    int size;
    int length;
    const char* text;
  } cases[] = {
      {0xffffffffu, 17, 15, "255.255.255.255"}, {0x7f000001u, 18, 9, "127.0.0.1"}, {0, 17, 7, "0.0.0.0"},
      {0xffffffffu, 16, 0, "untouched"},        {0x7f000001u, 0, 0, "untouched"},
  };
  for (const Case& c : cases) {
    char buffer[32] = "untouched";
    EXPECT_EQ(WexlFormatAddress(c.address, buffer, c.size), c.length) << c.text;
    EXPECT_STREQ(buffer, c.text);
  }
  EXPECT_EQ(WexlFormatAddress(0x7f000001u, nullptr, 17), 0);
}

using Resolution = NetTest;

TEST_F(Resolution, DottedQuadNeedsNoLookUp) {
  ASSERT_EQ(WexlResolve(3, "192.168.1.20"), 1000);
  EXPECT_EQ(platform::Ipv4Of(WexlSlot(3)->Remote), 0xc0a80114u);
  EXPECT_STREQ(WexlSlot(3)->HostName, "192.168.1.20");
  char text[18];
  EXPECT_EQ(WexlRemoteAddress(3, text, sizeof text), 12);
  EXPECT_STREQ(text, "192.168.1.20");
}

TEST_F(Resolution, NamesUpTo127Characters) {
  // Four numeric groups first, so the long name needs no look-up.
  std::string name = "127.0.0.1." + std::string(117, 'a');
  ASSERT_EQ(name.size(), 127u);
  ASSERT_EQ(WexlResolve(0, name.c_str()), 1000);
  EXPECT_EQ(platform::Ipv4Of(WexlSlot(0)->Remote), 0x7f000001u);
  EXPECT_EQ(name, WexlSlot(0)->HostName);

  EXPECT_EQ(WexlResolve(0, (name + "a").c_str()), -1008);
  EXPECT_EQ(name, WexlSlot(0)->HostName);
  EXPECT_EQ(WexlResolve(0, nullptr), -1009);
}

TEST_F(Resolution, LocalhostIsLookedUp) {
  ASSERT_EQ(WexlResolve(1, "localhost"), 1000);
  EXPECT_EQ(platform::Ipv4Of(WexlSlot(1)->Remote) >> 24, 127u);
}

// The names fail in the local resolver: tests send no query to a name server.
TEST_F(Resolution, UnknownNamesGive1009WithTheLookUpCodeBehind) {
  for (const char* name : {"no..such.host", "bad host"}) {
    WexlSlot(2)->Remote = platform::Ipv4Address(0x01020304u);
    EXPECT_EQ(WexlResolve(2, name), -1009) << name;
    EXPECT_EQ(platform::Ipv4Of(WexlSlot(2)->Remote), 0x01020304u) << name;
    int code = WexlLookupHost(2);
    EXPECT_TRUE(code <= -11001 && code >= -11004) << name << ": " << code;
  }
}

TEST_F(Resolution, AnAllZeroAnswerIsUnusable) {
  strcpy(WexlSlot(0)->HostName, "0.0.0.0");
  EXPECT_EQ(WexlLookupHost(0), -1007);
}

}  // namespace

namespace {

// Literals of either family, and the text each gives back (RFC 5952 form).
TEST(IpLiterals, TextFormsAreReadAndShownCanonically) {
  struct Case {
    const char* text;
    const char* shown;  // null: not a literal
  } cases[] = {
      {"::1", "::1"},
      {"::", "::"},
      {"1::", "1::"},
      {"2001:DB8:0:0:0:0:0:1", "2001:db8::1"},
      {"2001:db8:0:0:1:0:0:1", "2001:db8::1:0:0:1"},  // of two equal runs the first
      {"2001:0:0:1:0:0:0:1", "2001:0:0:1::1"},        // the longest run
      {"1:0:2:3:4:5:6:7", "1:0:2:3:4:5:6:7"},         // one zero group stays
      {"1:2:3:4:5:6:7::", "1:2:3:4:5:6:7:0"},         // "::" for a single group
      {"0001:02:003:4::", "1:2:3:4::"},
      {"::ffff:192.0.2.1", "::ffff:192.0.2.1"},
      {"::192.0.2.1", "::c000:201"},
      {"fe80::a:b:c:d", "fe80::a:b:c:d"},
      {"192.0.2.1", "192.0.2.1"},
      {"0.0.0.0", "0.0.0.0"},
      {"", nullptr},
      {":", nullptr},
      {":::", nullptr},
      {"1:::2", nullptr},
      {"1::2::3", nullptr},
      {"12345::", nullptr},
      {"1:2:3:4:5:6:7:8:9", nullptr},
      {"1:2:3:4:5:6:7", nullptr},
      {"1:2:3:4:5:6:7:8::", nullptr},
      {":1::", nullptr},
      {"1:", nullptr},
      {"g::1", nullptr},
      {"[::1]", nullptr},
      {"::1%1", nullptr},
      {"::ffff:1.2.3", nullptr},
      {"::1.2.3.4:1", nullptr},
      {"1:2:3:4:5:6:7:1.2.3.4", nullptr},
      {"1.2.3", nullptr},
      {"1.2.3.4.5", nullptr},
      {"01.2.3.4", nullptr},
      {"256.1.1.1", nullptr},
      {"1.2.3.4 ", nullptr},
      {"1..3.4", nullptr},
      {nullptr, nullptr},
  };
  for (const Case& c : cases) {
    const char* shown = c.text == nullptr ? "(null)" : c.text;
    platform::NetAddress address{};
    const bool read = WexlParseIpLiteral(c.text, &address);
    ASSERT_EQ(read, c.shown != nullptr) << shown;
    if (!read) continue;
    char text[64] = "";
    EXPECT_EQ(WexlFormatNetAddress(address, text, sizeof text), static_cast<int>(strlen(c.shown))) << shown;
    EXPECT_STREQ(text, c.shown) << shown;
  }
}

TEST(AddressText, Ipv6NeedsRoomForTheLongestText) {
  platform::NetAddress address{};
  ASSERT_TRUE(WexlParseIpLiteral("ffff:ffff:ffff:ffff:ffff:ffff:ffff:fffe", &address));
  char buffer[64] = "untouched";
  EXPECT_EQ(WexlFormatNetAddress(address, buffer, 45), 0);
  EXPECT_STREQ(buffer, "untouched");
  EXPECT_EQ(WexlFormatNetAddress(address, buffer, 46), 39);
  EXPECT_STREQ(buffer, "ffff:ffff:ffff:ffff:ffff:ffff:ffff:fffe");
  EXPECT_EQ(WexlFormatNetAddress(address, nullptr, 46), 0);
}

TEST(NameBrackets, BracketsOnlyAroundAnIpv6LiteralWhereIpv6IsAllowed) {
  struct Case {
    const char* name;
    int classic, ipv4, ipv6, both;
  } cases[] = {
      {"[::1]", 1, 0, 1, 1},
      {"[2001:db8::1]", 1, 0, 1, 1},
      {"mail.example.com", 1, 1, 1, 1},
      {"::1", 1, 1, 1, 1},
      {"[127.0.0.1]", 1, 0, 0, 0},
      {"[::1", 1, 0, 0, 0},
      {"::1]", 1, 0, 0, 0},
      {"[mail.example.com]", 1, 0, 0, 0},
      {"[fe80::1%1]", 1, 0, 0, 0},
      {"[::1]:25", 1, 0, 0, 0},
      {"[]", 1, 0, 0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WexlNameFitsFamily(c.name, kWexlClassic), c.classic) << c.name;
    EXPECT_EQ(WexlNameFitsFamily(c.name, kWexlIpv4), c.ipv4) << c.name;
    EXPECT_EQ(WexlNameFitsFamily(c.name, kWexlIpv6), c.ipv6) << c.name;
    EXPECT_EQ(WexlNameFitsFamily(c.name, kWexlAnyFamily), c.both) << c.name;
  }
  for (int family : {0, 4, 6, 46}) EXPECT_TRUE(WexlValidFamily(family)) << family;
  for (int family : {-1, 1, 5, 64, 460}) EXPECT_FALSE(WexlValidFamily(family)) << family;
}

// Literals need no look-up; names fail in the local resolver (no query to a
// name server).
TEST(ResolveAll, TheFamilyChoosesTheAddresses) {
  const std::string tooLong(128, 'a');
  struct Case {
    const char* name;
    int family;
    int result;
    uint8_t firstFamily;
  } cases[] = {
      {"127.0.0.1", kWexlIpv4, 1, 4},
      {"127.0.0.1", kWexlAnyFamily, 1, 4},
      {"127.0.0.1", kWexlIpv6, -1012, 0},
      {"[::1]", kWexlIpv6, 1, 6},
      {"::1", kWexlAnyFamily, 1, 6},
      {"[::1]", kWexlIpv4, -1012, 0},
      {"::1", kWexlIpv4, -1012, 0},
      {"[::1", kWexlAnyFamily, -1009, 0},
      {"no..such.host", kWexlAnyFamily, -1009, 0},
      {tooLong.c_str(), kWexlIpv4, -1008, 0},
      {nullptr, kWexlIpv4, -1009, 0},
  };
  for (const Case& c : cases) {
    const char* shown = c.name == nullptr ? "(null)" : c.name;
    platform::NetAddress found[kRaceAddresses] = {};
    EXPECT_EQ(WexlResolveAll(c.name, c.family, found, kRaceAddresses), c.result) << shown << " " << c.family;
    if (c.result == 1) {
      EXPECT_EQ(found[0].family, c.firstFamily) << shown;
    }
  }
  platform::NetAddress found[kRaceAddresses] = {};
  const int count = WexlResolveAll("localhost", kWexlIpv4, found, kRaceAddresses);
  ASSERT_GE(count, 1);
  for (int i = 0; i < count; ++i) EXPECT_EQ(found[i].family, 4);
  EXPECT_EQ(found[0].bytes[0], 127);
}

}  // namespace
