#include "control/servers/MailboxServerCheck.h"

#include "base/Text.h"

namespace ar {
namespace {

bool HoldsLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

}  // namespace

MailboxServerCheck::MailboxServerCheck(Socket& socket, MailboxSession::TraceFunction trace)
    : socket_(socket),
      trace_(trace ? std::move(trace) : [](const std::string&, bool) {}),
      // The session's own trace would repeat the dialogue in its words; the test traces
      // the commands itself.
      session_(socket, [](const std::string&, bool) {}) {
  session_.SetObserver(this);
  session_.SetResetAfterRefusal(false);  // a refused login ends the test, nothing to reset
}

void MailboxServerCheck::Trace(const std::string& message, bool force) { trace_(message, force); }

bool MailboxServerCheck::Run(const MailboxServerSettings& settings, ListLine list, std::stop_token stop) {
  list_ = std::move(list);
  stop_ = stop;
  lastReceived_.clear();
  failure_.reset();
  const StopWakesSocket wake(socket_, stop);
  const bool pop3 = StartsWithNoCase(settings.serverType, "POP3") && settings.serverType.size() == 4;
  const bool imap4 = StartsWithNoCase(settings.serverType, "IMAP4") && settings.serverType.size() == 5;
  if (!pop3 && !imap4) return false;
  listing_ = pop3;
  socket_.SetTimeoutMs(kTimeoutMs);
  if (imap4) return Imap4(settings);
  Pop3(settings);
  return false;
}

void MailboxServerCheck::Pop3(const MailboxServerSettings& settings) {
  list_("Connecting to: " + settings.server);
  if (session_.POPConnect(settings.server, settings.tls) || RefuseLineBreaks(settings)) return ConnectionFailed();
  std::string reply;
  session_.POPSend("USER " + settings.userName + "\r\n");
  bool refused = session_.POPReceive(reply);
  if (!refused) {
    session_.POPSend("PASS " + settings.password + "\r\n");
    refused = session_.POPReceive(reply);
  }
  if (failure_) return ConnectionFailed();
  list_(refused ? "The connection failed" : "The connection was successful");
  socket_.Close();
}

bool MailboxServerCheck::Imap4(const MailboxServerSettings& settings) {
  if (session_.IMAPConnect(settings.server, settings.tls) || RefuseLineBreaks(settings)) {
    ConnectionFailed();
    return false;
  }
  list_("Sending login information");
  if (!session_.IMAPLogin(settings.userName, settings.password)) {
    list_("Successfully logged in");
    return true;
  }
  if (failure_) {
    ConnectionFailed();
    return false;
  }
  list_("Received: " + lastReceived_);
  list_("The connection failed");
  socket_.Close();
  return false;
}

void MailboxServerCheck::Logout() {
  if (socket_.State() == SocketState::Closed) return;
  stop_ = {};  // the logout is what the closing window asked for
  std::string answer;
  session_.IMAPCommand("01 LOGOUT\r\n", answer, Socket::kMaxLineBytes);
  if (socket_.State() != SocketState::Closed) socket_.Close();
}

bool MailboxServerCheck::RefuseLineBreaks(const MailboxServerSettings& settings) {
  // Only the command's own line end may end a line: a user name or password with a line
  // break would add commands of its own. Refused before anything is listed as sent.
  if (!HoldsLineBreak(settings.userName) && !HoldsLineBreak(settings.password)) return false;
  failure_ = "A user name or password holds a line break";
  return true;
}

void MailboxServerCheck::ConnectionFailed() {
  if (!stop_.stop_requested()) Trace("frmTestPOPServer: " + failure_.value_or("The connection was lost"), true);
  socket_.Abort();
  list_("Error connecting to Server");
  // Why, as the trace has it: a refused connection, an untrusted certificate, ...
  if (failure_ && !stop_.stop_requested()) list_(ReasonLine(*failure_));
}

void MailboxServerCheck::Sent(std::string_view line) {
  if (stop_.stop_requested()) throw SocketError(kStoppedDescription);
  Trace("SENDING: " + std::string(line));
  if (listing_) list_("Sending: " + std::string(line));
}

void MailboxServerCheck::Received(std::string_view line) {
  lastReceived_ = line;
  if (listing_) list_("Received: " + std::string(line));
}

void MailboxServerCheck::Failed(std::string_view description) { failure_ = std::string(description); }

}  // namespace ar
