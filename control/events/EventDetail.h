#pragma once
// One event's row as the event editor shows and writes it: every column except the HTML
// body, which lives in a file (see HtmlBodyFile.h).
#include "store/Connection.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace ar {

struct EventDetail {
  int64_t autoresponderId = 0;
  std::string eventName;
  std::string fromAddress;
  std::string fromName;
  std::string replyTo;
  std::string attachment;
  std::string interval;  // as the field shows it
  std::string subject;
  bool plainTextOnly = true;
  bool active = true;
  std::string htmlMessageFile;
  std::string plainTextMessageFile;
  std::string plainTextMessage;
  bool useFilesForMessageBodies = true;
  bool disableWysiwyg = false;
};

// The size of the text columns that are cut rather than refused when too long: EventName,
// FromAddress, FromName, ReplyToAddress, AttachmentFileName and Subject.
constexpr std::size_t kEventTextColumnSize = 255;

// The event's row, or nothing when there is none. Null texts load as empty; a Null
// PlainTextOnly, Active or UseFilesForMessageBodies counts as checked, a Null
// DisableWYSIWYG as unchecked.
std::optional<EventDetail> LoadEventDetail(Connection& main, int64_t eventId);

// Writes the row in one statement. writeHtmlBody runs first, where the body file belongs
// in the order of the columns (after PlainTextMessage, before DisableWYSIWYG); when it
// throws, the row is left as it was. Throws std::runtime_error when the row is gone.
void SaveEventDetail(Connection& main, int64_t eventId, const EventDetail& detail,
                     const std::function<void()>& writeHtmlBody);

// How many events of the autoresponder go out at once (a delay of 0 days).
int64_t CountImmediateEvents(Connection& main, int64_t autoresponderId);

// The delay as stored: the leading number of the text (0 when there is none or it is out
// of range), never below 0.
double IntervalValue(const std::string& text);
// The delay field after the operator leaves it: IntervalValue in its shortest decimal
// form ("3 days" becomes "3", -3 becomes "0", 7.5 stays "7.5").
std::string NormaliseInterval(const std::string& text);

}  // namespace ar
