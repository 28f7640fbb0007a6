#pragma once
// The single row of tblConfiguration, read once ("select * from tblConfiguration": every
// column, so that a database made before a newer column still reads) and seen through
// typed accessors. Each accessor converts its own column when it is asked, so that a
// value one reader cannot use fails that reader alone, as reading the column would.
#include "store/Connection.h"

#include <cstdint>
#include <string>

namespace ar {

class ConfigurationRow {
 public:
  static ConfigurationRow Read(Connection& config);

  // Whether the table holds a row; without one every text reads empty and every switch off.
  bool Exists() const { return !row_.Eof(); }

  std::string SmtpServer() const { return Text("SMTPServer"); }
  std::string SmtpUserName() const { return Text("SMTPUsername"); }
  std::string SmtpPassword() const { return Text("SMTPPassword"); }
  bool SmtpTls() const { return Switch("EnableSMTPSSL"); }
  std::string HeloName() const { return Text("HELOName"); }
  bool EnablePreflight() const { return Switch("EnablePreflight"); }
  // Null reads as whenNull; the caller gives 0 its meaning.
  int64_t PopCycleMinutes(int64_t whenNull) const;
  bool EnableDailySummaryEmail() const { return Switch("EnableDailySummaryEmail"); }
  std::string SummaryReportEmail() const { return Text("SummaryReportEmail"); }
  std::string SummaryReportEmailTime() const { return Text("SummaryReportEmailTime"); }
  std::string DefaultTemplate() const { return Text("DefaultTemplate"); }
  // The stored value as it stands (Null also when the database predates the column): the
  // pass judges it and traces a value it refuses.
  Value SmtpSessions() const;

  // A column by name, for the configuration window's table of fields.
  Value Field(const std::string& column) const;

 private:
  explicit ConfigurationRow(RowSet row) : row_(std::move(row)) {}
  std::string Text(const char* column) const;
  bool Switch(const char* column) const;

  RowSet row_;
};

}  // namespace ar
