#pragma once
// The event editor's imports (a plain-text body, an HTML body): a file chosen by the
// operator, within the size limit, read after the operator agrees to replace the text.
#include <optional>
#include <string>

class QWidget;

namespace ar {

// The file's text; nothing when the import stops (after its message). `section` keeps the
// dialog's last folder; `problem` is shown and `procedure` logged when it cannot be read.
std::optional<std::string> ImportTextFile(QWidget* parent, const char* section, const char* filter,
                                          const char* problem, const char* procedure);

}  // namespace ar
