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
