#include "control/servers/SmtpServerCheck.h"

namespace ar {
namespace {

// The settings with the server text as host and port: the test reads a port too large
// for an int as the default port of the TLS box, where the session would take 25.
SmtpSettings WithPortOfTheTest(SmtpSettings settings) {
  const int defaultPort = settings.tls ? 465 : 25;
  const ServerEndpoint endpoint = SplitServerText(settings.server, defaultPort, defaultPort);
  settings.server = endpoint.host + ":" + std::to_string(endpoint.port);
  return settings;
}

}  // namespace

SmtpServerCheck::SmtpServerCheck(Socket& socket, TraceFunction trace)
    : socket_(socket), trace_(std::move(trace)), session_(socket, nullptr) {
  // The session's own trace would repeat the dialogue in its words; the test traces the
  // commands itself.
  session_.SetObserver(this);
  session_.SetTimeouts(kTimeoutMs, kTimeoutMs);
  session_.SetFallbackHeloName(std::string(kServerTestHeloName));
  // A refused HELO is reported as any refused command is, after RSET.
  session_.SetResetAfterRefusedHelo(true);
}

void SmtpServerCheck::Trace(const std::string& message, bool force) {
  if (trace_) trace_(message, force);
}

bool SmtpServerCheck::Run(const SmtpSettings& settings, ListLine list, std::stop_token stop) {
  list_ = std::move(list);
  stop_ = stop;
  authenticating_ = !settings.userName.empty();
  sentAny_ = false;
  listing_ = true;
  lastReceived_.clear();
  failure_.reset();
  const StopWakesSocket wake(socket_, stop);
  list_("Connecting to: " + settings.server);
  bool authFailed = false;
  if (!session_.SMTPConnect(WithPortOfTheTest(settings), authFailed)) {
    try {
      socket_.Close();  // no QUIT: the test ends the connection itself
      list_("Connection was successful");
      return true;
    } catch (const SocketError& e) {
      failure_ = e.what();
      socket_.Abort();
    }
  }
  if (failure_) {
    if (!stop_.stop_requested()) Trace("frmTestSMTPServer: " + *failure_, true);
    list_("Error connecting to SMTP Server");
    // Why, as the trace has it: a refused connection, an untrusted certificate, ...
    if (!stop_.stop_requested()) list_(ReasonLine(*failure_));
  } else {
    Trace("ERROR RESPONSE: " + lastReceived_);
    list_("Error detected");
  }
  return false;
}

void SmtpServerCheck::Sent(std::string_view line) {
  if (stop_.stop_requested()) throw SocketError(kStoppedDescription);
  Trace("SENDING: " + std::string(line));
  if (line == "RSET") {
    listing_ = false;  // neither the reset nor its reply is the operator's business
    return;
  }
  if (sentAny_) return;
  sentAny_ = true;
  list_(authenticating_ ? "***Using SMTP authentication" : "***No authentication specified");
  list_("Sending: " + std::string(line));
}

void SmtpServerCheck::Received(std::string_view line) {
  if (!listing_) return;
  lastReceived_ = line;
  list_("Received: " + std::string(line));
}

void SmtpServerCheck::Failed(std::string_view description) { failure_ = std::string(description); }

}  // namespace ar
