#include "control/window/events/EventTextImport.h"

#include "base/Text.h"
#include "base/Trace.h"
#include "control/events/BodyFileIo.h"
#include "widgets/FileDialogs.h"
#include "widgets/MessageBoxes.h"

namespace ar {

std::optional<std::string> ImportTextFile(QWidget* parent, const char* section, const char* filter,
                                          const char* problem, const char* procedure) {
  const std::optional<std::string> file = FileDialogs::OpenFile(parent, "Import A Text File", filter, section);
  if (!file || TrimBlanks(*file).empty()) return std::nullopt;
  const std::optional<std::uintmax_t> size = RegularFileSize(*file);
  if (size && *size > kMaxImportBytes) {
    MessageBoxes::Show(parent, "Not able to import files greater then 64,000 bytes (64k)", "Error",
                       MessageIcon::Critical);
    return std::nullopt;
  }
  if (MessageBoxes::Ask(parent, "Import will replace the existing message text.  Do you want to continue?", "Warning",
                        MessageIcon::Question, Buttons::YesNo) != Answer::Yes)
    return std::nullopt;
  try {
    return ReadTextLines(*file);
  } catch (const std::exception& e) {
    // Logged under the event editor, whose import it is.
    TraceLogNoThrow(std::string("frmEventDetail:") + procedure + ": " + e.what(), true);
    MessageBoxes::Show(parent, problem, "HTML Code Problem", MessageIcon::Critical);
    return std::nullopt;
  }
}

}  // namespace ar
