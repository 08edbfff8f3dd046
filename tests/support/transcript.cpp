// Plays transcript files (format in transcript.h) against the scripted
// loopback server through the library's exported calls.
#include "support/transcript.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <utility>

#include "codec/strings.h"
#include "engine/frame/operation.h"
#include "engine/frame/settings.h"
#include "engine/frame/states.h"
#include "kov32.h"

namespace {

// What a verb gets: the channel, the port calls connect to, the arguments
// and the runner's buffer.
struct CallContext {
  int channel;
  int port;
  const std::vector<CallArg>& args;
  std::vector<char>& buffer;
  const char* Text(size_t i) const { return args[i].null ? nullptr : args[i].text.c_str(); }
  int Number(size_t i) const { return static_cast<int>(strtol(args[i].text.c_str(), nullptr, 10)); }
  // Argument `i` as a buffer of the size in argument `size`: null, the
  // runner's buffer (the word buffer), or a text placed in that buffer.
  char* Buffer(size_t i, size_t size) const {
    if (args[i].null) return nullptr;
    if (args[i].text != "buffer") {
      if (args[i].text.size() >= buffer.size()) ADD_FAILURE() << "a buffer text longer than the runner's buffer";
      BoundedCopy(buffer.data(), args[i].text.c_str(), static_cast<int>(buffer.size()) - 1);
    } else if (Number(size) > static_cast<int>(buffer.size())) {
      ADD_FAILURE() << "a size beyond the runner's buffer of " << buffer.size() << " bytes";
    }
    return buffer.data();
  }
};

// The driver's connect states alone, without a protocol's greeting: a raw
// channel of kind S or P for kovCommand and kovClose.
int RawConnect(const CallContext& call) {
  const char* kind = call.Text(0);
  if (kind == nullptr || (strcmp(kind, "S") != 0 && strcmp(kind, "P") != 0) || call.Text(1) == nullptr) {
    ADD_FAILURE() << "connect takes the kind S or P and a server name";
    return -9999;
  }
  ChannelContext& c = Channel(call.channel);
  c.link.ChannelKind = kind[0];
  BoundedCopy(c.link.ServerName, call.Text(1), 128);
  c.link.ConnectPort = static_cast<int16_t>(call.port);
  return StartStates(c, LocalHost);
}

}  // namespace

struct Verb {
  const char* name;
  size_t arity;
  bool startsOperation;  // in manual mode, kovDriver carries it on
  int (*run)(const CallContext& call);
};

