// The POP3 calls against Dovecot. Messages reach the long user's Maildir
// through Postfix (sent with kovSendEmail) and by seeding files beside it;
// the library then logs in with USER/PASS and with APOP, counts, lists, reads
// identifiers, headers and whole messages, and deletes. Every message
// downloaded in raw mode must be the stored file byte for byte (line ends as
// CR LF, lines dot-stuffed), and DELE plus QUIT must remove exactly the
// messages deleted.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "bed_settings.h"
#include "kov32.h"
#include "stored_mail.h"
#include "support/library_fixture.h"

namespace fs = std::filesystem;

namespace {

constexpr uid_t kMailOwner = 65534;  // Dovecot reads the Maildirs as nobody

// Seeded messages: what a Maildir holds (LF line ends), the lines a POP3
// client must get right: leading dots, status words, long lines, 8-bit text.
std::vector<std::string> SeededMessages() {
  std::string dots =
      "From: <a@kov32.test>\nSubject: kov32 pop3 dots\n\n.\n..\n.leading dot\n+OK in the body\n"
      "-ERR in the body\n. \nend.\n";
  std::string longLines = "From: <a@kov32.test>\nSubject: kov32 pop3 long lines\n\n" + std::string(1023, 'x') + ".\n" +
                          std::string(1023, 'y') + "..z\n." + std::string(3000, 'w') + "\n" + std::string(5000, 'v') +
                          "\n";
  std::string big = "From: <a@kov32.test>\nSubject: kov32 pop3 two megabytes\n\n";
  for (int i = 0; big.size() < (2u << 20); ++i) {
    big += (i % 7 == 0 ? "." : "") + std::to_string(i) + " " + std::string(static_cast<size_t>(i % 300), 'a' + i % 26);
    big += "\n";
  }
  std::string eightBit = "From: <a@kov32.test>\nSubject: kov32 pop3 eight bit\n\ncaf\xe9 \xff\xfe tab\there\n";
  return {dots, longLines, big, eightBit};
}

class Pop3Interop : public AttachedLibrary {
 protected:
  void SetUp() override {
    AttachedLibrary::SetUp();
    bed = ReadBedSettings();
    ASSERT_FALSE(bed["KOV_INTEROP_POP3_PORT"].empty());
    user = bed["KOV_INTEROP_LONG_USER"];
    password = bed["KOV_INTEROP_LONG_PASSWORD"];
    maildir = fs::path(BedRunDir()) / "mail" / user;
    kovIntegerParam(0, KOV_TIMEOUT, 10000);
    kovIntegerParam(0, KOV_CONNECT_WAIT, 5000);
    kovIntegerParam(0, KOV_DELAY, 0);
    kovIntegerParam(0, KOV_POP3_PORT, std::stoi(bed["KOV_INTEROP_POP3_PORT"]));
    EmptyMaildir();
  }
  void TearDown() override {
    kovClose(0);
    EmptyMaildir();
    AttachedLibrary::TearDown();
  }

  void EmptyMaildir() { ::EmptyMaildir(maildir); }

  // Every stored message by its Subject.
  std::map<std::string, std::string> Stored() {
    std::map<std::string, std::string> found;
    std::error_code ec;
    for (const char* folder : {"new", "cur"}) {
      for (const auto& e : fs::directory_iterator(maildir / folder, ec)) {
        const std::string content = ReadAll(e.path());
        found[SubjectOf(content)] = content;
      }
    }
    return found;
  }

  void Seed(const std::vector<std::string>& messages) {
    for (const char* folder : {"", "new", "cur", "tmp"}) {
      fs::create_directories(maildir / folder);
      ASSERT_EQ(chown((maildir / folder).c_str(), kMailOwner, kMailOwner), 0);
    }
    int n = 0;
    for (const std::string& m : messages) {
      const fs::path path = maildir / "new" / ("1700000000.kov32seed" + std::to_string(n++) + ".localhost");
      std::ofstream(path, std::ios::binary) << m;
      ASSERT_EQ(chown(path.c_str(), kMailOwner, kMailOwner), 0);
    }
  }

