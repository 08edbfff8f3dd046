// Reads the export names and imported DLL names of a 32-bit PE file.
#pragma once

#include <string>
#include <vector>

struct PeTables {
  bool valid = false;
  unsigned machine = 0;  // 0x14c for i386
  bool isDll = false;
  std::vector<std::string> exports;
  std::vector<std::string> imports;
};

PeTables ReadPeTables(const std::string& path);
