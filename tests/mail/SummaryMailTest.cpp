// The summary report mail: recipients cut from the configured list, one session per
// address on a memory socket, the message text, the verdict of the server's replies and
// the operator's messages.
#include "mail/SummaryMail.h"

#include "base/Clock.h"
#include "base/DayNumber.h"
#include "mail/DateLine.h"
#include "mail/MemorySocket.h"
#include "store/Connection.h"
#include "store/Schema.h"
#include "tests/mail/TimeZoneGuard.h"
#include "tests/support/FakeServer.h"
#include "tests/support/MimeParser.h"
#include "tests/support/TempFolder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace ar {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::MatchesRegex;
using ::testing::Not;

TEST(SummaryAddresses, CutAtCommasFirstThenSemicolons) {
  struct Case {
    std::string list;
    std::vector<std::string> addresses;
  } cases[] = {
      {"a@x.test,b@x.test,c@x.test", {"a@x.test", "b@x.test", "c@x.test"}},
      {"a@x.test;b@x.test;c@x.test", {"a@x.test", "b@x.test", "c@x.test"}},
      {"a@x.test;b@x.test,c@x.test", {"a@x.test;b@x.test", "c@x.test"}},
      {"a@x.test,b@x.test;c@x.test", {"a@x.test", "b@x.test", "c@x.test"}},
      // Blanks and tabs around an address go; empty entries are left out.
      {"a@x.test, b@x.test", {"a@x.test", "b@x.test"}},
      {" a@x.test ,\tb@x.test\t; c@x.test ", {"a@x.test", "b@x.test", "c@x.test"}},
      {"", {}},
      {" , ;\t", {}},
      {"a@x.test,", {"a@x.test"}},
      {std::string(250, 'z'), {std::string(200, 'z')}},
  };
  for (const auto& c : cases) EXPECT_EQ(CutSummaryAddresses(c.list), c.addresses) << c.list;
}

TEST(SummaryAddresses, TwentyAtMost) {
  std::string twenty;
  for (int i = 0; i < 20; ++i) twenty += (i ? "," : "") + std::to_string(i) + "@x.test";
  EXPECT_EQ(CutSummaryAddresses(twenty).size(), 20u);
  EXPECT_EQ(CutSummaryAddresses(twenty + ", ,").size(), 20u);  // empty entries do not count
  EXPECT_THROW(CutSummaryAddresses(twenty + ",extra@x.test"), std::out_of_range);
}

struct Shown {
  std::string text, title;
  MessageIcon icon;
};

struct RecordedMessages : OperatorMessages {
  std::vector<Shown> shown;
  void ShowMessage(const std::string& text, const std::string& title, MessageIcon icon) override {
    shown.push_back({text, title, icon});
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> out;
    for (const auto& s : shown) out.push_back(s.text);
    return out;
  }
};

// A mail server on the memory socket: a greeting, then a reply to every command line and
// to the message once its "." line has come. reply decides the answer to commands.
class MemorySmtpServer {
 public:
  explicit MemorySmtpServer(MemorySocket& socket) {
    socket.onConnect = [this](MemorySocket& s) {
      sessions.emplace_back();
      inData_ = false;
      pending_.clear();
      s.Deliver("220 memory ESMTP\r\n");
    };
    socket.onSend = [this](MemorySocket& s, std::string_view sent) { Take(s, sent); };
  }
  std::function<std::string(const std::string& line)> reply = [](const std::string&) { return "250 ok\r\n"; };
  // The replies to DATA and to the message; an empty one is never sent (the read fails).
  std::string dataReply = "354 go\r\n";
  std::string endReply = "250 queued\r\n";
  // What each session received, command lines and message text as sent.
  std::vector<std::string> sessions;

