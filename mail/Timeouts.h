#pragma once
// Every time-out of the mail dialogues, in milliseconds. A value here is how long a
// server may keep a client waiting before the client gives up on it.
namespace ar {

// Connecting to a POP3 or IMAP4 server and reading its greeting: a mailbox server that
// cannot say hello within this is down for this run, and the next mailbox is waiting.
inline constexpr int kMailboxConnectTimeoutMs = 10000;
// Each read of the POP3 dialogue after the greeting: RETR of a large message from a slow
// server may take minutes, and a POP3 server does not talk while it sends.
inline constexpr int kPop3ReadTimeoutMs = 600000;
// Each read of the IMAP4 dialogue: the messages are fetched one by one in small answers,
// so a server silent this long has stalled.
inline constexpr int kImap4ReadTimeoutMs = 10000;
// Connecting to the SMTP server, the TLS handshake included: a loaded relay may accept
// slowly, and a failure only defers the message.
inline constexpr int kSmtpConnectTimeoutMs = 30000;
// Each SMTP reply as a whole: servers may legitimately take minutes over the reply to the
// end of the message (content scanning), and RFC 5321 asks clients to wait that long.
inline constexpr int kSmtpReplyTimeoutMs = 120000;
// The server tests of the control program, for the connect and each reply: the operator
// watches the test, and a server that is this slow is worth reporting as an error.
inline constexpr int kServerCheckTimeoutMs = 10000;

}  // namespace ar
