#include "control/servers/MailboxServerCheck.h"

#include "base/Text.h"

namespace ar {
namespace {

constexpr const char* kCrLf = "\r\n";

// The one line of an IMAP4 answer that completes the command ("01 OK ...").
std::string TaggedLine(std::string answer) {
  while (!answer.empty() && (answer.back() == '\n' || answer.back() == '\r')) answer.pop_back();
  const std::size_t lineEnd = answer.rfind('\n');
  return lineEnd == std::string::npos ? answer : answer.substr(lineEnd + 1);
}

bool HoldsLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

}  // namespace

MailboxServerCheck::MailboxServerCheck(Socket& socket, MailboxSession::TraceFunction trace)
    : socket_(socket), trace_(trace ? std::move(trace) : [](const std::string&, bool) {}), session_(socket, trace_) {}

void MailboxServerCheck::Trace(const std::string& message, bool force) { trace_(message, force); }

bool MailboxServerCheck::Run(const MailboxServerSettings& settings, ListLine list, std::stop_token stop) {
  list_ = std::move(list);
  stop_ = stop;
  const StopWakesSocket wake(socket_, stop);
  const bool pop3 = StartsWithNoCase(settings.serverType, "POP3") && settings.serverType.size() == 4;
  const bool imap4 = StartsWithNoCase(settings.serverType, "IMAP4") && settings.serverType.size() == 5;
  if (!pop3 && !imap4) return false;
  socket_.SetSecurity(settings.tls ? SocketSecurity::TlsFromConnect : SocketSecurity::None);
  socket_.SetTimeoutMs(kTimeoutMs);
  try {
    if (imap4) return Imap4(settings);
    Pop3(settings);
  } catch (const SocketError& e) {
    if (!stop_.stop_requested()) Trace(std::string("frmTestPOPServer: ") + e.what(), true);
    socket_.Abort();
    list_("Error connecting to Server");
  }
  return false;
}

void MailboxServerCheck::Connect(const MailboxServerSettings& settings, int plainPort, int tlsPort) {
  const int defaultPort = settings.tls ? tlsPort : plainPort;
  const ServerEndpoint endpoint = SplitServerText(settings.server, defaultPort, defaultPort);
  socket_.Connect(endpoint.host, static_cast<int>(endpoint.port));
}

void MailboxServerCheck::Pop3(const MailboxServerSettings& settings) {
  list_("Connecting to: " + settings.server);
  Connect(settings, 110, 995);
  Receive();
  const std::string user = "USER " + settings.userName;
  list_("Sending: " + user);
  Send(user + kCrLf, user);
  if (FindNoCase(Receive(), "+OK") == std::string::npos) {
    list_("The connection failed");
  } else {
    list_("Sending: PASS *****");
    Send("PASS " + settings.password + kCrLf, "PASS *****");
    list_(FindNoCase(Receive(), "+OK") == std::string::npos ? "The connection failed"
                                                            : "The connection was successful");
  }
  socket_.Close();
}

bool MailboxServerCheck::Imap4(const MailboxServerSettings& settings) {
  Connect(settings, 143, 993);
  socket_.ReadLine();  // the greeting
  const std::string login = "01 LOGIN " + ImapAString(settings.userName) + " " + ImapAString(settings.password) + kCrLf;
  Announce(login, "01 LOGIN <HIDDEN>");
  list_("Sending login information");
  std::string tagged;
  const ImapResult result = Command(login, tagged);
  if (result == ImapResult::Ok) {
    list_("Successfully logged in");
    return true;
  }
  list_("Received: " + tagged);
  list_("The connection failed");
  socket_.Close();
  return false;
}

void MailboxServerCheck::Logout() {
  if (socket_.State() == SocketState::Closed) return;
  stop_ = {};  // the logout is what the closing window asked for
  try {
    const std::string logout = std::string("01 LOGOUT") + kCrLf;
    Announce(logout, "01 LOGOUT");
    std::string tagged;
    Command(logout, tagged);
  } catch (const SocketError&) {
    // the connection goes all the same
  }
  if (socket_.State() != SocketState::Closed) socket_.Close();
}

ImapResult MailboxServerCheck::Command(const std::string& command, std::string& tagged) {
  // The processor's session sends the command and reads the answer up to its tagged
  // completion: "01 OK" succeeds, "01 NO" and "01 BAD" are refusals.
  std::string answer;
  const ImapResult result = session_.IMAPCommand(command, answer, Socket::kMaxLineBytes);
  if (result == ImapResult::Failed) throw SocketError("The server's answer did not arrive");
  tagged = answer.empty() ? (result == ImapResult::No    ? "01 NO"
                             : result == ImapResult::Bad ? "01 BAD"
                                                         : "01 OK")
                          : TaggedLine(answer);
  return result;
}

void MailboxServerCheck::Announce(std::string_view command, std::string_view shown) {
  if (stop_.stop_requested()) throw SocketError("The test was abandoned");
  // Only the command's own line end may end a line: a user name or password with a line
  // break would add commands of its own.
  if (HoldsLineBreak(command.substr(0, command.size() - 2)))
    throw SocketError("A user name or password holds a line break");
  Trace("SENDING: " + std::string(shown));
}

void MailboxServerCheck::Send(const std::string& command, std::string_view shown) {
  Announce(command, shown);
  socket_.Send(command);
}

std::string MailboxServerCheck::Receive() {
  const std::string line = socket_.ReadLine();
  list_("Received: " + WithoutLineBreaks(line));
  return line;
}

}  // namespace ar
