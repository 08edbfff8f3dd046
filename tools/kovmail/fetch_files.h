// The files of one downloaded message, chosen so that a download never
// replaces a file that was there and never leaves a partial file under a
// real name: the mail file is written as "STEM.txt.part" and renamed once it
// is whole; attachments go into a folder created fresh for the message
// ("STEM.files" beside the mail file), or, with an attachment folder of the
// user's, into a fresh hidden folder inside it from which they are moved
// out under free names. A failure removes both.
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
  ~MessageFiles();  // discards what Commit did not keep

  // Chooses the names for message `number` and creates its attachment
  // folder; false with `error` when that cannot be done.
  bool Prepare(const FetchPlace& place, int number, std::string& error);

  // What the library is given: the mail file's name (in place.dir) and
  // the folder for attachments.
  std::string PartName() const { return stem_ + extension_ + ".part"; }
  const std::string& AttachFolder() const { return folder_; }

  // After a whole download: the mail file under its name and the saved
  // attachments (`saved`, as the library names them) in their place; the
  // paths of everything kept, mail file first. False with `error` when a
  // file could not be moved (what was not moved is left in the folder).
  bool Commit(const std::vector<std::string>& saved, std::vector<std::string>& paths, std::string& error);

  // Removes the partial mail file and the attachment folder (only one
  // created for this message).
  void Discard();

 private:
  bool ChooseStem(int number, std::string& error);
  bool MoveOut(const std::string& name, std::string& path);

  FetchPlace place_;
  std::string stem_;
  std::string extension_;
  std::string folder_;         // where the library saves attachments
  bool folderCreated_ = false; // by Prepare: Discard may remove it
  bool staging_ = false;       // folder_ is a hidden folder inside place_.attachDir
  bool done_ = true;
};

}  // namespace kovmail
