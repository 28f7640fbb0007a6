#pragma once
// What became of one event message handed to the SMTP server, by the reply classes of
// RFC 5321. The scheduler marks a subscriber only for the outcomes that count as done,
// and ends a pass after a run of server failures.
namespace ar {

enum class MessageOutcome {
  Sent,          // the server accepted the message (2xx to its end)
  Refused,       // the recipient refused for good: a 5xx reply to RCPT TO, or to the end of
                 // the message naming the recipient (a refusal of the sender, the session
                 // or the message would meet everyone alike: ServerFailed)
  Deferred,      // not delivered this time for a reason of this message: a 4xx reply (not
                 // 421), a message that could not be composed, a stop request
  ServerFailed,  // the server failed: no connection, no or a refusing greeting, a failed
                 // TLS handshake or authentication, a 421 reply, a refused sender, session
                 // or message, a connection lost or silent before the final reply
};

// Sent and Refused mark the subscriber: a refused message would be refused again.
// Everything else leaves the subscriber due, to be tried at the next run.
constexpr bool CountsAsDone(MessageOutcome o) { return o == MessageOutcome::Sent || o == MessageOutcome::Refused; }

}  // namespace ar
