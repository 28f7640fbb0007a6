// Opening the autoresponder editor on a subscriber list of N rows, on the offscreen
// platform: the time from building the window to its subscriber grid painted, the time
// of a jump to the middle and to the end of the list, and the resident memory the open
// editor adds. The list is read a page at a time, so none of these should grow with N.
//
//   editor_bench [N ...]          (default: 1000 1000000)
#include "base/Clock.h"
#include "control/program/ControlContext.h"
#include "control/window/autoresponder/frmProjectDetail.h"
#include "control/window/main/WindowOpeners.h"
#include "control/window/subscribers/SubscriberGrid.h"
#include "store/Connection.h"
#include "store/DataFolder.h"
#include "store/DatabaseFiles.h"
#include "store/Schema.h"

#include <QApplication>
#include <QScrollBar>
#include <QTabWidget>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  return 0;
}

// Both databases in a fresh folder, one autoresponder with four events and n subscribers;
// returns the autoresponder's identifier.
int64_t MakeList(const std::string& folder, long long n) {
  std::filesystem::remove_all(folder);
  ar::MakeFolders(folder);
  ar::Connection config = ar::CreateDatabaseFile(ar::AutoresponderDbPath(folder));
  ar::CreateAutoresponderSchema(config);
  ar::Connection subscribers = ar::CreateDatabaseFile(ar::SubscribersDbPath(folder));
  ar::CreateSubscribersSchema(subscribers);
  config.Execute("insert into tblAutoresponders (AutoresponderName, Active, ResponseServerType) values ('Bench', -1, 'POP3')");
  const int64_t id = config.LastInsertId();
  for (int e = 0; e < 4; ++e)
    config.Execute("insert into tblAutoresponderEvents (AutoresponderID, EventName, EventInterval, Active) values (?, ?, ?, -1)",
                   {id, "Event " + std::to_string(e), e});
  ar::CreateSubscriberTable(subscribers, id);
  const std::string insert = "insert into " + ar::SubscriberTable(id) +
                             " (EmailAddress, AddedDate, LastAutoresponderEventID, LastEventSentTime) values (?, ?, ?, ?)";
  const double now = ar::NowDays();
  subscribers.Execute("BEGIN");
  for (long long i = 0; i < n; ++i) {
    char address[64];
    std::snprintf(address, sizeof address, "subscriber%07lld@example.org", i);
    const bool sent = i % 3 != 0;
    subscribers.Execute(insert, {std::string(address), now - static_cast<double>(i % 400),
                                 sent ? ar::Value(1 + i % 4) : ar::Value(), sent ? ar::Value(now - 1) : ar::Value()});
  }
  subscribers.Execute("COMMIT");
  return id;
}

struct Result {
  double openMs, middleMs, endMs;
  long addedKiB;
};

Result Measure(const std::string& folder, int64_t id) {
  ar::Connection main = ar::Connection::Open(ar::AutoresponderDbPath(folder));
  ar::Connection subscribers = ar::Connection::Open(ar::SubscribersDbPath(folder));
  const long before = ResidentKiB();
  ar::CurrentAutoresponderID() = id;

  const auto start = Clock::now();
  auto editor = std::make_unique<ar::frmProjectDetail>(ar::ControlContext{main, subscribers, folder, folder});
  editor->show();
  editor->findChild<QTabWidget*>("tabProjectDetail")->setCurrentIndex(1);
  ar::SubscriberGrid* grid = editor->SubscriberView();
  grid->viewport()->grab();  // paints the rows in view, reading their page
  Result r{};
  r.openMs = MsSince(start);

  const auto middle = Clock::now();
  grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->maximum() / 2);
  grid->viewport()->grab();
  r.middleMs = MsSince(middle);

  const auto end = Clock::now();
  grid->scrollToBottom();
  grid->viewport()->grab();
  r.endMs = MsSince(end);

  r.addedKiB = ResidentKiB() - before;
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  int qtArgc = 1;
  QApplication app(qtArgc, argv);
  std::vector<long long> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::atoll(argv[i]));
  if (sizes.empty()) sizes = {1000, 1000000};

  const std::string folder =
      (std::filesystem::temp_directory_path() / ("editor-bench-" + std::to_string(::getpid()))).string();
  Measure(folder, MakeList(folder, 10));  // the first window pays for the toolkit's own start
  std::printf("%12s %12s %14s %12s %14s\n", "subscribers", "open ms", "to middle ms", "to end ms", "added RSS MiB");
  for (long long n : sizes) {
    const int64_t id = MakeList(folder, n);
    const Result r = Measure(folder, id);
    std::printf("%12lld %12.1f %14.1f %12.1f %14.1f\n", n, r.openMs, r.middleMs, r.endMs, r.addedKiB / 1024.0);
    std::fflush(stdout);
  }
  std::filesystem::remove_all(folder);
  return 0;
}
