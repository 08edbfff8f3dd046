// Where the TLS echo servers of tls_session.sh are: their directory (named by
// KOV_TLS_TEST_DIR), their ports by case, and the CA file as a Windows
// program names it.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

inline std::string TlsTestDir() {
  const char* dir = getenv("KOV_TLS_TEST_DIR");
  return dir != nullptr ? dir : "";
}

// The ports file's "<case> <port>" lines; empty without the servers.
inline std::map<std::string, int> TlsServerPorts() {
  std::map<std::string, int> ports;
  FILE* f = fopen((TlsTestDir() + "/ports").c_str(), "r");
  if (f == nullptr) return ports;
  char name[32];
  int port;
  while (fscanf(f, "%31s %d", name, &port) == 2) ports[name] = port;
  fclose(f);
  return ports;
}

// A file of the servers' directory: the Unix path on drive Z:.
inline std::string TlsTestFile(const char* name) { return "Z:" + TlsTestDir() + "/" + name; }
