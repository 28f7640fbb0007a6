// Imports generated subscriber files into empty lists, as the import window does (batch
// after batch until the file ends), and prints rows per second and the peak memory of the
// process after each size, so that memory can be seen not to grow with the file. Then it
// de-duplicates the largest list, exports it and searches it from end to end (no match)
// by address and by a date column.
//
//   import_bench [LINES=1000000] [SMALLER=250000]
//
// Every tenth line repeats an earlier address in capitals, so de-duplication has work.
#include "bench/support/ProcessUsage.h"
#include "control/subscribers/DeDupe.h"
#include "control/subscribers/SubscriberExport.h"
#include "control/subscribers/SubscriberFind.h"
#include "control/subscribers/SubscriberImport.h"
#include "store/DataFolder.h"
#include "store/DatabaseFiles.h"
#include "store/Schema.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

using bench::CpuSeconds;

double PeakMegabytes() { return static_cast<double>(bench::PeakRssKiB()) / 1024.0; }

void WriteFile(const std::string& path, long lines) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  std::fputs("First Name,Last Name,Email,Signed Up\r\n", f);
  for (long i = 0; i < lines; ++i) {
    if (i % 10 == 9)
      std::fprintf(f, "Repeat,Reader,\"READER%ld@EXAMPLE.ORG\",2024-01-05\r\n", i / 2);
    else
      std::fprintf(f, "Reader,Number %ld,reader%ld@example.org,2024-01-05\r\n", i, i);
  }
  std::fclose(f);
}

int64_t NewList(ar::DatabaseFiles& files, const std::string& name) {
  files.config.Execute("insert into tblAutoresponders (AutoresponderName, Active) values (?, -1)", {name});
  const int64_t id = files.config.LastInsertId();
  ar::CreateSubscriberTable(files.subscribers, id);
  return id;
}

struct Imported {
  int64_t rows;
  double seconds;
};

Imported Import(ar::DatabaseFiles& files, int64_t id, const std::string& path, long lines) {
  const auto start = Clock::now();
  const double cpu = CpuSeconds();
  ar::SubscriberImport import(files.subscribers, id, path, 3);
  while (import.Step()) {
  }
  const double seconds = SecondsSince(start), cpuSeconds = CpuSeconds() - cpu;
  const auto added = static_cast<double>(import.RowsAdded());
  std::printf("import %8ld lines: %6.2f s, %9.0f rows/s (processor time %5.2f s, %9.0f rows/s), peak RSS %6.1f MB\n",
              lines, seconds, added / seconds, cpuSeconds, added / cpuSeconds, PeakMegabytes());
  return {import.RowsAdded(), seconds};
}

}  // namespace

int main(int argc, char** argv) {
  const long lines = argc > 1 ? std::atol(argv[1]) : 1000000;
  const long smaller = argc > 2 ? std::atol(argv[2]) : 250000;
  const std::string folder =
      (std::filesystem::temp_directory_path() / ("import-bench-" + std::to_string(::getpid()))).string();
  ar::MakeFolders(folder);
  {
    ar::Connection config = ar::CreateDatabaseFile(ar::AutoresponderDbPath(folder));
    ar::CreateAutoresponderSchema(config);
    ar::Connection subscribers = ar::CreateDatabaseFile(ar::SubscribersDbPath(folder));
    ar::CreateSubscribersSchema(subscribers);
  }
  WriteFile(folder + "/small.csv", smaller);
  WriteFile(folder + "/large.csv", lines);

  ar::DatabaseFiles files;
  files.Open(folder);
  Import(files, NewList(files, "small"), folder + "/small.csv", smaller);
  const int64_t id = NewList(files, "large");
  const Imported imported = Import(files, id, folder + "/large.csv", lines);
  const int64_t rows = imported.rows;

  auto start = Clock::now();
  double cpu = CpuSeconds();
  ar::DeDupe(files.subscribers, id);
  const int64_t left = files.subscribers.Scalar("select count(*) from " + ar::SubscriberTable(id)).AsInteger();
  const double dedupeSeconds = SecondsSince(start);
  std::printf("de-duplicate %ld rows: %6.2f s (processor time %5.2f s), %ld rows left, peak RSS %6.1f MB\n",
              static_cast<long>(rows), dedupeSeconds, CpuSeconds() - cpu, static_cast<long>(left), PeakMegabytes());
  // What the operator waits for with "De-dupe the list after the import" ticked.
  std::printf("import %8ld lines with de-duplication: %6.2f s, %9.0f rows/s\n", lines,
              imported.seconds + dedupeSeconds, static_cast<double>(rows) / (imported.seconds + dedupeSeconds));

  ar::SubscriberList list(files.subscribers, files.config, id);
  list.Reload();
  start = Clock::now();
  cpu = CpuSeconds();
  ar::ExportSubscribers(list, folder + "/export.txt", ',');
  std::printf("export %ld rows: %6.2f s (processor time %5.2f s), %.1f MB written, peak RSS %6.1f MB\n",
              static_cast<long>(list.Count()), SecondsSince(start), CpuSeconds() - cpu,
              static_cast<double>(std::filesystem::file_size(folder + "/export.txt")) / 1e6, PeakMegabytes());

  for (const auto column : {ar::SubscriberColumn::EmailAddress, ar::SubscriberColumn::AddedDate}) {
    start = Clock::now();
    cpu = CpuSeconds();
    const bool found = ar::FindSubscriber(files.subscribers, list, column, "no such text", 0, true).has_value();
    std::printf("find without a match in %s: %6.2f s (processor time %5.2f s)%s, peak RSS %6.1f MB\n",
                column == ar::SubscriberColumn::EmailAddress ? "the address column" : "a date column",
                SecondsSince(start), CpuSeconds() - cpu, found ? " (found?)" : "", PeakMegabytes());
  }
  files.Close();
  std::filesystem::remove_all(folder);
  return 0;
}
