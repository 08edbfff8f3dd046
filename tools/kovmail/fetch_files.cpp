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
  const fs::path dir = place_.dir;
  for (int attempt = 1; attempt <= kMostAttempts; ++attempt) {
    stem_ = MessageStem(number, attempt);
    const fs::path mail = dir / (stem_ + extension_);
    if (place_.overwrite) return true;
    if (Exists(mail) || Exists(dir / PartName())) continue;
    if (place_.raw || !place_.attachDir.empty()) return true;
    folder_ = (dir / (stem_ + ".files")).string();
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
      folder_ = (fs::path(place.dir) / (stem_ + ".files")).string();
      folderCreated_ = CreateFresh(folder_);
    }
    return true;
  }
  staging_ = true;
  for (int attempt = 1; attempt <= kMostAttempts; ++attempt) {
    folder_ = (fs::path(place.attachDir) / (".kovmail-" + stem_ + "-" + std::to_string(attempt) + ".part")).string();
    if (CreateFresh(folder_)) {
      folderCreated_ = true;
      return true;
    }
  }
  error = "cannot create a folder in " + place.attachDir;
  return false;
}

bool MessageFiles::MoveOut(const std::string& name, std::string& path) {
  const fs::path from = fs::path(folder_) / name;
  for (int attempt = 1; attempt <= kMostAttempts; ++attempt) {
    path = (fs::path(place_.attachDir) / (attempt == 1 ? name : NumberedName(name, attempt))).string();
    if (place_.overwrite) {
      std::error_code error;
      fs::rename(from, path, error);
      return !error;
    }
    const int moved = MoveWithoutReplacing(from.string(), path);
    if (moved != 0) return moved > 0;
  }
  return false;
}

bool MessageFiles::Commit(const std::vector<std::string>& saved, std::vector<std::string>& paths,
                          std::string& error) {
  const fs::path part = fs::path(place_.dir) / PartName();
  const std::string mail = (fs::path(place_.dir) / (stem_ + extension_)).string();
  std::error_code failure;
  if (place_.overwrite) {
    fs::rename(part, mail, failure);
  } else if (MoveWithoutReplacing(part.string(), mail) != 1) {
    failure = std::make_error_code(std::errc::file_exists);
  }
  if (failure) {
    error = "cannot rename " + part.string() + " to " + mail;
    return false;
  }
  done_ = true;
  paths.push_back(mail);
  for (const std::string& name : saved) {
    std::string path = (fs::path(folder_) / name).string();
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
  fs::remove(fs::path(place_.dir) / PartName(), ignored);
  if (folderCreated_) fs::remove_all(folder_, ignored);
  done_ = true;
}

}  // namespace kovmail