  // One message through Postfix, sent with kovSendEmail; waits until it is stored.
  void Deliver(const std::string& subject, const char* attachments = nullptr) {
    kovIntegerParam(1, KOV_SMTP_PORT, std::stoi(bed["KOV_INTEROP_POSTFIX_PORT"]));
    kovIntegerParam(1, KOV_USE_EHLO, 1);
    kovStringParam(1, KOV_USER, user.c_str());
    kovStringParam(1, KOV_AUTH_PASSWORD, password.c_str());
    const std::string address = "<" + user + "@" + bed["KOV_INTEROP_DOMAIN"] + ">";
    ASSERT_EQ(kovSmtpConnect(1, bed["KOV_INTEROP_HOST"].c_str(), address.c_str(), nullptr), 0);
    ASSERT_EQ(kovSendEmail(1, address.c_str(), nullptr, nullptr, subject.c_str(),
                           "Delivered by Postfix.\r\n.a line with a dot\r\n", attachments),
              0);
    EXPECT_EQ(kovClose(1), 0);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (Stored().count(subject) == 0 && std::chrono::steady_clock::now() < end)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_EQ(Stored().count(subject), 1u) << "Postfix did not store the message";
  }

  int Login(bool apop) {
    kovIntegerParam(0, KOV_USE_APOP, apop ? 1 : 0);
    return kovPop3Connect(0, bed["KOV_INTEROP_HOST"].c_str(), user.c_str(), password.c_str());
  }

  // RETR of message n in raw mode: the whole file as written.
  std::string Retrieve(int n, int mode, const std::string& name) {
    kovIntegerParam(0, KOV_DECODE_MODE, mode);
    EXPECT_EQ(kovGetEmailFile(0, n, name.c_str(), dir.Path().c_str(), dir.Path().c_str()), 0) << n;
    return ReadAll(dir.File(name));
  }

  // The message number of every stored Subject, from raw downloads, each
  // checked byte for byte against the stored file.
  std::map<std::string, int> CheckEveryMessage(int count) {
    const std::map<std::string, std::string> stored = Stored();
    std::map<std::string, int> numbers;
    for (int n = 1; n <= count; ++n) {
      SCOPED_TRACE("message " + std::to_string(n));
      const std::string raw = Retrieve(n, 1, "raw" + std::to_string(n) + ".eml");
      const size_t status = raw.find("\r\n");
      EXPECT_EQ(raw.compare(0, 4, "+OK "), 0);
      const std::string subject = SubjectOf(raw);
      if (stored.count(subject) != 1) {
        ADD_FAILURE() << "not stored: " << subject;
        continue;
      }
      const std::string crlf = WithCrLf(stored.at(subject));
      EXPECT_TRUE(raw.substr(status + 2) == Stuffed(crlf)) << subject << ": the raw file differs from the stored one";
      EXPECT_EQ(kovStatistics(0, KOV_STAT_TEXT_OUT), static_cast<int>(raw.size()));
      EXPECT_EQ(kovGetEmailSize(0, n), static_cast<int>(crlf.size())) << subject;

      // TOP n 0: the status line, the header and the blank line.
      std::vector<char> top(crlf.size() + 1024);
      const int length = kovGetEmailLines(0, n, 0, top.data(), static_cast<int>(top.size()));
      EXPECT_GT(length, 0);
      const std::string head(top.data(), static_cast<size_t>(length > 0 ? length : 0));
      EXPECT_EQ(head.substr(head.find("\r\n") + 2), crlf.substr(0, crlf.find("\r\n\r\n") + 4)) << subject;
      numbers[subject] = n;
    }
    return numbers;
  }

  // The identifier list as number -> identifier.
  std::map<int, std::string> Identifiers() {
    std::vector<char> buffer(65536);
    const int length = kovGetEmailUID(0, -1, buffer.data(), static_cast<int>(buffer.size()));
    EXPECT_GT(length, 0);
    std::map<int, std::string> ids;
    const std::string text(buffer.data());
    EXPECT_EQ(text.compare(0, 3, "+OK"), 0) << text;
    for (size_t at = text.find("\r\n") + 2; at < text.size();) {
      const size_t end = text.find("\r\n", at);
      const std::string line = text.substr(at, end - at);
      ids[std::stoi(line)] = line.substr(line.find(' ') + 1);
      at = end + 2;
    }
    return ids;
  }

