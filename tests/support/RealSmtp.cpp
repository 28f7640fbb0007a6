#include "tests/support/RealSmtp.h"

#include "mail/PosixSocket.h"
#include "tests/support/FakeServer.h"
#include "tests/support/ServerProcess.h"
#include "tests/support/TempFolder.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <pwd.h>
#include <stdexcept>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace ar::test {

namespace {

constexpr const char* kPostfix = "/usr/sbin/postfix";

int Run(const std::string& command) { return std::system(command.c_str()); }

template <class Ready>
bool WaitUntil(Ready ready, std::chrono::seconds limit) {
  auto deadline = std::chrono::steady_clock::now() + limit;
  while (!ready()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // a real server's pace
  }
  return true;
}

// Where each message of an mbox text begins (its envelope "From " line) and ends.
std::vector<std::pair<std::size_t, std::size_t>> MboxEntries(const std::string& mbox) {
  std::vector<std::size_t> starts;
  if (mbox.rfind("From ", 0) == 0) starts.push_back(0);
  for (std::size_t at = mbox.find("\nFrom "); at != std::string::npos; at = mbox.find("\nFrom ", at + 1))
    starts.push_back(at + 1);
  std::vector<std::pair<std::size_t, std::size_t>> entries;
  for (std::size_t i = 0; i < starts.size(); ++i)
    entries.emplace_back(starts[i], i + 1 < starts.size() ? starts[i + 1] : mbox.size());
  return entries;
}

}  // namespace

std::string RealSmtpServer::Unavailable() {
  if (::geteuid() != 0) return "the private Postfix instance needs root";
  if (!PathExists(kPostfix)) return "postfix is not installed";
  if (!PathExists(DovecotProcess::kProgram)) return "dovecot-core is not installed";
  if (!::getpwnam("postfix") || !::getpwnam("nobody")) return "the postfix or nobody user is missing";
  return {};
}

RealSmtpServer::RealSmtpServer(const std::string& folder, const ServerIdentity& tls, const std::string& user,
                               const std::string& password)
    : folder_(folder), plainPort_(UnusedLoopbackPort()), tlsPort_(UnusedLoopbackPort()) {
  const std::string& d = folder_;
  ::chmod(d.c_str(), 0755);
  MakeOwnedFolder(d + "/conf");
  MakeOwnedFolder(d + "/queue");
  MakeOwnedFolder(d + "/data", "postfix");
  MakeOwnedFolder(d + "/mail", "nobody");
  MakeOwnedFolder(d + "/dovecot");
  MakeOwnedFolder(d + "/dovecot/run");
  MakeOwnedFolder(d + "/dovecot/state");
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
    dovecot_.Start(d + "/dovecot/dovecot.conf", d + "/dovecot/out.txt");
    std::string auth = d + "/queue/private/auth";
    if (!WaitUntil([&] { return PathExists(auth); }, std::chrono::seconds(20)))
      throw std::runtime_error("dovecot's authentication listener did not appear");
    if (!WaitUntil([&] { return AcceptsOnLoopback(plainPort_) && AcceptsOnLoopback(tlsPort_); }, std::chrono::seconds(20)))
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
  dovecot_.Stop();
}

std::string RealSmtpServer::WaitForMailbox(const std::string& box, int messages, std::chrono::seconds limit) const {
  const std::string path = folder_ + "/mail/box";
  const std::string deliveredTo = "\nDelivered-To: " + box + "@rcpt.test\n";
  std::string text;
  auto count = [&] {
    std::ifstream in(path, std::ios::binary);
    const std::string mbox(std::istreambuf_iterator<char>(in), {});
    text.clear();
    int n = 0;
    for (auto [begin, end] : MboxEntries(mbox)) {
      const std::size_t headerEnd = mbox.find("\n\n", begin);
      const std::size_t at = mbox.find(deliveredTo, begin);
      if (at == std::string::npos || at >= std::min(end, headerEnd)) continue;
      text.append(mbox, begin, end - begin);
      ++n;
    }
    return n >= messages;
  };
  if (!WaitUntil(count, limit))
    throw std::runtime_error("the mailbox of " + box + "@rcpt.test holds fewer than " + std::to_string(messages) +
                             " messages\n" + Log());
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

std::vector<std::string> MailboxMessages(const std::string& mbox) {
  // Lines that began with "From " in a message keep the ">" the mbox put before them.
  std::vector<std::string> messages;
  for (auto [begin, end] : MboxEntries(mbox)) {
    std::size_t body = mbox.find('\n', begin);
    body = body == std::string::npos || body > end ? end : body + 1;
    std::string text = mbox.substr(body, end - body);
    if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\n\n") == 0) text.pop_back();
    std::string crlf;
    crlf.reserve(text.size() + text.size() / 32);
    for (char c : text) {
      if (c == '\n') crlf += '\r';
      crlf += c;
    }
    messages.push_back(std::move(crlf));
  }
  return messages;
}

void RealSmtpTest::SetUpTestSuite() {
  skip_ = RealSmtpServer::Unavailable();
  if (!skip_.empty()) return;
  folder_ = new TempFolder;
  ca_ = new TestCa(folder_->Path(), "real");
  server_ = new RealSmtpServer(folder_->Path(), ca_->IssueLoopbackServer(), kUser, kPassword);
}

void RealSmtpTest::TearDownTestSuite() {
  delete server_;
  delete ca_;
  delete folder_;
  server_ = nullptr;
  ca_ = nullptr;
  folder_ = nullptr;
}

void RealSmtpTest::SetUp() {
  if (!skip_.empty()) GTEST_SKIP() << skip_;
  ASSERT_NE(server_, nullptr) << "the server did not start";
}

SmtpSettings RealSmtpTest::PlainSettings() {
  return {"127.0.0.1:" + std::to_string(server_->PlainPort()), "", "", false, kHeloName};
}

SmtpSettings RealSmtpTest::TlsSettings(const std::string& password) {
  // By name, so that the certificate check covers the host name too.
  return {"localhost:" + std::to_string(server_->TlsPort()), kUser, password, true, kHeloName};
}

bool RealSmtpTest::Deliver(const SmtpSettings& settings, const std::string& recipient, const std::string& message,
                           const std::string& attachment, std::string* trace, bool* authFailed) {
  PosixSocket socket(TlsOptions{true, ca_->CaFile()});
  SmtpSession session(socket, [trace](const std::string& m, bool) { *trace += m + "\n"; });
  bool flag = false;
  if (session.SMTPConnect(settings, flag)) {
    if (authFailed) *authFailed = flag;
    return false;
  }
  bool ok = !session.SMTPSend("MAIL FROM: <sender@sender.test>\r\n") && !session.SMTPReceive() &&
            !session.SMTPSend("RCPT TO: <" + recipient + ">\r\n") && !session.SMTPReceive() &&
            !session.SMTPSend("DATA\r\n") && !session.SMTPReceive() &&
            !session.SMTPSend(message + "\r\n.\r\n", attachment) && !session.SMTPReceive();
  session.SMTPQuit();
  return ok;
}

}  // namespace ar::test
