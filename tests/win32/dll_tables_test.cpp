// The DLL's export table holds exactly the library's functions under their
// plain names, and its import table names only system DLLs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>

#include "exports.h"
#include "pe_file.h"

namespace {

std::string Upper(std::string s) {
  for (char& ch : s) ch = static_cast<char>(toupper(static_cast<unsigned char>(ch)));
  return s;
}

class DllTables : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { tables = ReadPeTables("KOV32.dll"); }
  static PeTables tables;
};
PeTables DllTables::tables;

TEST_F(DllTables, IsA32BitDll) {
  ASSERT_TRUE(tables.valid);
  EXPECT_EQ(tables.machine, 0x14cu);
  EXPECT_TRUE(tables.isDll);
}

TEST_F(DllTables, ExportsExactlyTheLibraryFunctionsUndecorated) {
  std::set<std::string> expected;
  for (const ExportedFunction& f : kExports) expected.insert(f.name);
  std::set<std::string> actual(tables.exports.begin(), tables.exports.end());
  EXPECT_EQ(actual, expected);
  for (const std::string& name : tables.exports) {
    EXPECT_EQ(name.find('@'), std::string::npos) << name;
    EXPECT_NE(name[0], '_') << name;
  }
}

TEST_F(DllTables, ImportsOnlySystemDlls) {
  const std::set<std::string> allowed = {"KERNEL32.DLL", "WSOCK32.DLL", "USER32.DLL", "MSVCRT.DLL"};
  ASSERT_FALSE(tables.imports.empty());
  for (const std::string& dll : tables.imports) EXPECT_TRUE(allowed.count(Upper(dll))) << dll;
}

}  // namespace
