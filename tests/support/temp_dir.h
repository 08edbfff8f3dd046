// A fresh directory for one test, removed with everything in it at the end.
#pragma once

#include <string>

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The directory joined with a file name.
  std::string File(const std::string& name) const;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// The whole content of a file; empty when it cannot be read.
std::string ReadFile(const std::string& path);
