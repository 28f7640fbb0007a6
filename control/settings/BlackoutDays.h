#pragma once
// Blackout days: the dates on which no event message is sent. The time part of a stored
// day is ignored everywhere: two days are the same when their dates are.
#include "store/Connection.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ar {

struct BlackoutDay {
  int64_t id = 0;
  double day = 0;  // day number
  std::string description;
};

// Every blackout day in date order.
std::vector<BlackoutDay> LoadBlackoutDays(Connection& main);
// A list entry: "mm/dd/yyyy - " and the description.
std::string BlackoutEntryText(const BlackoutDay& day);

// Adds the date (its time part dropped) with the description; false, adding nothing,
// when that date is blacked out already.
bool AddBlackoutDay(Connection& main, double day, const std::string& description);
void DeleteBlackoutDay(Connection& main, int64_t id);

// Whether today's date is a blackout day.
bool BlackoutDayToday(Connection& main);

}  // namespace ar
