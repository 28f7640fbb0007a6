#include "tests/support/TestCa.h"

#include <cstdio>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <stdexcept>

namespace ar::test {

namespace {

EVP_PKEY* NewKey() {
  EVP_PKEY* key = EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256");
  if (!key) throw std::runtime_error("test CA: key generation failed");
  return key;
}

void AddExtension(X509* cert, X509* issuer, int nid, const std::string& value) {
  X509V3_CTX ctx;
  X509V3_set_ctx_nodb(&ctx);
  X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
  X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str());
  if (!ext) throw std::runtime_error("test CA: bad extension " + value);
  X509_add_ext(cert, ext, -1);
  X509_EXTENSION_free(ext);
}

X509* NewCert(EVP_PKEY* key, const std::string& commonName, long serial) {
  X509* cert = X509_new();
  X509_set_version(cert, 2);
  ASN1_INTEGER_set(X509_get_serialNumber(cert), serial);
  X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
  X509_gmtime_adj(X509_getm_notAfter(cert), 60L * 60 * 24 * 30);
  X509_set_pubkey(cert, key);
  X509_NAME* name = X509_get_subject_name(cert);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8, reinterpret_cast<const unsigned char*>(commonName.c_str()), -1,
                             -1, 0);
  return cert;
}

void WritePem(const std::string& path, X509* cert, EVP_PKEY* key) {
  FILE* f = std::fopen(path.c_str(), "w");
  if (!f) throw std::runtime_error("test CA: cannot write " + path);
  bool ok = cert ? PEM_write_X509(f, cert) == 1 : PEM_write_PrivateKey(f, key, nullptr, nullptr, 0, nullptr, nullptr) == 1;
  std::fclose(f);
  if (!ok) throw std::runtime_error("test CA: cannot write " + path);
}

}  // namespace

TestCa::TestCa(const std::string& folder, const std::string& name)
    : folder_(folder), name_(name), caFile_(folder + "/" + name + "-ca.pem") {
  key_ = NewKey();
  cert_ = NewCert(key_, name + " Test CA", serial_++);
  X509_set_issuer_name(cert_, X509_get_subject_name(cert_));
  AddExtension(cert_, cert_, NID_basic_constraints, "critical,CA:TRUE");
  AddExtension(cert_, cert_, NID_key_usage, "critical,keyCertSign,cRLSign");
  AddExtension(cert_, cert_, NID_subject_key_identifier, "hash");
  if (X509_sign(cert_, key_, EVP_sha256()) <= 0) throw std::runtime_error("test CA: signing failed");
  WritePem(caFile_, cert_, nullptr);
}

TestCa::~TestCa() {
  X509_free(cert_);
  EVP_PKEY_free(key_);
}

ServerIdentity TestCa::IssueServer(const std::string& stem, const std::vector<std::string>& dnsNames,
                                   const std::vector<std::string>& ipAddresses) {
  EVP_PKEY* key = NewKey();
  X509* cert = NewCert(key, dnsNames.empty() ? stem : dnsNames.front(), serial_++);
  X509_set_issuer_name(cert, X509_get_subject_name(cert_));
  std::string san;
  for (const auto& d : dnsNames) san += (san.empty() ? "" : ",") + std::string("DNS:") + d;
  for (const auto& ip : ipAddresses) san += (san.empty() ? "" : ",") + std::string("IP:") + ip;
  AddExtension(cert, cert_, NID_basic_constraints, "critical,CA:FALSE");
  AddExtension(cert, cert_, NID_key_usage, "critical,digitalSignature,keyEncipherment");
  AddExtension(cert, cert_, NID_ext_key_usage, "serverAuth");
  AddExtension(cert, cert_, NID_authority_key_identifier, "keyid:always");
  if (!san.empty()) AddExtension(cert, cert_, NID_subject_alt_name, san);
  if (X509_sign(cert, key_, EVP_sha256()) <= 0) throw std::runtime_error("test CA: signing failed");
  ServerIdentity id{folder_ + "/" + name_ + "-" + stem + ".pem", folder_ + "/" + name_ + "-" + stem + ".key"};
  WritePem(id.certFile, cert, nullptr);
  WritePem(id.keyFile, nullptr, key);
  X509_free(cert);
  EVP_PKEY_free(key);
  return id;
}

}  // namespace ar::test
