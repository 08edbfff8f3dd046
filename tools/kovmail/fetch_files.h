// The files of the downloaded messages, chosen so that a download never
// replaces a file that was there and never leaves a partial file under a
// real name: the mail file is written as "STEM.txt.part" and renamed once it
// is whole; attachments are saved into a hidden folder created fresh once
// for the whole run (in the user's attachment folder, or beside the mail
// files) and moved out once their message is whole: into a folder created
// fresh for the message ("STEM.files" beside the mail file) or into the
// user's attachment folder under free names. A message without attachments
// creates no folder at all; a failure removes what its message left.
#pragma once

#include <string>
#include <vector>

namespace kovmail {

struct FetchPlace {
  std::string dir;        // for the mail file
  std::string attachDir;  // empty: a fresh folder per message
  bool raw = false;       // the message as received (".eml"), no attachments
  bool overwrite = false; // replace files instead of choosing free names
};

class MessageFiles {
 public:
  MessageFiles() = default;
  MessageFiles(const MessageFiles&) = delete;
  MessageFiles& operator=(const MessageFiles&) = delete;
  // Discards what Commit did not keep; removes the hidden folder unless a
  // failed Commit left attachments in it.
  ~MessageFiles();

  // Chooses the names for message `number` (and creates the hidden folder
  // on first use); false with `error` when that cannot be done. One place
  // for all the messages of a run.
  bool Prepare(const FetchPlace& place, int number, std::string& error);

  // What the library is given: the mail file's name (in place.dir) and
  // the folder for attachments.
  std::string PartName() const { return stem_ + extension_ + ".part"; }
  const std::string& AttachFolder() const { return staging_; }

  // After a whole download: the mail file under its name and the saved
  // attachments (`saved`, as the library names them) in their place; the
  // paths of everything kept, mail file first. False with `error` when a
  // file could not be moved (what was not moved is left in the hidden
  // folder, which the error names).
  bool Commit(const std::vector<std::string>& saved, std::vector<std::string>& paths, std::string& error);

  // Removes the partial mail file and whatever the hidden folder holds.
  void Discard();

 private:
  bool ChooseStem(int number, std::string& error);
  bool CreateStaging(std::string& error);
  bool AttachmentTarget(std::string& target, std::string& error);
  bool MoveOut(const std::string& target, const std::string& name, std::string& path);

  FetchPlace place_;
  std::string stem_;
  std::string extension_;
  std::string staging_;         // the hidden folder the library saves into
  bool keepStaging_ = false;    // a failed Commit left attachments there
  bool done_ = true;
};

}  // namespace kovmail
