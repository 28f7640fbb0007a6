// The mailbox server test of the autoresponder editor against scripted POP3 and IMAP4
// servers on loopback: the exact lines the operator sees and every byte sent. The IMAP4
// login is judged by its tagged completion, as the processor's session judges it.
#include "control/servers/MailboxServerCheck.h"
#include "mail/MemorySocket.h"
#include "mail/PosixSocket.h"
#include "tests/support/FakeServer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

namespace ar {
namespace {

using test::FakeServer;
using test::Script;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

constexpr const char* kPassword = "pa55 word";  // needs quoting in an IMAP4 LOGIN

struct Recorded {
  std::vector<std::string> lines;
  std::string trace;
};

struct Scenario {
  const char* name;
  const char* serverType;
  std::string password;
  std::function<Script()> script;
  std::vector<std::string> lines;  // "PORT" stands for the server's port
  bool keptOpen;                   // an IMAP4 login that waits for the logout
};
void PrintTo(const Scenario& s, std::ostream* os) { *os << s.name; }

Script& Pop3UpToPass(Script& s) {
  return s.Send("+OK Dovecot ready.\r\n")
      .Exchange("USER ann\r\n", "+OK\r\n")
      .Expect("PASS " + std::string(kPassword) + "\r\n");
}

Script& ImapUpToLogin(Script& s) {
  return s.Send("* OK [CAPABILITY IMAP4rev1 AUTH=PLAIN] Dovecot ready.\r\n").Expect("01 LOGIN ann \"pa55 word\"\r\n");
}

const std::vector<std::string> kPop3Start = {"Connecting to: 127.0.0.1:PORT", "Received: +OK Dovecot ready.",
                                             "Sending: USER ann", "Received: +OK", "Sending: PASS *****"};

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::vector<Scenario> Scenarios() {
  return {
      {"Pop3Success", "POP3", kPassword,
       [] {
         Script s;
         Pop3UpToPass(s).Send("+OK Logged in.\r\n").ExpectClosed();
         return s;
       },
       Concat(kPop3Start, {"Received: +OK Logged in.", "The connection was successful"}), false},
      {"Pop3UserRefusedSendsNoPassword",
       "POP3",
       kPassword,
       [] {
         Script s;
         s.Send("+OK Dovecot ready.\r\n").Exchange("USER ann\r\n", "-ERR no such user\r\n").ExpectClosed();
         return s;
       },
       {"Connecting to: 127.0.0.1:PORT", "Received: +OK Dovecot ready.", "Sending: USER ann",
        "Received: -ERR no such user", "The connection failed"},
       false},
      {"Pop3PasswordRefused", "pop3", kPassword,
       [] {
         Script s;
         Pop3UpToPass(s).Send("-ERR [AUTH] Authentication failed.\r\n").ExpectClosed();
         return s;
       },
       Concat(kPop3Start, {"Received: -ERR [AUTH] Authentication failed.", "The connection failed"}), false},
      {"Imap4LoginKeptUntilLogout",
       "IMAP4",
       kPassword,
       [] {
         Script s;
         ImapUpToLogin(s)
             .Send("01 OK [CAPABILITY IMAP4rev1 IDLE] Logged in\r\n")
             .Exchange("01 LOGOUT\r\n", "* BYE Logging out\r\n01 OK Logout completed (0.001 + 0.000 secs).\r\n")
             .ExpectClosed();
         return s;
       },
       {"Sending login information", "Successfully logged in"},
       true},
      {"Imap4LoginRefused",
       "IMAP4",
       kPassword,
       [] {
         Script s;
         ImapUpToLogin(s).Send("01 NO [AUTHENTICATIONFAILED] Authentication failed.\r\n").ExpectClosed();
         return s;
       },
       {"Sending login information", "Received: 01 NO [AUTHENTICATIONFAILED] Authentication failed.",
        "The connection failed"},
       false},
      {"Imap4LoginBad",
       "IMAP4",
       kPassword,
       [] {
         Script s;
         ImapUpToLogin(s)
             .Send("* BAD junk\r\n01 BAD Error in IMAP command LOGIN: Missing arguments\r\n")
             .ExpectClosed();
         return s;
       },
       {"Sending login information", "Received: 01 BAD Error in IMAP command LOGIN: Missing arguments",
        "The connection failed"},
       false},
      {"Imap4PasswordWithALineBreakIsNotSent",
       "IMAP4",
       "pa55\r\n02 DELETE INBOX",
       [] {
         Script s;
         s.Send("* OK ready\r\n").ExpectClosed();
         return s;
       },
       {"Error connecting to Server", "Reason: A user name or password holds a line break"},
       false},
      {"Imap4ConnectionDroppedBeforeTheAnswer",
       "IMAP4",
       kPassword,
       [] {
         Script s;
         ImapUpToLogin(s).Send("* OK still thinking\r\n").Drop();
         return s;
       },
       {"Sending login information", "Error connecting to Server", "Reason: Connection closed by 127.0.0.1 port PORT"},
       false},
  };
}

class MailboxServerCheckScenario : public ::testing::TestWithParam<Scenario> {};

TEST_P(MailboxServerCheckScenario, ListsTheDialogueAndSendsExactlyTheScript) {
  const Scenario& sc = GetParam();
  FakeServer server({sc.script()});
  PosixSocket socket(TlsOptions{true, ""});
  Recorded r;
  MailboxServerCheck test(socket, [&r](const std::string& m, bool) { r.trace += m + "\n"; });
  const bool open = test.Run({sc.serverType, server.Address(), "ann", sc.password, false},
                             [&r](const std::string& line) { r.lines.push_back(line); });

  std::vector<std::string> expected;
  for (std::string line : sc.lines) {
    if (auto at = line.find("PORT"); at != std::string::npos) line.replace(at, 4, std::to_string(server.Port()));
    expected.push_back(line);
  }
  EXPECT_THAT(r.lines, ElementsAreArray(expected));
  EXPECT_EQ(open, sc.keptOpen);
  EXPECT_EQ(socket.State(), sc.keptOpen ? SocketState::Connected : SocketState::Closed);
  test.Logout();
  EXPECT_EQ(socket.State(), SocketState::Closed);
  EXPECT_THAT(server.Finish(), IsEmpty());
  EXPECT_THAT(r.trace, Not(HasSubstr("pa55")));
}

INSTANTIATE_TEST_SUITE_P(Dialogue, MailboxServerCheckScenario, ::testing::ValuesIn(Scenarios()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MailboxServerCheckConnection, ARefusedConnectionListsTheErrorLine) {
  const std::string server = "127.0.0.1:" + std::to_string(test::UnusedLoopbackPort());
  for (const char* type : {"POP3", "IMAP4"}) {
    PosixSocket socket(TlsOptions{true, ""});
    std::vector<std::string> lines;
    std::string trace;
    MailboxServerCheck test(socket,
                           [&](const std::string& m, bool forced) { trace += m + (forced ? " (forced)" : ""); });
    test.Run({type, server, "ann", kPassword, false}, [&](const std::string& l) { lines.push_back(l); });
    const auto reason = ::testing::StartsWith("Reason: Could not connect to 127.0.0.1 port");
    if (std::string(type) == "POP3")
      EXPECT_THAT(lines, ElementsAre("Connecting to: " + server, "Error connecting to Server", reason));
    else
      EXPECT_THAT(lines, ElementsAre("Error connecting to Server", reason));
    EXPECT_THAT(trace, HasSubstr("frmTestPOPServer: Could not connect to 127.0.0.1 port"));
    EXPECT_THAT(trace, HasSubstr("(forced)"));
  }
}

TEST(MailboxServerCheckConnection, PortFromTheServerTextTheTypeAndTheTlsBox) {
  struct Case {
    const char* type;
    const char* server;
    bool tls;
    int port;
  } cases[] = {
      {"POP3", "mail.test", false, 110},
      {"POP3", "mail.test", true, 995},
      {"IMAP4", "mail.test", false, 143},
      {"IMAP4", "mail.test", true, 993},
      {"POP3", "mail.test:2110", true, 2110},
      {"IMAP4", "mail.test:x", false, 0},
      {"IMAP4", "mail.test:99999999999", true, 993},
  };
  for (const Case& c : cases) {
    MemorySocket socket;
    MailboxServerCheck test(socket, nullptr);
    test.Run({c.type, c.server, "ann", kPassword, c.tls}, [](const std::string&) {});
    ASSERT_EQ(socket.Connects().size(), 1u) << c.type << " " << c.server;
    EXPECT_EQ(socket.Connects()[0].host, "mail.test");
    EXPECT_EQ(socket.Connects()[0].port, c.port) << c.type << " " << c.server << (c.tls ? " with TLS" : "");
    EXPECT_EQ(socket.Connects()[0].security, c.tls ? SocketSecurity::TlsFromConnect : SocketSecurity::None);
    EXPECT_EQ(socket.TimeoutMs(), MailboxServerCheck::kTimeoutMs);
  }
}

TEST(MailboxServerCheckConnection, AnotherServerTypeTestsNothing) {
  MemorySocket socket;
  std::vector<std::string> lines;
  MailboxServerCheck test(socket, nullptr);
  EXPECT_FALSE(
      test.Run({"SMTP", "mail.test", "ann", kPassword, false}, [&](const std::string& l) { lines.push_back(l); }));
  EXPECT_THAT(lines, IsEmpty());
  EXPECT_THAT(socket.Connects(), IsEmpty());
}

}  // namespace
}  // namespace ar
