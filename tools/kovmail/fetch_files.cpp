#include "fetch_files.h"

#include <filesystem>
#include <system_error>

#include "console.h"
#include "saved_names.h"

namespace kovmail {

namespace fs = std::filesystem;

namespace {

// Most numbered names tried before giving up.
constexpr int kMostAttempts = 1000;

// Paths are joined as UTF-8 texts: names come from the library in UTF-8.
std::string Join(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  const char last = dir.back();
  return last == '/' || last == static_cast<char>(fs::path::preferred_separator) ? dir + name
                                                                                 : dir + static_cast<char>(fs::path::preferred_separator) + name;
}

bool Exists(const fs::path& path) {
  std::error_code error;
  return fs::symlink_status(path, error).type() != fs::file_type::not_found;
}

// Creates the folder only when nothing is there (a link is something).
bool CreateFresh(const fs::path& path) {
  std::error_code error;
  return !Exists(path) && fs::create_directory(path, error) && !error;
}

}  // namespace

MessageFiles::~MessageFiles() {
  if (!done_) Discard();
  std::error_code ignored;
  // Removed only when empty: what a failed Commit left there stays.
  if (!staging_.empty() && !keepStaging_) fs::remove(staging_, ignored);
}

bool MessageFiles::ChooseStem(int number, std::string& error) {
  for (int attempt = 1; attempt <= kMostAttempts; ++attempt) {
    stem_ = MessageStem(number, attempt);
    if (place_.overwrite) return true;
    if (Exists(Join(place_.dir, stem_ + extension_)) || Exists(Join(place_.dir, PartName()))) continue;
    if (place_.raw || !place_.attachDir.empty() || !Exists(Join(place_.dir, stem_ + ".files"))) return true;
  }
  error = "no free name for message " + std::to_string(number) + " in " + place_.dir;
  return false;
}

// One hidden folder for the run: creating and removing a folder for every
// message would cost more than the download of a small message.
bool MessageFiles::CreateStaging(std::string& error) {
  const std::string& parent = place_.attachDir.empty() ? place_.dir : place_.attachDir;
  for (int attempt = 1; attempt <= kMostAttempts; ++attempt) {
    const std::string folder = Join(parent, ".kovmail-" + std::to_string(attempt) + ".part");
    if (CreateFresh(folder)) {
      staging_ = folder;
      return true;
    }
  }
  error = "cannot create a folder in " + parent;
  return false;
}

bool MessageFiles::Prepare(const FetchPlace& place, int number, std::string& error) {
  place_ = place;
  extension_ = place.raw ? ".eml" : ".txt";
  done_ = false;
  if (!ChooseStem(number, error)) return false;
  return place.raw || !staging_.empty() || CreateStaging(error);
}

// The folder the attachments are moved to: the user's, or the message's
// own, created fresh (an existing one is used only with --overwrite).
bool MessageFiles::AttachmentTarget(std::string& target, std::string& error) {
  target = place_.attachDir;
  if (!target.empty()) return true;
  target = Join(place_.dir, stem_ + ".files");
  std::error_code ignored;
  if (CreateFresh(target) || (place_.overwrite && fs::is_directory(target, ignored))) return true;
  error = "cannot create " + target + "; the attachments are in " + staging_;
  return false;
}

bool MessageFiles::MoveOut(const std::string& target, const std::string& name, std::string& path) {
  const std::string from = Join(staging_, name);
  for (int attempt = 1; attempt <= kMostAttempts; ++attempt) {
    path = Join(target, attempt == 1 ? name : NumberedName(name, attempt));
    const int moved = MoveFileTo(from, path, place_.overwrite);
    if (moved != 0) return moved > 0;
  }
  return false;
}

bool MessageFiles::Commit(const std::vector<std::string>& saved, std::vector<std::string>& paths,
                          std::string& error) {
  const std::string part = Join(place_.dir, PartName());
  const std::string mail = Join(place_.dir, stem_ + extension_);
  if (MoveFileTo(part, mail, place_.overwrite) != 1) {
    error = "cannot rename " + part + " to " + mail;
    return false;
  }
  done_ = true;
  paths.push_back(mail);
  if (saved.empty()) return true;
  std::string target;
  keepStaging_ = true;
  if (!AttachmentTarget(target, error)) return false;
  for (const std::string& name : saved) {
    std::string path;
    if (!MoveOut(target, name, path)) {
      error = "cannot move " + name + " out of " + staging_;
      return false;
    }
    paths.push_back(path);
  }
  keepStaging_ = false;
  return true;
}

void MessageFiles::Discard() {
  done_ = true;
  std::error_code ignored;
  fs::remove(Join(place_.dir, PartName()), ignored);
  if (staging_.empty()) return;
  std::vector<fs::path> inside;
  for (fs::directory_iterator it(staging_, ignored), end; !ignored && it != end; it.increment(ignored)) {
    inside.push_back(it->path());
  }
  for (const fs::path& path : inside) fs::remove_all(path, ignored);
}

}  // namespace kovmail