namespace {

const Verb kVerbs[] = {
    {"kovSmtpConnect", 3, true,
     [](const CallContext& c) { return kovSmtpConnect(c.channel, c.Text(0), c.Text(1), c.Text(2)); }},
    {"kovVerifyUser", 1, true, [](const CallContext& c) { return kovVerifyUser(c.channel, c.Text(0)); }},
    {"kovCommand", 1, true, [](const CallContext& c) { return kovCommand(c.channel, c.Text(0)); }},
    {"kovClose", 0, true, [](const CallContext& c) { return kovClose(c.channel); }},
    {"kovAbort", 0, false, [](const CallContext& c) { return kovAbort(c.channel); }},
    {"kovSendEmail", 6, true,
     [](const CallContext& c) {
       return kovSendEmail(c.channel, c.Text(0), c.Text(1), c.Text(2), c.Text(3), c.Text(4), c.Text(5));
     }},
    {"kovPop3Connect", 3, true,
     [](const CallContext& c) { return kovPop3Connect(c.channel, c.Text(0), c.Text(1), c.Text(2)); }},
    {"kovGetEmailCount", 0, true, [](const CallContext& c) { return kovGetEmailCount(c.channel); }},
    {"kovGetEmailSize", 1, true, [](const CallContext& c) { return kovGetEmailSize(c.channel, c.Number(0)); }},
    {"kovDeleteEmail", 1, true, [](const CallContext& c) { return kovDeleteEmail(c.channel, c.Number(0)); }},
    {"kovGetEmailUID", 3, true,
     [](const CallContext& c) { return kovGetEmailUID(c.channel, c.Number(0), c.Buffer(1, 2), c.Number(2)); }},
    {"kovGetEmailLines", 4, true,
     [](const CallContext& c) {
       return kovGetEmailLines(c.channel, c.Number(0), c.Number(1), c.Buffer(2, 3), c.Number(3));
     }},
    {"kovGetEmailFile", 4, true,
     [](const CallContext& c) { return kovGetEmailFile(c.channel, c.Number(0), c.Text(1), c.Text(2), c.Text(3)); }},
    {"connect", 2, true, RawConnect},
};

// The values of the header lines `name` (with its ": ") in what a client
// sent, shown as "*".
std::string WithHeaderMasked(std::string sent, const std::string& name) {
  const std::string lead = "\r\n" + name;
  for (size_t at = sent.find(lead); at != std::string::npos; at = sent.find(lead, at + 2)) {
    size_t end = sent.find("\r\n", at + 2);
    if (end == std::string::npos) break;
    sent.replace(at + lead.size(), end - (at + lead.size()), "*");
  }
  return sent;
}

// What the client sent, with the lines that differ from one send to the
// next, the Date (the moment of sending) and the Message-ID (unique for
// every message), shown as "Date: *" and "Message-ID: *".
std::string WithVaryingMasked(std::string sent) {
  return WithHeaderMasked(WithHeaderMasked(std::move(sent), "Date: "), "Message-ID: ");
}

// A server playing a script; consecutive sends go out as one.
std::unique_ptr<LoopbackServer> StartServer(const ServerScript& script, DriveMode mode) {
  auto server = std::make_unique<LoopbackServer>(script.address.c_str());
  std::string pending;
  auto flush = [&] {
    if (pending.empty()) return;
    if (mode == DriveMode::kSlowServer) {
      server->SendSlowly(pending);
    } else {
      server->Send(pending);
    }
    pending.clear();
  };
  for (const ScriptStep& step : script.steps) {
    if (step.kind != ScriptStep::kSend) flush();
    switch (step.kind) {
      case ScriptStep::kSend:
        pending += step.bytes;
        break;
      case ScriptStep::kSendRepeated: {
        // Bulk data leaves in blocks of about 64 KiB, not one send per line.
        const size_t perBlock = std::max<size_t>(1, 65536 / std::max<size_t>(1, step.bytes.size()));
        std::string block;
        for (size_t i = 0; i < perBlock && i < step.times; ++i) block += step.bytes;
        server->SendRepeated(block, step.times / perBlock);
        if (step.times % perBlock != 0)
          server->SendRepeated(block.substr(0, step.bytes.size() * (step.times % perBlock)), 1);
        break;
      }
      case ScriptStep::kClientLine:
        server->ReadLine();
        break;
      case ScriptStep::kPause:
        server->Pause(step.ms);
        break;
      case ScriptStep::kClose:
        server->Close();
        break;
      case ScriptStep::kReset:
        server->Reset();
        break;
    }
  }
  flush();
  server->Start();
  return server;
}

}  // namespace

const Verb* FindVerb(const std::string& name) {
  for (const Verb& verb : kVerbs) {
    if (name == verb.name) return &verb;
  }
  return nullptr;
}

size_t VerbArity(const Verb& verb) { return verb.arity; }

std::vector<TranscriptCase> FindTranscripts() {
  namespace fs = std::filesystem;
  const fs::path root = fs::path(KOV_TEST_DATA_DIR) / "transcripts";
  std::vector<fs::path> files;
  std::error_code error;
  for (fs::recursive_directory_iterator it(root, error), end; !error && it != end; it.increment(error)) {
    if (it->path().extension() == ".txt") files.push_back(it->path());
  }
  std::sort(files.begin(), files.end());
  std::vector<TranscriptCase> cases;
  for (const fs::path& file : files) {
    std::string name = file.lexically_relative(root).replace_extension().generic_string();
    for (char& ch : name) {
      if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
    }
    for (DriveMode mode : {DriveMode::kAutomatic, DriveMode::kManual, DriveMode::kSlowServer}) {
      cases.push_back(TranscriptCase{file.string(), name + "_" + DriveModeName({mode, 0}), mode});
    }
  }
  return cases;
}

