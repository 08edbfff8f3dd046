// Behaviour tests as data: a transcript file holds what the server says, what
// the client must send, the calls and what they must give. One parameterised
// test plays every tests/transcripts/<protocol>/<behaviour>.txt three ways:
// automatic driving, manual driving (KOV_AUTO_CALL 0, kovDriver until 0 or a
// failure) and a server writing one byte at a time. The test is named after
// the file and the mode, e.g. Files/TranscriptTest.Plays/smtp_rejected_ehlo_Manual.
//
// One directive a line; a line that starts with '#' is a comment (the first
// says why the file exists); blank lines are skipped. TEXT is the rest of the
// line after one space, with the escapes \r \n \t \0 \\ \" \xHH. A malformed
// line fails the test with its line number before anything runs.
//
// The server's script, played on its own thread while the calls run:
//   S: TEXT            the server sends TEXT and CR LF (byte by byte in the
//                      slow-server mode); consecutive sends go out together
//   S+ TEXT            the server sends TEXT without a line end
//   S* COUNT TEXT      the server sends TEXT and CR LF COUNT times, at full
//                      speed in every mode (bulk data after slow first lines)
//   S+* COUNT TEXT     the same without line ends (one long line in bulk)
//   C: TEXT            the server waits for one line from the client; at the
//                      end, all the client sent must be the C: texts, each
//                      with CR LF, byte for byte
//   pause MS           the server waits MS milliseconds
//   close / reset      the server ends the connection with FIN / RST; a later
//                      script line first accepts the next connection
//   hangup             the client may close the connection while the server
//                      still sends, so the script need not run to its end
// Where things go:
//   server NAME [ADDRESS]  later script lines belong to server NAME (made on
//                      first use; lines before any `server` belong to server
//                      "1"), and later calls connect to it: before a call its
//                      port becomes KOV_SMTP_PORT and KOV_POP3_PORT of the
//                      channel. It listens on 127.0.0.1 or on ADDRESS (such as
//                      ::1: the test skips itself on a machine without IPv6
//                      loopback)
//   port unused | N    later calls connect to a loopback port where nothing
//                      listens, or to port N
//   channel N          later directives are for channel N (0 to 3; first 0)
// Set-up (preset for speed: KOV_DELAY 1, KOV_TIMEOUT 3000, KOV_CONNECT_WAIT
// 3000):
//   int PARAM VALUE    kovIntegerParam; PARAM is a KOV_ name or a number
//   string PARAM TEXT  kovStringParam ("$DIR/" as in call arguments)
//   log                opens a log file for the channel
//   file NAME TEXT     creates the file NAME holding TEXT in the run's
//                      temporary directory; "$DIR/" in a call argument stands
//                      for that directory and a path separator
// Calls, each followed by its checks:
//   call VERB ARG...   ARG is "TEXT", a bare word or number, or null. Verbs:
//                      kovSmtpConnect SERVER FROM REPLYTO, kovVerifyUser NAMES,
//                      kovSendEmail TO CC BCC SUBJECT MESSAGE ATTACHMENTS,
//                      kovPop3Connect SERVER USER PASSWORD, kovGetEmailCount,
//                      kovGetEmailSize N, kovDeleteEmail N, kovGetEmailUID N
//                      BUFFER SIZE, kovGetEmailLines N LINES BUFFER SIZE,
//                      kovGetEmailFile N NAME DIR ATTACHDIR, where BUFFER is
//                      null, a text, or the bare word buffer: the runner's
//                      own buffer, filled with '~' before every call,
//                      kovCommand TEXT, kovClose, kovAbort, and connect KIND
//                      SERVER: the driver's connect states alone (no greeting)
//                      for a raw channel of kind S or P. In manual mode a call
//                      that starts an operation is driven by kovDriver, and
//                      after kovAbort (which restores automatic driving) the
//                      runner sets KOV_AUTO_CALL 0 again.
// Checks:
//   result N [manual M]  the call's result (M instead in manual mode)
//   states N...        the states kovDriver returned, 9999 and repeats left
//                      out (checked in manual mode only)
//   error-text TEXT    kovErrorText of the call's result
//   stat SELECTOR N    kovStatistics of the channel, now
//   log-has TEXT       the channel's log holds TEXT
//   log-lacks TEXT     the channel's log does not hold TEXT
//   buffer-is TEXT     the runner's buffer starts with TEXT, byte for byte
//   debug SELECTOR TEXT  kovDebug of the channel places TEXT
//   file-is NAME TEXT  the file NAME of the run's directory holds TEXT
//   file-starts NAME TEXT, file-ends NAME TEXT  it starts or ends with TEXT
//   file-size NAME N   it holds N bytes
//   file-absent NAME   there is no such file
#pragma once

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "support/driver_fixture.h"

// The channels the fixture attaches.
constexpr int kTranscriptChannels = 4;
// The size of the runner's buffer (the bare word buffer in a call).
constexpr int kTranscriptBufferSize = 262144;

// One step of a server's script.
struct ScriptStep {
  enum Kind { kSend, kSendRepeated, kClientLine, kPause, kClose, kReset } kind;
  std::string bytes;
  int ms;
  size_t times = 0;  // kSendRepeated
};

struct ServerScript {
  std::string name;
  std::vector<ScriptStep> steps;
  std::string expected;  // every client line the script waits for
  bool hangup;           // the client may leave before the script's end
  std::string address;   // where it listens: an address literal
};

// An argument of a call: a text or the null pointer.
struct CallArg {
  bool null;
  std::string text;
};

// A call the files can make (table in transcript.cpp); null for an unknown name.
struct Verb;
const Verb* FindVerb(const std::string& name);
size_t VerbArity(const Verb& verb);

// One directive of the file other than a script line, played in order.
struct Action {
  int line;
  std::string word;
  // server: its index; port: the port, 0 for unused; channel; int: index and
  // value; string: index; result: N [M]; states; stat: selector and value;
  // debug: selector; file-size: size.
  std::vector<long> numbers;
  std::string text;           // string, error-text, log-has, log-lacks, buffer-is, debug, file-*
  const Verb* verb;           // call
  std::vector<CallArg> args;  // call; file and file-*: the name
};

struct Transcript {
  std::vector<ServerScript> servers;
  std::vector<Action> actions;
  std::string error;  // "line N: what is wrong" for a malformed file
};

Transcript ParseTranscript(const std::string& text);

struct TranscriptCase {
  std::string path;
  std::string name;  // file path below tests/transcripts and mode, as a test name
  DriveMode mode;
};

// Every transcript file in every mode.
std::vector<TranscriptCase> FindTranscripts();
std::string TranscriptCaseName(const ::testing::TestParamInfo<TranscriptCase>& info);
// How a failing case names itself: by its file.
void PrintTo(const TranscriptCase& tc, std::ostream* out);

class TranscriptTest : public AttachedLibrary, public ::testing::WithParamInterface<TranscriptCase> {
 protected:
  // Reads, checks and plays the case's file.
  void Play();

 private:
  void Run(const Action& action);
  void Call(const Action& action);
  void SetPorts(int channel);
  std::string Log();
  void CheckFile(const Action& action);
  std::string WithDir(std::string text);

  std::vector<std::unique_ptr<LoopbackServer>> servers_;
  int channel_ = 0;
  int port_ = 0;
  int portSet_[kTranscriptChannels] = {};
  std::string logs_[kTranscriptChannels];
  int result_ = 0;
  std::vector<int> states_;
  std::vector<char> buffer_ = std::vector<char>(kTranscriptBufferSize);
};
