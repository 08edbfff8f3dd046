// The functions KOV32.dll exports, with the bytes of arguments each pops.
#pragma once

struct ExportedFunction {
  const char* name;
  int argumentBytes;
};

inline constexpr ExportedFunction kExports[] = {
    {"kovAttach", 4},       {"kovRelease", 0},        {"kovErrorText", 16},    {"kovVerifyFormat", 4},
    {"kovExtractText", 16}, {"kovExtractLine", 16},   {"kovEncodeBuffer", 12}, {"kovDecodeBuffer", 12},
    {"kovQuoteBuffer", 12}, {"kovIntegerParam", 12},  {"kovStringParam", 12},  {"kovStatistics", 8},
    {"kovDebug", 16},       {"kovDriver", 4},         {"kovCommand", 8},       {"kovAbort", 4},
    {"kovClose", 4},        {"kovSmtpConnect", 16},   {"kovVerifyUser", 8},    {"kovSendEmail", 28},
    {"kovPop3Connect", 16}, {"kovGetEmailCount", 4},  {"kovGetEmailSize", 8},  {"kovGetEmailUID", 16},
    {"kovDeleteEmail", 8},  {"kovGetEmailLines", 20}, {"kovGetEmailFile", 20},  {"kovWaitInfo", 16},
};
