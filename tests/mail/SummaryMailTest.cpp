// The summary report mail: recipients cut from the configured list, one session per
// address on a memory socket, the message text and the operator's messages.
#include "mail/SummaryMail.h"

#include "mail/DateLine.h"
#include "mail/SocketMemory.h"
#include "store/Clock.h"
#include "store/Connection.h"
#include "store/Schema.h"
#include "tests/support/TempFolder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace ar {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(SummaryAddresses, CutAtCommasFirstThenSemicolons) {
  struct Case {
    std::string list;
    std::vector<std::string> addresses;
  } cases[] = {
      {"a@x.test,b@x.test,c@x.test", {"a@x.test", "b@x.test", "c@x.test"}},
      {"a@x.test;b@x.test;c@x.test", {"a@x.test", "b@x.test", "c@x.test"}},
      {"a@x.test;b@x.test,c@x.test", {"a@x.test;b@x.test", "c@x.test"}},
      {"a@x.test,b@x.test;c@x.test", {"a@x.test", "b@x.test", "c@x.test"}},
      {"a@x.test, b@x.test", {"a@x.test", " b@x.test"}},
      {"", {""}},
      {"a@x.test,", {"a@x.test", ""}},
      {std::string(250, 'z'), {std::string(200, 'z')}},
  };
  for (const auto& c : cases) EXPECT_EQ(CutSummaryAddresses(c.list), c.addresses) << c.list;
}

TEST(SummaryAddresses, TwentyAtMost) {
  std::string twenty;
  for (int i = 0; i < 20; ++i) twenty += (i ? "," : "") + std::to_string(i) + "@x.test";
  EXPECT_EQ(CutSummaryAddresses(twenty).size(), 20u);
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
        s.Deliver("250 queued\r\n");
        continue;
      }
      std::size_t end = pending_.find("\r\n");
      if (end == std::string::npos) return;
      std::string line = pending_.substr(0, end);
      pending_.erase(0, end + 2);
      if (line == "DATA") {
        inData_ = true;
        s.Deliver("354 go\r\n");
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
    SetClock(39818.5853819444);  // Monday 5 January 2009, 14:03:09
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

TEST_F(SummaryMail, OneSessionPerAddressInOrder) {
  Send();
  ASSERT_EQ(server_.sessions.size(), 3u);
  std::string date = BuildDateHeader(GetTimeZoneOffset());
  EXPECT_EQ(server_.sessions[0],
            "HELO me.test\r\n"
            "MAIL FROM: <a@x.test>\r\n"
            "RCPT TO: <a@x.test>\r\n"
            "DATA\r\n"
            "From: Autoresponder Admin<a@x.test>\r\n"
            "To: a@x.test\r\n" +
                date +
                "\r\n"
                "Subject: Autoreponder Summary Report\r\n"
                "MIME-Version: 1.0\r\n"
                "\r\n"
                "Summary\r\n"
                "..hidden line\r\n"
                "\r\n"
                "last\r\n"
                "\r\n"
                ".\r\n"
                "QUIT\r\n");
  EXPECT_THAT(server_.sessions[1], ::testing::StartsWith("HELO me.test\r\nMAIL FROM: <b@x.test>\r\n"));
  EXPECT_THAT(server_.sessions[2], ::testing::StartsWith("HELO me.test\r\nMAIL FROM: <c@x.test>\r\n"));
  EXPECT_EQ(socket_.Connects().size(), 3u);
  EXPECT_EQ(socket_.Connects()[0].port, 25);
  EXPECT_THAT(messages_.Texts(), ElementsAre("Summary email sent"));
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

TEST_F(SummaryMail, ABadReplyEndsOnlyThatAddressesSession) {
  Configure("mail.test:2525", "a@x.test, b@x.test");
  server_.reply = [](const std::string& line) {
    return line == "RCPT TO: <a@x.test>" ? std::string("550 no such user\r\n") : std::string("250 ok\r\n");
  };
  Send();
  ASSERT_EQ(server_.sessions.size(), 2u);
  EXPECT_EQ(server_.sessions[0], "HELO me.test\r\nMAIL FROM: <a@x.test>\r\nRCPT TO: <a@x.test>\r\nRSET\r\nQUIT\r\n");
  EXPECT_THAT(server_.sessions[1], ::testing::HasSubstr("RCPT TO: < b@x.test>\r\nDATA\r\n"));
  EXPECT_EQ(socket_.Connects()[1].port, 2525);
  EXPECT_THAT(messages_.Texts(), ElementsAre("Summary email sent"));
}

TEST_F(SummaryMail, AFailedMailFromSendStopsWithoutQuit) {
  socket_.onConnect = [inner = socket_.onConnect](MemorySocket& s) {
    inner(s);
    s.FailSendsAfter(std::string("HELO me.test\r\n").size());
  };
  Send();
  EXPECT_EQ(socket_.Connects().size(), 1u);
  EXPECT_THAT(messages_.Texts(), ElementsAre("Error: "));
  EXPECT_EQ(socket_.Sent().find("QUIT"), std::string::npos);
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
