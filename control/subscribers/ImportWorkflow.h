#pragma once
// The whole import of a subscriber file as the operator starts it: the batches, a stop
// between them keeping every row read before it, the trace line for lines cut at the
// reader's bound, then (when asked) the de-duplication of the list. The window and any
// other front end only show its progress.
#include "store/Connection.h"

#include <cstdint>
#include <string>

namespace ar {

// What the front end is told while the import runs, on the importing thread.
class ImportProgress {
 public:
  virtual ~ImportProgress() = default;
  // After each committed batch: how far into the file; then whether to stop there.
  virtual void BatchCommitted(int percent) = 0;
  virtual bool StopRequested() = 0;
  // The de-duplication starts; it cannot be stopped.
  virtual void DeDuping() = 0;
  // Between the steps of the de-duplication: a moment for the front end to draw itself.
  virtual void Breathe() = 0;
};

struct ImportOutcome {
  bool stopped = false;  // ended by a stop request after a batch; no de-duplication ran
  int64_t rowsAdded = 0;
  int64_t linesCut = 0;
};

// Imports the file's records into the autoresponder's table. Throws on a read or
// database error: the rows of the batches before it stay.
ImportOutcome ImportSubscriberFile(Connection& subscribers, int64_t autoresponderId, const std::string& path,
                                   int addressField, bool deDupe, ImportProgress& progress);

}  // namespace ar
