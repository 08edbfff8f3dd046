// What a bed server wrote to its log since a moment of a test: Postfix's
// and Dovecot's logs are read to prove what a server did or never saw.
#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "bed_settings.h"

class ServerLog {
 public:
  // `name` is the log's path in the run folder: "postfix/postfix.log".
  explicit ServerLog(const std::string& name) : path_(BedRunDir() + "/" + name) {
    std::error_code ec;
    start_ = std::filesystem::file_size(path_, ec);
    if (ec) start_ = 0;
  }
  // Everything written since the object was made.
  std::string Since() const {
    std::ifstream in(path_, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(start_));
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  // What was written since, once it holds `text` (a server logs a session's
  // end a moment after the client has gone); after 10 s, whatever is there.
  std::string Await(const std::string& text) const {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::string since = Since();
    while (since.find(text) == std::string::npos && std::chrono::steady_clock::now() < end) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      since = Since();
    }
    return since;
  }

 private:
  std::string path_;
  uintmax_t start_ = 0;
};