 private:
  void Take(MemorySocket& s, std::string_view sent) {
    sessions.back() += sent;
    pending_ += sent;
    for (;;) {
      if (inData_) {
        std::size_t end = pending_.find("\r\n.\r\n");
        if (end == std::string::npos) return;
        pending_.erase(0, end + 5);
        inData_ = false;
        s.Deliver(endReply);
        continue;
      }
      std::size_t end = pending_.find("\r\n");
      if (end == std::string::npos) return;
      std::string line = pending_.substr(0, end);
      pending_.erase(0, end + 2);
      if (line == "DATA") {
        inData_ = dataReply.rfind('3', 0) == 0;
        s.Deliver(dataReply);
      } else if (line == "QUIT") {
        s.Deliver("221 bye\r\n");
      } else {
        s.Deliver(line.rfind("HELO", 0) == 0 || line == "RSET" ? "250 ok\r\n" : reply(line));
      }
    }
  }
  bool inData_ = false;
  std::string pending_;
};

class SummaryMail : public ::testing::Test {
 protected:
  SummaryMail() : server_(socket_) {
    config_ = CreateDatabaseFile(folder_.File("autoresponder.sto"));
    CreateAutoresponderSchema(config_);
    ::mkdir(folder_.File("reports").c_str(), 0700);
    test::WriteWholeFile(folder_.File("reports/summaryreport.txt"), "Summary\r\n.hidden line\r\n\r\nlast");
    Configure("mail.test", "a@x.test,b@x.test;c@x.test");
    SetClock(ToDayNumber(CivilTime{2009, 1, 5, 14, 3, 9, 0}));  // a Monday
  }
  ~SummaryMail() override { ResetClock(); }

  void Configure(const std::string& server, const std::string& recipients) {
    config_.Execute("UPDATE tblConfiguration SET SMTPServer = ?, SummaryReportEmail = ?, HELOName = 'me.test'",
                    {server, recipients});
  }
  void Send() {
    SendSummaryReportEmail(socket_, config_, folder_.Path(), messages_,
                           [this](const std::string& m, bool f) { trace_.push_back({m, f}); });
  }

  test::TempFolder folder_;
  Connection config_;
  MemorySocket socket_;
  MemorySmtpServer server_;
  RecordedMessages messages_;
  std::vector<std::pair<std::string, bool>> trace_;
};

// The message of one session as it was meant: the text after DATA up to the "." line,
// with the dot-stuffing undone.
std::string MessageOf(const std::string& session) {
  const std::size_t from = session.find("DATA\r\n");
  const std::size_t end = session.find("\r\n.\r\n", from);
  if (from == std::string::npos || end == std::string::npos) return "";
  const std::string stuffed = session.substr(from + 6, end + 2 - from - 6);
  std::string message;
  for (std::size_t at = 0; at < stuffed.size();) {
    const std::size_t next = stuffed.find("\r\n", at) + 2;
    message.append(stuffed, at + (stuffed[at] == '.' ? 1 : 0), next - at - (stuffed[at] == '.' ? 1 : 0));
    at = next;
  }
  return message;
}

std::size_t LongestLine(const std::string& text) {
  std::size_t longest = 0;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = std::min(text.find("\r\n", at), text.size());
    longest = std::max(longest, end - at);
    at = end + 2;
  }
  return longest;
}