std::string TranscriptCaseName(const ::testing::TestParamInfo<TranscriptCase>& info) { return info.param.name; }

void PrintTo(const TranscriptCase& tc, std::ostream* out) { *out << tc.path; }

void TranscriptTest::Play() {
  const TranscriptCase& tc = GetParam();
  const std::string text = ReadFile(tc.path);
  ASSERT_FALSE(text.empty()) << tc.path << ": missing or empty";
  const Transcript t = ParseTranscript(text);
  ASSERT_EQ(t.error, "") << tc.path;
  ASSERT_GE(ChannelCount(), kTranscriptChannels);

  // A fixed MIME boundary, so that composed messages compare byte for byte.
  BoundedCopy(Boundary, "=====_KOV123456789_=====", kBoundarySize - 1);
  kovIntegerParam(0, KOV_DELAY, 1);
  kovIntegerParam(0, KOV_TIMEOUT, 3000);
  kovIntegerParam(0, KOV_CONNECT_WAIT, 3000);
  for (const ServerScript& script : t.servers) {
    if (script.address.find(':') != std::string::npos && !HasIpv6Loopback()) {
      GTEST_SKIP() << "this machine has no IPv6 loopback (::1) for server " << script.name;
    }
    servers_.push_back(StartServer(script, tc.mode));
    ASSERT_TRUE(servers_.back()->Listening()) << "server " << script.name << " cannot listen on " << script.address;
  }
  port_ = servers_[0]->Port();
  for (int n = 0; n < kTranscriptChannels; ++n) {
    if (tc.mode == DriveMode::kManual) kovIntegerParam(n, KOV_AUTO_CALL, 0);
    SetPorts(n);
  }

  for (const Action& action : t.actions) {
    SCOPED_TRACE(tc.path + ":" + std::to_string(action.line));
    Run(action);
  }

  for (size_t i = 0; i < servers_.size(); ++i) {
    SCOPED_TRACE(tc.path + ", server " + t.servers[i].name);
    if (!t.servers[i].steps.empty() && !t.servers[i].hangup) {
      EXPECT_TRUE(servers_[i]->WaitScript()) << "the script did not run to its end";
    }
    EXPECT_EQ(WithVaryingMasked(servers_[i]->Received()), t.servers[i].expected) << "what the client sent";
  }
}

