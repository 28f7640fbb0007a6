#include "widgets/FileDialogs.h"

#include <QColor>
#include <QColorDialog>
#include <QFileDialog>
#include <QSettings>
#include <QString>
#include <deque>

namespace ar {
namespace {

struct TestAnswers {
  bool active = false;
  std::deque<std::optional<std::string>> queued;
  std::vector<FileRequest> requests;
};

TestAnswers& Answers() {
  static TestAnswers answers;
  return answers;
}

// While tests answer: records the request and gives the next queued answer. Empty
// optional-of-optional when dialogs are shown for real.
std::optional<std::optional<std::string>> Answered(const FileRequest& request) {
  TestAnswers& answers = Answers();
  if (!answers.active) return std::nullopt;
  answers.requests.push_back(request);
  if (answers.queued.empty()) return std::optional<std::string>();
  std::optional<std::string> answer = answers.queued.front();
  answers.queued.pop_front();
  return answer;
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t at = text.find(separator, start);
    parts.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
    if (at == std::string::npos) return parts;
    start = at + 1;
  }
}

std::optional<std::string> Chosen(const QString& path, const std::string& remember) {
  if (path.isEmpty()) return std::nullopt;
  FileDialogs::RememberFolderOf(remember, path.toStdString());
  return path.toStdString();
}

}  // namespace

std::string FileDialogs::QtFilter(const std::string& filter) {
  std::string result;
  const std::vector<std::string> parts = Split(filter, '|');
  for (size_t i = 0; i + 1 < parts.size(); i += 2) {
    const std::string& description = parts[i];
    if (description.empty() && parts[i + 1].empty()) break;
    // Patterns are separated by blanks; "*.*" means every file, with or without a dot.
    std::string patterns;
    for (const std::string& pattern : Split(parts[i + 1], ';')) {
      if (!patterns.empty()) patterns += ' ';
      patterns += pattern == "*.*" ? "*" : pattern;
    }
    if (!result.empty()) result += ";;";
    result += description.find('(') != std::string::npos ? description : description + " (" + patterns + ")";
  }
  return result;
}

std::string FileDialogs::RememberedFolder(const std::string& remember) {
  if (remember.empty()) return "";
  QSettings settings;
  return settings.value(QString::fromStdString(remember) + "/Path").toString().toStdString();
}

void FileDialogs::RememberFolderOf(const std::string& remember, const std::string& file) {
  if (remember.empty()) return;
  const size_t slash = file.find_last_of('/');
  if (slash == std::string::npos) return;
  QSettings settings;
  settings.setValue(QString::fromStdString(remember) + "/Path", QString::fromStdString(file.substr(0, slash + 1)));
}

std::optional<std::string> FileDialogs::OpenFile(QWidget* parent, const std::string& title, const std::string& filter,
                                                 const std::string& remember) {
  const FileRequest request{FileRequest::Kind::Open, title, filter, RememberedFolder(remember), ""};
  if (auto answer = Answered(request)) {
    if (*answer) RememberFolderOf(remember, **answer);
    return *answer;
  }
  return Chosen(QFileDialog::getOpenFileName(parent, QString::fromStdString(title),
                                             QString::fromStdString(request.folder),
                                             QString::fromStdString(QtFilter(filter))),
                remember);
}

std::optional<std::string> FileDialogs::SaveFile(QWidget* parent, const std::string& title, const std::string& filter,
                                                 const std::string& remember, const std::string& suggestedName) {
  const FileRequest request{FileRequest::Kind::Save, title, filter, RememberedFolder(remember), suggestedName};
  if (auto answer = Answered(request)) {
    if (*answer) RememberFolderOf(remember, **answer);
    return *answer;
  }
  const std::string start = request.folder.empty() ? suggestedName : request.folder + suggestedName;
  return Chosen(QFileDialog::getSaveFileName(parent, QString::fromStdString(title), QString::fromStdString(start),
                                             QString::fromStdString(QtFilter(filter)), nullptr,
                                             QFileDialog::DontConfirmOverwrite),
                remember);
}

std::optional<std::string> FileDialogs::ChooseFolder(QWidget* parent, const std::string& title,
                                                     const std::string& startFolder) {
  const FileRequest request{FileRequest::Kind::Folder, title, "", startFolder, ""};
  if (auto answer = Answered(request)) return *answer;
  const QString folder =
      QFileDialog::getExistingDirectory(parent, QString::fromStdString(title), QString::fromStdString(startFolder));
  if (folder.isEmpty()) return std::nullopt;
  return folder.toStdString();
}

std::optional<std::string> FileDialogs::ChooseColour(QWidget* parent, const std::string& initial) {
  const FileRequest request{FileRequest::Kind::Colour, "", "", initial, ""};
  if (auto answer = Answered(request)) return *answer;
  const QColor colour = QColorDialog::getColor(QColor(QString::fromStdString(initial)), parent);
  if (!colour.isValid()) return std::nullopt;
  return colour.name(QColor::HexRgb).toUpper().toStdString();
}

void FileDialogs::AnswerForTests() { Answers().active = true; }

void FileDialogs::QueueAnswer(std::optional<std::string> answer) { Answers().queued.push_back(std::move(answer)); }

void FileDialogs::ShowForReal() { Answers() = TestAnswers{}; }

const std::vector<FileRequest>& FileDialogs::Requests() { return Answers().requests; }

}  // namespace ar
