// kovmail fetch and fetch-all: messages saved through MessageFiles, so that
// nothing is replaced and nothing partial stays under a real name; with
// --new only messages the state file has not seen, with --delete each
// message deleted once it is saved whole.
#include <kov32.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "console.h"
#include "fetch_files.h"
#include "mailbox_command.h"
#include "response_text.h"
#include "saved_names.h"
#include "session.h"
#include "uid_state.h"

namespace kovmail {

namespace {

// Between the names of the saved attachments: no file name holds it.
constexpr char kSavedNameSep = '\x1f';

std::vector<std::string> SavedAttachments() {
  if (kovStatistics(kChannel, KOV_STAT_ATTACHMENTS_SAVED) <= 0) return {};
  std::vector<char> saved(64 * 1024);
  kovDebug(kChannel, KOV_DEBUG_SAVED_ATTACHMENTS, saved.data(), static_cast<int>(saved.size()));
  return SplitList(saved.data(), kSavedNameSep);
}

// The expected size for the progress line: asked for (LIST) only when one
// is shown, as it costs a round trip per message.
uint64_t ExpectedSize(Session& session, int number) {
  if (!session.ShowsProgress()) return 0;
  if (session.Run(kovGetEmailSize(kChannel, number)) < 0 || kovStatistics(kChannel, KOV_STAT_REPLY_CODE) == 500) {
    return 0;
  }
  const int size = kovStatistics(kChannel, KOV_STAT_MESSAGE_SIZE);
  return size > 0 ? static_cast<uint64_t>(size) : 0;
}

int Download(Session& session, const MailboxOptions& options, int number, MessageFiles& files) {
  const std::string phase = "retrieve " + std::to_string(number);
  const uint64_t size = ExpectedSize(session, number);
  if (Interrupted()) return session.Fail(phase, kInterruptedCode);
  kovIntegerParam(kChannel, KOV_DECODE_MODE, options.raw ? 1 : 0);
  kovIntegerParam(kChannel, KOV_ATTACH_SEP, kSavedNameSep);
  const std::string name = files.PartName();
  Progress progress("message " + std::to_string(number), size, session.ShowsProgress());
  // Every byte that came in counts, attachments as they came (encoded).
  int rc = session.Run(kovGetEmailFile(kChannel, number, name.c_str(), options.dir.c_str(), files.AttachFolder().c_str()),
                       &progress, KOV_STAT_BYTES_IN);
  if (rc < 0) return session.Fail(phase, rc);
  return kExitOk;
}

// Downloads one message and keeps its files; prints their paths. `files`
// serves every message of the run.
int SaveMessage(Session& session, const MailboxOptions& options, int number, MessageFiles& files) {
  std::string error;
  if (!files.Prepare({options.dir, options.attachDir, options.raw, options.overwrite}, number, error)) {
    fprintf(stderr, "kovmail: %s\n", error.c_str());
    return kExitIo;
  }
  int status = Download(session, options, number, files);
  if (status != kExitOk) return status;  // files discards what came
  std::vector<std::string> paths;
  const bool kept = files.Commit(SavedAttachments(), paths, error);
  for (const std::string& path : paths) printf("%s\n", path.c_str());
  fflush(stdout);
  if (!kept) {
    fprintf(stderr, "kovmail: %s\n", error.c_str());
    return kExitIo;
  }
  return kExitOk;
}

// With --delete: marks the saved message for deletion (done at QUIT).
int DeleteSaved(Session& session, const MailboxOptions& options, int number) {
  if (!options.deleteAfter) return kExitOk;
  const std::string phase = "delete " + std::to_string(number);
  int rc = session.Run(kovDeleteEmail(kChannel, number));
  if (rc < 0) return session.Fail(phase, rc);
  return session.Refused(phase);
}

struct Tally {
  int saved = 0;
  int seen = 0;
};

int FetchEach(Session& session, const MailboxOptions& options, int count, Tally& tally, MessageFiles& files) {
  std::map<int, std::string> uids;
  UidState state;
  if (options.onlyNew) {
    std::string body, error;
    int status = kExitOk;
    if (!UidList(session, count, body, status)) return status;
    uids = ParseUidList(body);
    const std::string path =
        options.stateFile.empty() ? DefaultStatePath(options.connection.user, session.Where()) : options.stateFile;
    if (!state.Load(path, error)) {
      fprintf(stderr, "kovmail: %s\n", error.c_str());
      return kExitIo;
    }
  }
  for (int number = 1; number <= count; ++number) {
    const auto uid = uids.find(number);
    if (options.onlyNew && uid != uids.end() && state.Has(uid->second)) {
      ++tally.seen;
      continue;
    }
    int status = SaveMessage(session, options, number, files);
    if (status != kExitOk) return status;
    ++tally.saved;
    std::string error;
    if (options.onlyNew && uid != uids.end() && !state.Add(uid->second, error)) {
      fprintf(stderr, "kovmail: %s\n", error.c_str());
      return kExitIo;
    }
    if ((status = DeleteSaved(session, options, number)) != kExitOk) return status;
  }
  return kExitOk;
}

}  // namespace

int Fetch(Session& session, const MailboxOptions& options, int number) {
  MessageFiles files;
  int status = SaveMessage(session, options, number, files);
  return status != kExitOk ? status : DeleteSaved(session, options, number);
}

int FetchAll(Session& session, const MailboxOptions& options) {
  int status = kExitOk;
  const int count = MessageCount(session, status);
  if (count < 0) return status;
  Tally tally;
  MessageFiles files;
  status = FetchEach(session, options, count, tally, files);
  if (!options.connection.quiet) {
    fprintf(stderr, "kovmail: %d of %d message%s saved", tally.saved, count, count == 1 ? "" : "s");
    if (tally.seen > 0) fprintf(stderr, ", %d seen before", tally.seen);
    fprintf(stderr, "%s\n", options.deleteAfter ? " and deleted" : "");
  }
  return status;
}

}  // namespace kovmail
