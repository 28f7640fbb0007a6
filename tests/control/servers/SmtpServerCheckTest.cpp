// The SMTP server test of the configuration window against scripted servers on loopback:
// the exact lines the operator sees, every byte sent, and what reaches the trace.
#include "control/servers/SmtpServerCheck.h"
#include "mail/Base64.h"
#include "mail/MemorySocket.h"
#include "mail/PosixSocket.h"
#include "tests/support/FakeServer.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestCa.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <optional>

namespace ar {
namespace {

using test::FakeServer;
using test::Script;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr const char* kUser = "ann@mail.test";
constexpr const char* kPassword = "pa55word!";

struct Recorded {
  std::vector<std::string> lines;
  std::vector<std::pair<std::string, bool>> trace;
  std::string Trace() const {
    std::string all;
    for (const auto& [text, forced] : trace) all += text + (forced ? " (forced)\n" : "\n");
    return all;
  }
};

bool RunTest(Socket& socket, const SmtpSettings& settings, Recorded& r) {
  SmtpServerCheck test(socket, [&r](const std::string& m, bool forced) { r.trace.emplace_back(m, forced); });
  return test.Run(settings, [&r](const std::string& line) { r.lines.push_back(line); });
}

Script& Greeting(Script& s) { return s.Send("220-fake.test ESMTP\r\n220 ready\r\n"); }

Script& AuthUpToPassword(Script& s) {
  return Greeting(s)
      .Exchange("EHLO client.test\r\n", "250-fake.test\r\n250 AUTH LOGIN PLAIN\r\n")
      .Exchange("AUTH LOGIN\r\n", "334 VXNlcm5hbWU6\r\n")
      .Exchange(Base64_encode(kUser) + "\r\n", "334 UGFzc3dvcmQ6\r\n")
      .Expect(Base64_encode(kPassword) + "\r\n");
}

const std::vector<std::string> kAuthLines = {"Received: 220-fake.test ESMTP", "Received: 220 ready",
                                             "***Using SMTP authentication",  "Sending: EHLO client.test",
                                             "Received: 250-fake.test",       "Received: 250 AUTH LOGIN PLAIN",
                                             "Received: 334 VXNlcm5hbWU6",    "Received: 334 UGFzc3dvcmQ6"};

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

struct Scenario {
  const char* name;
  bool authenticate;
  std::function<Script()> script;
  std::vector<std::string> lines;  // after "Connecting to: "
  bool success;
};
void PrintTo(const Scenario& s, std::ostream* os) { *os << s.name; }

std::vector<Scenario> Scenarios() {
  return {
      {"HeloWithoutUserName",
       false,
       [] {
         Script s;
         Greeting(s).Exchange("HELO client.test\r\n", "250 fake.test\r\n").ExpectClosed();
         return s;
       },
       {"Received: 220-fake.test ESMTP", "Received: 220 ready", "***No authentication specified",
        "Sending: HELO client.test", "Received: 250 fake.test", "Connection was successful"},
       true},
      {"AuthLoginToSuccess", true,
       [] {
         Script s;
         AuthUpToPassword(s).Send("235 2.7.0 Authentication successful\r\n").ExpectClosed();
         return s;
       },
       Concat(kAuthLines, {"Received: 235 2.7.0 Authentication successful", "Connection was successful"}), true},
      {"WrongPassword", true,
       [] {
         Script s;
         AuthUpToPassword(s)
             .Send("535 5.7.8 Error: authentication failed\r\n")
             .Exchange("RSET\r\n", "250 2.0.0 Ok\r\n")
             .ExpectClosed();
         return s;
       },
       Concat(kAuthLines, {"Received: 535 5.7.8 Error: authentication failed", "Error detected"}), false},
      {"AuthLoginRefused",
       true,
       [] {
         Script s;
         Greeting(s)
             .Exchange("EHLO client.test\r\n", "250 fake.test\r\n")
             .Exchange("AUTH LOGIN\r\n", "504 5.5.4 mechanism not available\r\n")
             .Exchange("RSET\r\n", "250 Ok\r\n")
             .ExpectClosed();
         return s;
       },
       {"Received: 220-fake.test ESMTP", "Received: 220 ready", "***Using SMTP authentication",
        "Sending: EHLO client.test", "Received: 250 fake.test", "Received: 504 5.5.4 mechanism not available",
        "Error detected"},
       false},
      {"RefusedGreeting",
       false,
       [] {
         Script s;
         s.Send("554 5.7.1 no service for you\r\n").ExpectClosed();
         return s;
       },
       {"Received: 554 5.7.1 no service for you", "Error detected"},
       false},
      {"HeloRefused",
       false,
       [] {
         Script s;
         Greeting(s)
             .Exchange("HELO client.test\r\n", "421 4.7.0 try again later\r\n")
             .Exchange("RSET\r\n", "421 4.7.0 closing\r\n")
             .ExpectClosed();
         return s;
       },
       {"Received: 220-fake.test ESMTP", "Received: 220 ready", "***No authentication specified",
        "Sending: HELO client.test", "Received: 421 4.7.0 try again later", "Error detected"},
       false},
      {"ConnectionDroppedInTheDialogue",
       false,
       [] {
         Script s;
         Greeting(s).Expect("HELO client.test\r\n").Drop();
         return s;
       },
       {"Received: 220-fake.test ESMTP", "Received: 220 ready", "***No authentication specified",
        "Sending: HELO client.test", "Error connecting to SMTP Server", "Reason: Connection closed by 127.0.0.1 port PORT"},
       false},
  };
}

class SmtpServerCheckScenario : public ::testing::TestWithParam<Scenario> {};

TEST_P(SmtpServerCheckScenario, ListsTheDialogueAndSendsExactlyTheScript) {
  const Scenario& sc = GetParam();
  FakeServer server({sc.script()});
  PosixSocket socket(TlsOptions{true, ""});
  Recorded r;
  const SmtpSettings settings{server.Address(), sc.authenticate ? kUser : "", sc.authenticate ? kPassword : "", false,
                              "client.test"};

  EXPECT_EQ(RunTest(socket, settings, r), sc.success);
  std::vector<std::string> expected = Concat({"Connecting to: " + server.Address()}, sc.lines);
  for (std::string& line : expected)
    if (auto at = line.find("PORT"); at != std::string::npos) line.replace(at, 4, std::to_string(server.Port()));
  EXPECT_THAT(r.lines, ElementsAreArray(expected));
  EXPECT_EQ(socket.State(), SocketState::Closed);
  EXPECT_THAT(server.Finish(), ::testing::IsEmpty());
  // The credentials never reach the trace, in clear or in base64.
  for (const std::string& secret : {std::string(kPassword), Base64_encode(kPassword), Base64_encode(kUser)})
    EXPECT_THAT(r.Trace(), Not(HasSubstr(secret)));
}

INSTANTIATE_TEST_SUITE_P(Dialogue, SmtpServerCheckScenario, ::testing::ValuesIn(Scenarios()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SmtpServerCheckTrace, CommandsAreTracedAndTheCredentialLinesHidden) {
  FakeServer server({[] {
    Script s;
    AuthUpToPassword(s).Send("235 ok\r\n").ExpectClosed();
    return s;
  }()});
  PosixSocket socket(TlsOptions{true, ""});
  Recorded r;
  RunTest(socket, {server.Address(), kUser, kPassword, false, "client.test"}, r);
  EXPECT_EQ(r.Trace(), "SENDING: EHLO client.test\nSENDING: AUTH LOGIN\nSENDING: <HIDDEN>\nSENDING: <HIDDEN>\n");
  EXPECT_THAT(server.Finish(), ::testing::IsEmpty());
}

TEST(SmtpServerCheckConnection, ARefusedConnectionListsTheErrorLineAndTracesTheReason) {
  const int port = test::UnusedLoopbackPort();
  PosixSocket socket(TlsOptions{true, ""});
  Recorded r;
  const std::string server = "127.0.0.1:" + std::to_string(port);
  EXPECT_FALSE(RunTest(socket, {server, "", "", false, "client.test"}, r));
  EXPECT_THAT(r.lines, ElementsAre("Connecting to: " + server, "Error connecting to SMTP Server",
                                   ::testing::StartsWith("Reason: Could not connect to 127.0.0.1 port")));
  ASSERT_EQ(r.trace.size(), 1u);
  EXPECT_THAT(r.trace[0].first, HasSubstr("frmTestSMTPServer: Could not connect to 127.0.0.1 port"));
  EXPECT_TRUE(r.trace[0].second);
}

// TLS from connect, with the certificate verified as everywhere else.
TEST(SmtpServerCheckConnection, TlsFromConnectVerifiesTheCertificate) {
  test::TempFolder folder;
  test::TestCa trusted(folder.Path(), "trusted");
  test::TestCa stranger(folder.Path(), "stranger");
  for (test::TestCa* ca : {&trusted, &stranger}) {
    const test::ServerIdentity id = ca->IssueLoopbackServer();
    Script s;
    if (ca == &trusted)
      Greeting(s).Exchange("HELO client.test\r\n", "250 fake.test\r\n").ExpectClosed();
    else
      s.HandshakeRefused();
    FakeServer server({s}, test::FakeServerTls{id.certFile, id.keyFile});
    PosixSocket socket(TlsOptions{true, trusted.CaFile()});
    Recorded r;
    EXPECT_EQ(RunTest(socket, {"localhost:" + std::to_string(server.Port()), "", "", true, "client.test"}, r),
              ca == &trusted);
    if (ca == &trusted) {
      EXPECT_EQ(r.lines.back(), "Connection was successful");
    } else {
      // The operator sees why, as the trace has it.
      ASSERT_GE(r.lines.size(), 2u);
      EXPECT_EQ(r.lines[r.lines.size() - 2], "Error connecting to SMTP Server");
      EXPECT_THAT(r.lines.back(), ::testing::StartsWith("Reason: TLS handshake with localhost port"));
      EXPECT_THAT(r.lines.back(), HasSubstr("certificate not trusted"));
    }
    EXPECT_THAT(server.Finish(), ::testing::IsEmpty());
  }
}

TEST(SmtpServerCheckConnection, PortFromTheServerTextAndTheTlsBox) {
  struct Case {
    const char* server;
    bool tls;
    const char* host;
    int port;
  } cases[] = {
      {"mail.test", false, "mail.test", 25},
      {"mail.test", true, "mail.test", 465},
      {"mail.test:587", false, "mail.test", 587},
      {"mail.test:587", true, "mail.test", 587},
      {"mail.test:99999999999", true, "mail.test", 465},
      {"mail.test:99999999999", false, "mail.test", 25},
  };
  for (const Case& c : cases) {
    MemorySocket socket;
    Recorded r;
    RunTest(socket, {c.server, "", "", c.tls, "client.test"}, r);
    ASSERT_EQ(socket.Connects().size(), 1u) << c.server;
    EXPECT_EQ(socket.Connects()[0].host, c.host);
    EXPECT_EQ(socket.Connects()[0].port, c.port) << c.server << (c.tls ? " with TLS" : "");
    EXPECT_EQ(socket.Connects()[0].security, c.tls ? SocketSecurity::TlsFromConnect : SocketSecurity::None);
    EXPECT_EQ(socket.TimeoutMs(), SmtpServerCheck::kTimeoutMs);
  }
}

TEST(SmtpServerCheckHelo, TheFieldThenTheComputerNameThenTheTestsOwnWord) {
  struct Case {
    const char* field;
    std::optional<std::string> computer;
    const char* sent;
  } cases[] = {{"client.test", std::string("box7"), "HELO client.test\r\n"},
               {"", std::string("box7"), "HELO box7\r\n"},
               {"", std::nullopt, "HELO VARNEL\r\n"}};
  for (const Case& c : cases) {
    MemorySocket socket;
    socket.onConnect = [](MemorySocket& s) { s.Deliver("220 memory\r\n"); };
    socket.onSend = [](MemorySocket& s, std::string_view) { s.Deliver("250 ok\r\n"); };
    SmtpServerCheck test(socket, nullptr);
    test.SetComputerNameSource([&] { return c.computer; });
    EXPECT_TRUE(test.Run({"mail.test", "", "", false, c.field}, [](const std::string&) {}));
    EXPECT_EQ(socket.Sent(), c.sent);
  }
}

}  // namespace
}  // namespace ar
