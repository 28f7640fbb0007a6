// The SMTP session against a real Postfix on loopback: one message in plain TCP with
// HELO, one over TLS from connect with AUTH LOGIN, both read back from the mailbox the
// server delivered them to; and a wrong password refused by the real server.
#include "mail/Base64.h"
#include "mail/SmtpSession.h"
#include "mail/SocketPosix.h"
#include "tests/support/RealSmtp.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestCa.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

namespace ar {
namespace {

using ::testing::HasSubstr;

constexpr const char* kUser = "ann@mail.test";
constexpr const char* kPassword = "pa55word!";

class RealSmtp : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (std::string why = test::RealSmtpServer::Unavailable(); !why.empty()) {
      skip_ = why;
      return;
    }
    folder_ = new test::TempFolder;
    ca_ = new test::TestCa(folder_->Path(), "real");
    server_ = new test::RealSmtpServer(folder_->Path(), ca_->IssueLoopbackServer(), kUser, kPassword);
  }
  static void TearDownTestSuite() {
    delete server_;
    delete ca_;
    delete folder_;
    server_ = nullptr;
  }
  void SetUp() override {
    if (!skip_.empty()) GTEST_SKIP() << skip_;
  }

  // One session as the processor runs it; false when any step failed.
  static bool Deliver(const SmtpSettings& settings, const std::string& recipient, const std::string& message,
                      const std::string& attachment, std::string* trace, bool* authFailed = nullptr) {
    PosixSocket socket(TlsOptions{true, ca_->CaFile()});
    SmtpSession session(socket, [trace](const std::string& m, bool) { *trace += m + "\n"; });
    bool flag = false;
    if (session.SMTPConnect(settings, flag)) {
      if (authFailed) *authFailed = flag;
      return false;
    }
    bool ok = !session.SMTPSend("MAIL FROM: <sender@sender.test>\r\n") && !session.SMTPReceive() &&
              !session.SMTPSend("RCPT TO: <" + recipient + ">\r\n") && !session.SMTPReceive() &&
              !session.SMTPSend("DATA\r\n") && !session.SMTPReceive() &&
              !session.SMTPSend(message + "\r\n.\r\n", attachment) && !session.SMTPReceive();
    session.SMTPQuit();
    return ok;
  }

  static std::string Message(const std::string& subject, const std::string& body) {
    return "From: <sender@sender.test>\r\nTo: <box@rcpt.test>\r\nSubject: " + subject +
           "\r\nMIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b1\"\r\n\r\n--b1\r\n"
           "Content-Type: text/plain; charset=\"us-ascii\"\r\n\r\n" + body +
           "\r\n--b1\r\nContent-Type: application/octet-stream; name=\"data.bin\"\r\n"
           "Content-Transfer-Encoding: base64\r\n\r\n*****ATTACHMENT*****\r\n--b1--";
  }

  static inline std::string skip_;
  static inline test::TempFolder* folder_ = nullptr;
  static inline test::TestCa* ca_ = nullptr;
  static inline test::RealSmtpServer* server_ = nullptr;
};

TEST_F(RealSmtp, AcceptsPlainHeloAndTlsAuthLoginAndDeliversIntact) {
  std::string bytes;
  for (int i = 0; i < 163; ++i) bytes += static_cast<char>((i * 53 + 7) & 0xff);
  std::string file = folder_->File("data.bin");
  test::WriteWholeFile(file, bytes);

  std::string trace;
  ASSERT_TRUE(Deliver({"127.0.0.1:" + std::to_string(server_->PlainPort()), "", "", false, "client.test"},
                      "box@rcpt.test", Message("plain helo", "First.\r\n..dot line"), file, &trace))
      << trace << server_->Log();
  ASSERT_TRUE(Deliver({"localhost:" + std::to_string(server_->TlsPort()), kUser, kPassword, true, "client.test"},
                      "box@rcpt.test", Message("tls auth", "Second."), file, &trace))
      << trace << server_->Log();
  EXPECT_THAT(trace, ::testing::Not(HasSubstr(Base64_encode(kPassword))));

  std::string box = server_->WaitForMailbox(2);
  // mbox lines end in LF; the message texts come back with the dots of the wire removed.
  std::string base64 = EncodeFileBase64(file);
  std::string lfBase64;
  for (char c : base64)
    if (c != '\r') lfBase64 += c;
  EXPECT_THAT(box, HasSubstr("Subject: plain helo\n"));
  EXPECT_THAT(box, HasSubstr("\n\nFirst.\n.dot line\n--b1\n"));
  EXPECT_THAT(box, HasSubstr("Subject: tls auth\n"));
  EXPECT_THAT(box, HasSubstr("\n\nSecond.\n--b1\n"));
  // The HELO name, and the TLS session authenticated (ESMTPSA) while the plain one is not.
  EXPECT_THAT(box, HasSubstr("Received: from client.test (localhost [127.0.0.1])\n\tby realsmtp.test (Postfix) with SMTP id"));
  EXPECT_THAT(box, HasSubstr("Received: from client.test (localhost [127.0.0.1])\n\tby realsmtp.test (Postfix) with ESMTPSA id"));
  std::size_t first = box.find("\n\n" + lfBase64 + "\n--b1--");
  ASSERT_NE(first, std::string::npos) << box;
  EXPECT_NE(box.find("\n\n" + lfBase64 + "\n--b1--", first + 1), std::string::npos) << box;
}

TEST_F(RealSmtp, WrongPasswordSetsTheAuthenticationFlag) {
  std::string trace;
  bool authFailed = false;
  EXPECT_FALSE(Deliver({"127.0.0.1:" + std::to_string(server_->TlsPort()), kUser, "wrong", true, "client.test"},
                       "box@rcpt.test", "x", "", &trace, &authFailed));
  EXPECT_TRUE(authFailed) << trace;
  EXPECT_THAT(trace, HasSubstr("RECEIVE: 535"));
}

}  // namespace
}  // namespace ar
