#include "store/ConfigurationRow.h"

namespace ar {

ConfigurationRow ConfigurationRow::Read(Connection& config) {
  return ConfigurationRow(config.Query("select * from tblConfiguration"));
}

Value ConfigurationRow::Field(const std::string& column) const {
  if (row_.Eof() || !row_.HasField(column)) return Value();
  return row_.Field(column);
}

std::string ConfigurationRow::Text(const char* column) const { return NullToDefault(Field(column), ""); }

bool ConfigurationRow::Switch(const char* column) const { return NullToDefault(Field(column), false); }

int64_t ConfigurationRow::PopCycleMinutes(int64_t whenNull) const {
  return NullToDefault(Field("POPCycleMinutes"), whenNull);
}

Value ConfigurationRow::SmtpSessions() const { return Field("SMTPSessions"); }

}  // namespace ar
