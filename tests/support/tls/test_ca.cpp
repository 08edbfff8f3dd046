#include "support/tls/test_ca.h"

#include <arpa/inet.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <stdexcept>

namespace {

constexpr long kDay = 24 * 60 * 60;

bool IsAddress(const std::string& name) {
  unsigned char bytes[16];
  return inet_pton(AF_INET, name.c_str(), bytes) == 1 || inet_pton(AF_INET6, name.c_str(), bytes) == 1;
}

std::string AltNames(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) {
    if (!text.empty()) text += ",";
    text += (IsAddress(name) ? "IP:" : "DNS:") + name;
  }
  return text;
}

void AddExtension(X509* cert, X509* issuer, int nid, const std::string& value) {
  X509V3_CTX context;
  X509V3_set_ctx(&context, issuer, cert, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value.c_str());
  if (extension == nullptr) throw std::runtime_error("certificate extension " + value);
  X509_add_ext(cert, extension, -1);
  X509_EXTENSION_free(extension);
}

// A certificate for `key`, signed by `issuerKey` (itself when `issuer` is
// null): a root when `names` is empty, a server certificate otherwise.
X509* MakeCert(const std::string& commonName, EVP_PKEY* key, X509* issuer, EVP_PKEY* issuerKey,
               const std::vector<std::string>& names, int fromDays, int toDays) {
  static long serial = 1;
  X509* cert = X509_new();
  X509_set_version(cert, 2);
  ASN1_INTEGER_set(X509_get_serialNumber(cert), serial++);
  X509_gmtime_adj(X509_getm_notBefore(cert), fromDays * kDay);
  X509_gmtime_adj(X509_getm_notAfter(cert), toDays * kDay);
  X509_set_pubkey(cert, key);
  X509_NAME* subject = X509_get_subject_name(cert);
  X509_NAME_add_entry_by_txt(subject, "O", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("KOV32 tests"), -1, -1,
                             0);
  X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(commonName.c_str()),
                             -1, -1, 0);
  X509* signer = issuer != nullptr ? issuer : cert;
  X509_set_issuer_name(cert, X509_get_subject_name(signer));
  const bool root = names.empty();
  AddExtension(cert, signer, NID_basic_constraints, root ? "critical,CA:TRUE" : "critical,CA:FALSE");
  AddExtension(cert, signer, NID_key_usage, root ? "critical,keyCertSign,cRLSign" : "critical,digitalSignature");
  AddExtension(cert, signer, NID_subject_key_identifier, "hash");
  if (!root) {
    AddExtension(cert, signer, NID_ext_key_usage, "serverAuth");
    AddExtension(cert, signer, NID_subject_alt_name, AltNames(names));
  }
  if (X509_sign(cert, issuerKey, EVP_sha256()) == 0) throw std::runtime_error("certificate signature");
  return cert;
}

TestCert Write(const std::string& dir, const std::string& stem, X509* cert, EVP_PKEY* key) {
  TestCert files{dir + "/" + stem + ".pem", dir + "/" + stem + ".key"};
  FILE* out = fopen(files.certFile.c_str(), "w");
  if (out == nullptr || PEM_write_X509(out, cert) != 1) throw std::runtime_error("cannot write " + files.certFile);
  fclose(out);
  out = fopen(files.keyFile.c_str(), "w");
  if (out == nullptr || PEM_write_PrivateKey(out, key, nullptr, nullptr, 0, nullptr, nullptr) != 1) {
    throw std::runtime_error("cannot write " + files.keyFile);
  }
  fclose(out);
  return files;
}

EVP_PKEY* NewKey() {
  EVP_PKEY* key = EVP_EC_gen("P-256");
  if (key == nullptr) throw std::runtime_error("key generation");
  return key;
}

}  // namespace

TestCa::TestCa(const std::string& dir, const std::string& stem) : dir_(dir) {
  EVP_PKEY* key = NewKey();
  X509* cert = MakeCert("KOV32 test root " + stem, key, nullptr, key, {}, -1, 365);
  key_ = key;
  cert_ = cert;
  root_ = Write(dir, stem, cert, key);
}

TestCa::~TestCa() {
  X509_free(static_cast<X509*>(cert_));
  EVP_PKEY_free(static_cast<EVP_PKEY*>(key_));
}

TestCert TestCa::Issue(const std::string& stem, const std::vector<std::string>& names, int fromDays, int toDays) const {
  EVP_PKEY* key = NewKey();
  X509* cert =
      MakeCert(names.at(0), key, static_cast<X509*>(cert_), static_cast<EVP_PKEY*>(key_), names, fromDays, toDays);
  TestCert files = Write(dir_, stem, cert, key);
  X509_free(cert);
  EVP_PKEY_free(key);
  return files;
}

TestCert SelfSigned(const std::string& dir, const std::string& stem, const std::vector<std::string>& names) {
  EVP_PKEY* key = NewKey();
  X509* cert = MakeCert(names.at(0), key, nullptr, key, names, -1, 30);
  TestCert files = Write(dir, stem, cert, key);
  X509_free(cert);
  EVP_PKEY_free(key);
  return files;
}
