#include "tests/support/RealSmtp.h"

#include "tests/support/FakeServer.h"
#include "tests/support/TempFolder.h"

#include <arpa/inet.h>
#include <csignal>
#include <fcntl.h>
#include <cstdlib>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace ar::test {

namespace {

constexpr const char* kPostfix = "/usr/sbin/postfix";
constexpr const char* kDovecot = "/usr/sbin/dovecot";

bool Exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

void MakeDir(const std::string& path, const char* owner = nullptr) {
  ::mkdir(path.c_str(), 0755);
  if (owner) {
    if (passwd* pw = ::getpwnam(owner)) {
      if (::chown(path.c_str(), pw->pw_uid, pw->pw_gid) != 0) throw std::runtime_error("chown failed: " + path);
    }
  }
}

int Run(const std::string& command) { return std::system(command.c_str()); }

bool Accepts(int port) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<uint16_t>(port));
  bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  ::close(fd);
  return ok;
}

template <class Ready>
bool WaitUntil(Ready ready, std::chrono::seconds limit) {
  auto deadline = std::chrono::steady_clock::now() + limit;
  while (!ready()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // a real server's pace
  }
  return true;
}

}  // namespace

std::string RealSmtpServer::Unavailable() {
  if (::geteuid() != 0) return "the private Postfix instance needs root";
  if (!Exists(kPostfix)) return "postfix is not installed";
  if (!Exists(kDovecot)) return "dovecot-core is not installed";
  if (!::getpwnam("postfix") || !::getpwnam("nobody")) return "the postfix or nobody user is missing";
  return {};
}

RealSmtpServer::RealSmtpServer(const std::string& folder, const ServerIdentity& tls, const std::string& user,
                               const std::string& password)
    : folder_(folder), plainPort_(UnusedLoopbackPort()), tlsPort_(UnusedLoopbackPort()) {
  const std::string& d = folder_;
  ::chmod(d.c_str(), 0755);
  MakeDir(d + "/conf");
  MakeDir(d + "/queue");
  MakeDir(d + "/data", "postfix");
  MakeDir(d + "/mail", "nobody");
  MakeDir(d + "/dovecot");
  MakeDir(d + "/dovecot/run");
  MakeDir(d + "/dovecot/state");
  ::chmod(tls.keyFile.c_str(), 0644);
  ::chmod(tls.certFile.c_str(), 0644);
  passwd* nobody = ::getpwnam("nobody");

  WriteWholeFile(d + "/conf/main.cf",
                 "compatibility_level = 3.6\n"
                 "queue_directory = " + d + "/queue\n"
                 "data_directory = " + d + "/data\n"
                 "maillog_file = " + d + "/maillog\n"
                 "maillog_file_prefixes = " + d + "\n"
                 "inet_interfaces = 127.0.0.1\n"
                 "inet_protocols = ipv4\n"
                 "myhostname = realsmtp.test\n"
                 "mydomain = realsmtp.test\n"
                 "myorigin = realsmtp.test\n"
                 "mydestination =\n"
                 "mynetworks = 127.0.0.0/8\n"
                 "alias_maps =\n"
                 "alias_database =\n"
                 "local_recipient_maps =\n"
                 "relayhost =\n"
                 "default_transport = error:no relaying in tests\n"
                 "virtual_mailbox_domains = rcpt.test\n"
                 "virtual_mailbox_base = " + d + "/mail\n"
                 "virtual_mailbox_maps = static:box\n"
                 "virtual_uid_maps = static:" + std::to_string(nobody->pw_uid) + "\n"
                 "virtual_gid_maps = static:" + std::to_string(nobody->pw_gid) + "\n"
                 "virtual_minimum_uid = 1\n"
                 "smtputf8_enable = no\n"
                 "biff = no\n");
  std::string p = std::to_string(plainPort_), t = std::to_string(tlsPort_);
  WriteWholeFile(d + "/conf/master.cf",
                 "127.0.0.1:" + p + " inet n - n - - smtpd\n"
                 "127.0.0.1:" + t + " inet n - n - - smtpd\n"
                 "  -o smtpd_tls_wrappermode=yes\n"
                 "  -o smtpd_tls_security_level=encrypt\n"
                 "  -o smtpd_tls_cert_file=" + tls.certFile + "\n"
                 "  -o smtpd_tls_key_file=" + tls.keyFile + "\n"
                 "  -o smtpd_sasl_auth_enable=yes\n"
                 "  -o smtpd_sasl_type=dovecot\n"
                 "  -o smtpd_sasl_path=private/auth\n"
                 "  -o smtpd_recipient_restrictions=permit_sasl_authenticated,reject\n"
                 "cleanup unix n - n - 0 cleanup\n"
                 "qmgr unix n - n 300 1 qmgr\n"
                 "rewrite unix - - n - - trivial-rewrite\n"
                 "bounce unix - - n - 0 bounce\n"
                 "defer unix - - n - 0 bounce\n"
                 "trace unix - - n - 0 bounce\n"
                 "verify unix - - n - 1 verify\n"
                 "flush unix n - n 1000? 0 flush\n"
                 "proxymap unix - - n - - proxymap\n"
                 "showq unix n - n - - showq\n"
                 "error unix - - n - - error\n"
                 "retry unix - - n - - error\n"
                 "discard unix - - n - - discard\n"
                 "virtual unix - n n - - virtual\n"
                 "anvil unix - - n - 1 anvil\n"
                 "scache unix - - n - 1 scache\n"
                 "postlog unix-dgram n - n - 1 postlogd\n"
                 "tlsmgr unix - - n 1000? 1 tlsmgr\n");

  WriteWholeFile(d + "/dovecot/users", user + ":{PLAIN}" + password + "\n");
  WriteWholeFile(d + "/dovecot/dovecot.conf",
                 "base_dir = " + d + "/dovecot/run\n"
                 "state_dir = " + d + "/dovecot/state\n"
                 "log_path = " + d + "/dovecot/dovecot.log\n"
                 "protocols =\n"
                 "ssl = no\n"
                 "disable_plaintext_auth = no\n"
                 "auth_mechanisms = plain login\n"
                 "passdb {\n  driver = passwd-file\n  args = scheme=PLAIN " + d + "/dovecot/users\n}\n"
                 "userdb {\n  driver = static\n  args = uid=nobody gid=nogroup home=" + d + "/dovecot\n}\n"
                 "service auth {\n  unix_listener " + d + "/queue/private/auth {\n    mode = 0666\n  }\n}\n");

  try {
    // Postfix makes the queue folders, private/ among them, before Dovecot puts its
    // listener there.
    if (Run(std::string(kPostfix) + " -c " + d + "/conf start >" + d + "/postfix-start.txt 2>&1") != 0)
      throw std::runtime_error("postfix did not start");
    postfixStarted_ = true;
    std::string conf = d + "/dovecot/dovecot.conf";
    std::string out = d + "/dovecot/out.txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    const char* argv[] = {kDovecot, "-F", "-c", conf.c_str(), nullptr};
    pid_t pid = -1;
    int rc = posix_spawn(&pid, kDovecot, &actions, nullptr, const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) throw std::runtime_error("dovecot did not start");
    dovecotPid_ = pid;
    std::string auth = d + "/queue/private/auth";
    if (!WaitUntil([&] { return Exists(auth); }, std::chrono::seconds(20)))
      throw std::runtime_error("dovecot's authentication listener did not appear");
    if (!WaitUntil([&] { return Accepts(plainPort_) && Accepts(tlsPort_); }, std::chrono::seconds(20)))
      throw std::runtime_error("postfix does not accept connections");
  } catch (const std::exception& e) {
    std::string log = Log();
    Stop();
    throw std::runtime_error(std::string(e.what()) + "\n" + log);
  }
}