  std::map<std::string, std::string> bed;
  std::string user;
  std::string password;
  fs::path maildir;
};

TEST_F(Pop3Interop, LoginsCountsListsDownloadsAndDeletes) {
  const std::string delivered = "kov32 pop3 through Postfix";
  Deliver(delivered);
  const std::vector<std::string> seeded = SeededMessages();
  Seed(seeded);
  const int count = static_cast<int>(seeded.size()) + 1;

  ASSERT_EQ(Login(false), 0);
  EXPECT_EQ(kovGetEmailCount(0), count);
  const std::map<std::string, int> numbers = CheckEveryMessage(count);
  ASSERT_EQ(numbers.size(), static_cast<size_t>(count));
  const std::map<int, std::string> ids = Identifiers();
  ASSERT_EQ(ids.size(), static_cast<size_t>(count));
  for (const auto& [n, id] : ids) {
    char one[256];
    const std::string line = "+OK " + std::to_string(n) + " " + id + "\r\n";
    EXPECT_EQ(kovGetEmailUID(0, n, one, sizeof one), static_cast<int>(line.size()));
    EXPECT_EQ(std::string(one), line);
  }
  // Decoded mode, for a message without MIME parts: the message itself.
  const int plain = numbers.at("kov32 pop3 dots");
  EXPECT_EQ(Retrieve(plain, 0, "decoded.eml"), WithCrLf(seeded[0]));
  // A message that does not exist is refused at once.
  EXPECT_EQ(kovGetEmailLines(0, count + 1, 0, nullptr, 100), KOV_E_POP3_ERROR);
  EXPECT_EQ(kovClose(0), 0);

  // APOP, then two messages deleted; QUIT removes exactly those.
  ASSERT_EQ(Login(true), 0);
  EXPECT_EQ(kovGetEmailCount(0), count);
  const std::set<std::string> gone = {"kov32 pop3 long lines", delivered};
  for (const std::string& subject : gone) EXPECT_EQ(kovDeleteEmail(0, numbers.at(subject)), 0);
  EXPECT_EQ(kovClose(0), 0);
  std::set<std::string> left;
  for (const auto& [subject, content] : Stored()) left.insert(subject);
  std::set<std::string> expected;
  for (const auto& [subject, n] : numbers) {
    if (gone.count(subject) == 0) expected.insert(subject);
  }
  EXPECT_EQ(left, expected);

  ASSERT_EQ(Login(false), 0);
  EXPECT_EQ(kovGetEmailCount(0), count - 2);
  const std::map<int, std::string> after = Identifiers();
  std::set<std::string> kept;
  for (const auto& [n, id] : after) kept.insert(id);
  std::set<std::string> wanted;
  for (const auto& [subject, n] : numbers) {
    if (gone.count(subject) == 0) wanted.insert(ids.at(n));
  }
  EXPECT_EQ(kept, wanted);
}

// Sent with attachments through Postfix, downloaded from Dovecot and decoded:
// every attachment file holds exactly the bytes that were sent.
TEST_F(Pop3Interop, DecodedDownloadSavesAttachmentsByteForByte) {
  std::mt19937 random(7);
  std::map<std::string, std::string> files;
  std::string binary(200000, '\0');
  for (char& ch : binary) ch = static_cast<char>(random() & 0xFF);
  files["data.bin"] = binary;
  files["empty.bin"] = "";
  files["photo one.jpg"] = "\xFF\xD8\xFF\xE0" + binary.substr(0, 5000);
  fs::create_directories(dir.File("out"));
  fs::create_directories(dir.File("sent"));
  std::string list;
  for (const auto& [name, bytes] : files) {
    std::ofstream(dir.File("sent/" + name), std::ios::binary) << bytes;
    list += (list.empty() ? "" : ",") + dir.File("sent/" + name);
  }
  Deliver("kov32 pop3 attachments", list.c_str());
  ASSERT_EQ(Login(false), 0);
  ASSERT_EQ(kovGetEmailCount(0), 1);
  kovIntegerParam(0, KOV_DECODE_MODE, 0);
  ASSERT_EQ(kovGetEmailFile(0, 1, "mail.txt", dir.File("out").c_str(), dir.File("out").c_str()), 0);
  EXPECT_EQ(kovStatistics(0, KOV_STAT_ATTACHMENTS_SAVED), static_cast<int>(files.size()));
  for (const auto& [name, bytes] : files) EXPECT_EQ(ReadAll(dir.File("out/" + name)), bytes) << name;
  EXPECT_NE(ReadAll(dir.File("out/mail.txt")).find("Delivered by Postfix."), std::string::npos);
}

TEST_F(Pop3Interop, WrongPasswordIsRefused) {
  kovIntegerParam(0, KOV_USE_APOP, 0);
  EXPECT_EQ(kovPop3Connect(0, bed["KOV_INTEROP_HOST"].c_str(), user.c_str(), "wrong"), KOV_E_POP3_ERROR);
  kovIntegerParam(0, KOV_USE_APOP, 1);
  EXPECT_EQ(kovPop3Connect(0, bed["KOV_INTEROP_HOST"].c_str(), user.c_str(), "wrong"), KOV_E_POP3_ERROR);
  char text[256];
  kovErrorText(0, KOV_E_POP3_ERROR, text, sizeof text);
  EXPECT_EQ(std::string(text).compare(0, 26, "POP3 returned error. -ERR "), 0) << text;
}

}  // namespace
