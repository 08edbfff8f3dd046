#include "support/mime_run.h"

#include <cstdio>
#include <cstring>

#include "codec/strings.h"
#include "engine/mime/filter.h"
#include "engine/mime/names.h"

namespace {

class Executor {
 public:
  Executor(const MimeRunConfig& config, MimeRunResult& result) : config_(config), result_(result) {
    MimeStartMessage(filter_);
    counter_ = config.counter;
    number_ = config.attachNumber;
  }

  void Feed(const char* data, int length) {
    int stalled = 0;
    for (int done = 0; done < length && result_.violation.empty();) {
      const int used = MimeFilterLine(filter_, Settings(), data + done, length - done, out_);
      if (used < 0 || used > length - done) return Fail("a call took bytes it was not given");
      stalled = used == 0 ? stalled + 1 : 0;
      if (stalled > 1) return Fail("two calls in a row took nothing");
      done += used;
      Carry();
    }
  }

  void End() {
    for (int round = 0; result_.violation.empty(); ++round) {
      if (round > 2) return Fail("the end of the message does not finish");
      const bool done = MimeEndMessage(filter_, Settings(), out_);
      Carry();
      if (done) break;
    }
    if (open_) Fail("a part is still open at the end");
  }

 private:
  MimeSettings Settings() const {
    return MimeSettings{config_.attachDir.c_str(),
                        config_.mailFile.c_str(),
                        config_.separator,
                        config_.saveUnnamed,
                        config_.numberNames,
                        number_,
                        counter_,
                        true,
                        config_.unicode};
  }

  void Fail(const std::string& what) {
    if (result_.violation.empty()) result_.violation = what;
  }

  void Carry() {
    if (out_.count < 0 || out_.count > kMimeMaxActions) return Fail("action count out of range");
    for (int i = 0; i < out_.count && result_.violation.empty(); ++i) Do(out_.actions[i]);
  }

  void Do(const MimeAction& a) {
    if (a.length < 0 || (a.length > 0 && a.data == nullptr)) return Fail("action data out of range");
    const std::string data(a.data != nullptr ? a.data : "", static_cast<size_t>(a.length));
    switch (a.op) {
      case MimeOp::kMailText:
        result_.mail += data;
        break;
      case MimeOp::kLog:
        if (a.data[a.length] != '\0') return Fail("log line not terminated");
        result_.log += data;
        break;
      case MimeOp::kPartOpen:
        return Open(a, data);
      case MimeOp::kPartBytes:
        if (!open_) return Fail("bytes for a part that is not open");
        result_.files[path_] += data;
        break;
      case MimeOp::kPartClose:
        return Close(a, data);
    }
  }

  void Open(const MimeAction& a, const std::string& path) {
    if (open_) return Fail("a part opened over an open one");
    if (a.data[a.length] != '\0' || a.nameStart < 0 || a.nameStart > a.length) return Fail("bad part path");
    CheckPath(path, path.substr(static_cast<size_t>(a.nameStart)));
    if (config_.failOpen.count(path) != 0) {
      result_.log += "[Cannot open '" + path + "']\r\n";
      MimePartOpened(filter_, 0);
      return;
    }
    open_ = true;
    path_ = path;
    result_.files[path_].clear();
    MimePartOpened(filter_, ++handle_);
  }

  void CheckPath(const std::string& path, const std::string& name) {
    const std::string dir = config_.attachDir.empty() ? "" : config_.attachDir + config_.separator;
    if (path.size() > kMimePathMax) return Fail("part path too long: " + path);
    if (path.compare(0, dir.size(), dir) != 0 || path.size() - name.size() != dir.size()) {
      return Fail("part outside the attachment directory: " + path);
    }
    if (name.empty() || name[0] == '.') return Fail("empty name or one that starts with a dot: " + path);
    for (unsigned char ch : name) {
      if (ch < 32 || strchr("\"*/:<=>?\\|", ch) != nullptr) return Fail("forbidden byte in name: " + path);
    }
    if (name.back() == '.' || name.back() == ' ') return Fail("name ends in a dot or blank: " + path);
    if (IsDeviceName(name.c_str())) return Fail("device name: " + path);
    if (name.size() == config_.mailFile.size() &&
        CompareNoCase(name.c_str(), config_.mailFile.c_str(), static_cast<int>(name.size()))) {
      return Fail("the mail file's name: " + path);
    }
  }

  void Close(const MimeAction& a, const std::string& path) {
    if (!open_) return Fail("close of a part that is not open");
    if (path != path_) return Fail("close of another path");
    result_.log += "Closing file " + std::to_string(handle_) + "\r\n";
    open_ = false;
    // The channel removes a part that did not complete.
    if (!a.saved) {
      result_.files.erase(path_);
      return;
    }
    char note[kMimePathMax + 64];
    const int length = FormatSaveNote(note, sizeof note, a.data);
    if (!config_.hideNotes) result_.mail.append(note, static_cast<size_t>(length));
    result_.log.append(note, static_cast<size_t>(length));
    char list[1024];
    snprintf(list, sizeof list, "%s", result_.savedList.c_str());
    AppendSavedName(list, sizeof list, a.data + a.nameStart, config_.listSeparator);
    result_.savedList = list;
    ++result_.saved;
    ++counter_;
    if (number_ > 0) ++number_;
  }

  const MimeRunConfig& config_;
  MimeRunResult& result_;
  MimeFilter filter_;
  MimeOutput out_;
  bool open_ = false;
  std::string path_;
  int handle_ = 2;
  int counter_;
  int number_;
};

}  // namespace

MimeRunResult RunMime(const std::string& message, const MimeRunConfig& config) {
  MimeRunResult result;
  Executor executor(config, result);
  const size_t pieceMax = config.pieceMax > 0 ? config.pieceMax : 1;
  for (size_t start = 0; start < message.size() && result.violation.empty();) {
    size_t end = message.find('\n', start);
    end = end == std::string::npos ? message.size() : end + 1;
    for (size_t at = start; at < end && result.violation.empty(); at += pieceMax) {
      const size_t n = end - at < pieceMax ? end - at : pieceMax;
      executor.Feed(message.data() + at, static_cast<int>(n));
    }
    start = end;
  }
  if (result.violation.empty()) executor.End();
  return result;
}

std::string EscapedName(const std::string& name) {
  std::string out;
  for (unsigned char ch : name) {
    const bool plain = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') || ch == '.' ||
                       ch == '_' || ch == '-';
    char code[4];
    snprintf(code, sizeof code, "%%%02X", ch);
    out += plain ? std::string(1, static_cast<char>(ch)) : std::string(code);
  }
  return out;
}

std::string CheckMimeInput(const uint8_t* data, size_t size) {
  if (size == 0) return "";
  MimeRunConfig config;
  const uint8_t choice = data[0];
  config.saveUnnamed = (choice & 1) != 0;
  config.numberNames = (choice & 2) != 0;
  config.attachNumber = (choice & 4) != 0 ? 7 : 0;
  config.separator = (choice & 8) != 0 ? '\\' : '/';
  config.attachDir = (choice & 16) != 0 ? "" : "att";
  config.unicode = (choice & 32) != 0;
  static const size_t kPieces[] = {1023, 1, 7, 64};
  config.pieceMax = kPieces[choice >> 6];
  const std::string message(reinterpret_cast<const char*>(data + 1), size - 1);
  return RunMime(message, config).violation;
}
