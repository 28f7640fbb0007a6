#pragma once
// A certificate authority made at test time, and server identities it signs, written as
// PEM files into a folder, for TLS tests on loopback.
#include <string>
#include <vector>

typedef struct evp_pkey_st EVP_PKEY;
typedef struct x509_st X509;

namespace ar::test {

struct ServerIdentity {
  std::string certFile;  // the server certificate (PEM)
  std::string keyFile;   // its private key (PEM, unencrypted)
};

class TestCa {
 public:
  // Makes the CA key and certificate and writes the certificate to folder/<name>-ca.pem.
  TestCa(const std::string& folder, const std::string& name);
  ~TestCa();
  TestCa(const TestCa&) = delete;
  TestCa& operator=(const TestCa&) = delete;

  const std::string& CaFile() const { return caFile_; }

  // A server certificate signed by this CA for the given DNS names and IP addresses.
  ServerIdentity IssueServer(const std::string& stem, const std::vector<std::string>& dnsNames,
                             const std::vector<std::string>& ipAddresses);
  // The usual one: localhost, 127.0.0.1 and ::1.
  ServerIdentity IssueLoopbackServer() { return IssueServer("loopback", {"localhost"}, {"127.0.0.1", "::1"}); }

 private:
  std::string folder_;
  std::string name_;
  std::string caFile_;
  EVP_PKEY* key_ = nullptr;
  X509* cert_ = nullptr;
  long serial_ = 1;
};

}  // namespace ar::test
