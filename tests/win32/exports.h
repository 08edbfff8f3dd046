// The functions KOV32.dll exports, with the bytes of arguments each pops.
#pragma once

struct ExportedFunction {
  const char* name;
  int argumentBytes;
};

inline constexpr ExportedFunction kExports[] = {
    {"kovAttach", 4},
    {"kovRelease", 0},
};
