// One refresh of the monitor over N subscribers in ten autoresponders (a thirtieth of
// them active in the last 24 hours): the time its database reading takes, the time of the
// process test, the longest pause of the window's event loop while a refresh counts (the
// window counts on a thread of its own; counting on the window's thread would pause it
// for the whole reading time), and a refresh while the window is hidden (no counting).
//
//   monitor_bench [N ...]          (default: 1000000)
#include "base/Clock.h"
#include "monitor/ProcessList.h"
#include "monitor/StatsReader.h"
#include "monitor/window/NotificationIcon.h"
#include "monitor/window/frmtamsel.h"
#include "store/DataFolder.h"
#include "store/DatabaseFiles.h"
#include "store/Schema.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kAutoresponders = 10;
constexpr int kRounds = 5;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

std::string MakeDataFolder(long long n) {
  const std::string folder =
      (std::filesystem::temp_directory_path() / ("monitor-bench-" + std::to_string(::getpid()))).string();
  std::filesystem::remove_all(folder);
  ar::MakeFolders(folder + "/debug");
  ar::CopyFile(std::string(AR_BIN_DIR) + "/autoresponder.tem", ar::AutoresponderDbPath(folder));
  ar::CopyFile(std::string(AR_BIN_DIR) + "/subscribers.tem", ar::SubscribersDbPath(folder));
  ar::DatabaseFiles files;
  files.Open(folder);
  const double now = ar::NowDays();
  files.subscribers.Execute("BEGIN");
  char address[64];
  for (int a = 0; a < kAutoresponders; ++a) {
    files.config.Execute("insert into tblAutoresponders (AutoresponderName, Active) values (?, ?)",
                         {"bench " + std::to_string(a), a % 3 ? -1 : 0});
    const int64_t id = files.config.LastInsertId();
    ar::CreateSubscriberTable(files.subscribers, id);
    const std::string insert = "insert into " + ar::SubscriberTable(id) +
                               " (EmailAddress, AddedDate, LastEventSentTime, UnsubscribeDate) values (?,?,?,?)";
    for (long long i = a; i < n; i += kAutoresponders) {
      std::snprintf(address, sizeof address, "subscriber%08lld@rcpt.test", i);
      const double added = now - static_cast<double>(i % 3000) / 100.0;  // over the last 30 days
      files.subscribers.Execute(insert, {address, added, i % 4 ? ar::Value(added + 0.001) : ar::Value(),
                                         i % 40 ? ar::Value() : ar::Value(added + 0.002)});
    }
  }
  files.subscribers.Execute("COMMIT");
  files.config.Execute("update tblStatus set LastOstrelRun=?", {now});
  return folder;
}

void Run(long long n) {
  const std::string folder = MakeDataFolder(n);

  std::vector<double> reads;
  ar::StatsReader reader(folder);
  ar::DatabaseFigures figures = reader.Read();  // opens the connections
  for (int i = 0; i < kRounds; ++i) {
    const auto start = Clock::now();
    figures = reader.Read();
    reads.push_back(Ms(Clock::now() - start));
  }
  reader.Close();
  if (!figures.error.empty()) std::fprintf(stderr, "reading failed: %s\n", figures.error.c_str());

  const auto listStart = Clock::now();
  for (int i = 0; i < 20; ++i) (void)ar::IsEXEInTaskList("velquin");
  const double processList = Ms(Clock::now() - listStart) / 20;

  // The window's event loop while it refreshes: a 5 ms timer measures every pause.
  ar::SystemTrayIcon icon;
  ar::MonitorSetup setup;
  setup.dataFolder = folder;
  setup.programFolder = AR_BIN_DIR;
  ar::frmtamsel window(setup, icon);
  window.show();
  window.Load();
  QElapsedTimer sinceTick;
  double longestPause = 0;
  QTimer probe;
  probe.setInterval(5);
  QObject::connect(&probe, &QTimer::timeout, [&] {
    if (window.RefreshesDone() > 0) longestPause = std::max(longestPause, static_cast<double>(sinceTick.elapsed()));
    sinceTick.restart();
  });
  auto waitForRefresh = [&] {
    while (window.Refreshing() || window.RefreshesDone() == 0) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  };
  waitForRefresh();
  sinceTick.start();
  probe.start();
  const auto windowStart = Clock::now();
  for (int i = 0; i < kRounds; ++i) {
    window.RefreshStats();
    waitForRefresh();
  }
  const double perRefresh = Ms(Clock::now() - windowStart) / kRounds;
  probe.stop();
  // Hidden in the notification area it follows the runs without counting.
  window.hide();
  const auto hiddenStart = Clock::now();
  for (int i = 0; i < kRounds; ++i) {
    window.RefreshStats();
    waitForRefresh();
  }
  const double perHiddenRefresh = Ms(Clock::now() - hiddenStart) / kRounds;
  window.EndMonitor();

  std::printf("%lld subscribers in %d autoresponders: figures %lld sent, %lld new, %lld unsubscribed\n", n,
              kAutoresponders, static_cast<long long>(figures.emailsSent), static_cast<long long>(figures.newSubscribers),
              static_cast<long long>(figures.unsubscribes));
  std::printf("  database reading of one refresh: %.0f ms (median of %d)\n", Median(reads), kRounds);
  std::printf("  process test over /proc:         %.2f ms\n", processList);
  std::printf("  one refresh in the window:       %.0f ms; longest pause of its event loop meanwhile: %.0f ms\n",
              perRefresh, longestPause);
  std::printf("  one refresh while the window is hidden: %.1f ms\n", perHiddenRefresh);
  std::filesystem::remove_all(folder);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<long long> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::atoll(argv[i]));
  if (sizes.empty()) sizes = {1000000};
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  int qtArgc = 1;
  char name[] = "monitor_bench";
  char* qtArgv[] = {name, nullptr};
  QApplication app(qtArgc, qtArgv);
  for (long long n : sizes) Run(n);
  return 0;
}
