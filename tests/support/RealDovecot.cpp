#include "tests/support/RealDovecot.h"

#include "mail/PosixSocket.h"
#include "tests/support/FakeServer.h"
#include "tests/support/Subprocess.h"
#include "tests/support/TempFolder.h"

#include <filesystem>
#include <fstream>
#include <pwd.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace ar::test {

namespace {

constexpr const char* kMailUser = "nobody";

// Whether the IMAP4 listener greets as ready: until the login process has reached the
// authentication service, Dovecot greets with a waiting notice instead.
bool GreetsReady(int port) {
  try {
    PosixSocket socket(TlsOptions{true, ""});
    socket.SetTimeoutMs(1000);
    socket.Connect("127.0.0.1", port);
    const std::string greeting = socket.ReadLine();
    socket.Abort();
    return greeting.find("ready") != std::string::npos;
  } catch (const SocketError&) {
    return false;
  }
}

std::string Listener(const std::string& name, int port, bool tls) {
  return "  inet_listener " + name + " {\n    address = 127.0.0.1\n    port = " + std::to_string(port) + "\n" +
         (tls ? "    ssl = yes\n" : "") + "  }\n";
}

}  // namespace

std::string RealDovecot::Unavailable() {
  if (::geteuid() != 0) return "the private Dovecot instance needs root";
  if (!PathExists(DovecotProcess::kProgram)) return "dovecot-core is not installed";
  if (!PathExists("/usr/lib/dovecot/pop3")) return "dovecot-pop3d is not installed";
  if (!PathExists("/usr/lib/dovecot/imap")) return "dovecot-imapd is not installed";
  if (!::getpwnam(kMailUser) || !::getpwnam("dovecot") || !::getpwnam("dovenull"))
    return "the nobody, dovecot or dovenull user is missing";
  return {};
}

RealDovecot::RealDovecot(const std::string& folder, const ServerIdentity& tls, const std::string& user,
                         const std::string& password)
    : folder_(folder),
      maildir_(folder + "/mail/" + user + "/Maildir"),
      pop3Port_(UnusedLoopbackPort()),
      pop3TlsPort_(UnusedLoopbackPort()),
      imap4Port_(UnusedLoopbackPort()),
      imap4TlsPort_(UnusedLoopbackPort()) {
  if (password.find_first_of(":\r\n") != std::string::npos) throw std::invalid_argument("unusable test password");
  const std::string d = folder_ + "/dovecot";
  ::chmod(folder_.c_str(), 0755);
  MakeOwnedFolder(d);
  MakeOwnedFolder(d + "/run");
  MakeOwnedFolder(d + "/state");
  MakeOwnedFolder(folder_ + "/mail", kMailUser);
  MakeOwnedFolder(folder_ + "/mail/" + user, kMailUser);
  MakeOwnedFolder(maildir_, kMailUser);
  for (const char* sub : {"/new", "/cur", "/tmp"}) MakeOwnedFolder(maildir_ + sub, kMailUser);

  WriteWholeFile(d + "/users", user + ":{PLAIN}" + password + "\n");
  // Only the authentication service, which runs as the dovecot user, reads it.
  ::chmod((d + "/users").c_str(), 0600);
  if (passwd* auth = ::getpwnam("dovecot"); !auth || ::chown((d + "/users").c_str(), auth->pw_uid, auth->pw_gid) != 0)
    throw std::runtime_error("cannot hand the user list to the dovecot user");
  WriteWholeFile(d + "/dovecot.conf",
                 "base_dir = " + d + "/run\n"
                 "state_dir = " + d + "/state\n"
                 "log_path = " + d + "/dovecot.log\n"
                 "protocols = pop3 imap\n"
                 "listen = 127.0.0.1\n"
                 "ssl = yes\n"
                 "ssl_cert = <" + tls.certFile + "\n"
                 "ssl_key = <" + tls.keyFile + "\n"
                 "disable_plaintext_auth = no\n"
                 "auth_mechanisms = plain login\n"
                 "mail_location = maildir:" + folder_ + "/mail/%u/Maildir\n"
                 "passdb {\n  driver = passwd-file\n  args = scheme=PLAIN " + d + "/users\n}\n"
                 "userdb {\n  driver = static\n  args = uid=" + kMailUser + " gid=nogroup home=" + folder_ +
                     "/mail/%u\n}\n"
                 "service imap-login {\n" + Listener("imap", imap4Port_, false) + Listener("imaps", imap4TlsPort_, true) +
                     "}\n"
                 "service pop3-login {\n" + Listener("pop3", pop3Port_, false) + Listener("pop3s", pop3TlsPort_, true) +
                     "}\n");
  try {
    dovecot_.Start(d + "/dovecot.conf", d + "/out.txt");
    const bool up = WaitUntil(
        [&] {
          return AcceptsOnLoopback(pop3Port_) && AcceptsOnLoopback(pop3TlsPort_) && AcceptsOnLoopback(imap4TlsPort_) &&
                 GreetsReady(imap4Port_);
        },
        std::chrono::seconds(20));
    if (!up) throw std::runtime_error("dovecot does not accept connections");
  } catch (const std::exception& e) {
    std::string log = Log();
    Stop();
    throw std::runtime_error(std::string(e.what()) + "\n" + log);
  }
}

void RealDovecot::Deliver(const std::vector<std::string>& messages) {
  passwd* owner = ::getpwnam(kMailUser);
  for (const std::string& message : messages) {
    // Maildir files hold bare LF line ends; the server sends CR LF.
    std::string text;
    text.reserve(message.size());
    for (char c : message)
      if (c != '\r') text += c;
    // Written under tmp/ and moved into new/, so the server never sees half a message.
    const std::string name = "test." + std::to_string(::getpid()) + "." + std::to_string(++delivered_) + ".realdovecot";
    const std::string tmp = maildir_ + "/tmp/" + name;
    WriteWholeFile(tmp, text);
    if (::chown(tmp.c_str(), owner->pw_uid, owner->pw_gid) != 0) throw std::runtime_error("chown failed: " + tmp);
    std::filesystem::rename(tmp, maildir_ + "/new/" + name);
  }
}

int RealDovecot::MessagesLeft() const {
  int n = 0;
  for (const char* sub : {"/new", "/cur"})
    for (const auto& entry : std::filesystem::directory_iterator(maildir_ + sub))
      if (entry.is_regular_file()) ++n;
  return n;
}

std::string RealDovecot::Log() const {
  std::string out;
  for (const char* f : {"/dovecot/out.txt", "/dovecot/dovecot.log"}) {
    std::ifstream in(folder_ + f, std::ios::binary);
    if (in) out += std::string("--- ") + f + "\n" + std::string(std::istreambuf_iterator<char>(in), {});
  }
  return out;
}

}  // namespace ar::test
