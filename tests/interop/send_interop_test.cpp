// kovSendEmail against real servers: varied messages (plain, quoted-printable
// and HTML text with an alternative, binary attachments up to 5 MB, images,
// shown names, text attachments) go through Postfix into alice's Maildir and
// through smtp-server into its spool. Each stored message is then parsed by
// a real MIME parser (check_mime.py) and compared with what was sent.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
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
#include "support/library_fixture.h"

namespace fs = std::filesystem;

namespace {

// Bytes and texts from a fixed seed: every run sends the same messages.
class Source {
 public:
  uint32_t Below(uint32_t n) { return static_cast<uint32_t>(rng_() % n); }
  std::string Binary(size_t size) {
    std::string out(size, '\0');
    for (char& ch : out) ch = static_cast<char>(rng_() & 0xFF);
    return out;
  }
  // Words of 1 to 12 letters separated by blanks, `length` characters.
  std::string Words(size_t length) {
    std::string out;
    while (out.size() < length) {
      if (!out.empty()) out += ' ';
      for (uint32_t n = 1 + Below(12); n > 0 && out.size() < length; --n) out += static_cast<char>('a' + Below(26));
    }
    return out;
  }
  // Lines of printable, 8-bit, tab, '=' and blank characters (no NUL, CR or
  // LF), of 0 to 300 characters; some start with a period.
  std::string MixedLines(int lines) {
    std::string out;
    for (int i = 0; i < lines; ++i) {
      if (Below(4) == 0) out += '.';
      for (uint32_t n = Below(300); n > 0; --n) {
        uint32_t ch = 32 + Below(224);
        out += static_cast<char>(ch == 127 ? '\t' : ch);
      }
      out += Below(2) ? "\r\n" : "\n";
    }
    return out;
  }

