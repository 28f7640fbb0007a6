#include "tests/support/TestData.h"

#include "store/Schema.h"

namespace ar::test {
namespace {

int64_t Insert(Connection& connection, const std::string& table, const Columns& columns) {
  std::string names, marks;
  Params values;
  for (const auto& [name, value] : columns) {
    names += (names.empty() ? "" : ", ") + name;
    marks += marks.empty() ? "?" : ", ?";
    values.push_back(value);
  }
  connection.Execute(columns.empty() ? "insert into " + table + " default values"
                                     : "insert into " + table + " (" + names + ") values (" + marks + ")",
                     values);
  return connection.LastInsertId();
}

}  // namespace

int64_t InsertEvent(Connection& config, int64_t autoresponder, const Columns& columns) {
  Columns all{{"AutoresponderID", Value(static_cast<long long>(autoresponder))}};
  all.insert(all.end(), columns.begin(), columns.end());
  return Insert(config, "tblAutoresponderEvents", all);
}

int64_t InsertSubscriber(Connection& subscribers, int64_t autoresponder, const Columns& columns) {
  return Insert(subscribers, SubscriberTable(autoresponder), columns);
}

}  // namespace ar::test
