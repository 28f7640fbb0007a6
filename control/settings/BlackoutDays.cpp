#include "control/settings/BlackoutDays.h"

#include "base/DayNumber.h"

#include <cstdio>

namespace ar {

std::vector<BlackoutDay> LoadBlackoutDays(Connection& main) {
  std::vector<BlackoutDay> days;
  for (RowSet set = main.Query("select * from tblBlackoutDays order by BlackoutDay"); !set.Eof(); set.MoveNext())
    days.push_back({set.Field("ID").AsInteger(), NullToDefault(set.Field("BlackoutDay"), 0.0),
                    NullToDefault(set.Field("BlackoutDescription"), "")});
  return days;
}

std::string BlackoutEntryText(const BlackoutDay& day) {
  const CivilTime t = FromDayNumber(day.day);
  char date[32];
  std::snprintf(date, sizeof date, "%02d/%02d/%04d", t.month, t.day, t.year);
  return std::string(date) + " - " + day.description;
}

bool AddBlackoutDay(Connection& main, double day, const std::string& description) {
  const double date = static_cast<double>(DayOf(day));
  if (!main.Query("select ID from tblBlackoutDays where yyyymmdd(BlackoutDay)=yyyymmdd(?)", {date}).Eof()) return false;
  main.Execute("insert into tblBlackoutDays (BlackoutDay,BlackoutDescription) values (?,?)", {date, description});
  return true;
}

void DeleteBlackoutDay(Connection& main, int64_t id) { main.Execute("delete from tblBlackoutDays where ID=?", {id}); }

bool BlackoutDayToday(Connection& main) {
  return !main.Query("select ID from tblBlackoutDays where yyyymmdd(BlackoutDay)=yyyymmdd(now())").Eof();
}

}  // namespace ar
