#include "control/events/ExternalEditor.h"

#include <cstdlib>

namespace ar {

std::vector<std::string> SplitCommandWords(const std::string& command) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false;
  char quote = 0;
  for (size_t i = 0; i < command.size(); ++i) {
    const char c = command[i];
    if (quote != 0) {
      if (c == quote) quote = 0;
      else if (c == '\\' && quote == '"' && i + 1 < command.size()) word += command[++i];
      else word += c;
    } else if (c == ' ' || c == '\t' || c == '\n') {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
    } else {
      inWord = true;
      if (c == '"' || c == '\'') quote = c;
      else if (c == '\\' && i + 1 < command.size()) word += command[++i];
      else word += c;
    }
  }
  if (inWord) words.push_back(word);
  return words;
}

std::vector<std::string> ExternalEditorCommand(const std::string& path, const std::string& visual,
                                               const std::string& editor) {
  std::vector<std::string> command = SplitCommandWords(visual);
  if (command.empty()) command = SplitCommandWords(editor);
  if (command.empty()) command = {"xdg-open"};
  // A name that begins with "-" would be taken for an option.
  command.push_back(!path.empty() && path[0] == '-' ? "./" + path : path);
  return command;
}

std::vector<std::string> ExternalEditorCommand(const std::string& path) {
  const char* visual = std::getenv("VISUAL");
  const char* editor = std::getenv("EDITOR");
  return ExternalEditorCommand(path, visual ? visual : "", editor ? editor : "");
}

}  // namespace ar
