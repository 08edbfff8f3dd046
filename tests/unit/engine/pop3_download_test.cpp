// What the transcripts cannot set up on every system: a mail file that takes
// no byte (a full disk, /dev/full).
#include <gtest/gtest.h>

#include "kov32.h"
#include "support/driver_fixture.h"

namespace {

#ifndef _WIN32
using Pop3Download = DriverTest;

// A mail file that cannot be written fails the download with -1, raw or
// decoded, and leaves no file open.
TEST_P(Pop3Download, FullDiskFailsTheDownload) {
  for (int mode : {1, 0}) {
    LoopbackServer server;
    Reply(server, "+OK ready\r\n");
    for (const char* reply : {"+OK\r\n", "+OK\r\n", "+OK\r\nSubject: x\r\n\r\nbody\r\n.\r\n"}) {
      server.ReadLine();
      Reply(server, reply);
    }
    server.Start();
    kovIntegerParam(0, KOV_POP3_PORT, server.Port());
    kovIntegerParam(0, KOV_DECODE_MODE, mode);
    ASSERT_EQ(Finish(0, kovPop3Connect(0, "127.0.0.1", "u", "p")), 0);
    EXPECT_EQ(Finish(0, kovGetEmailFile(0, 1, "full", "/dev", "/tmp")), -1) << "mode " << mode;
    EXPECT_EQ(Channel(0).files.MailFileHandle, 0);
    EXPECT_EQ(Channel(0).link.HoldsSlot, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Modes, Pop3Download,
                         ::testing::Values(DriveMode::kAutomatic, DriveMode::kManual, DriveMode::kSlowServer),
                         DriveModeName);
#endif

}  // namespace
