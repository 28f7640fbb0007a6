#pragma once
// What the benchmarks of whole runs share: a data folder seeded from the build's initial
// databases, due subscribers added in one transaction, and one run of the real ostrel
// with its time, peak resident memory and the subscribers it marked as sent.
#include "bench/support/BenchProcess.h"
#include "mail/MimeComposer.h"
#include "store/Connection.h"
#include "store/DataFolder.h"
#include "store/DatabaseFiles.h"
#include "store/DurableFile.h"
#include "store/Schema.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace bench {

// A fresh data folder under the temporary folder, named after the benchmark.
inline std::string MakeOstrelFolder(const std::string& name) {
  const std::string folder =
      (std::filesystem::temp_directory_path() / (name + "-" + std::to_string(::getpid()))).string();
  std::filesystem::remove_all(folder);
  ar::MakeFolders(folder);
  ar::CreateDataSubfolders(folder);
  ar::CopyFile(std::string(AR_BIN_DIR) + "/autoresponder.tem", ar::AutoresponderDbPath(folder));
  ar::CopyFile(std::string(AR_BIN_DIR) + "/subscribers.tem", ar::SubscribersDbPath(folder));
  return folder;
}

struct WelcomeList {
  int64_t autoresponder;
  int64_t event;
};

// The configuration pointed at a sink on the loopback port, and an active autoresponder
// with one immediate event "welcome" of the given plain text.
inline WelcomeList AddWelcomeList(ar::DatabaseFiles& files, int port, bool plainTextOnly, const std::string& plain) {
  files.config.Execute("update tblConfiguration set SMTPServer=?, HELOName='bench.test'",
                       {"127.0.0.1:" + std::to_string(port)});
  files.config.Execute("insert into tblAutoresponders (AutoresponderName, Active) values ('bench', -1)");
  const int64_t id = files.config.LastInsertId();
  ar::CreateSubscriberTable(files.subscribers, id);
  files.config.Execute(
      "insert into tblAutoresponderEvents (AutoresponderID, EventName, EventInterval, Active, Subject, FromAddress,"
      " FromName, PlainTextOnly, UseFilesForMessageBodies, PlainTextMessage) values (?, 'welcome', 0, -1, 'Welcome',"
      " 'news@example.com', 'News', ?, 0, ?)",
      {ar::Value(id), plainTextOnly, plain});
  return {id, files.config.LastInsertId()};
}

// subscriber000001@rcpt.test to subscriber{n}@rcpt.test, added now.
inline void AddSubscribers(ar::Connection& subscribers, int64_t autoresponder, long long n) {
  subscribers.Execute("BEGIN");
  char address[64];
  for (long long i = 1; i <= n; ++i) {
    std::snprintf(address, sizeof address, "subscriber%06lld@rcpt.test", i);
    subscribers.Execute("insert into " + ar::SubscriberTable(autoresponder) + " (EmailAddress) values (?)", {address});
  }
  subscribers.Execute("COMMIT");
}

// The size of the message ostrel composes from an event with these bodies (no HTML body:
// plain text only), for smtp-source to send as many bytes.
inline std::size_t MessageBytes(const std::string& plain, const std::string& html) {
  ar::MailMessageContent sample;
  sample.plainTextOnly = html.empty();
  sample.subject = "Welcome";
  sample.from = "news@example.com";
  sample.to = "subscriber000001@rcpt.test";
  sample.body = html;
  sample.plainTextBody = plain;
  sample.emailDomain = "example.com";
  sample.fromName = "News";
  return ar::CreateMailMessage(sample).size();
}

struct OstrelRun {
  double seconds;
  long peakKiB;
  long long sent;  // subscribers of autoresponder 1 marked as sent
};

inline OstrelRun RunOstrel(const std::string& folder) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = Spawn({std::string(AR_BIN_DIR) + "/ostrel", "0"}, {"AUTORESPONDER_DATA=" + folder});
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ar::Connection subscribers = ar::Connection::Open(ar::SubscribersDbPath(folder));
  const long long sent =
      subscribers.Scalar("select count(*) from [1] where LastEventSentTime IS NOT NULL").AsInteger();
  return {seconds, usage.ru_maxrss, sent};
}

// Seconds Postfix's smtp-source takes to send n messages of the given payload over the
// given number of sessions at once, one message a session.
inline double SmtpSourceSeconds(long long n, int sessions, std::size_t bytes, int port) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = Spawn({"/usr/sbin/smtp-source", "-s", std::to_string(sessions), "-m", std::to_string(n), "-l",
                           std::to_string(bytes), "-f", "news@example.com", "-t", "subscriber@rcpt.test",
                           "127.0.0.1:" + std::to_string(port)});
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) std::fprintf(stderr, "smtp-source failed\n");
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace bench
