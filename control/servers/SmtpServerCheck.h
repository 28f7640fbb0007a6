#pragma once
// The SMTP server test of the configuration window: connects to the outgoing mail server
// with the settings as typed, introduces itself (HELO, or EHLO and AUTH LOGIN when a user
// name is given) and lists every line of the dialogue for the operator. It sends no mail
// and changes nothing.
#include "control/servers/ServerCheckRunner.h"
#include "mail/SmtpSession.h"
#include "mail/Socket.h"

#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

namespace ar {

// The test's own HELO name when neither the field nor the machine gives one.
inline constexpr std::string_view kServerTestHeloName = "VARNEL";

class SmtpServerCheck {
 public:
  static constexpr int kTimeoutMs = 10000;

  // trace gets the commands sent (never the credentials).
  SmtpServerCheck(Socket& socket, TraceFunction trace);

  // Runs the whole test, listing the operator's lines; true when it listed "Connection
  // was successful". Once a stop is requested nothing more is sent.
  bool Run(const SmtpSettings& settings, ListLine list, std::stop_token stop = {});

  void SetComputerNameSource(std::function<std::optional<std::string>()> source) { computerName_ = std::move(source); }

 private:
  std::string HeloName(const SmtpSettings& settings) const;
  // The steps; each true when the test goes on.
  bool Greeting();
  bool Introduce(const std::string& helo);
  bool Authenticate(const SmtpSettings& settings, const std::string& helo);
  // Sends a command (listed as "Sending: " when shown) and judges its reply.
  bool Exchange(const std::string& command, bool shown);
  // Reads one reply, continuation lines included, listing every line; returns the last.
  std::string ReadReply();
  // A reply is good when its last line begins with 1, 2 or 3. A bad one lists
  // "Error detected" and is followed by RSET.
  bool Judge(const std::string& reply, bool reset);
  // Every byte the test sends passes here; secret commands are traced without their text.
  void Write(std::string_view command, bool secret);
  void Trace(const std::string& message, bool force = false);

  Socket& socket_;
  TraceFunction trace_;
  ListLine list_;
  std::stop_token stop_;
  std::function<std::optional<std::string>()> computerName_;
};

}  // namespace ar