RealSmtpServer::~RealSmtpServer() { Stop(); }

void RealSmtpServer::Stop() {
  if (postfixStarted_) {
    Run(std::string(kPostfix) + " -c " + folder_ + "/conf stop >>" + folder_ + "/postfix-start.txt 2>&1");
    // Whatever is still there after an orderly stop goes too.
    std::ifstream pidFile(folder_ + "/queue/pid/master.pid");
    long master = 0;
    if (pidFile >> master && master > 1 && ::kill(static_cast<pid_t>(master), 0) == 0) {
      ::kill(static_cast<pid_t>(master), SIGKILL);
    }
    postfixStarted_ = false;
  }
  if (dovecotPid_ > 0) {
    ::kill(dovecotPid_, SIGTERM);
    int status = 0;
    ::waitpid(dovecotPid_, &status, 0);
    dovecotPid_ = -1;
  }
}

std::string RealSmtpServer::WaitForMailbox(int messages, std::chrono::seconds limit) const {
  std::string path = folder_ + "/mail/box";
  std::string text;
  auto count = [&] {
    std::ifstream in(path, std::ios::binary);
    text.assign(std::istreambuf_iterator<char>(in), {});
    int n = text.rfind("From ", 0) == 0 ? 1 : 0;
    for (std::size_t at = text.find("\nFrom "); at != std::string::npos; at = text.find("\nFrom ", at + 1)) ++n;
    return n >= messages;
  };
  if (!WaitUntil(count, limit))
    throw std::runtime_error("the mailbox holds fewer than " + std::to_string(messages) + " messages\n" + Log());
  return text;
}

std::string RealSmtpServer::Log() const {
  std::string out;
  for (const char* f : {"/postfix-start.txt", "/maillog", "/dovecot/out.txt", "/dovecot/dovecot.log"}) {
    std::ifstream in(folder_ + f, std::ios::binary);
    if (in) out += std::string("--- ") + f + "\n" + std::string(std::istreambuf_iterator<char>(in), {});
  }
  return out;
}

}  // namespace ar::test
