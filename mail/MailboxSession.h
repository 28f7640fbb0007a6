#pragma once
// The line layer of the mailbox dialogue (POP3 and IMAP4) over the run's one socket:
// connect with TLS from the start or plain, send a command, read and judge replies, log
// in, close. Operations that can fail return true on failure.
#include "mail/DialogueObserver.h"
#include "mail/ServerAddress.h"
#include "mail/Socket.h"

#include <cstddef>
#include <functional>
#include <string>

namespace ar {

// A message larger than this is not taken: it stays on the server and the run goes on.
constexpr std::size_t kMaxMessageBytes = 64 * 1024 * 1024;

enum class MultilineResult { Ok, Failed, TooLarge };
enum class ImapResult { Ok, No, Bad, Failed };

class MailboxSession {
 public:
  using TraceFunction = std::function<void(const std::string& message, bool force)>;
  MailboxSession(Socket& socket, TraceFunction trace);

  // A connection the socket still holds is dropped first: it is never reused.
  bool POPConnect(const std::string& server, bool useTls) { return Connect(server, useTls, 110, 995); }
  bool IMAPConnect(const std::string& server, bool useTls) { return Connect(server, useTls, 143, 993); }

  void POPSend(const std::string& command);
  // One reply line (with its CR LF); a reply not beginning with "+" fails (after RSET).
  bool POPReceive(std::string& line);
  // A whole multi-line reply, status line to the "." line, as received. A first line
  // that does not begin with "+" fails at once. A reply beyond the size limit is read
  // to its end but not kept.
  MultilineResult POPReceiveMultiline(std::string& reply, std::size_t limit = kMaxMessageBytes);
  // QUIT; a reply other than "+..." or none at all aborts the connection.
  void POPQuit();

  bool IMAPLogin(const std::string& userName, const std::string& password);
  // Sends an "01" command and reads its answer up to the tagged completion line, taking
  // literals by their byte count. A literal beyond the size limit is read but not kept
  // (tooLarge is then set).
  ImapResult IMAPCommand(const std::string& command, std::string& answer, std::size_t limit = kMaxMessageBytes,
                         bool* tooLarge = nullptr);
  // CLOSE; an answer other than "01 OK" or none at all aborts the connection.
  void IMAPClose();

  Socket& Sock() { return socket_; }

  // Hears every line sent and received from now on (null: none); it must outlive its use.
  void SetObserver(DialogueObserver* observer) { observer_ = observer; }
  // Whether POPReceive answers a refusal with RSET (the default) or leaves it at that.
  void SetResetAfterRefusal(bool reset) { resetAfterRefusal_ = reset; }

 private:
  bool Connect(const std::string& server, bool useTls, int plainPort, int tlsPort);
  // After the closing command: an orderly close when it succeeded, else the connection is
  // aborted (and the failure traced).
  void EndConnection(bool closeFailed);
  ImapResult ReadImapAnswer(std::string& answer, std::size_t limit, bool* tooLarge);
  void Trace(const std::string& message, bool force = false) { trace_(message, force); }
  // Every command the session sends passes here, and every line it reads; the observer
  // hears each, a password never.
  void Write(const std::string& command);
  std::string ReadLine();
  // The dialogue broke off: the observer hears why.
  void Failed(std::string_view description);

  Socket& socket_;
  TraceFunction trace_;
  DialogueObserver* observer_ = nullptr;
  bool resetAfterRefusal_ = true;
};

// An IMAP astring: the text as it stands when it is a plain atom, else a quoted string.
std::string ImapAString(const std::string& text);

// The mailbox argument of SELECT for a folder as the operator typed it: a text that is
// already a well-formed quoted string ("Sent Items" with its quotes, as it once had to
// be typed) as it stands, any other as an astring. Empty when the folder holds a CR, LF
// or NUL, which no quoted string can carry.
std::string ImapMailboxName(const std::string& folder);

}  // namespace ar
