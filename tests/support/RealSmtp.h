#pragma once
// A real mail server for tests: a private Postfix instance on two loopback ports (plain
// SMTP, and SMTP over TLS from connect with AUTH LOGIN through Dovecot's authentication
// service), delivering every message for the domain "rcpt.test" into one mbox file of
// its folder. Everything it starts is stopped when the object goes.
#include "tests/support/TestCa.h"

#include <chrono>
#include <string>

namespace ar::test {

class RealSmtpServer {
 public:
  // Empty when the server can be started here; otherwise why not (the test then skips).
  static std::string Unavailable();

  // folder must be reachable by the postfix user; user and password are the one account
  // AUTH LOGIN accepts (the password must not hold ':').
  RealSmtpServer(const std::string& folder, const ServerIdentity& tls, const std::string& user,
                 const std::string& password);
  ~RealSmtpServer();
  RealSmtpServer(const RealSmtpServer&) = delete;
  RealSmtpServer& operator=(const RealSmtpServer&) = delete;

  int PlainPort() const { return plainPort_; }
  int TlsPort() const { return tlsPort_; }

  // The mbox text once it holds the given number of messages; throws after the limit.
  std::string WaitForMailbox(int messages, std::chrono::seconds limit = std::chrono::seconds(30)) const;
  // The server's log, for failure messages.
  std::string Log() const;

 private:
  void Stop();

  std::string folder_;
  int plainPort_ = 0;
  int tlsPort_ = 0;
  int dovecotPid_ = -1;
  bool postfixStarted_ = false;
};

}  // namespace ar::test
