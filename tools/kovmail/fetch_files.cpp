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
}

bool MessageFiles::ChooseStem(int number, std::string& error) {
  for (int attempt = 1; attempt <= kMostAttempts; ++attempt) {
    stem_ = MessageStem(number, attempt);
    if (place_.overwrite) return true;
    if (Exists(Join(place_.dir, stem_ + extension_)) || Exists(Join(place_.dir, PartName()))) continue;
    if (place_.raw || !place_.attachDir.empty()) return true;
    folder_ = Join(place_.dir, stem_ + ".files");
    if (!CreateFresh(folder_)) continue;
    folderCreated_ = true;
    return true;
  }
  error = "no free name for message " + std::to_string(number) + " in " + place_.dir;
  return false;
}

bool MessageFiles::Prepare(const FetchPlace& place, int number, std::string& error) {
  place_ = place;
  extension_ = place.raw ? ".eml" : ".txt";
  folder_.clear();
  folderCreated_ = staging_ = false;
  done_ = false;
  if (!ChooseStem(number, error)) return false;
  if (place.raw) return true;
  if (place.attachDir.empty()) {
    if (place.overwrite) {
      folder_ = Join(place.dir, stem_ + ".files");
      folderCreated_ = CreateFresh(folder_);
    }
    return true;
  }
  staging_ = true;
  for (int attempt = 1; attempt <= kMostAttempts; ++attempt) {
    folder_ = Join(place.attachDir, ".kovmail-" + stem_ + "-" + std::to_string(attempt) + ".part");
    if (CreateFresh(folder_)) {
      folderCreated_ = true;
      return true;
    }
  }
  error = "cannot create a folder in " + place.attachDir;
  return false;
}

bool MessageFiles::MoveOut(const std::string& name, std::string& path) {
  const std::string from = Join(folder_, name);
  for (int attempt = 1; attempt <= kMostAttempts; ++attempt) {
    path = Join(place_.attachDir, attempt == 1 ? name : NumberedName(name, attempt));
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
  for (const std::string& name : saved) {
    std::string path = Join(folder_, name);
    if (staging_ && !MoveOut(name, path)) {
      error = "cannot move " + name + " out of " + folder_;
      return false;
    }
    paths.push_back(path);
  }
  std::error_code ignored;
  // An empty folder is not kept: a message without attachments leaves none.
  if (folderCreated_) fs::remove(folder_, ignored);
  return true;
}

void MessageFiles::Discard() {
  std::error_code ignored;
  fs::remove(Join(place_.dir, PartName()), ignored);
  if (folderCreated_) fs::remove_all(folder_, ignored);
  done_ = true;
}

}  // namespace kovmail
