// One mail transaction over a memory server: where it stops for each reply under each
// rule of going on, what went on the wire, when the message is composed, and the
// reply to the message awaited through a stop request.
#include "mail/MailTransaction.h"

#include "mail/MemorySocket.h"
#include "mail/StopToken.h"
#include "tests/support/MemorySmtp.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

namespace ar {
namespace {

using Step = MailTransactionResult::Step;
using Ending = MailTransactionResult::Ending;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

constexpr const char* kText = "Subject: hi\r\n\r\nHello.\r\n.\r\n";

struct MemoryTransaction {
  MemorySocket socket;
  test::MemorySmtp server{socket};
  SmtpSession session{socket, nullptr};
  int composed = 0;

  MailTransactionResult Transact(MailGoAhead goAhead, bool composes = true) {
    SmtpSettings settings;
    settings.server = "mail.test";
    settings.heloName = "me.test";
    bool authFailed = false;
    EXPECT_FALSE(session.SMTPConnect(settings, authFailed));
    return RunMailTransaction(session, socket, "from@x.test", "to@x.test", goAhead, [&]() -> std::optional<MailText> {
      ++composed;
      if (!composes) return std::nullopt;
      return MailText{kText, {}};
    });
  }
  // What the client sent after its introduction.
  std::string Dialogue() const { return socket.Sent().substr(std::string("HELO me.test\r\n").size()); }
};

TEST(MailTransaction, StopsAtTheStepWhoseReplyDoesNotLetItGoOn) {
  const struct Case {
    const char* name;
    std::map<std::string, std::string> replies;
    MailGoAhead goAhead;
    Ending ending;
    Step step;
    int code;  // of the reply it ended on; 0 for none
    bool messageSent;
  } cases[] = {
      {"all accepted", {}, MailGoAhead::Expected, Ending::Accepted, Step::Message, 250, true},
      {"sender refused", {{"MAIL", "550 no"}}, MailGoAhead::AnyPositive, Ending::Stopped, Step::Sender, 550, false},
      {"recipient deferred", {{"RCPT", "451 later"}}, MailGoAhead::Expected, Ending::Stopped, Step::Recipient, 451,
       false},
      {"DATA refused", {{"DATA", "554 no"}}, MailGoAhead::AnyPositive, Ending::Stopped, Step::Data, 554, false},
      {"message refused", {{"END", "552 too big"}}, MailGoAhead::Expected, Ending::Stopped, Step::Message, 552, true},
      {"no reply to the message", {{"END", test::MemorySmtp::kSilent}}, MailGoAhead::AnyPositive, Ending::Stopped,
       Step::Message, 0, true},
      // A positive reply that is not the one the command wants: the rules part here.
      {"354 to RCPT, any positive", {{"RCPT", "354 what?"}}, MailGoAhead::AnyPositive, Ending::Accepted,
       Step::Message, 250, true},
      {"354 to RCPT, expected", {{"RCPT", "354 what?"}}, MailGoAhead::Expected, Ending::Stopped, Step::Recipient,
       354, false},
      {"250 to DATA, expected", {{"DATA", "250 ok"}}, MailGoAhead::Expected, Ending::Stopped, Step::Data, 250, false},
      // Whatever the rule, only a 2xx to its end means the message was taken.
      {"354 to the message", {{"END", "354 more?"}}, MailGoAhead::AnyPositive, Ending::Stopped, Step::Message, 354,
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryTransaction run;
    run.server.replies = c.replies;
    const MailTransactionResult result = run.Transact(c.goAhead);
    EXPECT_EQ(result.ending, c.ending);
    EXPECT_EQ(result.step, c.step);
    EXPECT_EQ(result.reply.code, c.code);
    const std::string commands = "MAIL FROM: <from@x.test>\r\nRCPT TO: <to@x.test>\r\nDATA\r\n";
    if (c.messageSent) {
      EXPECT_THAT(run.Dialogue(), StartsWith(commands + kText));
    } else {
      EXPECT_THAT(run.Dialogue(), Not(HasSubstr("Hello.")));
    }
    // Composed only once DATA was accepted.
    EXPECT_EQ(run.composed, c.messageSent ? 1 : 0);
  }
}

TEST(MailTransaction, AMessageThatCannotBeComposedDropsTheConnection) {
  MemoryTransaction run;
  const MailTransactionResult result = run.Transact(MailGoAhead::AnyPositive, false);
  EXPECT_EQ(result.ending, Ending::NotComposed);
  EXPECT_EQ(run.Dialogue(), "MAIL FROM: <from@x.test>\r\nRCPT TO: <to@x.test>\r\nDATA\r\n");
  EXPECT_EQ(run.socket.Aborts(), 1);
}

TEST(MailTransaction, ABrokenConnectionIsTheStepsSendFailure) {
  const std::string helo = "HELO me.test\r\n";
  const struct {
    std::size_t budget;  // bytes that still go out after HELO
    Step step;
  } cases[] = {
      {0, Step::Sender},
      {std::string("MAIL FROM: <from@x.test>\r\n").size(), Step::Recipient},
      {std::string("MAIL FROM: <from@x.test>\r\nRCPT TO: <to@x.test>\r\nDATA\r\n").size(), Step::Message},
  };
  for (const auto& c : cases) {
    MemoryTransaction run;
    run.socket.onConnect = [inner = run.socket.onConnect, &c, &helo](MemorySocket& s) {
      inner(s);
      s.FailSendsAfter(helo.size() + c.budget);
    };
    const MailTransactionResult result = run.Transact(MailGoAhead::Expected);
    EXPECT_EQ(result.ending, Ending::SendFailed) << c.budget;
    EXPECT_EQ(result.step, c.step) << c.budget;
  }
}

TEST(MailTransaction, AStopAfterTheFinalDotStillWaitsForTheReply) {
  MemoryTransaction run;
  StopToken stop;
  run.socket.SetStopToken(&stop);
  run.server.onMessageEnd = [&] { stop.Request(); };
  const MailTransactionResult result = run.Transact(MailGoAhead::AnyPositive);
  EXPECT_EQ(result.ending, Ending::Accepted);
  EXPECT_EQ(run.socket.GetStopToken(), &stop);  // the shield gives the token back
}

}  // namespace
}  // namespace ar
