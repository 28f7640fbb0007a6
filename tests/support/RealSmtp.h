#pragma once
// A real mail server for tests: a private Postfix instance on two loopback ports (plain
// SMTP, and SMTP over TLS from connect with AUTH LOGIN through Dovecot's authentication
// service), delivering every message for the domain "rcpt.test" into one mbox file of its
// folder; tests that share the server keep their messages apart by recipient. Everything
// it starts is stopped when the object goes.
//
// RealSmtpTest is the fixture of the test suites that deliver through it.
#include "mail/SmtpSession.h"
#include "tests/support/ServerProcess.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestCa.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

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

  // The mbox text of the messages delivered to box@rcpt.test, once there are at least
  // the given number of them; throws after the limit.
  std::string WaitForMailbox(const std::string& box, int messages,
                             std::chrono::seconds limit = std::chrono::seconds(30)) const;
  // The server's log, for failure messages.
  std::string Log() const;

 private:
  void Stop();

  std::string folder_;
  int plainPort_ = 0;
  int tlsPort_ = 0;
  DovecotProcess dovecot_;
  bool postfixStarted_ = false;
};

// The messages of an mbox text as they were handed to the server: the envelope "From "
// line and the separating empty line removed, lines ending in CR LF again.
std::vector<std::string> MailboxMessages(const std::string& mbox);

// One server for the whole suite, started before its first test and stopped after its
// last; every test skips when the server cannot run here.
class RealSmtpTest : public ::testing::Test {
 protected:
  static constexpr const char* kUser = "ann@mail.test";
  static constexpr const char* kPassword = "pa55word!";
  static constexpr const char* kHeloName = "client.test";

  static void SetUpTestSuite();
  static void TearDownTestSuite();
  void SetUp() override;

  static RealSmtpServer& Server() { return *server_; }
  static const TempFolder& Folder() { return *folder_; }
  // Plain TCP with HELO, and TLS from connect with EHLO and AUTH LOGIN as kUser.
  static SmtpSettings PlainSettings();
  static SmtpSettings TlsSettings(const std::string& password = kPassword);

  // One session as the processor runs it (connect, MAIL FROM, RCPT TO, DATA, the message
  // with the attachment streamed at the marker and the closing ".", QUIT); false when any
  // step failed. The session's trace lines are appended to trace.
  static bool Deliver(const SmtpSettings& settings, const std::string& recipient, const std::string& message,
                      const std::string& attachment, std::string* trace, bool* authFailed = nullptr);

 private:
  static inline std::string skip_;
  static inline TempFolder* folder_ = nullptr;
  static inline TestCa* ca_ = nullptr;
  static inline RealSmtpServer* server_ = nullptr;
};

}  // namespace ar::test