TEST_F(SummaryMail, OneSessionPerAddressInOrder) {
  Send();
  ASSERT_EQ(server_.sessions.size(), 3u);
  const std::string date = BuildDateHeader();
  const std::string& first = server_.sessions[0];
  EXPECT_THAT(first, ::testing::StartsWith("HELO me.test\r\n"
                                            "MAIL FROM: <a@x.test>\r\n"
                                            "RCPT TO: <a@x.test>\r\n"
                                            "DATA\r\n"
                                            "From: Autoresponder Admin<a@x.test>\r\n"
                                            "To: a@x.test\r\n" +
                                            date + "\r\nMessage-ID: <"));
  EXPECT_THAT(first.substr(first.find("\r\nSubject:")),
              ::testing::StrEq("\r\nSubject: Autoreponder Summary Report\r\n"
                               "MIME-Version: 1.0\r\n"
                               "Content-Type: text/plain; charset=UTF-8\r\n"
                               "Content-Transfer-Encoding: 7bit\r\n"
                               "\r\n"
                               "Summary\r\n"
                               "..hidden line\r\n"
                               "\r\n"
                               "last\r\n"
                               "\r\n"
                               ".\r\n"
                               "QUIT\r\n"));
  EXPECT_THAT(server_.sessions[1], ::testing::StartsWith("HELO me.test\r\nMAIL FROM: <b@x.test>\r\n"));
  EXPECT_THAT(server_.sessions[2], ::testing::StartsWith("HELO me.test\r\nMAIL FROM: <c@x.test>\r\n"));
  EXPECT_EQ(socket_.Connects().size(), 3u);
  EXPECT_EQ(socket_.Connects()[0].port, 25);
  EXPECT_THAT(messages_.Texts(), ElementsAre("Summary email sent"));
}

TEST_F(SummaryMail, EachMessageHasAMessageIdOfItsOwnAtTheHeloName) {
  Send();
  ASSERT_EQ(server_.sessions.size(), 3u);
  std::vector<std::string> ids;
  for (const std::string& session : server_.sessions) {
    const test::ParsedMessage parsed = test::ParseMimeMessage(MessageOf(session));
    ASSERT_TRUE(parsed.parsed);
    EXPECT_THAT(parsed.messageId, MatchesRegex("20090105140309\\.[0-9]+\\.[0-9]+\\.[0-9a-f]{8}@me\\.test"));
    ids.push_back(parsed.messageId);
  }
  EXPECT_NE(ids[0], ids[1]);
  EXPECT_NE(ids[1], ids[2]);
}

// The report as it arrives: UTF-8 names intact, whatever the file's encoding, and long
// lines cut into wire lines that a relay takes.
TEST_F(SummaryMail, TheReportArrivesIntactInLinesThatFit) {
  struct Case {
    std::string fileBytes;
    std::string text;  // the report text the reader must see
    const char* encoding;
  } cases[] = {
      {"Caf\xc3\xa9 M\xc3\xbcller \xe2\x9c\x93: 3\r\n.dot = sign \r\n", "Caf\xc3\xa9 M\xc3\xbcller \xe2\x9c\x93: 3\r\n.dot = sign \r\n",
       "quoted-printable"},
      {"Caf\xe9: 3\n", "Caf\xc3\xa9: 3\r\n", "quoted-printable"},  // not UTF-8: read as Windows-1252
      {std::string(1500, 'x') + "\r\n." + std::string(200, 'y') + "\r\n",
       std::string(1500, 'x') + "\r\n." + std::string(200, 'y') + "\r\n", "quoted-printable"},
      {"Summary\r\n.hidden\r\n", "Summary\r\n.hidden\r\n", "7bit"},
  };
  for (const Case& c : cases) {
    test::WriteWholeFile(folder_.File("reports/summaryreport.txt"), c.fileBytes);
    Configure("mail.test", "a@x.test");
    server_.sessions.clear();
    Send();
    ASSERT_EQ(server_.sessions.size(), 1u);
    EXPECT_LT(LongestLine(server_.sessions[0]), 998u);
    const std::string message = MessageOf(server_.sessions[0]);
    if (std::string(c.encoding) == "quoted-printable") {
      EXPECT_LE(LongestLine(message), 76u);
    }
    const test::ParsedMessage parsed = test::ParseMimeMessage(message);
    ASSERT_TRUE(parsed.parsed);
    EXPECT_EQ(parsed.root.mimeType, "text/plain");
    EXPECT_EQ(parsed.root.params.at("charset"), "UTF-8");
    EXPECT_EQ(parsed.root.transferEncoding, c.encoding);
    EXPECT_EQ(parsed.root.text, c.text + "\r\n") << test::Visible(parsed.root.text);
  }
}

