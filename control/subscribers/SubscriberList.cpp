#include "control/subscribers/SubscriberList.h"

#include "store/Schema.h"

#include <algorithm>
#include <stdexcept>

namespace ar {
namespace {

constexpr const char* kColumns =
    "select SubscriberID,EmailAddress,AddedDate,LastAutoresponderEventID,LastEventSentTime,UnsubscribeDate from ";

std::vector<SubscriberRow> Rows(RowSet set) {
  std::vector<SubscriberRow> rows;
  rows.reserve(set.Count());
  for (; !set.Eof(); set.MoveNext()) {
    SubscriberRow r;
    r.id = set.Field("SubscriberID").AsInteger();
    r.address = NullToDefault(set.Field("EmailAddress"), "");
    r.addedDate = set.Field("AddedDate");
    r.lastEventId = set.Field("LastAutoresponderEventID");
    r.lastEventSentTime = set.Field("LastEventSentTime");
    r.unsubscribeDate = set.Field("UnsubscribeDate");
    rows.push_back(std::move(r));
  }
  return rows;
}

// Runs the work as one unit on the connection: a savepoint, so that it also nests inside
// a transaction a caller may hold open. A failure undoes the work and is passed on.
template <typename Work>
void AsOneUnit(Connection& c, Work&& work) {
  c.Execute("SAVEPOINT subscriber_list");
  try {
    work();
    c.Execute("RELEASE subscriber_list");
  } catch (...) {
    try {
      c.Execute("ROLLBACK TO subscriber_list");
      c.Execute("RELEASE subscriber_list");
    } catch (const DbError&) {
    }
    throw;
  }
}

}  // namespace

SubscriberList::SubscriberList(Connection& subscribers, Connection& main, int64_t autoresponderId)
    : subscribers_(subscribers), main_(main), autoresponderId_(autoresponderId) {}

std::string SubscriberList::Table() const { return SubscriberTable(autoresponderId_); }

void SubscriberList::Reload() {
  pages_.clear();
  recentlyUsed_.clear();
  eventNames_.clear();
  count_ = 0;
  lastId_ = 0;
  // One read transaction, so that the count and the last key see the same rows; rows
  // added after it have higher keys and stay out of every page until the next reload.
  AsOneUnit(subscribers_, [this] {
    lastId_ = NullToDefault(subscribers_.Scalar("select max(SubscriberID) from " + Table()), int64_t{0});
    count_ = NullToDefault(subscribers_.Scalar("select count(*) as TheCount from " + Table()), int64_t{0});
  });
}

std::vector<SubscriberRow> SubscriberList::ReadPage(int64_t page) {
  const std::string select = std::string(kColumns) + Table() + " where SubscriberID<=?";
  std::vector<SubscriberRow> rows;
  // A neighbouring page read before gives the key to continue from, which costs the same
  // wherever the page lies; a jump counts rows off from the nearer end of the list.
  if (auto before = pages_.find(page - 1);
      before != pages_.end() && before->second.rows.size() == kPageRows && before->second.rows.back().id != 0)
    return Rows(subscribers_.Query(select + " AND SubscriberID>? order by SubscriberID limit ?",
                                   {lastId_, before->second.rows.back().id, kPageRows}));
  if (auto after = pages_.find(page + 1);
      after != pages_.end() && !after->second.rows.empty() && after->second.rows.front().id != 0) {
    rows = Rows(subscribers_.Query(select + " AND SubscriberID<? order by SubscriberID desc limit ?",
                                   {lastId_, after->second.rows.front().id, kPageRows}));
  } else {
    const int64_t first = page * kPageRows;
    if (first < count_ / 2)
      return Rows(subscribers_.Query(select + " order by SubscriberID limit ? offset ?", {lastId_, kPageRows, first}));
    const int64_t last = std::min(first + kPageRows, count_);  // one past the page's last row
    rows = Rows(subscribers_.Query(select + " order by SubscriberID desc limit ? offset ?",
                                   {lastId_, last - first, count_ - last}));
  }
  std::reverse(rows.begin(), rows.end());
  return rows;
}

SubscriberList::Page& SubscriberList::PageAt(int64_t page) {
  if (auto found = pages_.find(page); found != pages_.end()) {
    recentlyUsed_.splice(recentlyUsed_.begin(), recentlyUsed_, found->second.use);
    return found->second;
  }
  std::vector<SubscriberRow> rows = ReadPage(page);
  if (pages_.size() >= kKeptPages) {
    pages_.erase(recentlyUsed_.back());
    recentlyUsed_.pop_back();
  }
  recentlyUsed_.push_front(page);
  Page& kept = pages_[page];
  kept.rows = std::move(rows);
  kept.use = recentlyUsed_.begin();
  return kept;
}

SubscriberRow SubscriberList::Row(int64_t index) {
  if (index < 0 || index >= count_) return {};
  const Page& page = PageAt(index / kPageRows);
  const auto offset = static_cast<std::size_t>(index % kPageRows);
  return offset < page.rows.size() ? page.rows[offset] : SubscriberRow{};
}

std::optional<int64_t> SubscriberList::IndexOf(int64_t subscriberId) {
  if (subscriberId > lastId_ ||
      subscribers_.Query("select SubscriberID from " + Table() + " where SubscriberID=?", {subscriberId}).Eof())
    return std::nullopt;
  const int64_t index =
      subscribers_.Scalar("select count(SubscriberID) from " + Table() + " where SubscriberID<?", {subscriberId})
          .AsInteger();
  if (index >= count_) return std::nullopt;
  return index;
}

std::string SubscriberList::LastEventName(const SubscriberRow& row) {
  if (row.lastEventId.IsNull()) return "";
  const int64_t eventId = NullToDefault(row.lastEventId, int64_t{0});
  auto found = eventNames_.find(eventId);
  if (found == eventNames_.end()) {
    const std::string name = NullToDefault(
        main_.Scalar("select EventName from tblAutoresponderEvents where AutoresponderEventID=?", {eventId}), "");
    found = eventNames_.emplace(eventId, name).first;
  }
  return found->second;
}

int64_t SubscriberList::Add(const std::string& address) {
  subscribers_.Execute("insert into " + Table() + " (EmailAddress) values (?)", {address});
  return subscribers_.LastInsertId();
}

void SubscriberList::ChangeAddress(int64_t index, const std::string& address) {
  const SubscriberRow row = Row(index);
  if (row.id == 0) throw std::runtime_error("The subscriber is no longer in the list");
  subscribers_.Execute("update " + Table() + " set EmailAddress=? where SubscriberID=?", {address, row.id});
  Page& page = PageAt(index / kPageRows);
  page.rows[static_cast<std::size_t>(index % kPageRows)].address = address;
}

int64_t SubscriberList::Delete(const std::vector<std::pair<int64_t, int64_t>>& ranges) {
  // Rows keep their SubscriberID order, so each range of positions is one range of keys.
  std::vector<std::pair<int64_t, int64_t>> keys;
  for (auto [first, last] : ranges) {
    first = std::max<int64_t>(first, 0);
    last = std::min(last, count_ - 1);
    if (first > last) continue;
    const int64_t firstId = Row(first).id, lastId = Row(last).id;
    if (firstId == 0 || lastId == 0) throw std::runtime_error("The subscriber list has changed since it was shown");
    keys.emplace_back(firstId, lastId);
  }
  int64_t deleted = 0;
  AsOneUnit(subscribers_, [&] {
    for (const auto& [firstId, lastId] : keys) {
      subscribers_.Execute("delete from " + Table() + " where SubscriberID between ? and ?", {firstId, lastId});
      deleted += subscribers_.Changes();
    }
  });
  Reload();
  return deleted;
}

}  // namespace ar
