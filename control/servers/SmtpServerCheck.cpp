#include "control/servers/SmtpServerCheck.h"

#include "base/Text.h"
#include "mail/Base64.h"

namespace ar {
namespace {

constexpr const char* kCrLf = "\r\n";

bool IsContinuation(const std::string& line) { return line.size() >= 4 && line[3] == '-'; }

}  // namespace

SmtpServerCheck::SmtpServerCheck(Socket& socket, TraceFunction trace)
    : socket_(socket), trace_(std::move(trace)), computerName_(ComputerName) {}

void SmtpServerCheck::Trace(const std::string& message, bool force) {
  if (trace_) trace_(message, force);
}

std::string SmtpServerCheck::HeloName(const SmtpSettings& settings) const {
  if (!settings.heloName.empty()) return settings.heloName;
  if (computerName_)
    if (std::optional<std::string> name = computerName_()) return *name;
  return std::string(kServerTestHeloName);
}

bool SmtpServerCheck::Run(const SmtpSettings& settings, ListLine list, std::stop_token stop) {
  list_ = std::move(list);
  stop_ = stop;
  const StopWakesSocket wake(socket_, stop);
  const int defaultPort = settings.tls ? 465 : 25;
  const ServerEndpoint endpoint = SplitServerText(settings.server, defaultPort, defaultPort);
  list_("Connecting to: " + settings.server);
  socket_.SetTimeoutMs(kTimeoutMs);
  socket_.SetSecurity(settings.tls ? SocketSecurity::TlsFromConnect : SocketSecurity::None);
  try {
    socket_.Connect(endpoint.host, static_cast<int>(endpoint.port));
    const std::string helo = HeloName(settings);
    const bool introduced = Greeting() && (settings.userName.empty() ? Introduce(helo) : Authenticate(settings, helo));
    socket_.Close();  // no QUIT: the test ends the connection itself
    if (!introduced) return false;
    list_("Connection was successful");
    return true;
  } catch (const SocketError& e) {
    if (!stop_.stop_requested()) Trace(std::string("frmTestSMTPServer: ") + e.what(), true);
    socket_.Abort();
    list_("Error connecting to SMTP Server");
    return false;
  }
}

bool SmtpServerCheck::Greeting() {
  // A server that refuses the connection says so at once; no RSET follows.
  return Judge(ReadReply(), false);
}

bool SmtpServerCheck::Introduce(const std::string& helo) {
  list_("***No authentication specified");
  return Exchange("HELO " + helo + kCrLf, true);
}

bool SmtpServerCheck::Authenticate(const SmtpSettings& settings, const std::string& helo) {
  list_("***Using SMTP authentication");
  return Exchange("EHLO " + helo + kCrLf, true) && Exchange(std::string("AUTH LOGIN") + kCrLf, false) &&
         Exchange(Base64_encode(settings.userName) + kCrLf, false) &&
         Exchange(Base64_encode(settings.password) + kCrLf, false);
}

bool SmtpServerCheck::Exchange(const std::string& command, bool shown) {
  if (shown) list_("Sending: " + WithoutLineBreaks(command));
  // Only the two commands that carry no credentials reach the trace.
  const bool secret = !shown && !StartsWithNoCase(command, "AUTH LOGIN");
  Write(command, secret);
  return Judge(ReadReply(), true);
}

std::string SmtpServerCheck::ReadReply() {
  std::string line = socket_.ReadLine();
  list_("Received: " + WithoutLineBreaks(line));
  while (IsContinuation(line)) {
    line = socket_.ReadLine();
    list_("Received: " + WithoutLineBreaks(line));
  }
  return line;
}

bool SmtpServerCheck::Judge(const std::string& reply, bool reset) {
  const std::string trimmed = TrimBlanks(WithoutLineBreaks(reply));
  if (!trimmed.empty() && (trimmed[0] == '1' || trimmed[0] == '2' || trimmed[0] == '3')) return true;
  list_("Error detected");
  Trace("ERROR RESPONSE: " + WithoutLineBreaks(reply));
  if (!reset) return false;
  try {
    Write(std::string("RSET") + kCrLf, false);
    socket_.ReadLine();
  } catch (const SocketError&) {
    // the verdict stands whatever becomes of the RSET
  }
  return false;
}

void SmtpServerCheck::Write(std::string_view command, bool secret) {
  if (stop_.stop_requested()) throw SocketError("The test was abandoned");
  Trace(secret ? std::string("SENDING: <HIDDEN>") : "SENDING: " + WithoutLineBreaks(command));
  socket_.Send(command);
}

}  // namespace ar