TEST_F(SummaryMail, NoServerNoConnection) {
  Configure("", "a@x.test");
  Send();
  EXPECT_TRUE(socket_.Connects().empty());
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].text, "No SMTP server has been set");
  EXPECT_EQ(messages_.shown[0].title, "No SMTP Server");
  EXPECT_EQ(messages_.shown[0].icon, MessageIcon::Critical);
}

TEST_F(SummaryMail, AFailedConnectEndsEverythingSilently) {
  socket_.FailNextConnect("Could not connect");
  Send();
  EXPECT_EQ(socket_.Connects().size(), 1u);
  EXPECT_THAT(messages_.shown, IsEmpty());
  ASSERT_FALSE(trace_.empty());
  EXPECT_EQ(trace_.back().first, "Could not connect to SMTP Server: mail.test");
  EXPECT_TRUE(trace_.back().second);
}

// Whichever step the server refuses, the transaction ends there and the operator is
// told why, never that the mail was sent.
TEST_F(SummaryMail, ARefusalAtAnyStepIsShownAsAnError) {
  struct Case {
    const char* step;  // the command refused, or "END" for the message
    std::string reply;
    const char* shown;
    const char* notSent;  // the command that must not follow
  } cases[] = {
      {"MAIL FROM", "550 sender refused\r\n", "550 sender refused", "RCPT TO"},
      {"RCPT TO", "550 no such user\r\n", "550 no such user", "DATA"},
      {"RCPT TO", "354 what?\r\n", "354 what?", "DATA"},
      {"DATA", "554 no thanks\r\n", "554 no thanks", "From:"},
      {"END", "552 too big\r\n", "552 too big", "never sent"},
      {"END", "", "no reply (Timed out", "never sent"},
  };
  for (const Case& c : cases) {
    Configure("mail.test", "a@x.test");
    server_.sessions.clear();
    messages_.shown.clear();
    const std::string step = c.step;
    server_.reply = [&](const std::string& line) { return line.rfind(step, 0) == 0 ? c.reply : "250 ok\r\n"; };
    server_.dataReply = step == "DATA" ? c.reply : "354 go\r\n";
    server_.endReply = step == "END" ? c.reply : "250 queued\r\n";
    Send();
    ASSERT_EQ(messages_.shown.size(), 1u) << step;
    EXPECT_THAT(messages_.shown[0].text,
                ::testing::StartsWith(std::string("Error: the summary email was not accepted: a@x.test: ") + c.shown))
        << step;
    EXPECT_EQ(messages_.shown[0].icon, MessageIcon::Critical);
    ASSERT_EQ(server_.sessions.size(), 1u);
    EXPECT_THAT(server_.sessions[0], Not(HasSubstr(c.notSent))) << step;
  }
}

TEST_F(SummaryMail, TheAddressesRefusedAreNamedWhenOthersTookTheMail) {
  Configure("mail.test:2525", "a@x.test, b@x.test");
  server_.reply = [](const std::string& line) {
    return line == "RCPT TO: <a@x.test>" ? std::string("550 no such user\r\n") : std::string("250 ok\r\n");
  };
  Send();
  ASSERT_EQ(server_.sessions.size(), 2u);
  EXPECT_EQ(server_.sessions[0], "HELO me.test\r\nMAIL FROM: <a@x.test>\r\nRCPT TO: <a@x.test>\r\nRSET\r\nQUIT\r\n");
  EXPECT_THAT(server_.sessions[1], HasSubstr("MAIL FROM: <b@x.test>\r\nRCPT TO: <b@x.test>\r\nDATA\r\n"));
  EXPECT_EQ(socket_.Connects()[1].port, 2525);
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].text, "Summary email sent, but not accepted for a@x.test: 550 no such user");
  EXPECT_EQ(messages_.shown[0].icon, MessageIcon::Exclamation);
}

