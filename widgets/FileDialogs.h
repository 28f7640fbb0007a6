#pragma once
// Every file, folder and colour dialog of the windows goes through here, so that a test
// can answer them instead of a person and see what was asked. Each file dialog may
// remember, per user, the folder of the last file chosen in it: a settings group named
// after the dialog, key "Path".
#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace ar {

struct FileRequest {
  enum class Kind { Open, Save, Folder, Colour } kind;
  std::string title;
  std::string filter;  // as given (see OpenFile)
  std::string folder;  // the folder the dialog starts in (or the colour it starts with)
  std::string suggestedName;
};

class FileDialogs {
 public:
  // A file to read, or nothing on Cancel. `filter` pairs descriptions and patterns with
  // "|", as "CSV (*.csv)|*.csv|All|*.*||". `remember` names the settings group of the
  // dialog ("" for none): the dialog starts in the folder remembered there, and a chosen
  // file's folder is remembered.
  static std::optional<std::string> OpenFile(QWidget* parent, const std::string& title, const std::string& filter,
                                             const std::string& remember);
  // A file to write, or nothing on Cancel. The dialog does not ask about an existing
  // file: the window asks its own question.
  static std::optional<std::string> SaveFile(QWidget* parent, const std::string& title, const std::string& filter,
                                             const std::string& remember, const std::string& suggestedName);
  static std::optional<std::string> ChooseFolder(QWidget* parent, const std::string& title,
                                                 const std::string& startFolder);
  // A colour as "#RRGGBB" (upper case), or nothing on Cancel.
  static std::optional<std::string> ChooseColour(QWidget* parent, const std::string& initial);

  // The folder remembered for a dialog ("" when none), and remembering a chosen file's.
  static std::string RememberedFolder(const std::string& remember);
  static void RememberFolderOf(const std::string& remember, const std::string& file);

  // The dialog filter of a "|"-separated pair list, as Qt writes it.
  static std::string QtFilter(const std::string& filter);

  // Tests: answer every dialog from now on with the queued answers in order (none
  // queued: as if cancelled); Requests() collects what was asked.
  static void AnswerForTests();
  static void QueueAnswer(std::optional<std::string> answer);
  static void ShowForReal();
  static const std::vector<FileRequest>& Requests();
};

}  // namespace ar
