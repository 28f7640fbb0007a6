#include "control/settings/Configuration.h"

#include "base/Text.h"
#include "store/ConfigurationRow.h"
#include "store/Schema.h"

#include <cerrno>
#include <cstdlib>

namespace ar {
namespace {

using Kind = ConfigurationFieldKind;

// The longest name a HELO or EHLO command may carry (a domain of RFC 5321).
constexpr std::size_t kHeloNameChars = 255;

// The text cut after `chars` characters of UTF-8, never inside a character.
std::string CutToChars(const std::string& text, std::size_t chars) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool startsCharacter = (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
    if (startsCharacter && count++ == chars) return text.substr(0, i);
  }
  return text;
}

Value WholeNumber(const ConfigurationField& field, const std::string& typed) {
  const std::string text = TrimBlanks(typed);
  if (text.empty()) return Null{};
  auto refuse = [&] {
    std::string reason = std::string(field.name) + " must be a whole number";
    if (field.max != INT_MAX)
      reason += " from " + std::to_string(field.min) + " to " + std::to_string(field.max);
    else if (field.min != INT_MIN)
      reason += " of " + std::to_string(field.min) + " or more";
    throw ConfigurationError(reason + ", not \"" + typed + "\"");
  };
  const std::size_t digits = text[0] == '+' || text[0] == '-' ? 1 : 0;
  if (digits == text.size() || text.find_first_not_of("0123456789", digits) != std::string::npos) refuse();
  errno = 0;
  const long long number = std::strtoll(text.c_str(), nullptr, 10);
  if (errno == ERANGE || number < field.min || number > field.max) refuse();
  return static_cast<long long>(number);
}

Value Stored(const ConfigurationField& field, const ConfigurationValue& value) {
  switch (field.kind) {
    case Kind::YesNo:
      return value.checked;
    case Kind::WholeNumber:
      return WholeNumber(field, value.text);
    case Kind::Text:
      break;
  }
  return field.maxChars ? CutToChars(value.text, field.maxChars) : value.text;
}

}  // namespace

const std::vector<ConfigurationField>& ConfigurationFields() {
  static const std::vector<ConfigurationField> fields = {
      {"SMTPServer", "txtSMTPServer", Kind::Text},
      {"SMTPUsername", "txtSMTPUsername", Kind::Text},
      {"SMTPPassword", "txtSMTPPassword", Kind::Text},
      {"EnableSMTPSSL", "cbEnableSMTPSSL", Kind::YesNo},
      {"EnablePreflight", "cbEnablePreflight", Kind::YesNo},
      // A text in this column would stop the run timer, which reads it as a number; a cycle
      // below one minute would start a run at every tick. Empty is stored as Null: 15.
      {"POPCycleMinutes", "txtPOPCycleMinutes", Kind::WholeNumber, "The POP account monitoring cycle (minutes)", 0, 1},
      {"SummaryReportEmail", "txtSummaryReportEmail", Kind::Text},
      {"SummaryReportEmailTime", "txtSummaryReportEmailTime", Kind::Text},
      {"EnableDailySummaryEmail", "cbEnableDailySummaryEmail", Kind::YesNo},
      {"HELOName", "txtHELOName", Kind::Text, "", kHeloNameChars},
      // Empty is stored as Null, which the processor reads as one session at a time.
      {"SMTPSessions", "txtSMTPSessions", Kind::WholeNumber, "The number of SMTP sessions at once", 0, 1,
       kMaxSmtpSessions},
  };
  return fields;
}

ConfigurationValues LoadConfiguration(Connection& config) {
  const ConfigurationRow row = ConfigurationRow::Read(config);
  ConfigurationValues values;
  for (const ConfigurationField& field : ConfigurationFields()) {
    ConfigurationValue& value = values[field.column];
    // A column the database lacks (not brought up to date) loads as empty.
    const Value stored = row.Field(field.column);
    if (stored.IsNull()) continue;
    if (field.kind != Kind::YesNo) {
      value.text = NullToDefault(stored, "");
      continue;
    }
    // A Yes/No column that holds a text (written by hand) is read as unchecked rather
    // than keeping the window from opening.
    try {
      value.checked = NullToDefault(stored, false);
    } catch (const std::exception&) {
      value.checked = false;
    }
  }
  return values;
}

void SaveConfiguration(Connection& config, const ConfigurationValues& values) {
  std::string assignments, columns, marks;
  Params params;
  for (const ConfigurationField& field : ConfigurationFields()) {
    const auto found = values.find(field.column);
    params.push_back(Stored(field, found == values.end() ? ConfigurationValue{} : found->second));
    const char* comma = params.size() > 1 ? "," : "";
    assignments += comma + std::string(field.column) + "=?";
    columns += comma + std::string(field.column);
    marks += comma + std::string("?");
  }
  config.Execute("update tblConfiguration set " + assignments, params);
  if (config.Changes() == 0)
    config.Execute("insert into tblConfiguration (" + columns + ") values (" + marks + ")", params);
}

}  // namespace ar
