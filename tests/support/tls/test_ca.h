// A certificate authority made at test time (POSIX builds, OpenSSL): P-256
// keys and PEM files in a directory the caller owns, so that TLS tests need
// no files of their own and no network. Certificates are valid from a day
// ago unless stated.
//
//   TempDir dir;
//   TestCa ca(dir.Path(), "ca");                       // ca.pem: the root
//   TestCert good = ca.Issue("good", {"localhost", "127.0.0.1"});
//   TestCert old = ca.Issue("old", {"localhost"}, -10, -1);  // expired
//   TestCert self = SelfSigned(dir.Path(), "self", {"localhost"});
//
// A name that parses as an IPv4 or IPv6 address becomes an IP entry of the
// subject's alternative names, any other a DNS entry; the first name is also
// the common name.
#pragma once

#include <string>
#include <vector>

// A server certificate: its PEM file (the certificate only) and its key's.
struct TestCert {
  std::string certFile;
  std::string keyFile;
};

class TestCa {
 public:
  // Makes the root "<stem>.pem" (and "<stem>.key") in `dir`.
  TestCa(const std::string& dir, const std::string& stem);
  ~TestCa();
  TestCa(const TestCa&) = delete;
  TestCa& operator=(const TestCa&) = delete;

  // The root's PEM file: what a client trusts (TlsOptions::caFile).
  const std::string& CaFile() const { return root_.certFile; }
  // A server certificate "<stem>.pem"/"<stem>.key" for `names`, signed by
  // this root, valid from `fromDays` to `toDays` days from now.
  TestCert Issue(const std::string& stem, const std::vector<std::string>& names, int fromDays = -1,
                 int toDays = 30) const;

 private:
  std::string dir_;
  TestCert root_;
  void* key_;   // EVP_PKEY
  void* cert_;  // X509
};

// A server certificate for `names` that signs itself.
TestCert SelfSigned(const std::string& dir, const std::string& stem, const std::vector<std::string>& names);
