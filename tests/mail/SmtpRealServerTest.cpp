// The SMTP session against a real Postfix on loopback: one message in plain TCP with
// HELO, one over TLS from connect with AUTH LOGIN, both read back from the mailbox the
// server delivered them to; and a wrong password refused by the real server.
#include "mail/Base64.h"
#include "tests/support/RealSmtp.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ar {
namespace {

using ::testing::HasSubstr;

class RealSmtp : public test::RealSmtpTest {
 protected:
  static std::string Message(const std::string& subject, const std::string& body) {
    return "From: <sender@sender.test>\r\nTo: <box@rcpt.test>\r\nSubject: " + subject +
           "\r\nMIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b1\"\r\n\r\n--b1\r\n"
           "Content-Type: text/plain; charset=\"us-ascii\"\r\n\r\n" + body +
           "\r\n--b1\r\nContent-Type: application/octet-stream; name=\"data.bin\"\r\n"
           "Content-Transfer-Encoding: base64\r\n\r\n*****ATTACHMENT*****\r\n--b1--";
  }
};

TEST_F(RealSmtp, AcceptsPlainHeloAndTlsAuthLoginAndDeliversIntact) {
  std::string bytes;
  for (int i = 0; i < 163; ++i) bytes += static_cast<char>((i * 53 + 7) & 0xff);
  std::string file = Folder().File("data.bin");
  test::WriteWholeFile(file, bytes);

  std::string trace;
  ASSERT_TRUE(Deliver(PlainSettings(), "box@rcpt.test", Message("plain helo", "First.\r\n..dot line"), file, &trace))
      << trace << Server().Log();
  ASSERT_TRUE(Deliver(TlsSettings(), "box@rcpt.test", Message("tls auth", "Second."), file, &trace))
      << trace << Server().Log();
  EXPECT_THAT(trace, ::testing::Not(HasSubstr(Base64_encode(kPassword))));

  std::string box = Server().WaitForMailbox("box", 2);
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
  EXPECT_FALSE(Deliver(TlsSettings("wrong"), "refused@rcpt.test", "x", "", &trace, &authFailed));
  EXPECT_TRUE(authFailed) << trace;
  EXPECT_THAT(trace, HasSubstr("RECEIVE: 535"));
}

}  // namespace
}  // namespace ar
