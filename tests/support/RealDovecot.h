#pragma once
// A real mailbox server for tests: a private Dovecot instance serving one user's Maildir
// over POP3 and IMAP4 on four loopback ports (plain TCP, and TLS from connect with a
// given server identity). Its configuration, state and mail live in a folder the caller
// provides; the system's own Dovecot set-up is not read. The test fills the mailbox by
// writing message files directly and counts what the server left in it.
#include "tests/support/ServerProcess.h"
#include "tests/support/TestCa.h"

#include <string>
#include <vector>

namespace ar::test {

class RealDovecot {
 public:
  // Empty when the server can be started here; otherwise why not (the test then skips).
  static std::string Unavailable();

  // folder must be reachable by the nobody user; the password must not hold ':' or a
  // line end.
  RealDovecot(const std::string& folder, const ServerIdentity& tls, const std::string& user,
              const std::string& password);
  ~RealDovecot() { Stop(); }
  RealDovecot(const RealDovecot&) = delete;
  RealDovecot& operator=(const RealDovecot&) = delete;

  int Pop3Port() const { return pop3Port_; }
  int Pop3TlsPort() const { return pop3TlsPort_; }
  int Imap4Port() const { return imap4Port_; }
  int Imap4TlsPort() const { return imap4TlsPort_; }

  // Puts each message (line ends CR LF or LF) into the user's inbox as a new message.
  void Deliver(const std::vector<std::string>& messages);
  // The number of messages in the user's inbox (files of its Maildir, read or not).
  int MessagesLeft() const;

  // Every process of the instance as it is now.
  std::vector<int> Processes() const { return dovecot_.Processes(); }
  // Stops the instance; returns the processes that had to be killed (empty after an
  // orderly stop).
  std::vector<int> Stop() { return dovecot_.Stop(); }
  // The server's log, for failure messages.
  std::string Log() const;

 private:
  std::string folder_;
  std::string maildir_;
  int pop3Port_, pop3TlsPort_, imap4Port_, imap4TlsPort_;
  int delivered_ = 0;
  DovecotProcess dovecot_;
};

}  // namespace ar::test
