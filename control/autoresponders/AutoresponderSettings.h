#pragma once
// The settings of one autoresponder as the editor shows and writes them: its name, time
// of day, active flag and inbound mailbox.
#include "store/Connection.h"

#include <cstdint>
#include <optional>
#include <string>

namespace ar {

struct AutoresponderSettings {
  std::string name;
  std::string timeOfDay;
  bool active = false;
  std::string popServer;
  std::string popUsername;
  std::string popPassword;
  bool enablePopSsl = false;
  std::string serverType = "POP3";  // "POP3" or "IMAP4"
  std::string imapFolder = "INBOX";
};

// The width of the two columns whose text is cut rather than refused when too long.
constexpr std::size_t kServerTypeColumnSize = 255;
constexpr std::size_t kImapFolderColumnSize = 255;

// The autoresponder's row, or nothing when there is none. Null texts read as empty, a
// Null folder as "INBOX"; the server type is "IMAP4" only when the column holds exactly
// that, else "POP3".
std::optional<AutoresponderSettings> LoadAutoresponderSettings(Connection& main, int64_t autoresponderId);

// Writes the settings into the autoresponder's row; the server type and the IMAP folder
// are cut to their columns' size. Throws std::runtime_error when the row is gone.
void SaveAutoresponderSettings(Connection& main, int64_t autoresponderId, const AutoresponderSettings& settings);

}  // namespace ar
