#pragma once
// The mailbox server test of the autoresponder editor: connects to the POP3 or IMAP4
// server with the settings as typed and logs in, listing the dialogue for the operator.
// It reads and deletes nothing. An IMAP4 login stays open until the test's window
// closes, which logs out.
#include "control/servers/ServerCheckRunner.h"
#include "mail/MailboxSession.h"
#include "mail/Socket.h"

#include <stop_token>
#include <string>
#include <string_view>

namespace ar {

struct MailboxServerSettings {
  std::string serverType;  // "POP3" or "IMAP4"; any other type tests nothing
  std::string server;      // host, or host ":" port
  std::string userName;
  std::string password;
  bool tls = false;
};

class MailboxServerCheck {
 public:
  static constexpr int kTimeoutMs = 10000;

  MailboxServerCheck(Socket& socket, MailboxSession::TraceFunction trace);

  // Runs the test, listing the operator's lines. True when an IMAP4 login succeeded: the
  // connection is then open until Logout. Once a stop is requested nothing more is sent.
  bool Run(const MailboxServerSettings& settings, ListLine list, std::stop_token stop = {});
  // Ends an IMAP4 login kept open by Run.
  void Logout();

 private:
  void Pop3(const MailboxServerSettings& settings);
  bool Imap4(const MailboxServerSettings& settings);
  void Connect(const MailboxServerSettings& settings, int plainPort, int tlsPort);
  // Every command passes here before it is sent: the shown text is what the trace says
  // (never a password). Throws SocketError once the test is abandoned, and for a user
  // name or password that holds a line break.
  void Announce(std::string_view command, std::string_view shown);
  // A POP3 command.
  void Send(const std::string& command, std::string_view shown);
  // An IMAP4 command, announced before, and its answer; tagged is the completion line.
  // Throws SocketError when the answer does not arrive.
  ImapResult Command(const std::string& command, std::string& tagged);
  // One reply line, listed as "Received: ".
  std::string Receive();
  void Trace(const std::string& message, bool force = false);

  Socket& socket_;
  MailboxSession::TraceFunction trace_;
  MailboxSession session_;
  ListLine list_;
  std::stop_token stop_;
};

}  // namespace ar
