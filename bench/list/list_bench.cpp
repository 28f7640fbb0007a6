// The autoresponder list over many autoresponders with large subscriber tables: how long
// a reload takes, how long the subscriber counts of one screen of rows take (what the
// list does: it counts only the rows shown), and how long counting every row would take
// (what sorting by the subscriber column does).
//
//   list_bench [AUTORESPONDERS [SUBSCRIBERS_EACH]]      (default: 500 20000)
#include "control/autoresponders/AutoresponderList.h"
#include "store/DataFolder.h"
#include "store/DatabaseFiles.h"
#include "store/Schema.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  const int autoresponders = argc > 1 ? std::atoi(argv[1]) : 500;
  const int subscribers = argc > 2 ? std::atoi(argv[2]) : 20000;
  constexpr size_t kScreenRows = 25;  // what the list shows at its default size, and more

  const std::string folder =
      (std::filesystem::temp_directory_path() / ("list-bench-" + std::to_string(::getpid()))).string();
  ar::MakeFolders(folder);
  {
    ar::Connection config = ar::CreateDatabaseFile(ar::AutoresponderDbPath(folder));
    ar::CreateAutoresponderSchema(config);
    ar::Connection subs = ar::CreateDatabaseFile(ar::SubscribersDbPath(folder));
    ar::CreateSubscribersSchema(subs);
    std::fprintf(stderr, "filling %d autoresponders with %d subscribers each...\n", autoresponders, subscribers);
    config.Execute("BEGIN");
    subs.Execute("BEGIN");
    for (int a = 0; a < autoresponders; ++a) {
      const int64_t id = ar::AddAutoresponderRow(config, "Autoresponder " + std::to_string(a));
      ar::CreateSubscriberTable(subs, id);
      subs.Execute("with recursive n(i) as (select 1 union all select i+1 from n where i<?)"
                   " insert into " + ar::SubscriberTable(id) +
                   " (EmailAddress, UnsubscribeDate) select 'reader'||i||'@example.org',"
                   " case when i%10=0 then 45000 else null end from n",
                   {subscribers});
    }
    subs.Execute("COMMIT");
    config.Execute("COMMIT");
  }

  ar::DatabaseFiles files;
  files.Open(folder);
  ar::AutoresponderList list(files.config, files.subscribers);

  auto start = Clock::now();
  list.Reload();
  const double reload = MillisecondsSince(start);

  start = Clock::now();
  for (size_t i = 0; i < std::min(kScreenRows, list.Size()); ++i) list.SubscriberText(i);
  const double screen = MillisecondsSince(start);

  start = Clock::now();
  list.Sort(ar::kColumnSubscribers, true);
  const double everyRow = MillisecondsSince(start);

  std::printf("autoresponders %d, subscribers each %d\n", autoresponders, subscribers);
  std::printf("reload (rows, no counts):        %8.1f ms\n", reload);
  std::printf("counts of one screen (%zu rows):  %8.1f ms\n", kScreenRows, screen);
  std::printf("counts of every row (sorting):   %8.1f ms\n", everyRow);
  files.Close();
  std::filesystem::remove_all(folder);
  return 0;
}
