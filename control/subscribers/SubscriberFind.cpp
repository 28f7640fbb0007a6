#include "control/subscribers/SubscriberFind.h"

#include "base/DayNumber.h"
#include "base/Text.h"
#include "store/Schema.h"

namespace ar {
namespace {

std::string DateText(const Value& v) { return v.IsNull() ? std::string() : FormatGeneralDateTime(v.AsReal()); }

// A LIKE pattern that matches texts containing `text`, with its own wildcards escaped.
std::string ContainsPattern(const std::string& text) {
  std::string pattern = "%";
  for (char c : text) {
    if (c == '%' || c == '_' || c == '\\') pattern += '\\';
    pattern += c;
  }
  return pattern + "%";
}

// The address column through one statement over the keys between two rows.
std::optional<int64_t> FindAddress(Connection& subscribers, SubscriberList& list, const std::string& text,
                                   int64_t lowest, int64_t highest, bool forward) {
  const Value found = subscribers.Scalar(
      "select SubscriberID from " + SubscriberTable(list.AutoresponderId()) +
          " where SubscriberID between ? and ? and EmailAddress like ? escape '\\' order by SubscriberID " +
          (forward ? "asc" : "desc") + " limit 1",
      {lowest, highest, ContainsPattern(text)});
  if (found.IsNull()) return std::nullopt;
  return list.IndexOf(found.AsInteger());
}

}  // namespace

std::string SubscriberColumnText(SubscriberList& list, const SubscriberRow& row, SubscriberColumn column) {
  switch (column) {
    case SubscriberColumn::SubscriberID: return std::to_string(row.id);
    case SubscriberColumn::EmailAddress: return row.address;
    case SubscriberColumn::AddedDate: return DateText(row.addedDate);
    case SubscriberColumn::LastEvent: return list.LastEventName(row);
    case SubscriberColumn::LastEventSent: return DateText(row.lastEventSentTime);
    case SubscriberColumn::UnsubscribeDate: return DateText(row.unsubscribeDate);
  }
  return "";
}

std::optional<int64_t> FindSubscriber(Connection& subscribers, SubscriberList& list, SubscriberColumn column,
                                      const std::string& text, int64_t from, bool forward) {
  if (from < 0 || from >= list.Count()) return std::nullopt;
  if (column == SubscriberColumn::EmailAddress) {
    // Rows deleted by someone else since the reload have no key: then the rows are read.
    const int64_t lowest = list.Row(forward ? from : 0).id;
    const int64_t highest = list.Row(forward ? list.Count() - 1 : from).id;
    if (lowest != 0 && highest != 0) return FindAddress(subscribers, list, text, lowest, highest, forward);
  }
  for (int64_t i = from; i >= 0 && i < list.Count(); i += forward ? 1 : -1) {
    const SubscriberRow row = list.Row(i);
    if (row.id != 0 && FindNoCase(SubscriberColumnText(list, row, column), text) != std::string::npos) return i;
  }
  return std::nullopt;
}

}  // namespace ar
