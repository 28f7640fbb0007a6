#include "tests/support/MemorySmtp.h"

namespace ar::test {

MemorySmtp::MemorySmtp(MemorySocket& socket) {
  socket.onConnect = [this](MemorySocket& s) {
    if (beforeSession) beforeSession(sessions_);
    ++sessions_;
    phase_ = Phase::Commands;
    Reply(s, "GREETING", "220 memory.example ESMTP\r\n");
  };
  socket.onSend = [this](MemorySocket& s, std::string_view text) { OnSend(s, text); };
}

std::vector<std::string> MemorySmtp::Recipients() const {
  std::vector<std::string> out;
  for (const DeliveredMail& m : mails_)
    if (m.completed) out.push_back(m.rcptTo.substr(10, m.rcptTo.size() - 13));  // "RCPT TO: <" ... ">\r\n"
  return out;
}

std::string MemorySmtp::Reply(MemorySocket& s, const std::string& step, const std::string& usual) {
  const auto set = replies.find(step);
  if (set == replies.end()) {
    s.Deliver(usual);
    return usual;
  }
  if (set->second == kDrop) {
    s.HangUp();
    return {};
  }
  if (set->second.empty()) return {};
  const std::string reply = set->second.ends_with("\r\n") ? set->second : set->second + "\r\n";
  s.Deliver(reply);
  return reply;
}

void MemorySmtp::OnSend(MemorySocket& s, std::string_view text) {
  const std::string line(text);
  switch (phase_) {
    case Phase::Data:
      mails_.back().data += line;
      if (mails_.back().data.size() >= 5 && mails_.back().data.ends_with("\r\n.\r\n")) {
        phase_ = Phase::Commands;
        if (onMessageEnd) onMessageEnd();
        mails_.back().completed = Reply(s, "END", "250 2.0.0 Ok: queued\r\n").starts_with("2");
      }
      return;
    case Phase::AuthUser:
      phase_ = Phase::AuthPassword;
      s.Deliver("334 UGFzc3dvcmQ6\r\n");
      return;
    case Phase::AuthPassword:
      phase_ = Phase::Commands;
      s.Deliver(refusePassword ? "535 5.7.8 Error: authentication failed\r\n" : "235 2.7.0 Authentication successful\r\n");
      return;
    case Phase::Commands: break;
  }
  if (line.starts_with("HELO ")) s.Deliver("250 memory.example\r\n");
  else if (line.starts_with("EHLO ")) s.Deliver("250-memory.example\r\n250 AUTH LOGIN\r\n");
  else if (line == "AUTH LOGIN\r\n") {
    phase_ = Phase::AuthUser;
    s.Deliver("334 VXNlcm5hbWU6\r\n");
  } else if (line.starts_with("MAIL FROM:")) {
    mails_.push_back({line, "", "", false});
    Reply(s, "MAIL", "250 2.1.0 Ok\r\n");
  } else if (line.starts_with("RCPT TO:")) {
    if (!mails_.empty()) mails_.back().rcptTo = line;
    Reply(s, "RCPT", refuseRecipient ? "550 5.1.1 Recipient address rejected\r\n" : "250 2.1.5 Ok\r\n");
  } else if (line == "DATA\r\n") {
    if (Reply(s, "DATA", "354 End data with <CR><LF>.<CR><LF>\r\n").starts_with("3")) phase_ = Phase::Data;
  } else if (line == "RSET\r\n") {
    s.Deliver("250 2.0.0 Ok\r\n");
  } else if (line == "QUIT\r\n") {
    ++quits_;
    s.Deliver("221 2.0.0 Bye\r\n");
    s.HangUp();
  } else {
    s.Deliver("502 5.5.2 Error: command not recognized\r\n");
  }
}

}  // namespace ar::test
