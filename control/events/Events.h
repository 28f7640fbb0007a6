#pragma once
// The events of one autoresponder as the editor lists, creates and deletes them. An
// event's HTML body lives in the data folder's content file named by its identifier.
#include "store/Connection.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ar {

struct EventListRow {
  int64_t id = 0;
  int64_t autoresponderId = 0;
  std::string name;
  std::optional<double> interval;  // days after sign-up; none when Null
  bool active = false;
};

// The autoresponder's events by delay, then by identifier.
std::vector<EventListRow> LoadEventList(Connection& main, int64_t autoresponderId);

// data folder + "/content/" + identifier + ".html"
std::string EventContentFilePath(const std::string& dataFolder, int64_t eventId);

struct EventFolders {
  std::string dataFolder;
  std::string programFolder;  // holds templates/
};

// Adds an inactive event of 0 days with the sender fields of the autoresponder's first event and
// creates its content file: a copy of the configuration's default template from the
// program folder's templates, or an empty file when there is none. The new identifier,
// or nothing when the autoresponder already has an event of that name (letter case does
// not count).
std::optional<int64_t> CreateEvent(Connection& main, const EventFolders& folders, int64_t autoresponderId,
                                   const std::string& name);

// Deletes the event's row, then its content file. A file that is missing or cannot be
// deleted is passed over; when the row cannot be deleted the error is thrown and the
// file stays.
void DeleteEvent(Connection& main, const std::string& dataFolder, int64_t eventId);

}  // namespace ar
