#pragma once
// The autoresponder list of the control program without its window: the rows with their
// computed schedule and subscriber count, and the operations on whole autoresponders
// (new, copy, rename, delete). Names typed by the operator reach every statement as bound
// parameters, and name checks ignore letter case as the name column does.
#include "store/Connection.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ar {

// The columns in display order; the last one is hidden and only colours the row.
enum AutoresponderColumn {
  kColumnID,
  kColumnName,
  kColumnSchedule,
  kColumnSubscribers,
  kColumnLastStatus,
  kColumnActive,
  kAutoresponderColumnCount
};

const char* AutoresponderColumnCaption(int column);

// "Not Active" for an inactive autoresponder (Null counts as inactive), else its time of
// day, else "Run next cycle" when it has none.
std::string ScheduleText(const Value& active, const Value& timeOfDay);

struct AutoresponderListRow {
  int64_t id = 0;
  std::string name;
  bool active = false;
  std::string schedule;
  std::string lastStatus;
};

class AutoresponderList {
 public:
  AutoresponderList(Connection& main, Connection& subscribers) : main_(main), subscribers_(subscribers) {}

  // Rereads the rows (in the current sort order) and forgets every count.
  void Reload();
  size_t Size() const { return rows_.size(); }
  const AutoresponderListRow& Row(size_t index) const { return rows_.at(index); }
  std::optional<size_t> IndexOf(int64_t id) const;

  // The "Subscribers" column of a row: its subscribed (not unsubscribed) subscribers,
  // counted the first time it is asked for after a reload, so that only the rows shown
  // are counted. Empty when the count fails (the error is traced).
  std::string SubscriberText(size_t index);
  // The text of any column of a row.
  std::string Text(size_t index, int column);

  // Sorts by one column, now and at every reload, until sorted again. Sorting by the
  // subscriber column counts every row.
  void Sort(int column, bool descending);

 private:
  std::optional<int64_t> SubscriberCount(size_t index);
  void ApplySort();

  Connection& main_;
  Connection& subscribers_;
  std::vector<AutoresponderListRow> rows_;
  // Per row: not yet counted, counted, or failed (-1).
  std::vector<std::optional<int64_t>> counts_;
  int sortColumn_ = -1;
  bool descending_ = false;
};

// ---- Operations on whole autoresponders ----

// Whether another autoresponder carries the name (letter case ignored); exceptId names
// the autoresponder whose own name does not count.
bool AutoresponderNameTaken(Connection& main, const std::string& name, int64_t exceptId = 0);
// The name of an autoresponder; throws std::runtime_error when it is gone.
std::string AutoresponderNameOf(Connection& main, int64_t id);

// A new autoresponder row: the name, "9:00am" and inactive; its identifier.
int64_t AddAutoresponderRow(Connection& main, const std::string& name);
// A copy of an autoresponder's row under a new name: every column carries over except
// the identifier and the name, and the copy starts inactive, so that two active
// autoresponders never read the same mailbox unless the operator says so. Events and
// subscribers are not copied. Its identifier.
int64_t CopyAutoresponderRow(Connection& main, int64_t sourceId, const std::string& name);
void RenameAutoresponder(Connection& main, int64_t id, const std::string& name);
// Removes the autoresponder, its events, its subscriber table and the content files of
// its events; a content file that is not there or cannot be removed is passed over.
void DeleteAutoresponder(Connection& main, Connection& subscribers, const std::string& dataFolder, int64_t id);

}  // namespace ar
