#include "control/autoresponders/AutoresponderList.h"

#include "base/Trace.h"
#include "control/events/Events.h"
#include "store/Schema.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <stdexcept>

namespace ar {
namespace {

std::string Folded(const std::string& text) {
  std::string folded = text;
  std::transform(folded.begin(), folded.end(), folded.begin(), [](unsigned char c) { return std::tolower(c); });
  return folded;
}

}  // namespace

const char* AutoresponderColumnCaption(int column) {
  static const char* const kCaptions[] = {"ID", "Autoresponder Name", "Schedule", "Subscribers", "Last Status", "Active"};
  return column >= 0 && column < kAutoresponderColumnCount ? kCaptions[column] : "";
}

std::string ScheduleText(const Value& active, const Value& timeOfDay) {
  if (!NullToDefault(active, false)) return "Not Active";
  const std::string time = NullToDefault(timeOfDay, "");
  return time.empty() ? "Run next cycle" : time;
}

void AutoresponderList::Reload() {
  RowSet set = main_.Query(
      "select AutoresponderID,AutoresponderName,TimeOfDayToRespond,Active,LastStatus from tblAutoresponders");
  std::vector<AutoresponderListRow> rows;
  rows.reserve(set.Count());
  for (; !set.Eof(); set.MoveNext()) {
    AutoresponderListRow row;
    row.id = set.Field("AutoresponderID").AsInteger();
    row.name = NullToDefault(set.Field("AutoresponderName"), "");
    row.active = NullToDefault(set.Field("Active"), false);
    row.schedule = ScheduleText(set.Field("Active"), set.Field("TimeOfDayToRespond"));
    row.lastStatus = NullToDefault(set.Field("LastStatus"), "");
    rows.push_back(std::move(row));
  }
  rows_ = std::move(rows);
  counts_.assign(rows_.size(), std::nullopt);
  ApplySort();
}

std::optional<size_t> AutoresponderList::IndexOf(int64_t id) const {
  for (size_t i = 0; i < rows_.size(); ++i)
    if (rows_[i].id == id) return i;
  return std::nullopt;
}

std::optional<int64_t> AutoresponderList::SubscriberCount(size_t index) {
  std::optional<int64_t>& count = counts_.at(index);
  if (!count) {
    try {
      count = NullToDefault(subscribers_.Scalar("select count(SubscriberID) as TheCount from " +
                                                SubscriberTable(rows_[index].id) + " where UnsubscribeDate IS NULL"),
                            static_cast<int64_t>(0));
    } catch (const std::exception& e) {
      // Counted once per reload like any other row, so a missing table is traced once.
      count = -1;
      TraceLogNoThrow(e.what(), true);
    }
  }
  if (*count < 0) return std::nullopt;
  return count;
}

std::string AutoresponderList::SubscriberText(size_t index) {
  const std::optional<int64_t> count = SubscriberCount(index);
  return count ? std::to_string(*count) : std::string();
}

std::string AutoresponderList::Text(size_t index, int column) {
  const AutoresponderListRow& row = rows_.at(index);
  switch (column) {
    case kColumnID: return std::to_string(row.id);
    case kColumnName: return row.name;
    case kColumnSchedule: return row.schedule;
    case kColumnSubscribers: return SubscriberText(index);
    case kColumnLastStatus: return row.lastStatus;
    case kColumnActive: return row.active ? "True" : "False";
    default: return "";
  }
}

void AutoresponderList::Sort(int column, bool descending) {
  sortColumn_ = column;
  descending_ = descending;
  ApplySort();
}

void AutoresponderList::ApplySort() {
  if (sortColumn_ < 0 || sortColumn_ >= kAutoresponderColumnCount) return;
  if (sortColumn_ == kColumnSubscribers)
    for (size_t i = 0; i < rows_.size(); ++i) SubscriberCount(i);
  struct Keyed {
    AutoresponderListRow row;
    std::optional<int64_t> count;
    int64_t number = 0;
    std::string text;
  };
  std::vector<Keyed> keyed;
  keyed.reserve(rows_.size());
  for (size_t i = 0; i < rows_.size(); ++i) {
    Keyed k{rows_[i], counts_[i], 0, ""};
    if (sortColumn_ == kColumnID) k.number = rows_[i].id;
    else if (sortColumn_ == kColumnSubscribers) k.number = *counts_[i];  // -1 when it failed
    else if (sortColumn_ == kColumnActive) k.number = rows_[i].active ? 1 : 0;
    else k.text = Folded(Text(i, sortColumn_));
    keyed.push_back(std::move(k));
  }
  const bool byText = sortColumn_ == kColumnName || sortColumn_ == kColumnSchedule || sortColumn_ == kColumnLastStatus;
  std::stable_sort(keyed.begin(), keyed.end(), [&](const Keyed& a, const Keyed& b) {
    if (descending_) return byText ? b.text < a.text : b.number < a.number;
    return byText ? a.text < b.text : a.number < b.number;
  });
  for (size_t i = 0; i < keyed.size(); ++i) {
    rows_[i] = std::move(keyed[i].row);
    counts_[i] = keyed[i].count;
  }
}

// ---- Operations ----

bool AutoresponderNameTaken(Connection& main, const std::string& name, int64_t exceptId) {
  return !main
              .Query("select AutoresponderID from tblAutoresponders where AutoresponderName=? AND AutoresponderID<>?",
                     {name, exceptId})
              .Eof();
}

std::string AutoresponderNameOf(Connection& main, int64_t id) {
  RowSet row = main.Query("select AutoresponderName from tblAutoresponders where AutoresponderID=?", {id});
  if (row.Eof()) throw std::runtime_error("Autoresponder " + std::to_string(id) + " no longer exists");
  return NullToDefault(row.Field("AutoresponderName"), "");
}

int64_t AddAutoresponderRow(Connection& main, const std::string& name) {
  main.Execute("insert into tblAutoresponders (AutoresponderName,TimeOfDayToRespond,Active) values (?,'9:00am',?)",
               {name, kNo});
  return main.LastInsertId();
}

int64_t CopyAutoresponderRow(Connection& main, int64_t sourceId, const std::string& name) {
  // Every column the table has, so that columns added later are copied as well.
  std::string columns;
  for (RowSet info = main.Query("pragma table_info(tblAutoresponders)"); !info.Eof(); info.MoveNext()) {
    const std::string column = info.Field("name").AsText();
    const std::string folded = Folded(column);
    if (folded == "autoresponderid" || folded == "autorespondername" || folded == "active") continue;
    columns += "," + column;
  }
  main.Execute("insert into tblAutoresponders (AutoresponderName,Active" + columns + ") select ?,?" + columns +
                   " from tblAutoresponders where AutoresponderID=?",
               {name, kNo, sourceId});
  if (main.Changes() != 1) throw std::runtime_error("Autoresponder " + std::to_string(sourceId) + " no longer exists");
  return main.LastInsertId();
}

void RenameAutoresponder(Connection& main, int64_t id, const std::string& name) {
  main.Execute("update tblAutoresponders set AutoresponderName=? where AutoresponderID=?", {name, id});
  if (main.Changes() != 1) throw std::runtime_error("Autoresponder " + std::to_string(id) + " no longer exists");
}

void DeleteAutoresponder(Connection& main, Connection& subscribers, const std::string& dataFolder, int64_t id) {
  std::vector<int64_t> events;
  for (RowSet set = main.Query("select AutoresponderEventID from tblAutoresponderEvents where AutoresponderID=?", {id});
       !set.Eof(); set.MoveNext())
    events.push_back(set.Field("AutoresponderEventID").AsInteger());
  main.Execute("delete from tblAutoresponders where AutoresponderID=?", {id});
  main.Execute("delete from tblAutoresponderEvents where AutoresponderID=?", {id});
  DropSubscriberTable(subscribers, id);
  for (const int64_t event : events) std::remove(EventContentFilePath(dataFolder, event).c_str());
}

}  // namespace ar