TEST_F(SummaryMail, UnsafeAddressesGetNoSession) {
  Configure("mail.test", "a@x.test, b@x.test>\r\nRCPT TO: <c@x.test, d @x.test");
  Send();
  ASSERT_EQ(server_.sessions.size(), 1u);
  EXPECT_THAT(server_.sessions[0], HasSubstr("RCPT TO: <a@x.test>\r\n"));
  EXPECT_THAT(messages_.Texts(),
              ElementsAre("Summary email sent, but not accepted for b@x.test>??RCPT TO: <c@x.test: not a valid "
                          "address; d @x.test: not a valid address"));

  Configure("mail.test", " ,; ");
  messages_.shown.clear();
  Send();
  EXPECT_EQ(socket_.Connects().size(), 1u);
  EXPECT_THAT(messages_.Texts(), ElementsAre("No address has been set for the summary email"));
}

TEST_F(SummaryMail, AnAddressLongerThanAPathCarriesGetsNoSession) {
  const std::string longest = std::string(254 - 7, 'a') + "@x.test";
  const std::string tooLong = "b" + longest;
  Configure("mail.test", longest + "," + tooLong + ",c@x.test");
  Send();
  ASSERT_EQ(server_.sessions.size(), 2u);
  EXPECT_THAT(server_.sessions[0], HasSubstr("RCPT TO: <" + longest + ">\r\n"));
  EXPECT_THAT(messages_.Texts(),
              ElementsAre("Summary email sent, but not accepted for " + tooLong + ": not a valid address"));
}

TEST_F(SummaryMail, ALostConnectionCountsAsARefusal) {
  socket_.onConnect = [inner = socket_.onConnect](MemorySocket& s) {
    inner(s);
    s.FailSendsAfter(std::string("HELO me.test\r\n").size());
  };
  Configure("mail.test", "a@x.test;b@x.test");
  Send();
  EXPECT_EQ(socket_.Connects().size(), 2u);
  EXPECT_THAT(messages_.Texts(), ElementsAre("Error: the summary email was not accepted: a@x.test: the connection "
                                             "was lost while sending; b@x.test: the connection was lost while sending"));
  EXPECT_EQ(socket_.Sent().find("QUIT"), std::string::npos);
}

// A run that crosses the change to summer time dates each message with its own offset.
TEST_F(SummaryMail, EachMessageTakesTheOffsetOfItsMoment) {
  test::TimeZoneGuard berlin("Europe/Berlin");
  SetClock(ToDayNumber(CivilTime{2024, 3, 31, 1, 59, 59, 0}));
  Configure("mail.test", "a@x.test,b@x.test");
  server_.reply = [](const std::string& line) {
    if (line == "MAIL FROM: <b@x.test>") SetClock(ToDayNumber(CivilTime{2024, 3, 31, 3, 0, 0, 0}));
    return std::string("250 ok\r\n");
  };
  Send();
  ASSERT_EQ(server_.sessions.size(), 2u);
  EXPECT_THAT(server_.sessions[0], HasSubstr("\r\nDate: Sun, 31 Mar 2024 01:59:59 +0100\r\n"));
  EXPECT_THAT(server_.sessions[1], HasSubstr("\r\nDate: Sun, 31 Mar 2024 03:00:00 +0200\r\n"));
}

TEST_F(SummaryMail, ErrorsOutsideTheSessionReachTheCaller) {
  Configure("mail.test", "a@x.test");
  ::unlink(folder_.File("reports/summaryreport.txt").c_str());
  EXPECT_THROW(Send(), std::exception);
  test::WriteWholeFile(folder_.File("reports/summaryreport.txt"), "x\n");
  std::string many;
  for (int i = 0; i < 21; ++i) many += (i ? "," : "") + std::to_string(i) + "@x.test";
  Configure("mail.test", many);
  EXPECT_THROW(Send(), std::out_of_range);
  EXPECT_TRUE(socket_.Connects().empty());
}

}  // namespace
}  // namespace ar
