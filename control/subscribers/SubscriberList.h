#pragma once
// The subscriber list of one autoresponder as the editor shows it: rows in SubscriberID
// order, read a page at a time as they are looked at, so that a list of a million rows
// opens as fast as a short one. The rows and their count are those of the last reload;
// rows the processor adds meanwhile appear at the next one.
#include "store/Connection.h"

#include <cstdint>
#include <list>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace ar {

struct SubscriberRow {
  int64_t id = 0;  // 0: the row is no longer there
  std::string address;
  Value addedDate;
  Value lastEventId;
  Value lastEventSentTime;
  Value unsubscribeDate;
};

class SubscriberList {
 public:
  static constexpr int64_t kPageRows = 256;
  static constexpr std::size_t kKeptPages = 64;

  // Nothing is read until Reload.
  SubscriberList(Connection& subscribers, Connection& main, int64_t autoresponderId);

  // Counts the rows anew and forgets every row and event name read.
  void Reload();
  int64_t Count() const { return count_; }
  int64_t AutoresponderId() const { return autoresponderId_; }

  // The row at a position (0 to Count()-1); its page is read when it is not kept. A row
  // deleted by someone else since the reload comes back with identifier 0.
  SubscriberRow Row(int64_t index);
  // The position of a subscriber, or nothing when it is not in the list.
  std::optional<int64_t> IndexOf(int64_t subscriberId);

  // The name of the event last sent to the row ("" when there is none).
  std::string LastEventName(const SubscriberRow& row);

  // Adds a subscriber (AddedDate from the table's default) and returns its identifier.
  // The list shows it after the next reload.
  int64_t Add(const std::string& address);
  // Changes the address of the row at a position.
  void ChangeAddress(int64_t index, const std::string& address);
  // Deletes the rows at the positions of each inclusive range [first, last], all in one
  // transaction, and reloads. Returns the number of rows deleted.
  int64_t Delete(const std::vector<std::pair<int64_t, int64_t>>& ranges);

 private:
  struct Page {
    std::vector<SubscriberRow> rows;
    std::list<int64_t>::iterator use;
  };
  Page& PageAt(int64_t page);
  std::vector<SubscriberRow> ReadPage(int64_t page);
  std::string Table() const;

  Connection& subscribers_;
  Connection& main_;
  int64_t autoresponderId_;
  int64_t count_ = 0;
  int64_t lastId_ = 0;  // the highest key at the last reload
  std::unordered_map<int64_t, Page> pages_;
  std::list<int64_t> recentlyUsed_;  // page numbers, most recent first
  std::unordered_map<int64_t, std::string> eventNames_;
};

}  // namespace ar
