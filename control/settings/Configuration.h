#pragma once
// The single row of tblConfiguration as the configuration window edits it. The fields are
// a table, in the order in which they are loaded and saved: a new setting is one more row
// here (and its control on the window).
#include "store/Connection.h"

#include <climits>
#include <cstddef>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace ar {

enum class ConfigurationFieldKind {
  Text,         // a text box; Null loads as empty
  YesNo,        // a check box; stored as -1 or 0, Null loads as unchecked
  WholeNumber,  // a text box holding a whole number; empty is stored as Null
};

struct ConfigurationField {
  const char* column;
  const char* control;  // the object name of the field on the window
  ConfigurationFieldKind kind;
  const char* name = "";     // how a refused value is named to the operator
  std::size_t maxChars = 0;  // Text: the column's size in characters, 0 for none
  long long min = INT_MIN;   // WholeNumber: the values the readers of the column accept
  long long max = INT_MAX;
};

const std::vector<ConfigurationField>& ConfigurationFields();

// What a field shows: the text of a text box, the state of a check box.
struct ConfigurationValue {
  std::string text;
  bool checked = false;
  bool operator==(const ConfigurationValue&) const = default;
};
// By column name.
using ConfigurationValues = std::map<std::string, ConfigurationValue>;

// A value that its column cannot hold; what() is the reason shown after "Error: ".
class ConfigurationError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The fields of the configuration row ("select * from tblConfiguration"); all empty and
// unchecked when the table holds no row.
ConfigurationValues LoadConfiguration(Connection& config);

// Writes every field into the row in one statement (the row is made when the table holds
// none). Throws ConfigurationError, before anything is written, for a value its column
// cannot hold; a database failure arrives as DbError.
void SaveConfiguration(Connection& config, const ConfigurationValues& values);

}  // namespace ar
