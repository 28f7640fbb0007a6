#pragma once
// One event message to one subscriber: the bodies and addresses gathered from the event
// row and its files, one SMTP session with one mail transaction, QUIT.
//
// The work is split by thread: the content is gathered and the outcome reported (progress
// lines, statuses) on the pass's thread, which alone touches the databases; the session
// in between may run on any thread, over a socket of its own.
#include "mail/BodyFile.h"
#include "mail/MailTransaction.h"
#include "mail/MimeComposer.h"
#include "mail/SmtpSession.h"
#include "mail/Timeouts.h"
#include "processor/MessageOutcome.h"
#include "processor/RunContext.h"
#include "processor/StatusTexts.h"
#include "store/Connection.h"

#include <memory>
#include <string>
#include <vector>

namespace ar {

// What every message of an event carries, gathered from the event row and its files.
struct EventContent {
  MailMessageContent message;  // everything but the recipient
  std::string error;           // why the bodies could not be read; empty when they could
};

// What became of one message: its outcome and what the pass reports about it.
struct MessageResult {
  enum class Failure {
    None,            // the transaction ran; the outcome says how it ended
    Connection,      // no session: connection, greeting or introduction failed
    Authentication,  // no session: the server refused the password
    StoppedEarly,    // a stop request ended the connect; nothing to report
    SessionRefused,  // the server refused the sender, the session or relaying (a 5xx to
                     // MAIL FROM, a 530 or relay denial at RCPT TO): nothing was sent
    MessageRefused,  // the server refused DATA or the message without naming the recipient
    NotComposed,     // the message could not be composed; the connection was dropped
    Abandoned,       // a stop request ended the transaction before the final "."
    Unexpected,      // an error outside the dialogue (reason); no QUIT was sent
  };
  MessageOutcome outcome = MessageOutcome::Deferred;
  Failure failure = Failure::None;
  std::string recipient;
  std::string reason;                    // the reply or the error behind the outcome
  // The relay refused the connection (none could be opened, or it closed with 421 before
  // the first recipient): with other sessions open, that is its limit on connections.
  bool connectionRefused = false;
  std::vector<std::string> statusLines;  // progress lines of the composer, in order
};

class EventMessage {
 public:
  explicit EventMessage(RunContext& context) : ctx_(context) {}

  // The content of the event's next message: the bodies read afresh from their files
  // (a file edited during the pass counts from the next message on), and `last` itself
  // when nothing changed, so that the messages in flight share one copy.
  std::shared_ptr<const EventContent> Content(const RowSet& event, std::shared_ptr<const EventContent> last);

  // One session to the subscriber's address as stored, over the given socket, tracing
  // through trace. Touches neither the databases nor the progress list: safe on any
  // thread, several at once.
  MessageResult Send(const EventContent& content, const std::string& address, const SmtpSettings& settings,
                     Socket& socket, const TraceFunction& trace) const;

  // On the pass's thread: the progress lines and statuses of a message, as one session
  // at a time has always written them.
  void Report(const MessageResult& result) const;

  // For tests: the session's time-outs.
  void SetTimeouts(int connectMs, int replyMs) {
    connectMs_ = connectMs;
    replyMs_ = replyMs;
  }

 private:
  // The body in the file at path, or the fallback when there is no such file.
  std::string BodyFromFile(const std::string& path, const std::string& fallback);
  // The mail transaction, the message composed once DATA was accepted, and what its
  // ending means for the subscriber.
  void Transaction(SmtpSession& smtp, Socket& socket, MailMessageContent& message, MessageResult& result) const;
  using Step = MailTransactionResult::Step;
  // What a step that did not go on means: its reply, or the lack of one (a broken
  // connection, a silent server, or a stop request that abandoned the message). Only a
  // refusal of the recipient is final for the subscriber.
  void Refusal(const SmtpReply& reply, Step step, MessageResult& result) const;
  void Interrupted(const std::string& reason, MessageResult& result) const;
  bool Stopping() const { return ctx_.stop && ctx_.stop->Requested(); }

  RunContext& ctx_;
  BodyFileCache bodies_;
  int connectMs_ = kSmtpConnectTimeoutMs;
  int replyMs_ = kSmtpReplyTimeoutMs;
};

// The recipient of a stored subscriber address: trimmed, every "," made ".", bare.
std::string RecipientAddress(const std::string& stored);
// The envelope sender of an event's FromAddress: the bare address, trimmed.
std::string SenderAddress(const std::string& fromAddress);
// The domain of the Message-Id: the bare sender's part after its first "@" (at most 200
// characters, trimmed), or the whole bare address when it has none.
std::string SenderDomain(const std::string& fromAddress);

}  // namespace ar