 private:
  std::mt19937 rng_{20240611u};
};

struct Attachment {
  std::string entry;  // as listed for kovSendEmail: path, or path|shown name
  std::string path;
  std::string shown;
  bool image;
};

struct Mail {
  std::string label;
  int bodyType;
  std::string text;  // as sent; a message from a file is sent as '@' and the name
  bool fromFile;
  std::string alt;
  bool textAttach;
  std::vector<Attachment> attachments;
};

std::string JsonString(const std::string& s) {
  std::string out = "\"";
  for (unsigned char ch : s) {
    if (ch == '"' || ch == '\\') {
      out += '\\';
      out += static_cast<char>(ch);
    } else if (ch < 32) {
      char escaped[8];
      snprintf(escaped, sizeof escaped, "\\u%04x", ch);
      out += escaped;
    } else {
      out += static_cast<char>(ch);
    }
  }
  return out + "\"";
}

// Whether the header block at the start of `path` holds the Subject line.
bool HasSubject(const fs::path& path, const std::string& subject) {
  std::ifstream in(path, std::ios::binary);
  std::string head(16384, '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<size_t>(in.gcount()));
  const std::string line = "\nSubject: " + subject;
  for (size_t at = head.find(line); at != std::string::npos; at = head.find(line, at + 1)) {
    const char after = at + line.size() < head.size() ? head[at + line.size()] : '\0';
    if (after == '\r' || after == '\n') return true;
  }
  return false;
}

class SendInterop : public AttachedLibrary {
 protected:
  void SetUp() override {
    AttachedLibrary::SetUp();
    bed = ReadBedSettings();
    ASSERT_FALSE(bed["KOV_INTEROP_POSTFIX_PORT"].empty());
    runDir = BedRunDir();
    alice = bed["KOV_INTEROP_USER"] + "@" + bed["KOV_INTEROP_DOMAIN"];
    kovIntegerParam(0, KOV_TIMEOUT, 5000);
    kovIntegerParam(0, KOV_CONNECT_WAIT, 5000);
    kovIntegerParam(0, KOV_DELAY, 0);
  }

  std::string WriteFile(const std::string& name, const std::string& bytes) {
    const std::string path = dir.File(name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  Attachment Attach(const std::string& name, const std::string& bytes, const std::string& shown = "") {
    const std::string path = WriteFile(name, bytes);
    const std::string seen = shown.empty() ? name : shown;
    const bool image = seen.size() > 4 && seen.compare(seen.size() - 4, 4, ".jpg") == 0;
    return {shown.empty() ? path : path + "|" + shown, path, seen, image};
  }

  std::vector<Mail> MakeMails() {
    Source src;
    const std::string hello = "Hello Alice,\r\nthis message came through the interop test.\r\n";
    const std::string dots = ".\r\n.starts with a period\r\n..two periods\r\n . blank first\r\nend.\r\n";
    std::string longPlain = src.Words(700) + "\r\n" + std::string(200, 'x') + "\r\ntab\there\r\n";
    longPlain += std::string(78, 'y') + ".after the break\r\n." + src.Words(150) + "\r\n";
    const std::string html = "<html><body>\r\n<p>Hello</p>\r\n.<b>period first</b>\r\n<p>" + src.Words(3000) +
                             "</p>\r\n" + std::string(2500, 'h') + "\r\n</body></html>\r\n";
    const std::string alt = "Plain alternative\n.\n.dot line\n" + src.Words(2000) + "\nlast";
    const std::string notes = dots + longPlain;
    auto randomFile = [&](int n) {
      return Attach("random" + std::to_string(n) + ".bin", src.Binary(src.Below(300 * 1024 + 1)));
    };

    const std::string alt2 = "Second alternative\r\n.\r\n" + src.Words(300);
    const Attachment photo = Attach("photo.jpg", "\xFF\xD8\xFF\xE0" + src.Binary(40000));
    const std::vector<Attachment> smallFiles = {Attach("empty.bin", ""), Attach("one.bin", src.Binary(1)),
                                                Attach("b57.bin", src.Binary(57)), Attach("b58.bin", src.Binary(58))};
    const std::vector<Attachment> shownNames = {Attach("data.bin", src.Binary(3000), "Quarterly figures.dat"),
                                                Attach("raw.bin", src.Binary(5000), "Picture one.jpg")};

    // The alternative text stays set until a plain (0) send clears it: each
    // HTML mail with one is followed by a plain mail, which must go without it.
    std::vector<Mail> mails;
    mails.push_back({"plain", 0, hello, false, "", false, {}});
    mails.push_back({"plain from a file, periods", 0, WriteFile("dots.txt", dots), true, "", false, {}});
    mails.push_back({"plain long lines", 0, longPlain, false, "", false, {randomFile(1)}});
    mails.push_back({"quoted-printable", 1, src.MixedLines(20), false, "", false, {}});
    mails.push_back(
        {"quoted-printable with files", 1, src.MixedLines(12), false, "", false, {randomFile(2), randomFile(3)}});
    mails.push_back({"HTML with alternative", 2, html, false, alt, false, {}});
    mails.push_back({"five megabytes", 0, hello, false, "", false, {Attach("big.bin", src.Binary(5 << 20))}});
    mails.push_back({"HTML with image", 2, html, false, alt2, false, {photo, randomFile(4)}});
    mails.push_back({"small files", 0, hello, false, "", false, smallFiles});
    mails.push_back({"shown names", 0, hello, false, "", false, shownNames});
    mails.push_back({"text attachment", 0, hello, false, "", true, {Attach("notes.txt", notes)}});
    mails.push_back(
        {"quoted-printable text attachment", 1, hello, false, "", true, {Attach("mixed.txt", src.MixedLines(15))}});
    mails.push_back({"random files", 0, dots, false, "", false, {randomFile(5), randomFile(6), randomFile(7)}});
    return mails;
  }

  int Connect(const std::string& portKey) {
    kovIntegerParam(0, KOV_SMTP_PORT, std::stoi(bed[portKey]));
    kovIntegerParam(0, KOV_USE_EHLO, 1);
    kovStringParam(0, KOV_USER, bed["KOV_INTEROP_USER"].c_str());
    kovStringParam(0, KOV_AUTH_PASSWORD, bed["KOV_INTEROP_PASSWORD"].c_str());
    const std::string from = "Interop <" + alice + ">";
    return kovSmtpConnect(0, bed["KOV_INTEROP_HOST"].c_str(), from.c_str(), nullptr);
  }

  // Sends every mail on one connection. Returns the subject of each mail
  // sent; fewer when a send fails.
  std::vector<std::string> SendAll(const std::string& portKey, const std::vector<Mail>& mails) {
    std::vector<std::string> subjects;
    const int connected = Connect(portKey);
    EXPECT_EQ(connected, 0);
    if (connected != 0) return subjects;
    const std::string to = "Alice <" + alice + ">";
    for (size_t i = 0; i < mails.size(); ++i) {
      const Mail& m = mails[i];
      const std::string subject = "kov32 send " + portKey + " " + std::to_string(i) + " " + m.label;
      SCOPED_TRACE(subject);
      kovIntegerParam(0, KOV_BODY_TYPE, m.bodyType);
      kovIntegerParam(0, KOV_TEXT_ATTACH, m.textAttach ? 1 : 0);
      if (!m.alt.empty()) kovStringParam(0, KOV_ALT_TEXT, m.alt.c_str());
      std::string list;
      long long attachBytes = 0;
      for (const Attachment& a : m.attachments) {
        list += (list.empty() ? "" : ",") + a.entry;
        attachBytes += static_cast<long long>(fs::file_size(a.path));
      }
      const std::string text = m.fromFile ? "@" + m.text : m.text;
      const int rc = kovSendEmail(0, to.c_str(), nullptr, nullptr, subject.c_str(), text.c_str(),
                                  list.empty() ? nullptr : list.c_str());
      EXPECT_EQ(rc, 0);
      if (rc != 0) return subjects;
      EXPECT_EQ(kovStatistics(0, KOV_STAT_RCPT_COUNT), 1);
      if (!m.textAttach) {
        EXPECT_EQ(kovStatistics(0, KOV_STAT_ATTACH_IN), attachBytes);
      }
      subjects.push_back(subject);
    }
    EXPECT_EQ(kovClose(0), 0);
    return subjects;
  }

  // Polls the folders until a stored message carries each subject; a spool
  // message counts once its envelope file is there. Empty for one not found.
  std::vector<fs::path> FindStored(const std::vector<fs::path>& folders, const std::vector<std::string>& subjects) {
    std::vector<fs::path> found(subjects.size());
    std::set<fs::path> taken;
    size_t missing = subjects.size();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (missing > 0 && std::chrono::steady_clock::now() < deadline) {
      for (const fs::path& folder : folders) {
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(folder, ec)) {
          const fs::path p = e.path();
          if (taken.count(p) || p.extension() == ".json" || p.extension() == ".tmp") continue;
          if (p.extension() == ".eml" && !fs::exists(fs::path(p).replace_extension(".json"))) continue;
          for (size_t i = 0; i < subjects.size(); ++i) {
            if (found[i].empty() && HasSubject(p, subjects[i])) {
              found[i] = p;
              taken.insert(p);
              --missing;
              break;
            }
          }
        }
      }
      if (missing > 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return found;
  }

  // One manifest entry for check_mime.py.
  std::string ManifestEntry(const Mail& m, const std::string& subject, const fs::path& stored, int n) {
    const std::string textFile = m.fromFile ? m.text : WriteFile("text" + std::to_string(n) + ".txt", m.text);
    const std::string altFile =
        m.alt.empty() ? "null" : JsonString(WriteFile("alt" + std::to_string(n) + ".txt", m.alt));
    std::string files;
    for (const Attachment& a : m.attachments) {
      files += std::string(files.empty() ? "" : ", ") + "{\"path\": " + JsonString(a.path) +
               ", \"name\": " + JsonString(a.shown) + ", \"image\": " + (a.image ? "true" : "false") + "}";
    }
    return "{\"file\": " + JsonString(stored.string()) + ", \"subject\": " + JsonString(subject) +
           ", \"body_type\": " + std::to_string(m.bodyType) + ", \"text_file\": " + JsonString(textFile) +
           ", \"alt_file\": " + altFile + ", \"text_attach\": " + (m.textAttach ? "true" : "false") +
           ", \"attachments\": [" + files + "]}";
  }

  std::map<std::string, std::string> bed;
  std::string runDir;
  std::string alice;
};

TEST_F(SendInterop, MessagesArriveWholeThroughPostfixAndSmtpServer) {
  const std::vector<Mail> mails = MakeMails();
  const fs::path maildir = fs::path(runDir) / "mail" / bed["KOV_INTEROP_USER"];
  const struct {
    const char* portKey;
    std::vector<fs::path> folders;
  } servers[] = {
      {"KOV_INTEROP_POSTFIX_PORT", {maildir / "new", maildir / "cur"}},
      {"KOV_INTEROP_SINK_PORT", {fs::path(runDir) / "sink" / "spool"}},
  };

  std::string manifest;
  std::vector<fs::path> stored;
  int n = 0;
  for (const auto& server : servers) {
    SCOPED_TRACE(server.portKey);
    const std::vector<std::string> subjects = SendAll(server.portKey, mails);
    ASSERT_EQ(subjects.size(), mails.size());
    const std::vector<fs::path> found = FindStored(server.folders, subjects);
    for (size_t i = 0; i < mails.size(); ++i) {
      if (!found[i].empty()) {
        stored.push_back(found[i]);
        manifest += std::string(manifest.empty() ? "" : ",\n") + ManifestEntry(mails[i], subjects[i], found[i], n++);
      }
      EXPECT_FALSE(found[i].empty()) << "not stored: " << subjects[i];
    }
  }

  const std::string manifestPath = WriteFile("manifest.json", "{\"messages\": [\n" + manifest + "\n]}\n");
  const std::string output = dir.File("check.out");
  const std::string command =
      std::string(KOV_PYTHON) + " " + KOV_CHECK_MIME + " " + manifestPath + " >" + output + " 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0) << ReadFile(output);

  // The mailbox and the spool are left as they were found.
  for (const fs::path& p : stored) {
    std::error_code ec;
    fs::remove(p, ec);
    if (p.extension() == ".eml") fs::remove(fs::path(p).replace_extension(".json"), ec);
  }
}

}  // namespace
