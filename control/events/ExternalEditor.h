#pragma once
// The operator's own editor for a file: $VISUAL, else $EDITOR, else the desktop's program
// for the file (xdg-open). The result is a program and its arguments, to be started
// directly, never through a shell, so a path is never read as a command.
#include <string>
#include <vector>

namespace ar {

// Splits a command text into words at blanks; single and double quotes group blanks
// into a word and a backslash takes the next character as it is (as a shell would split
// it, without anything else a shell does). Empty when the text holds no word.
std::vector<std::string> SplitCommandWords(const std::string& command);

// The program and arguments that edit the file; visual and editor are the values of
// $VISUAL and $EDITOR ("" when unset).
std::vector<std::string> ExternalEditorCommand(const std::string& path, const std::string& visual,
                                               const std::string& editor);
// The same from the environment.
std::vector<std::string> ExternalEditorCommand(const std::string& path);

}  // namespace ar
