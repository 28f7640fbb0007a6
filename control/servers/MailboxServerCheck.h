#pragma once
// The mailbox server test of the autoresponder editor: the processor's mailbox session
// connects to the POP3 or IMAP4 server with the settings as typed and logs in, while the
// test lists the dialogue for the operator. It reads and deletes nothing. An IMAP4 login
// stays open until the test's window closes, which logs out.
#include "control/servers/ServerCheckRunner.h"
#include "mail/DialogueObserver.h"
#include "mail/MailboxSession.h"
#include "mail/Socket.h"
#include "mail/Timeouts.h"

#include <optional>
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

class MailboxServerCheck : private DialogueObserver {
 public:
  static constexpr int kTimeoutMs = kServerCheckTimeoutMs;

  MailboxServerCheck(Socket& socket, MailboxSession::TraceFunction trace);

  // Runs the test, listing the operator's lines. True when an IMAP4 login succeeded: the
  // connection is then open until Logout. Once a stop is requested nothing more is sent.
  bool Run(const MailboxServerSettings& settings, ListLine list, std::stop_token stop = {});
  // Ends an IMAP4 login kept open by Run.
  void Logout();

 private:
  void Pop3(const MailboxServerSettings& settings);
  bool Imap4(const MailboxServerSettings& settings);
  // The session's dialogue: every POP3 line is listed; of IMAP4 only the tagged answer
  // to a refused login is, and that by Imap4.
  void Sent(std::string_view line) override;
  void Received(std::string_view line) override;
  void Failed(std::string_view description) override;
  // True (with the reason kept) when a user name or password holds a line break.
  bool RefuseLineBreaks(const MailboxServerSettings& settings);
  // Ends the test on a failed connection: "Error connecting to Server", and the reason
  // in the trace unless the test was abandoned.
  void ConnectionFailed();
  void Trace(const std::string& message, bool force = false);

  Socket& socket_;
  MailboxSession::TraceFunction trace_;
  MailboxSession session_;
  ListLine list_;
  std::stop_token stop_;
  // Of the running test:
  bool listing_ = false;                // POP3: the dialogue is listed line by line
  std::string lastReceived_;            // IMAP4: the tagged answer to the login
  std::optional<std::string> failure_;  // why the connection failed, when it did
};

}  // namespace ar
