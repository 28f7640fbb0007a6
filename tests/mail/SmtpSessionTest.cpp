// The SMTP session against a scripted server on loopback: every byte the client sends is
// checked, and the trace lines and results of each scenario are compared.
#include "mail/Base64.h"
#include "mail/MemorySocket.h"
#include "mail/PosixSocket.h"
#include "mail/SmtpSession.h"
#include "tests/support/FakeServer.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestCa.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>

namespace ar {
namespace {

using test::FakeServer;
using test::Script;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::StartsWith;

struct TraceLine {
  std::string text;
  bool forced;
};

struct Recorder {
  std::vector<TraceLine> lines;
  TraceFunction Function() {
    return [this](const std::string& m, bool f) { lines.push_back({m, f}); };
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> out;
    for (const auto& l : lines) out.push_back(l.text);
    return out;
  }
  std::string All() const {
    std::string out;
    for (const auto& l : lines) out += l.text + "\n";
    return out;
  }
};

// What the processor does with a session: connect, run the transaction until a step
// fails, quit.
struct Outcome {
  bool connectFailed = false;
  bool authFailed = false;
  int stepsDone = 0;  // commands of the transaction whose send and reply were good
};

constexpr const char* kMessage = "Subject: hi\r\n\r\nHello.";

Outcome RunSession(SmtpSession& session, const SmtpSettings& settings) {
  Outcome o;
  o.connectFailed = session.SMTPConnect(settings, o.authFailed);
  if (o.connectFailed) return o;
  const std::string commands[] = {"MAIL FROM: <from@sender.test>\r\n", "RCPT TO: <to@rcpt.test>\r\n", "DATA\r\n",
                                  std::string(kMessage) + "\r\n.\r\n"};
  for (const auto& c : commands) {
    if (session.SMTPSend(c) || session.SMTPReceive()) break;
    ++o.stepsDone;
  }
  session.SMTPQuit();
  return o;
}

// The good transaction after the introduction, as the server sees it.
Script& Transaction(Script& s) {
  return s.Exchange("MAIL FROM: <from@sender.test>\r\n", "250 2.1.0 ok\r\n")
      .Exchange("RCPT TO: <to@rcpt.test>\r\n", "250 2.1.5 ok\r\n")
      .Exchange("DATA\r\n", "354 go ahead\r\n")
      .Exchange(std::string(kMessage) + "\r\n.\r\n", "250 2.0.0 queued\r\n")
      .Exchange("QUIT\r\n", "221 2.0.0 bye\r\n")
      .ExpectClosed();
}

constexpr const char* kUser = "ann@mail.test";
constexpr const char* kPassword = "pa55:word!";
// base64 of the two above
constexpr const char* kUser64 = "YW5uQG1haWwudGVzdA==";
constexpr const char* kPassword64 = "cGE1NTp3b3JkIQ==";

Script AuthIntroduction() {
  Script s;
  s.Send("220 fake.test ESMTP\r\n")
      .Exchange("EHLO client.test\r\n", "250-fake.test\r\n250-AUTH LOGIN PLAIN\r\n250 8BITMIME\r\n")
      .Exchange("AUTH LOGIN\r\n", "334 VXNlcm5hbWU6\r\n")
      .Exchange(std::string(kUser64) + "\r\n", "334 UGFzc3dvcmQ6\r\n");
  return s;
}

enum class Tls { Off, Trusted, Untrusted, WrongName };

struct Scenario {
  const char* name;
  bool authenticate;
  Tls tls;
  std::function<std::vector<Script>()> scripts;
  Outcome expected;
  // Every trace line, in order, with "PORT" standing for the server's port; empty: not
  // compared as a whole.
  std::vector<std::string> traces;
  const char* forcedTracePrefix;  // a forced line that must be there, or nullptr
  SocketState finalState;
  const char* host = "127.0.0.1";
};

void PrintTo(const Scenario& s, std::ostream* os) { *os << s.name; }

std::vector<Scenario> Scenarios() {
  std::vector<Scenario> list;
  list.push_back({"HeloPath", false, Tls::Off,
                  [] {
                    Script s;
                    s.Send("220 fake.test ESMTP\r\n").Exchange("HELO client.test\r\n", "250 fake.test\r\n");
                    return std::vector<Script>{Transaction(s)};
                  },
                  {false, false, 4},
                  {"CONNECT REQUESTED: 127.0.0.1:PORT", "CONNECT RESPONSE: 220 fake.test ESMTP\r\n", "SEND HELO",
                   "SENDING: MAIL FROM: <from@sender.test>\r\n", "RECEIVE: 250 2.1.0 ok\r\n",
                   "SENDING: RCPT TO: <to@rcpt.test>\r\n", "RECEIVE: 250 2.1.5 ok\r\n", "SENDING: DATA\r\n",
                   "RECEIVE: 354 go ahead\r\n", "SENDING: " + std::string(kMessage) + "\r\n.\r\n",
                   "RECEIVE: 250 2.0.0 queued\r\n", "CLOSE RESPONSE: 221 2.0.0 bye\r\n"},
                  nullptr,
                  SocketState::Closed});
  list.push_back({"HeloReplyWithContinuationTracedFromSecondLine", false, Tls::Off,
                  [] {
                    Script s;
                    s.Send("220-fake.test\r\n220 ESMTP\r\n")
                        .Exchange("HELO client.test\r\n", "250-fake.test\r\n250 SIZE\r\n")
                        .Exchange("MAIL FROM: <from@sender.test>\r\n", "452 4.3.1 full\r\n")
                        .Exchange("RSET\r\n", "250 ok\r\n")
                        .Exchange("QUIT\r\n", "221-bye\r\n221 now\r\n")
                        .ExpectClosed();
                    return std::vector<Script>{s};
                  },
                  {false, false, 0},
                  {"CONNECT REQUESTED: 127.0.0.1:PORT", "CONNECT RESPONSE: 220-fake.test\r\n",
                   "CONNECT RESPONSE: 220 ESMTP\r\n", "SEND HELO", "HELO RECEIVE: 250 SIZE\r\n",
                   "SENDING: MAIL FROM: <from@sender.test>\r\n", "RECEIVE: 452 4.3.1 full\r\n",
                   "ERROR RESPONSE: 452 4.3.1 full", "CLOSE RESPONSE: 221-bye\r\n", "CLOSE RESPONSE: 221 now\r\n"},
                  nullptr,
                  SocketState::Closed});
  list.push_back({"EhloAuthLoginPath", true, Tls::Off,
                  [] {
                    Script s = AuthIntroduction();
                    s.Exchange(std::string(kPassword64) + "\r\n", "235 2.7.0 accepted\r\n");
                    return std::vector<Script>{Transaction(s)};
                  },
                  {false, false, 4},
                  {"CONNECT REQUESTED: 127.0.0.1:PORT", "CONNECT RESPONSE: 220 fake.test ESMTP\r\n",
                   "EHLO client.test\r\n", "SENDING: EHLO client.test\r\n", "RECEIVE: 250-fake.test\r\n",
                   "RECEIVE: 250-AUTH LOGIN PLAIN\r\n", "RECEIVE: 250 8BITMIME\r\n", "AUTH LOGIN\r\n",
                   "SENDING: AUTH LOGIN\r\n", "RECEIVE: 334 VXNlcm5hbWU6\r\n", std::string(kUser64) + "\r\n",
                   "SENDING: " + std::string(kUser64) + "\r\n", "RECEIVE: 334 UGFzc3dvcmQ6\r\n", "********\r\n",
                   "SENDING: ********\r\n", "RECEIVE: 235 2.7.0 accepted\r\n",
                   "SENDING: MAIL FROM: <from@sender.test>\r\n", "RECEIVE: 250 2.1.0 ok\r\n",
                   "SENDING: RCPT TO: <to@rcpt.test>\r\n", "RECEIVE: 250 2.1.5 ok\r\n", "SENDING: DATA\r\n",
                   "RECEIVE: 354 go ahead\r\n", "SENDING: " + std::string(kMessage) + "\r\n.\r\n",
                   "RECEIVE: 250 2.0.0 queued\r\n", "CLOSE RESPONSE: 221 2.0.0 bye\r\n"},
                  nullptr,
                  SocketState::Closed});
  list.push_back({"WrongPasswordSetsTheFlag", true, Tls::Off,
                  [] {
                    Script s = AuthIntroduction();
                    s.Exchange(std::string(kPassword64) + "\r\n", "535 5.7.8 authentication failed\r\n")
                        .Exchange("RSET\r\n", "250 ok\r\n")
                        .ExpectClosed();
                    return std::vector<Script>{s};
                  },
                  {true, true, 0},
                  {},
                  nullptr,
                  SocketState::Closed});
  list.push_back({"AuthLoginRefusedLeavesTheFlagClear", true, Tls::Off,
                  [] {
                    Script s;
                    s.Send("220 fake.test ESMTP\r\n")
                        .Exchange("EHLO client.test\r\n", "250 fake.test\r\n")
                        .Exchange("AUTH LOGIN\r\n", "504 5.5.4 mechanism not available\r\n")
                        .Exchange("RSET\r\n", "250 ok\r\n")
                        .ExpectClosed();
                    return std::vector<Script>{s};
                  },
                  {true, false, 0},
                  {},
                  nullptr,
                  SocketState::Closed});
  list.push_back({"ContinuationVerdictComesFromTheLastLine", false, Tls::Off,
                  [] {
                    Script s;
                    s.Send("220 fake.test ESMTP\r\n")
                        .Exchange("HELO client.test\r\n", "250 fake.test\r\n")
                        .Exchange("MAIL FROM: <from@sender.test>\r\n", "550-looks bad\r\n250 but is good\r\n")
                        .Exchange("RCPT TO: <to@rcpt.test>\r\n", "250-looks good\r\n550 5.1.1 no such user\r\n")
                        .Exchange("RSET\r\n", "250 flushed\r\n")
                        .Exchange("QUIT\r\n", "221 bye\r\n")
                        .ExpectClosed();
                    return std::vector<Script>{s};
                  },
                  {false, false, 1},
                  {},
                  nullptr,
                  SocketState::Closed});
  list.push_back({"Reply354AfterLeadingBlanksIsGood", false, Tls::Off,
                  [] {
                    Script s;
                    s.Send("220 fake.test ESMTP\r\n")
                        .Exchange("HELO client.test\r\n", "250 fake.test\r\n")
                        .Exchange("MAIL FROM: <from@sender.test>\r\n", "250 ok\r\n")
                        .Exchange("RCPT TO: <to@rcpt.test>\r\n", "250 ok\r\n")
                        .Exchange("DATA\r\n", "   354 go ahead\r\n")
                        .Exchange(std::string(kMessage) + "\r\n.\r\n", "250 queued\r\n")
                        .Exchange("QUIT\r\n", "221 bye\r\n")
                        .ExpectClosed();
                    return std::vector<Script>{s};
                  },
                  {false, false, 4},
                  {},
                  nullptr,
                  SocketState::Closed});
  list.push_back({"Reply421IsBadAndSendsRset", false, Tls::Off,
                  [] {
                    Script s;
                    s.Send("220 fake.test ESMTP\r\n")
                        .Exchange("HELO client.test\r\n", "250 fake.test\r\n")
                        .Exchange("MAIL FROM: <from@sender.test>\r\n", "421 4.3.2 shutting down\r\n")
                        .Exchange("RSET\r\n", "421 4.3.2 still shutting down\r\n")
                        .Exchange("QUIT\r\n", "221 bye\r\n")
                        .ExpectClosed();
                    return std::vector<Script>{s};
                  },
                  {false, false, 0},
                  {},
                  nullptr,
                  SocketState::Closed});
  list.push_back({"GreetingThatNeverComesTimesOut", false, Tls::Off,
                  [] {
                    Script s;
                    s.ExpectClosed();
                    return std::vector<Script>{s};
                  },
                  {true, false, 0},
                  {},
                  "CONNECTION ERROR: Timed out",
                  SocketState::Closed});
  list.push_back({"GreetingThatRefusesTheSession", false, Tls::Off,
                  [] {
                    Script s;
                    s.Send("554 5.3.2 no service for you\r\n").ExpectClosed();
                    return std::vector<Script>{s};
                  },
                  {true, false, 0},
                  {},
                  "CONNECTION ERROR: The server refused the connection: 554 5.3.2 no service for you",
                  SocketState::Closed});
  list.push_back({"HeloRefused", false, Tls::Off,
                  [] {
                    Script s;
                    s.Send("220 fake.test ESMTP\r\n")
                        .Exchange("HELO client.test\r\n", "501 5.5.2 bad HELO name\r\n")
                        .ExpectClosed();
                    return std::vector<Script>{s};
                  },
                  {true, false, 0},
                  {},
                  "CONNECTION ERROR: The server refused the HELO: 501 5.5.2 bad HELO name",
                  SocketState::Closed});
  list.push_back({"RefusedConnection", false, Tls::Off, [] { return std::vector<Script>{}; }, {true, false, 0}, {},
                  "CONNECTION ERROR: Could not connect to 127.0.0.1 port ", SocketState::Closed});
  list.push_back({"ConnectionDroppedInTheGreeting", false, Tls::Off,
                  [] {
                    Script s;
                    s.Send("220-fake.test\r\n220 rea").Drop();
                    return std::vector<Script>{s};
                  },
                  {true, false, 0},
                  {},
                  "CONNECTION ERROR: Connection closed by 127.0.0.1 port ",
                  SocketState::Closed});
  // A reply that breaks off is a failure, not a good reply: whatever the server made of
  // the command is unknown. A closed socket needs no QUIT.
  list.push_back({"ConnectionDroppedInAReply", false, Tls::Off,
                  [] {
                    Script s;
                    s.Send("220 fake.test ESMTP\r\n")
                        .Exchange("HELO client.test\r\n", "250 fake.test\r\n")
                        .Exchange("MAIL FROM: <from@sender.test>\r\n", "250-ok\r\n250 Siz")
                        .Drop();
                    return std::vector<Script>{s};
                  },
                  {false, false, 0},
                  {},
                  "RECEIVE FAILED: Connection closed by 127.0.0.1 port ",
                  SocketState::Closed});
  // The message is on the server, but its final reply never comes: not a success, and the
  // connection is dropped rather than asked to QUIT.
  list.push_back({"SilentAfterTheMessage", false, Tls::Off,
                  [] {
                    Script s;
                    s.Send("220 fake.test ESMTP\r\n")
                        .Exchange("HELO client.test\r\n", "250 fake.test\r\n")
                        .Exchange("MAIL FROM: <from@sender.test>\r\n", "250 ok\r\n")
                        .Exchange("RCPT TO: <to@rcpt.test>\r\n", "250 ok\r\n")
                        .Exchange("DATA\r\n", "354 go ahead\r\n")
                        .Expect(std::string(kMessage) + "\r\n.\r\n")
                        .ExpectClosed();
                    return std::vector<Script>{s};
                  },
                  {false, false, 3},
                  {},
                  "RECEIVE FAILED: Timed out after ",
                  SocketState::Closed});
  list.push_back({"TlsFromConnectWithTestCa", true, Tls::Trusted,
                  [] {
                    Script s = AuthIntroduction();
                    s.Exchange(std::string(kPassword64) + "\r\n", "235 2.7.0 accepted\r\n");
                    return std::vector<Script>{Transaction(s)};
                  },
                  {false, false, 4},
                  {},
                  nullptr,
                  SocketState::Closed,
                  "localhost"});
  list.push_back({"UntrustedCertificateRefused", true, Tls::Untrusted,
                  [] {
                    Script s;
                    s.HandshakeRefused();
                    return std::vector<Script>{s};
                  },
                  {true, false, 0},
                  {},
                  "CONNECTION ERROR: TLS handshake with 127.0.0.1 port ",
                  SocketState::Closed});
  list.push_back({"CertificateForAnotherNameRefused", true, Tls::WrongName,
                  [] {
                    Script s;
                    s.HandshakeRefused();
                    return std::vector<Script>{s};
                  },
                  {true, false, 0},
                  {},
                  "CONNECTION ERROR: TLS handshake with 127.0.0.1 port ",
                  SocketState::Closed});
  return list;
}

class SmtpScenario : public ::testing::TestWithParam<Scenario> {
 protected:
  static void SetUpTestSuite() {
    folder_ = new test::TempFolder;
    trusted_ = new test::TestCa(folder_->Path(), "trusted");
    stranger_ = new test::TestCa(folder_->Path(), "stranger");
  }
  static void TearDownTestSuite() {
    delete stranger_;
    delete trusted_;
    delete folder_;
  }
  static test::TempFolder* folder_;
  static test::TestCa* trusted_;
  static test::TestCa* stranger_;
};
test::TempFolder* SmtpScenario::folder_ = nullptr;
test::TestCa* SmtpScenario::trusted_ = nullptr;
test::TestCa* SmtpScenario::stranger_ = nullptr;

TEST_P(SmtpScenario, RunsAsScripted) {
  const Scenario& sc = GetParam();
  std::optional<test::FakeServerTls> tls;
  if (sc.tls == Tls::Trusted) {
    auto id = trusted_->IssueLoopbackServer();
    tls = test::FakeServerTls{id.certFile, id.keyFile};
  } else if (sc.tls == Tls::Untrusted) {
    auto id = stranger_->IssueLoopbackServer();
    tls = test::FakeServerTls{id.certFile, id.keyFile};
  } else if (sc.tls == Tls::WrongName) {
    auto id = trusted_->IssueServer("elsewhere", {"elsewhere.test"}, {});
    tls = test::FakeServerTls{id.certFile, id.keyFile};
  }
  FakeServer server(sc.scripts(), tls);
  int port = std::string(sc.name) == "RefusedConnection" ? test::UnusedLoopbackPort() : server.Port();

  PosixSocket socket(TlsOptions{true, sc.tls == Tls::Off ? "" : trusted_->CaFile()});
  Recorder trace;
  SmtpSession session(socket, trace.Function());
  session.SetTimeouts(5000, 300);
  SmtpSettings settings{std::string(sc.host) + ":" + std::to_string(port), sc.authenticate ? kUser : "",
                        sc.authenticate ? kPassword : "", sc.tls != Tls::Off, "client.test"};

  Outcome o = RunSession(session, settings);
  EXPECT_EQ(o.connectFailed, sc.expected.connectFailed);
  EXPECT_EQ(o.authFailed, sc.expected.authFailed);
  EXPECT_EQ(o.stepsDone, sc.expected.stepsDone);
  EXPECT_EQ(socket.State(), sc.finalState);
  socket.Abort();
  EXPECT_THAT(server.Finish(), ::testing::IsEmpty());

  if (!sc.traces.empty()) {
    std::vector<std::string> expected;
    for (std::string t : sc.traces) {
      if (auto at = t.find("PORT"); at != std::string::npos) t.replace(at, 4, std::to_string(port));
      expected.push_back(t);
    }
    EXPECT_THAT(trace.Texts(), ElementsAreArray(expected));
  }
  if (sc.forcedTracePrefix) {
    bool found = false;
    for (const auto& l : trace.lines) found = found || (l.forced && l.text.rfind(sc.forcedTracePrefix, 0) == 0);
    EXPECT_TRUE(found) << "no forced line starting \"" << sc.forcedTracePrefix << "\" in\n" << trace.All();
  }
  EXPECT_THAT(trace.All(), ::testing::Not(HasSubstr(kPassword)));
  EXPECT_THAT(trace.All(), ::testing::Not(HasSubstr(kPassword64)));
}

INSTANTIATE_TEST_SUITE_P(Smtp, SmtpScenario, ::testing::ValuesIn(Scenarios()),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Settings and the pieces of a session that need no network ---

TEST(SmtpServerText, HostAndPort) {
  struct Case {
    const char* server;
    bool tls;
    const char* host;
    long long port;
  } cases[] = {
      {"mail.test", false, "mail.test", 25},        {"mail.test", true, "mail.test", 465},
      {"mail.test:2525", false, "mail.test", 2525}, {"mail.test:2525", true, "mail.test", 2525},
      {"mail.test:99999999999", true, "mail.test", 25}, {"mail.test:abc", false, "mail.test", 0},
      {"mail.test:587junk", false, "mail.test", 587}, {"mail.test:", true, "mail.test", 0},
  };
  for (const auto& c : cases) {
    SmtpEndpoint ep = ParseSmtpServer(c.server, c.tls);
    EXPECT_EQ(ep.host, c.host) << c.server;
    EXPECT_EQ(ep.port, c.port) << c.server << (c.tls ? " tls" : "");
  }
}

// A greeting and a good reply to every line, for sessions on the memory socket.
void AnswerEverything(MemorySocket& socket) {
  socket.onConnect = [](MemorySocket& s) { s.Deliver("220 memory\r\n"); };
  socket.onSend = [](MemorySocket& s, std::string_view) { s.Deliver("250 ok\r\n"); };
}

TEST(SmtpHeloName, FallsBackToTheComputerNameThenToTheFixedWord) {
  struct Case {
    std::optional<std::string> computer;
    const char* expected;
  } cases[] = {{std::string("box7"), "HELO box7\r\n"}, {std::nullopt, "HELO AUTORESPONDER\r\n"}};
  for (const auto& c : cases) {
    MemorySocket socket;
    AnswerEverything(socket);
    SmtpSession session(socket, nullptr);
    session.SetComputerNameSource([&] { return c.computer; });
    bool authFailed = true;
    EXPECT_FALSE(session.SMTPConnect({"mail.test", "", "", false, ""}, authFailed));
    EXPECT_FALSE(authFailed);
    EXPECT_EQ(socket.Sent(), c.expected);
    ASSERT_EQ(socket.Connects().size(), 1u);
    EXPECT_EQ(socket.Connects()[0].port, 25);
  }
}

TEST(SmtpConnect, AConnectionLeftOpenIsDroppedAndANewOneOpened) {
  MemorySocket socket;
  AnswerEverything(socket);
  socket.Connect("old.test", 110);
  SmtpSession session(socket, nullptr);
  bool authFailed = true;
  EXPECT_FALSE(session.SMTPConnect({"mail.test", "", "", true, "h"}, authFailed));
  EXPECT_EQ(socket.Aborts(), 1);
  ASSERT_EQ(socket.Connects().size(), 2u);
  EXPECT_EQ(socket.Connects()[1].host, "mail.test");
  EXPECT_EQ(socket.Connects()[1].security, SocketSecurity::TlsFromConnect);
  EXPECT_EQ(socket.Sent(), "HELO h\r\n");
}

TEST(SmtpQuit, AReplyThatNeverComesIsTracedAsErrorClosingAndDropsTheConnection) {
  MemorySocket socket;
  socket.Connect("mail.test", 25);
  Recorder trace;
  SmtpSession session(socket, trace.Function());
  session.SMTPQuit();
  EXPECT_EQ(socket.Sent(), "QUIT\r\n");
  ASSERT_EQ(trace.lines.size(), 1u);
  EXPECT_EQ(trace.lines[0].text, "ERROR CLOSING");
  EXPECT_TRUE(trace.lines[0].forced);
  EXPECT_EQ(socket.State(), SocketState::Closed);
}

// A server that never answers QUIT must not hand its connection to the next session:
// the next message goes through a new connection and reaches the server.
TEST(SmtpQuit, AnUnansweredQuitLeavesNothingForTheNextSession) {
  Script first, second;
  first.Send("220 fake.test ESMTP\r\n").Exchange("HELO client.test\r\n", "250 fake.test\r\n");
  Transaction(second.Send("220 fake.test ESMTP\r\n").Exchange("HELO client.test\r\n", "250 fake.test\r\n"));
  first.Exchange("MAIL FROM: <from@sender.test>\r\n", "250 2.1.0 ok\r\n")
      .Exchange("RCPT TO: <to@rcpt.test>\r\n", "250 2.1.5 ok\r\n")
      .Exchange("DATA\r\n", "354 go ahead\r\n")
      .Exchange(std::string(kMessage) + "\r\n.\r\n", "250 2.0.0 queued\r\n")
      .Expect("QUIT\r\n")
      .ExpectClosed();
  FakeServer server({first, second});
  PosixSocket socket(TlsOptions{});
  Recorder trace;
  SmtpSettings settings{server.Address(), "", "", false, "client.test"};
  for (int session = 0; session < 2; ++session) {
    SmtpSession smtp(socket, trace.Function());
    smtp.SetTimeouts(5000, 300);
    const Outcome o = RunSession(smtp, settings);
    EXPECT_FALSE(o.connectFailed) << session;
    EXPECT_EQ(o.stepsDone, 4) << session;
    EXPECT_EQ(socket.State(), SocketState::Closed) << session;
  }
  EXPECT_THAT(server.Finish(), ::testing::IsEmpty());
  EXPECT_THAT(trace.All(), HasSubstr("ERROR CLOSING"));
}

// --- Replies ---

TEST(SmtpReplyVerdict, ClassesOfTheLastLine) {
  using K = SmtpReply::Kind;
  struct Case {
    const char* line;
    K kind;
    int code;
    bool completed;
    bool closing;
  } cases[] = {
      {"250 2.0.0 queued\r\n", K::Positive, 250, true, false},
      {"   354 go ahead\r\n", K::Positive, 354, false, false},
      {"451 4.7.1 try again later\r\n", K::Transient, 451, false, false},
      {"421 4.7.0 too many connections\r\n", K::Transient, 421, false, true},
      {"550 5.1.1 no such user", K::Permanent, 550, false, false},
      {"2\r\n", K::Positive, 0, true, false},
      {"hello\r\n", K::Garbled, 0, false, false},
      {"\r\n", K::Garbled, 0, false, false},
      {"", K::Garbled, 0, false, false},
      {"621 six\r\n", K::Garbled, 0, false, false},
  };
  for (const Case& c : cases) {
    const SmtpReply r = JudgeReplyLine(c.line);
    EXPECT_EQ(r.kind, c.kind) << c.line;
    EXPECT_EQ(r.code, c.code) << c.line;
    EXPECT_EQ(r.Completed(), c.completed) << c.line;
    EXPECT_EQ(r.ServiceClosing(), c.closing) << c.line;
    EXPECT_EQ(r.text.find('\n'), std::string::npos);
  }
}

// The reply time-out bounds the whole reply: a server that keeps sending continuation
// lines, each in good time, cannot hold the session open.
TEST(SmtpReplyDeadline, CoversEveryLineOfTheReply) {
  MemorySocket socket;
  socket.Connect("mail.test", 25);
  std::string endless;
  for (int i = 0; i < 200; ++i) endless += "250-still talking\r\n";
  socket.Deliver(endless + "250 done\r\n");
  Recorder trace;
  SmtpSession session(socket, trace.Function());
  session.SetTimeouts(1000, 120000);
  auto now = std::chrono::steady_clock::time_point{};
  session.SetClock([&] { return now += std::chrono::seconds(1); });  // every line costs a second
  EXPECT_TRUE(session.SMTPReceive());
  EXPECT_EQ(session.LastReply().kind, SmtpReply::Kind::Missing);
  EXPECT_THAT(session.LastReply().text, HasSubstr("Timed out after 120000 ms waiting for the whole reply"));
  EXPECT_EQ(socket.State(), SocketState::Closed);
  EXPECT_THAT(trace.All(), HasSubstr("RECEIVE FAILED: Timed out"));
}

TEST(SmtpReplyDeadline, AReplyOfTooManyLinesIsRefused) {
  MemorySocket socket;
  socket.Connect("mail.test", 25);
  std::string endless;
  for (int i = 0; i <= SmtpSession::kMaxReplyLines; ++i) endless += "250-x\r\n";
  socket.Deliver(endless + "250 done\r\n");
  SmtpSession session(socket, nullptr);
  EXPECT_TRUE(session.SMTPReceive());
  EXPECT_EQ(session.LastReply().kind, SmtpReply::Kind::Missing);
  EXPECT_EQ(socket.State(), SocketState::Closed);
}

// --- The attachment marker ---

class SmtpAttachment : public ::testing::Test {
 protected:
  SmtpAttachment() : session_(socket_, trace_.Function()) { socket_.Connect("mail.test", 25); }
  std::string File(const std::string& name, std::size_t size) {
    std::string bytes;
    for (std::size_t i = 0; i < size; ++i) bytes += static_cast<char>((i * 37 + 11) & 0xff);
    std::string path = folder_.File(name);
    test::WriteWholeFile(path, bytes);
    return path;
  }
  test::TempFolder folder_;
  MemorySocket socket_;
  Recorder trace_;
  SmtpSession session_;
};

TEST_F(SmtpAttachment, MarkerIsReplacedByTheFileLines) {
  struct Case {
    std::size_t size;
    std::vector<std::size_t> lineLengths;  // lengths of the base64 lines, CR LF excluded
  } cases[] = {{0, {0}}, {54, {72, 0}}, {55, {72, 4}}, {108, {72, 72, 0}}};
  for (const auto& c : cases) {
    std::string path = File("a" + std::to_string(c.size) + ".bin", c.size);
    std::size_t before = socket_.Sent().size();
    EXPECT_FALSE(session_.SMTPSend("head\r\n*****ATTACHMENT*****\r\ntail\r\n", path));
    std::string sent = socket_.Sent().substr(before);
    ASSERT_EQ(sent.substr(0, 6), "head\r\n");
    ASSERT_EQ(sent.substr(sent.size() - 8), "\r\ntail\r\n");
    std::string lines = sent.substr(6, sent.size() - 14);
    std::vector<std::size_t> lengths;
    for (std::size_t at = 0; at < lines.size();) {
      std::size_t end = lines.find("\r\n", at);
      ASSERT_NE(end, std::string::npos) << c.size;
      lengths.push_back(end - at);
      at = end + 2;
    }
    EXPECT_EQ(lengths, c.lineLengths) << c.size << " bytes";
    if (c.size == 55) {
      EXPECT_EQ(lines.substr(72 + 2 + 2, 2), "==");
    }
  }
  // The trace shows the marker, not the file.
  EXPECT_EQ(trace_.lines.back().text, "SENDING: head\r\n*****ATTACHMENT*****\r\ntail\r\n");
}

TEST_F(SmtpAttachment, TextAttachmentsAreAlreadyInTheText) {
  std::string path = File("notes.TXT", 10);
  EXPECT_FALSE(session_.SMTPSend("body *****ATTACHMENT***** end\r\n", path));
  EXPECT_EQ(socket_.Sent(), "body *****ATTACHMENT***** end\r\n");
}

TEST_F(SmtpAttachment, BinaryAttachmentWithoutMarkerFailsBeforeSending) {
  std::string path = File("image.png", 10);
  EXPECT_TRUE(session_.SMTPSend("", path));
  EXPECT_TRUE(session_.SMTPSend("no marker here\r\n", path));
  EXPECT_EQ(socket_.Sent(), "");
}

TEST_F(SmtpAttachment, ABrokenConnectionFailsTheSend) {
  std::string path = File("big.bin", 5400);
  socket_.FailSendsAfter(1000);
  EXPECT_TRUE(session_.SMTPSend("x\r\n*****ATTACHMENT*****\r\n.\r\n", path));
}

}  // namespace
}  // namespace ar

namespace ar {
namespace {

// Records what an observer hears, each line tagged with its direction.
struct Heard : DialogueObserver {
  std::vector<std::string> lines;
  void Sent(std::string_view line) override { lines.push_back("> " + std::string(line)); }
  void Received(std::string_view line) override { lines.push_back("< " + std::string(line)); }
  void Failed(std::string_view why) override { lines.push_back("! " + std::string(why)); }
  std::string All() const {
    std::string out;
    for (const auto& l : lines) out += l + "\n";
    return out;
  }
};

TEST(SmtpObserver, HearsEveryLineSentAndReceivedButNoAuthenticationPayload) {
  Script s;
  s.Send("220-fake.test\r\n220 ESMTP\r\n")
      .Exchange("EHLO client.test\r\n", "250-fake.test\r\n250 AUTH LOGIN\r\n")
      .Exchange("AUTH LOGIN\r\n", "334 VXNlcm5hbWU6\r\n")
      .Exchange(Base64_encode("ann") + "\r\n", "334 UGFzc3dvcmQ6\r\n")
      .Exchange(Base64_encode("pa55word") + "\r\n", "235 ok\r\n")
      .Exchange("MAIL FROM: <from@sender.test>\r\n", "250 2.1.0 ok\r\n")
      .Exchange("RCPT TO: <to@rcpt.test>\r\n", "550 5.1.1 unknown\r\n")
      .Exchange("RSET\r\n", "250 flushed\r\n")
      .Exchange("QUIT\r\n", "221 bye\r\n")
      .ExpectClosed();
  FakeServer server({s});
  PosixSocket socket(TlsOptions{true, ""});
  Recorder trace;
  SmtpSession session(socket, trace.Function());
  Heard heard;
  session.SetObserver(&heard);
  const Outcome o = RunSession(session, {server.Address(), "ann", "pa55word", false, "client.test"});

  EXPECT_EQ(o.stepsDone, 1);
  EXPECT_THAT(heard.lines, ElementsAreArray({"< 220-fake.test", "< 220 ESMTP", "> EHLO client.test",
                                             "< 250-fake.test", "< 250 AUTH LOGIN", "> AUTH LOGIN",
                                             "< 334 VXNlcm5hbWU6", "> <HIDDEN>", "< 334 UGFzc3dvcmQ6", "> <HIDDEN>",
                                             "< 235 ok", "> MAIL FROM: <from@sender.test>", "< 250 2.1.0 ok",
                                             "> RCPT TO: <to@rcpt.test>", "< 550 5.1.1 unknown", "> RSET",
                                             "< 250 flushed", "> QUIT", "< 221 bye"}));
  EXPECT_THAT(server.Finish(), ::testing::IsEmpty());
  for (const std::string& secret : {std::string("pa55word"), Base64_encode("pa55word"), Base64_encode("ann")})
    EXPECT_THAT(heard.All(), ::testing::Not(HasSubstr(secret)));
  // The session's own trace is as it was without an observer: the password stays hidden.
  EXPECT_THAT(trace.All(), ::testing::Not(HasSubstr(Base64_encode("pa55word"))));
}

TEST(SmtpObserver, HearsTheMessageLineByLineAndWhyADialogueBrokeOff) {
  MemorySocket socket;
  AnswerEverything(socket);
  SmtpSession session(socket, nullptr);
  Heard heard;
  session.SetObserver(&heard);
  bool authFailed = false;
  ASSERT_FALSE(session.SMTPConnect({"mail.test", "", "", false, "h"}, authFailed));
  // The text goes out in two writes; the observer still hears whole lines.
  ASSERT_FALSE(session.SMTPSend("Subject: hi\r\n\r\nHel"));
  socket.FailSendsAfter(0);
  EXPECT_TRUE(session.SMTPSend("lo.\r\n.\r\n"));
  EXPECT_THAT(heard.lines, ElementsAreArray({"< 220 memory", "> HELO h", "< 250 ok", "> Subject: hi", "> ",
                                             "> Hello.", "> .", "! Connection lost while sending"}));

  // A refused greeting is a verdict, not a broken connection: no failure is heard.
  MemorySocket refusing;
  refusing.onConnect = [](MemorySocket& s) { s.Deliver("554 no service\r\n"); };
  SmtpSession refused(refusing, nullptr);
  Heard heardRefusal;
  refused.SetObserver(&heardRefusal);
  EXPECT_TRUE(refused.SMTPConnect({"mail.test", "", "", false, "h"}, authFailed));
  EXPECT_THAT(heardRefusal.lines, ElementsAreArray({"< 554 no service"}));
}

}  // namespace
}  // namespace ar
