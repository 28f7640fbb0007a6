#include "control/events/EventDetail.h"

#include "base/Text.h"
#include "control/autoresponders/AutoresponderSettings.h"

#include <charconv>
#include <cmath>
#include <stdexcept>

namespace ar {
namespace {

std::string Text(const RowSet& row, const char* column) { return NullToDefault(row.Field(column), ""); }

std::string Cut(const std::string& text) { return LeftCharacters(text, kEventTextColumnSize); }

std::string ShortestDecimal(double value) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::string StoredInterval(const Value& v) {
  if (v.IsNull()) return "";
  if (v.IsInteger()) return std::to_string(v.AsInteger());
  if (v.IsReal()) return ShortestDecimal(v.AsReal());
  return v.AsText();
}

}  // namespace

std::optional<EventDetail> LoadEventDetail(Connection& main, int64_t eventId) {
  RowSet row = main.Query("select * from tblAutoresponderEvents where AutoresponderEventID=?", {eventId});
  if (row.Eof()) return std::nullopt;
  EventDetail d;
  d.autoresponderId = NullToDefault(row.Field("AutoresponderID"), int64_t{0});
  d.eventName = Text(row, "EventName");
  d.fromAddress = Text(row, "FromAddress");
  d.fromName = Text(row, "FromName");
  d.replyTo = Text(row, "ReplyToAddress");
  d.attachment = Text(row, "AttachmentFileName");
  d.interval = StoredInterval(row.Field("EventInterval"));
  d.subject = Text(row, "Subject");
  d.plainTextOnly = NullToDefault(row.Field("PlainTextOnly"), true);
  d.active = NullToDefault(row.Field("Active"), true);
  d.htmlMessageFile = Text(row, "HTMLMessageFile");
  d.plainTextMessageFile = Text(row, "PlainTextMessageFile");
  d.plainTextMessage = Text(row, "PlainTextMessage");
  d.useFilesForMessageBodies = NullToDefault(row.Field("UseFilesForMessageBodies"), true);
  d.disableWysiwyg = NullToDefault(row.Field("DisableWYSIWYG"), false);
  return d;
}

void SaveEventDetail(Connection& main, int64_t eventId, const EventDetail& d,
                     const std::function<void()>& writeHtmlBody) {
  if (main.Query("select AutoresponderEventID from tblAutoresponderEvents where AutoresponderEventID=?", {eventId})
          .Eof())
    throw std::runtime_error("This event no longer exists");
  if (writeHtmlBody) writeHtmlBody();
  main.Execute(
      "update tblAutoresponderEvents set EventName=?, EventInterval=?, FromAddress=?, FromName=?, ReplyToAddress=?,"
      " AttachmentFileName=?, Subject=?, PlainTextOnly=?, UseFilesForMessageBodies=?, HTMLMessageFile=?,"
      " PlainTextMessageFile=?, Active=?, PlainTextMessage=?, DisableWYSIWYG=? where AutoresponderEventID=?",
      {Cut(d.eventName), IntervalValue(d.interval), Cut(d.fromAddress), Cut(d.fromName), Cut(d.replyTo),
       Cut(d.attachment), Cut(d.subject), d.plainTextOnly, d.useFilesForMessageBodies, d.htmlMessageFile,
       d.plainTextMessageFile, d.active, d.plainTextMessage, d.disableWysiwyg, eventId});
  if (main.Changes() == 0) throw std::runtime_error("This event no longer exists");
}

int64_t CountImmediateEvents(Connection& main, int64_t autoresponderId) {
  return NullToDefault(
      main.Scalar("select count(*) as thecount from tblAutoresponderEvents where EventInterval=0 and AutoresponderID=?",
                  {autoresponderId}),
      int64_t{0});
}

double IntervalValue(const std::string& text) {
  const double value = LeadingNumber(text);
  // Not a number, infinite, negative or -0: no delay.
  if (!(value > 0) || !std::isfinite(value)) return 0;
  return value;
}

std::string NormaliseInterval(const std::string& text) { return ShortestDecimal(IntervalValue(text)); }

}  // namespace ar
