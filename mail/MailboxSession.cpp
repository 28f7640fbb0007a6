#include "mail/MailboxSession.h"

#include "base/Text.h"

#include <cctype>
#include <climits>
#include <cstdlib>

namespace ar {
namespace {

// Trace lines show a reply without its line end, so that each stays one line.
std::string WithoutLineEnd(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

// The last line of an answer (the tagged completion), without its line end.
std::string LastLine(const std::string& answer) {
  const std::string text = WithoutLineEnd(answer);
  const size_t lf = text.rfind('\n');
  return lf == std::string::npos ? text : text.substr(lf + 1);
}

bool BeginsWithPlus(const std::string& line) {
  const size_t first = line.find_first_not_of(' ');
  return first != std::string::npos && line[first] == '+';
}

// The byte count of a literal announced at the end of a line ("... {123}\r\n"), or -1.
long long LiteralSize(const std::string& line) {
  if (line.size() < 5 || line.compare(line.size() - 3, 3, "}\r\n") != 0) return -1;
  const size_t open = line.rfind('{');
  if (open == std::string::npos) return -1;
  const size_t end = line.size() - 3;
  size_t digits = open + 1;
  if (digits < end && line[end - 1] == '+') return -1;  // not sent by servers
  long long n = 0;
  if (digits == end) return -1;
  for (; digits < end; ++digits) {
    if (!std::isdigit(static_cast<unsigned char>(line[digits]))) return -1;
    n = n * 10 + (line[digits] - '0');
    if (n > (1LL << 40)) return -1;
  }
  return n;
}

// Whether the text is one IMAP quoted string: quotes at both ends, and inside them every
// quote and backslash escaped by a backslash.
bool IsQuotedString(const std::string& text) {
  if (text.size() < 2 || text.front() != '"' || text.back() != '"') return false;
  for (size_t i = 1; i + 1 < text.size(); ++i) {
    if (text[i] == '"') return false;
    if (text[i] == '\\') {
      if (i + 2 >= text.size() || (text[i + 1] != '"' && text[i + 1] != '\\')) return false;
      ++i;
    }
  }
  return true;
}

// The command as the trace and the observer show it: the password of PASS and both
// arguments of LOGIN replaced by the marker.
std::string Redacted(const std::string& command, std::string_view marker) {
  if (command.compare(0, 4, "PASS") == 0) return "PASS " + std::string(marker);
  if (StartsWithNoCase(command, "01 LOGIN ")) return "01 LOGIN " + std::string(marker);
  return WithoutLineEnd(command);
}

}  // namespace

std::string ImapAString(const std::string& text) {
  bool atom = !text.empty();
  for (unsigned char c : text)
    if (c <= 0x20 || c >= 0x7f || c == '(' || c == ')' || c == '{' || c == '%' || c == '*' || c == '"' ||
        c == '\\' || c == ']')
      atom = false;
  if (atom) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

std::string ImapMailboxName(const std::string& folder) {
  if (folder.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) return "";
  return IsQuotedString(folder) ? folder : ImapAString(folder);
}

MailboxSession::MailboxSession(Socket& socket, TraceFunction trace) : socket_(socket), trace_(std::move(trace)) {}

void MailboxSession::Write(const std::string& command) {
  if (observer_) observer_->Sent(Redacted(command, "*****"));
  socket_.Send(command);
}

std::string MailboxSession::ReadLine() {
  std::string line = socket_.ReadLine();
  if (observer_) observer_->Received(WithoutLineEnd(line));
  return line;
}

void MailboxSession::Failed(std::string_view description) {
  if (observer_) observer_->Failed(description);
}

bool MailboxSession::Connect(const std::string& server, bool useTls, int plainPort, int tlsPort) {
  const int defaultPort = useTls ? tlsPort : plainPort;
  const ServerEndpoint endpoint = SplitServerText(server, defaultPort, defaultPort);
  // A connection still open belongs to an earlier dialogue, perhaps with another server:
  // reusing it would hand this mailbox's login to that server.
  if (socket_.State() != SocketState::Closed) socket_.Abort();
  socket_.SetSecurity(useTls ? SocketSecurity::TlsFromConnect : SocketSecurity::None);
  try {
    Trace("CONNECT REQUESTED: " + server);
    socket_.Connect(endpoint.host, static_cast<int>(endpoint.port));
    Trace("CONNECT RESPONSE: " + WithoutLineEnd(ReadLine()));
    return false;
  } catch (const SocketError& e) {
    Trace(std::string("CONNECTION ERROR: ") + e.what(), true);
    Failed(e.what());
    return true;
  }
}

void MailboxSession::POPSend(const std::string& command) {
  Trace("SENDING: " + Redacted(command, "<HIDDEN>"));
  try {
    Write(command);
  } catch (const SocketError&) {
    // The reply read that follows reports the broken connection.
  }
}

bool MailboxSession::POPReceive(std::string& line) {
  try {
    line = ReadLine();
  } catch (const SocketError& e) {
    Failed(e.what());
    return true;
  }
  Trace("RECEIVE: " + WithoutLineEnd(line));
  if (BeginsWithPlus(line)) return false;
  Trace("ERROR RESPONSE: " + WithoutLineBreaks(line));
  if (!resetAfterRefusal_) return true;
  try {
    Write("RSET\r\n");
    ReadLine();
  } catch (const SocketError&) {
  }
  return true;
}

MultilineResult MailboxSession::POPReceiveMultiline(std::string& reply, std::size_t limit) {
  std::string text;
  bool tooLarge = false;
  try {
    std::string line = ReadLine();
    Trace("RECEIVE: " + WithoutLineEnd(line));
    if (!BeginsWithPlus(line)) return MultilineResult::Failed;  // "-ERR": no data follows
    while (line != ".\r\n") {
      if (!tooLarge && text.size() + line.size() > limit) {
        tooLarge = true;
        text.clear();
        text.shrink_to_fit();
      }
      if (!tooLarge) text += line;
      line = ReadLine();
      Trace("RECEIVE: " + WithoutLineEnd(line));
    }
    if (tooLarge) return MultilineResult::TooLarge;
    text += line;
  } catch (const SocketError& e) {
    // A connection lost in the middle of a reply must not pass for a whole message.
    Failed(e.what());
    return MultilineResult::Failed;
  }
  reply = std::move(text);
  return MultilineResult::Ok;
}

void MailboxSession::POPQuit() {
  bool failed = true;
  try {
    Write("QUIT\r\n");
    const std::string reply = ReadLine();
    Trace("CLOSE RESPONSE: " + WithoutLineEnd(reply));
    failed = !BeginsWithPlus(reply);
  } catch (const SocketError& e) {
    Failed(e.what());
  }
  EndConnection(failed);
}

void MailboxSession::EndConnection(bool closeFailed) {
  if (!closeFailed) {
    socket_.Close();
    return;
  }
  // Whatever state the failure left (a time-out leaves the connection up), the
  // connection is dropped: the next mailbox must never find it open.
  Trace("ERROR CLOSING", true);
  socket_.Abort();
}

bool MailboxSession::IMAPLogin(const std::string& userName, const std::string& password) {
  // Neither the user name nor the password is traced.
  if (userName.find_first_of("\r\n") != std::string::npos || password.find_first_of("\r\n") != std::string::npos) {
    Failed("A user name or password holds a line break");
    return true;
  }
  std::string answer;
  return IMAPCommand("01 LOGIN " + ImapAString(userName) + " " + ImapAString(password) + "\r\n", answer) !=
         ImapResult::Ok;
}

ImapResult MailboxSession::IMAPCommand(const std::string& command, std::string& answer, std::size_t limit,
                                       bool* tooLarge) {
  try {
    Write(command);
    return ReadImapAnswer(answer, limit, tooLarge);
  } catch (const SocketError& e) {
    Failed(e.what());
    return ImapResult::Failed;
  }
}

ImapResult MailboxSession::ReadImapAnswer(std::string& answer, std::size_t limit, bool* tooLarge) {
  answer.clear();
  bool dropped = false;
  auto keep = [&](const std::string& bytes) {
    if (!dropped && answer.size() + bytes.size() > limit) {
      dropped = true;
      answer.clear();
      answer.shrink_to_fit();
    }
    if (!dropped) answer += bytes;
  };
  for (;;) {
    std::string line = ReadLine();
    // A line announcing a literal is followed by that many bytes, whatever they hold;
    // then the same response line goes on, and may announce another literal.
    for (long long size = LiteralSize(line); size >= 0; size = LiteralSize(line)) {
      keep(line);
      long long remaining = size;
      line.clear();
      while (remaining > 0) {
        std::string part = ReadLine();
        if (static_cast<long long>(part.size()) <= remaining) {
          remaining -= static_cast<long long>(part.size());
          keep(part);
        } else {
          keep(part.substr(0, static_cast<size_t>(remaining)));
          line = part.substr(static_cast<size_t>(remaining));
          remaining = 0;
        }
      }
      if (line.empty()) line = ReadLine();
    }
    keep(line);
    if (StartsWithNoCase(line, "01 ")) {
      if (tooLarge) *tooLarge = dropped;
      const std::string status = line.substr(3);
      if (StartsWithNoCase(status, "OK")) return ImapResult::Ok;
      if (StartsWithNoCase(status, "NO")) return ImapResult::No;
      return ImapResult::Bad;
    }
  }
}

void MailboxSession::IMAPClose() {
  std::string answer;
  const ImapResult result = IMAPCommand("01 CLOSE\r\n", answer);
  if (result != ImapResult::Failed) Trace("CLOSE RESPONSE: " + LastLine(answer));
  EndConnection(result != ImapResult::Ok);
}

}  // namespace ar
