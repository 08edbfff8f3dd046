// The state file of --new: the unique identifiers (UIDL) of the messages
// already saved from one mailbox, one a line, as fetchmail keeps them.
#pragma once

#include <set>
#include <string>

namespace kovmail {

// The default state file of a mailbox: $XDG_STATE_HOME/kovmail (else
// ~/.local/state/kovmail; on Windows %LOCALAPPDATA%\kovmail) and
// "USER@SERVER:PORT.uidl" with '/' and '\' made '_'.
std::string DefaultStatePath(const std::string& user, const std::string& where);

class UidState {
 public:
  // Reads the file (absent: nothing seen yet); false with `error` when it
  // exists and cannot be read.
  bool Load(const std::string& path, std::string& error);
  bool Has(const std::string& uid) const { return seen_.count(uid) != 0; }
  // Appends the identifier at once (creating the file and its folder, only
  // for the user), so that a later failure does not fetch it again.
  bool Add(const std::string& uid, std::string& error);

 private:
  std::string path_;
  std::set<std::string> seen_;
};

}  // namespace kovmail
