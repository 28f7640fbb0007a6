#pragma once
// The real socket: POSIX TCP (IPv4 and IPv6 through getaddrinfo) with OpenSSL for TLS
// from the moment of connection. Every wait is a poll bounded by the time-out and, with
// a stop token, ended by a stop request.
//
// Certificates are verified against the system trust store, with SNI: a host name must
// be among the certificate's DNS names, an address literal ("192.0.2.1", "::1") among
// its IP addresses. AUTORESPONDER_CA_FILE names an extra trusted CA file (PEM); AUTORESPONDER_TLS_VERIFY=0
// switches verification off for servers with self-signed certificates.
#include "mail/Socket.h"

#include <chrono>
#include <string>

typedef struct ssl_st SSL;
typedef struct ssl_ctx_st SSL_CTX;

namespace ar {

struct TlsOptions {
  bool verify = true;
  std::string extraCaFile;  // empty: the system trust store only
  // The settings of the process environment, read when the socket is made.
  static TlsOptions FromEnvironment();
};

class PosixSocket final : public Socket {
 public:
  PosixSocket() : PosixSocket(TlsOptions::FromEnvironment()) {}
  explicit PosixSocket(TlsOptions tls);
  ~PosixSocket() override;
  PosixSocket(const PosixSocket&) = delete;
  PosixSocket& operator=(const PosixSocket&) = delete;


  void Connect(const std::string& host, int port) override;
  void Send(std::string_view text) override;
  std::string ReadLine() override;
  std::string ReadUntil(std::string_view terminator) override;
  void Close() override;
  void Abort() override;

 private:
  using Deadline = std::chrono::steady_clock::time_point;
  // wholeReadDeadline: the time-out bounds the whole read, else each wait for bytes.
  std::string ReadTo(std::string_view terminator, std::size_t limit, bool wholeReadDeadline);
  void Fill(Deadline deadline);
  void WaitFor(short events, const char* what, Deadline deadline);
  void StartTls(const std::string& host);
  [[noreturn]] void Lost(const std::string& description);
  void Release(bool hard);

  TlsOptions tls_;
  int fd_ = -1;
  SSL_CTX* ctx_ = nullptr;
  SSL* ssl_ = nullptr;
  std::string buffer_;
  std::string peer_;  // "host port N" for error texts
};

}  // namespace ar
