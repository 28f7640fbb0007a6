#pragma once
// The HTML templates of the program folder's templates/ folder: the list, the preview
// picture of each, the default template new events start from, the text a chosen
// template puts into an event, and the import of a file as a template.
#include "store/Connection.h"

#include <string>
#include <vector>

namespace ar {

// The picture shown for a template that has none of its own.
inline constexpr const char* kNoPreviewPicture = "nopreviewfile.jpg";

// programFolder + "/templates".
std::string TemplatesFolder(const std::string& programFolder);

// The file names (without folder) of the folder's templates: regular files whose names
// end in ".htm" or ".html" in any letter case, in name order ignoring letter case.
// An unreadable or missing folder lists none.
std::vector<std::string> ListTemplates(const std::string& folder);

// The preview picture's name of a template: every ".html" (any case) made ".jpg", or,
// when the name holds none, every ".htm"; "" when it holds neither.
std::string PreviewPictureName(const std::string& templateName);
// The picture to show for a template: its own when that file exists, else the folder's
// "nopreviewfile.jpg" when that exists, else "".
std::string PreviewPicturePath(const std::string& folder, const std::string& templateName);

// DefaultTemplate of tblConfiguration ("" for none or Null).
std::string LoadDefaultTemplate(Connection& main);
void SetDefaultTemplate(Connection& main, const std::string& name);
void ClearDefaultTemplate(Connection& main);

// The entry to preselect: the default's (letter case ignored), else the first, else -1.
int PreselectedTemplate(const std::vector<std::string>& names, const std::string& defaultName);

// The template's text as it goes into the event editor: read line by line, CR LF after
// every line. Throws std::runtime_error when the file cannot be read.
std::string ReadTemplateText(const std::string& folder, const std::string& name);

// Importing a file as a template: it keeps its file name in the templates folder.
enum class TemplateImportCheck {
  Ready,        // the file exists and no template has its name
  WouldReplace, // a template of that name exists: ask before replacing it
  NotFound,     // no readable file there
};
TemplateImportCheck CheckTemplateImport(const std::string& source, const std::string& folder);
// The name the imported template gets: the source's file name.
std::string TemplateImportName(const std::string& source);
// Copies the file into the folder (made when missing), replacing a template of the same
// name; a failed copy leaves the folder as it was. "" on success, else why it failed.
std::string ImportTemplate(const std::string& source, const std::string& folder);

}  // namespace ar
