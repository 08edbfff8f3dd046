#include "failure.h"

#include <gtest/gtest.h>
#include <kov32.h>

namespace kovmail {
namespace {

TEST(FailureTest, PhasesFollowTheLibrarysStates) {
  struct Case {
    int state;
    const char* smtp;
    const char* pop3;
  } cases[] = {
      {104, "resolve", "resolve"}, {106, "connect", "connect"},   {201, "connect", "?"},
      {160, "login", "login"},     {204, "sender", "?"},          {207, "recipient", "?"},
      {210, "data", "?"},          {241, "data", "?"},            {265, "data", "?"},
      {252, "data", "?"},          {305, "?", "login"},           {312, "?", "retrieve"},
      {259, "close", "close"},     {0, "?", "?"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SmtpPhase(c.state, "?"), c.smtp) << c.state;
    EXPECT_EQ(Pop3Phase(c.state, "?"), c.pop3) << c.state;
  }
}

TEST(FailureTest, ExitStatusByKind) {
  struct Case {
    const char* phase;
    int code;
    int replyCode;
    const char* reply;
    int status;
  } cases[] = {
      {"resolve", KOV_E_SERVER_NOT_FOUND, 0, "", 68},
      {"resolve", KOV_E_WSA_TRY_AGAIN, 0, "", 75},
      {"connect", KOV_E_WSA_CONNREFUSED, 0, "", 69},
      {"connect", KOV_E_CONNECT, 554, "554 no", 69},
      {"connect", KOV_E_CONNECT, 421, "421 busy", 75},
      {"login", KOV_E_SMTP_ERROR, 535, "535 bad", 77},
      {"login", KOV_E_POP3_ERROR, 500, "-ERR bad", 77},
      {"login", KOV_E_POP3_ERROR, 500, "-ERR [IN-USE] locked", 75},
      {"login", KOV_E_POP3_ERROR, 500, "-ERR [sys/temp] later", 75},
      {"login", KOV_E_SMTP_ERROR, 454, "454 later", 75},
      {"recipient", KOV_E_SMTP_ERROR, 550, "550 no user", 67},
      {"recipient", KOV_E_SMTP_ERROR, 451, "451 later", 75},
      {"sender", KOV_E_SMTP_ERROR, 553, "553 no", 69},
      {"data", KOV_E_SMTP_ERROR, 552, "552 too big", 69},
      {"data", KOV_E_TIMEOUT, 0, "", 75},
      {"data", KOV_E_CLOSED, 0, "", 74},
      {"retrieve", KOV_E_CANNOT_WRITE_FILE, 100, "", 74},
      {"data", KOV_E_CANNOT_OPEN_FILE, 0, "", 66},
      {"data", KOV_E_MISSING_AT, 0, "", 65},
  };
  for (const Case& c : cases) EXPECT_EQ(ExitStatusFor(c.phase, c.code, c.replyCode, c.reply), c.status) << c.reply << c.code;
}

TEST(FailureTest, TextsNeverShowTheSocketLayersName) {
  EXPECT_EQ(CleanLibraryText("Wexl address family not supported. "), "connection: address family not supported.");
  EXPECT_EQ(CleanLibraryText("Wexls not initialized. Call WSAStartup."), "sockets not initialized. Call WSAStartup.");
  EXPECT_EQ(CleanLibraryText("SMTP returned error. 550 x\r\nmore"), "SMTP returned error. 550 x");
  EXPECT_EQ(CleanLibraryText("   "), "");
  EXPECT_EQ(FailureText(KOV_E_WSA_CONNREFUSED), "connection refused");
  EXPECT_EQ(FailureText(KOV_E_SMTP_ERROR), "");
}

}  // namespace
}  // namespace kovmail