void TranscriptTest::Run(const Action& a) {
  const std::string& w = a.word;
  const bool manual = GetParam().mode == DriveMode::kManual;
  if (w == "server") {
    port_ = servers_[static_cast<size_t>(a.numbers[0])]->Port();
  } else if (w == "port") {
    port_ = a.numbers[0] != 0 ? static_cast<int>(a.numbers[0]) : UnusedLoopbackPort();
  } else if (w == "channel") {
    channel_ = static_cast<int>(a.numbers[0]);
  } else if (w == "log") {
    logs_[channel_] = OpenLog(channel_, "channel" + std::to_string(channel_) + ".log");
  } else if (w == "file") {
    std::ofstream(dir.File(a.args[0].text), std::ios::binary) << a.text;
  } else if (w == "int") {
    EXPECT_EQ(kovIntegerParam(channel_, static_cast<int>(a.numbers[0]), static_cast<int>(a.numbers[1])), 1);
  } else if (w == "string") {
    kovStringParam(channel_, static_cast<int>(a.numbers[0]), WithDir(a.text).c_str());
  } else if (w == "call") {
    Call(a);
  } else if (w == "result") {
    EXPECT_EQ(result_, a.numbers[manual && a.numbers.size() == 2 ? 1 : 0]) << "the call's result";
  } else if (w == "states" && manual) {
    EXPECT_EQ(states_, std::vector<int>(a.numbers.begin(), a.numbers.end())) << "the states kovDriver returned";
  } else if (w == "error-text") {
    char text[512];
    kovErrorText(channel_, result_, text, sizeof text);
    EXPECT_EQ(std::string(text), a.text) << "the error text of " << result_;
  } else if (w == "stat") {
    EXPECT_EQ(kovStatistics(channel_, static_cast<int>(a.numbers[0])), a.numbers[1]) << "statistics " << a.numbers[0];
  } else if (w == "log-has" || w == "log-lacks") {
    const std::string log = Log();
    const bool has = log.find(a.text) != std::string::npos;
    EXPECT_EQ(has, w == "log-has") << (has ? "the log has: " : "the log lacks: ") << a.text << "\nlog:\n" << log;
  } else if (w == "buffer-is") {
    EXPECT_EQ(std::string(buffer_.data(), a.text.size()), a.text) << "the buffer";
  } else if (w == "debug") {
    std::vector<char> text(kTranscriptBufferSize);
    kovDebug(channel_, static_cast<int>(a.numbers[0]), text.data(), kTranscriptBufferSize);
    EXPECT_EQ(std::string(text.data()), a.text) << "kovDebug " << a.numbers[0];
  } else if (w.compare(0, 5, "file-") == 0) {
    CheckFile(a);
  }
}

void TranscriptTest::CheckFile(const Action& a) {
  const std::string path = dir.File(a.args[0].text);
  std::ifstream in(path, std::ios::binary);
  if (a.word == "file-absent") {
    EXPECT_FALSE(in.is_open()) << path << " exists";
    return;
  }
  ASSERT_TRUE(in.is_open()) << path << " does not exist";
  const std::string content = ReadFile(path);
  const size_t n = a.text.size();
  if (a.word == "file-size") {
    EXPECT_EQ(content.size(), static_cast<size_t>(a.numbers[0])) << path;
  } else if (a.word == "file-is") {
    EXPECT_EQ(content, a.text) << path;
  } else if (a.word == "file-starts") {
    EXPECT_EQ(content.substr(0, n), a.text) << path;
  } else {
    EXPECT_EQ(content.size() < n ? content : content.substr(content.size() - n), a.text) << path;
  }
}

void TranscriptTest::Call(const Action& a) {
  SetPorts(channel_);
  states_.clear();
  std::vector<CallArg> args = a.args;
  for (CallArg& arg : args) arg.text = WithDir(arg.text);
  std::fill(buffer_.begin(), buffer_.end(), '~');
  result_ = a.verb->run(CallContext{channel_, port_, args, buffer_});
  if (GetParam().mode != DriveMode::kManual) return;
  if (!a.verb->startsOperation) {
    // kovAbort hands the channel back to automatic driving.
    kovIntegerParam(channel_, KOV_AUTO_CALL, 0);
  } else if (result_ == 0) {
    result_ = DriveByHand(channel_, states_);
  }
}

// "$DIR/" joins the run's directory with the system's own separator, as an
// application would.
std::string TranscriptTest::WithDir(std::string text) {
  const std::string joined = dir.File("");
  for (size_t at = text.find("$DIR/"); at != std::string::npos; at = text.find("$DIR/", at + joined.size()))
    text.replace(at, 5, joined);
  return text;
}

// Calls connect to the current target port.
void TranscriptTest::SetPorts(int channel) {
  if (portSet_[channel] == port_) return;
  kovIntegerParam(channel, KOV_SMTP_PORT, port_);
  kovIntegerParam(channel, KOV_POP3_PORT, port_);
  portSet_[channel] = port_;
}

std::string TranscriptTest::Log() {
  if (logs_[channel_].empty()) ADD_FAILURE() << "no log was opened for channel " << channel_;
  return logs_[channel_].empty() ? "" : ReadFile(logs_[channel_]);
}
