#pragma once
// The SMTP server test of the configuration window: the processor's SMTP session connects
// to the outgoing mail server with the settings as typed and introduces itself (HELO, or
// EHLO and AUTH LOGIN when a user name is given), while the test lists every line of the
// dialogue for the operator. It sends no mail and changes nothing.
#include "control/servers/ServerCheckRunner.h"
#include "mail/DialogueObserver.h"
#include "mail/SmtpSession.h"
#include "mail/Socket.h"
#include "mail/Timeouts.h"

#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

namespace ar {

// The test's own HELO name when neither the field nor the machine gives one.
inline constexpr std::string_view kServerTestHeloName = "VARNEL";

class SmtpServerCheck : private DialogueObserver {
 public:
  static constexpr int kTimeoutMs = kServerCheckTimeoutMs;

  // trace gets the commands sent (never the credentials).
  SmtpServerCheck(Socket& socket, TraceFunction trace);

  // Runs the whole test, listing the operator's lines; true when it listed "Connection
  // was successful". Once a stop is requested nothing more is sent.
  bool Run(const SmtpSettings& settings, ListLine list, std::stop_token stop = {});

  void SetComputerNameSource(std::function<std::optional<std::string>()> source) {
    session_.SetComputerNameSource(std::move(source));
  }

 private:
  // The session's dialogue as the operator sees it: every reply line, the first command
  // (after the line that says how the client introduces itself), and nothing from the
  // RSET after a refusal on.
  void Sent(std::string_view line) override;
  void Received(std::string_view line) override;
  void Failed(std::string_view description) override;
  void Trace(const std::string& message, bool force = false);

  Socket& socket_;
  TraceFunction trace_;
  SmtpSession session_;
  ListLine list_;
  std::stop_token stop_;
  // Of the running test:
  bool authenticating_ = false;
  bool sentAny_ = false;
  bool listing_ = true;           // false from the RSET on
  std::string lastReceived_;      // the refused reply, when the introduction was refused
  std::optional<std::string> failure_;  // why the connection failed, when it did
};

}  // namespace ar
