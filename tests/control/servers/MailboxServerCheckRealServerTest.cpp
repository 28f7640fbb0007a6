// The mailbox server test against a real Dovecot on loopback: POP3 plain and IMAP4 over
// TLS from connect (certificate verified against a CA made for the test) log in; a wrong
// password is refused with the server's own tagged answer.
#include "control/servers/MailboxServerCheck.h"
#include "mail/PosixSocket.h"
#include "tests/support/RealDovecot.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestCa.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ar {
namespace {

using ::testing::ElementsAre;
using ::testing::StartsWith;

constexpr const char* kUser = "list";
constexpr const char* kPassword = "s3cret pass\"word";  // needs quoting in an IMAP4 LOGIN

TEST(MailboxServerCheckRealServer, LogsInOverPop3AndImap4AndReportsAWrongPassword) {
  if (const std::string why = test::RealDovecot::Unavailable(); !why.empty()) GTEST_SKIP() << why;
  test::TempFolder folder;
  test::TestCa ca(folder.Path(), "servertest");
  test::RealDovecot server(folder.Path(), ca.IssueLoopbackServer(), kUser, kPassword);

  auto run = [&](const char* type, int port, bool tls, const char* password, bool logOut) {
    PosixSocket socket(TlsOptions{true, ca.CaFile()});
    MailboxServerCheck test(socket, nullptr);
    std::vector<std::string> lines;
    test.Run({type, "localhost:" + std::to_string(port), kUser, password, tls},
             [&](const std::string& line) { lines.push_back(line); });
    if (logOut) test.Logout();
    EXPECT_EQ(socket.State(), SocketState::Closed);
    return lines;
  };

  const std::vector<std::string> pop3 = run("POP3", server.Pop3Port(), false, kPassword, false);
  ASSERT_FALSE(pop3.empty());
  EXPECT_EQ(pop3.back(), "The connection was successful") << server.Log();

  EXPECT_THAT(run("IMAP4", server.Imap4TlsPort(), true, kPassword, true),
              ElementsAre("Sending login information", "Successfully logged in"))
      << server.Log();

  EXPECT_THAT(run("IMAP4", server.Imap4Port(), false, "wrong", false),
              ElementsAre("Sending login information", StartsWith("Received: 01 NO "), "The connection failed"));
  EXPECT_TRUE(server.Stop().empty()) << server.Log();
}

}  // namespace
}  // namespace ar
