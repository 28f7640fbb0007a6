#include "control/subscribers/ImportWorkflow.h"

#include "base/Trace.h"
#include "control/subscribers/CsvReader.h"
#include "control/subscribers/DeDupe.h"
#include "control/subscribers/SubscriberImport.h"

namespace ar {

ImportOutcome ImportSubscriberFile(Connection& subscribers, int64_t autoresponderId, const std::string& path,
                                   int addressField, bool deDupe, ImportProgress& progress) {
  ImportOutcome outcome;
  SubscriberImport import(subscribers, autoresponderId, path, addressField);
  // Every batch is committed before the front end gets its turn, so a stop keeps every
  // row read before it.
  while (import.Step()) {
    outcome.rowsAdded = import.RowsAdded();
    progress.BatchCommitted(import.Percent());
    if (progress.StopRequested()) {
      outcome.stopped = true;
      return outcome;
    }
  }
  outcome.rowsAdded = import.RowsAdded();
  outcome.linesCut = import.LinesCut();
  if (outcome.linesCut > 0)
    TraceLogNoThrow("frmImportSubscribers:cmdImport_Click: " + std::to_string(outcome.linesCut) + " line(s) longer than " +
                        std::to_string(CsvReader::kMaxLineBytes) + " bytes imported with the fields within that length",
                    true);
  if (deDupe) {
    progress.DeDuping();
    DeDupe(subscribers, autoresponderId, [&progress] { progress.Breathe(); });
  }
  return outcome;
}

}  // namespace ar
