// The real socket on loopback: line and block reads, the read bound, lost connections,
// time-outs, the TLS settings of the environment, IPv6 servers and the name or address
// a certificate must carry.
#include "mail/PosixSocket.h"

#include "mail/ServerAddress.h"
#include "mail/SmtpSession.h"
#include "tests/mail/LoopbackLineServer.h"
#include "tests/support/FakeServer.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestCa.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

namespace ar {
namespace {

using test::FakeServer;
using test::Script;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

TEST(PosixSocket, ReadsLinesAndBlocksAcrossPacketBoundaries) {
  Script s;
  s.Send("+OK one\r\n+OK tw").Expect("NEXT\r\n").Send("o\r\n* 1 FETCH (x)\r\n01 FETCH completed\r\nrest\r\n").ExpectClosed();
  FakeServer server({s});
  PosixSocket socket(TlsOptions{});
  socket.Connect("127.0.0.1", server.Port());
  EXPECT_EQ(socket.State(), SocketState::Connected);
  EXPECT_EQ(socket.ReadLine(), "+OK one\r\n");
  socket.Send("NEXT\r\n");
  EXPECT_EQ(socket.ReadLine(), "+OK two\r\n");
  EXPECT_EQ(socket.ReadUntil("FETCH completed\r\n"), "* 1 FETCH (x)\r\n01 FETCH completed\r\n");
  EXPECT_EQ(socket.ReadLine(), "rest\r\n");
  socket.Close();
  EXPECT_EQ(socket.State(), SocketState::Closed);
  EXPECT_THAT(server.Finish(), IsEmpty());
}

TEST(PosixSocket, AnEndlessLineEndsTheReadWithAnError) {
  Script s;
  s.Send(std::string(Socket::kMaxLineBytes + 20000, 'x'));
  FakeServer server({s});
  PosixSocket socket(TlsOptions{});
  socket.Connect("127.0.0.1", server.Port());
  try {
    socket.ReadLine();
    FAIL() << "no error";
  } catch (const SocketError& e) {
    EXPECT_THAT(e.what(), HasSubstr("without the expected end"));
  }
  EXPECT_EQ(socket.State(), SocketState::Closed);
  server.Finish();
}

TEST(PosixSocket, LostConnectionAndTimeOut) {
  Script dropped, silent;
  dropped.Send("partial line").Drop();
  silent.Send("220 hello\r\n").ExpectClosed();
  FakeServer server({dropped, silent});
  PosixSocket socket(TlsOptions{});
  socket.Connect("127.0.0.1", server.Port());
  EXPECT_THROW(socket.ReadLine(), SocketError);
  EXPECT_EQ(socket.State(), SocketState::Closed);
  EXPECT_THROW(socket.Send("x"), SocketError);

  socket.SetTimeoutMs(100);
  socket.Connect("127.0.0.1", server.Port());
  EXPECT_EQ(socket.ReadLine(), "220 hello\r\n");
  try {
    socket.ReadLine();
    FAIL() << "no time-out";
  } catch (const SocketError& e) {
    EXPECT_THAT(e.what(), HasSubstr("Timed out after 100 ms"));
  }
  // A time-out leaves the connection as it was.
  EXPECT_EQ(socket.State(), SocketState::Connected);
  socket.Abort();
  EXPECT_EQ(socket.State(), SocketState::Closed);
  EXPECT_THAT(server.Finish(), IsEmpty());
}

// The time-out bounds a line as a whole: a server that sends one byte now and then,
// each well within the time-out, still cannot keep the read going.
TEST(PosixSocket, ALineMustArriveWithinTheTimeOutHoweverItTrickles) {
  Script s;
  s.Trickle("220 " + std::string(60, 'x') + "\r\n", 20);
  FakeServer server({s});
  PosixSocket socket(TlsOptions{});
  socket.SetTimeoutMs(300);
  socket.Connect("127.0.0.1", server.Port());
  try {
    const std::string line = socket.ReadLine();
    FAIL() << "the whole line arrived: " << line;
  } catch (const SocketError& e) {
    EXPECT_THAT(e.what(), HasSubstr("Timed out after 300 ms"));
  }
  socket.Abort();
  EXPECT_THAT(server.Finish(), IsEmpty());
}

TEST(PosixSocket, AConnectDropsTheConnectionStillOpen) {
  Script first, second;
  first.Send("one\r\n").ExpectClosed();
  second.Send("two\r\n").ExpectClosed();
  FakeServer server({first, second});
  PosixSocket socket(TlsOptions{});
  socket.Connect("127.0.0.1", server.Port());
  EXPECT_EQ(socket.ReadLine(), "one\r\n");
  socket.Connect("127.0.0.1", server.Port());
  EXPECT_EQ(socket.ReadLine(), "two\r\n");
  socket.Close();
  EXPECT_THAT(server.Finish(), IsEmpty());
}

// A stop request ends a wait that would otherwise last the whole time-out, and drops
// the connection; a connect is not even tried.
TEST(PosixSocket, AStopRequestEndsTheWait) {
  Script silent;
  silent.ExpectClosed();
  FakeServer server({silent});
  StopToken stop;
  PosixSocket socket(TlsOptions{});
  socket.SetTimeoutMs(600000);
  socket.SetStopToken(&stop);
  socket.Connect("127.0.0.1", server.Port());
  std::thread requester([&] { stop.Request(); });
  try {
    socket.ReadLine();
    FAIL() << "no error";
  } catch (const SocketError& e) {
    EXPECT_STREQ(e.what(), kStoppedDescription);
  }
  requester.join();
  EXPECT_EQ(socket.State(), SocketState::Closed);
  EXPECT_THAT(server.Finish(), IsEmpty());
  EXPECT_THROW(socket.Connect("127.0.0.1", server.Port()), SocketError);
}

TEST(PosixSocket, RefusedConnectionAndBadPort) {
  PosixSocket socket(TlsOptions{});
  int port = test::UnusedLoopbackPort();
  try {
    socket.Connect("127.0.0.1", port);
    FAIL() << "connected";
  } catch (const SocketError& e) {
    EXPECT_THAT(e.what(), HasSubstr("Connection refused"));
  }
  EXPECT_EQ(socket.State(), SocketState::Closed);
  EXPECT_THROW(socket.Connect("127.0.0.1", 0), SocketError);
  EXPECT_THROW(socket.Connect("127.0.0.1", 70000), SocketError);
}

class TlsEnvironment : public ::testing::Test {
 protected:
  void SetUp() override {
    ::unsetenv("AUTORESPONDER_CA_FILE");
    ::unsetenv("AUTORESPONDER_TLS_VERIFY");
  }
  void TearDown() override { SetUp(); }

};

TEST_F(TlsEnvironment, CaFileAndVerifySwitchComeFromTheEnvironment) {
  EXPECT_TRUE(TlsOptions::FromEnvironment().verify);
  EXPECT_EQ(TlsOptions::FromEnvironment().extraCaFile, "");

  test::TempFolder folder;
  test::TestCa ca(folder.Path(), "env");
  auto id = ca.IssueLoopbackServer();
  auto handshake = [&](bool expectOk) {
    Script s;
    if (expectOk) s.Send("+OK\r\n").ExpectClosed();
    else s.HandshakeRefused();
    FakeServer server({s}, test::FakeServerTls{id.certFile, id.keyFile});
    PosixSocket socket;  // settings from the environment
    socket.SetSecurity(SocketSecurity::TlsFromConnect);
    bool ok = true;
    try {
      socket.Connect("localhost", server.Port());
      EXPECT_EQ(socket.ReadLine(), "+OK\r\n");
      socket.Close();
    } catch (const SocketError& e) {
      ok = false;
      EXPECT_THAT(e.what(), HasSubstr("certificate not trusted"));
    }
    EXPECT_THAT(server.Finish(), IsEmpty());
    return ok;
  };
  EXPECT_FALSE(handshake(false));
  ::setenv("AUTORESPONDER_CA_FILE", ca.CaFile().c_str(), 1);
  EXPECT_TRUE(handshake(true));
  ::unsetenv("AUTORESPONDER_CA_FILE");
  ::setenv("AUTORESPONDER_TLS_VERIFY", "0", 1);
  EXPECT_FALSE(TlsOptions::FromEnvironment().verify);
  EXPECT_TRUE(handshake(true));
  ::setenv("AUTORESPONDER_TLS_VERIFY", "1", 1);
  EXPECT_TRUE(TlsOptions::FromEnvironment().verify);
}

TEST(PosixSocket, ABracketedIpv6ServerTextReachesTheServer) {
  auto server = test::LoopbackLineServer::Listen("::1");
  if (!server) GTEST_SKIP() << "this machine has no IPv6 loopback";
  PosixSocket socket;
  SmtpSession session(socket, nullptr);
  SmtpSettings settings;
  settings.server = "[::1]:" + std::to_string(server->Port());
  settings.heloName = "me.test";
  bool authFailed = false;
  ASSERT_FALSE(session.SMTPConnect(settings, authFailed));
  session.SMTPQuit();
  EXPECT_EQ(server->Received(), "HELO me.test\r\nQUIT\r\n");
}

// A server reached by address must carry that address among its certificate's IP
// addresses; one reached by name, the name among its DNS names.
TEST(PosixSocket, TheCertificateMustNameTheAddressOrTheHostUsed) {
  struct Case {
    std::vector<std::string> dnsNames, ipAddresses;
    const char* listenOn;
    const char* connectTo;
    bool trusted;
  } cases[] = {
      {{}, {"127.0.0.1"}, "127.0.0.1", "127.0.0.1", true},
      {{"127.0.0.1"}, {}, "127.0.0.1", "127.0.0.1", false},  // an address among the DNS names does not count
      {{"localhost"}, {}, "127.0.0.1", "localhost", true},
      {{"elsewhere.test"}, {"127.0.0.1"}, "127.0.0.1", "localhost", false},
      {{}, {"::1"}, "::1", "::1", true},
      {{"localhost"}, {"127.0.0.1"}, "::1", "::1", false},
  };
  test::TempFolder folder;
  test::TestCa ca(folder.Path(), "names");
  int stem = 0;
  for (const Case& c : cases) {
    const test::ServerIdentity id = ca.IssueServer("server" + std::to_string(++stem), c.dnsNames, c.ipAddresses);
    auto server = test::LoopbackLineServer::Listen(c.listenOn, id);
    if (!server) GTEST_SKIP() << "this machine cannot listen on " << c.listenOn;
    PosixSocket socket(TlsOptions{true, ca.CaFile()});
    socket.SetSecurity(SocketSecurity::TlsFromConnect);
    bool trusted = true;
    try {
      socket.Connect(c.connectTo, server->Port());
      EXPECT_EQ(socket.ReadLine(), "220 ready\r\n") << c.connectTo;
      socket.Close();
    } catch (const SocketError& e) {
      trusted = false;
      EXPECT_THAT(e.what(), HasSubstr("certificate not trusted")) << c.connectTo;
    }
    EXPECT_EQ(trusted, c.trusted) << c.connectTo << " with certificate " << stem;
    server->Received();
  }
}

}  // namespace
}  // namespace ar
