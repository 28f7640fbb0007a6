#include "control/events/Templates.h"

#include "base/Text.h"
#include "mail/BodyFile.h"
#include "store/ConfigurationRow.h"
#include "store/DataFolder.h"
#include "store/DurableFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <strings.h>
#include <unistd.h>

namespace ar {
namespace {

bool EndsWithNoCase(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && StartsWithNoCase(std::string_view(text).substr(text.size() - end.size()), end);
}

// Every occurrence of `what` (letter case ignored) replaced.
std::string ReplaceAllNoCase(const std::string& text, const std::string& what, const std::string& with) {
  std::string out;
  std::size_t start = 0;
  for (std::size_t at = FindNoCase(text, what); at != std::string::npos; at = FindNoCase(text, what, start)) {
    out.append(text, start, at - start).append(with);
    start = at + what.size();
  }
  return out.append(text, start, std::string::npos);
}

std::string FileNameOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A name that stays inside the folder it is joined to.
bool IsPlainFileName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

}  // namespace

std::string TemplatesFolder(const std::string& programFolder) { return programFolder + "/templates"; }

std::vector<std::string> ListTemplates(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if ((EndsWithNoCase(name, ".htm") || EndsWithNoCase(name, ".html")) && FileExists(folder + "/" + name))
      names.push_back(name);
  }
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    const int order = ::strcasecmp(a.c_str(), b.c_str());
    return order != 0 ? order < 0 : a < b;
  });
  return names;
}

std::string PreviewPictureName(const std::string& templateName) {
  if (FindNoCase(templateName, ".html") != std::string::npos) return ReplaceAllNoCase(templateName, ".html", ".jpg");
  if (FindNoCase(templateName, ".htm") != std::string::npos) return ReplaceAllNoCase(templateName, ".htm", ".jpg");
  return "";
}

std::string PreviewPicturePath(const std::string& folder, const std::string& templateName) {
  const std::string own = PreviewPictureName(templateName);
  if (IsPlainFileName(own) && FileExists(folder + "/" + own)) return folder + "/" + own;
  const std::string none = folder + "/" + kNoPreviewPicture;
  return FileExists(none) ? none : "";
}

std::string LoadDefaultTemplate(Connection& main) {
  return ConfigurationRow::Read(main).DefaultTemplate();
}

void SetDefaultTemplate(Connection& main, const std::string& name) {
  main.Execute("update tblConfiguration set DefaultTemplate=?", {name});
}

void ClearDefaultTemplate(Connection& main) { SetDefaultTemplate(main, ""); }

int PreselectedTemplate(const std::vector<std::string>& names, const std::string& defaultName) {
  for (std::size_t i = 0; i < names.size(); ++i)
    if (!defaultName.empty() && ::strcasecmp(names[i].c_str(), defaultName.c_str()) == 0) return static_cast<int>(i);
  return names.empty() ? -1 : 0;
}

std::string ReadTemplateText(const std::string& folder, const std::string& name) {
  const std::string path = folder + "/" + name;
  if (!IsPlainFileName(name) || !FileExists(path)) throw std::runtime_error("cannot read " + path);
  return ReadBodyFile(path);
}

std::string TemplateImportName(const std::string& source) { return FileNameOf(source); }

TemplateImportCheck CheckTemplateImport(const std::string& source, const std::string& folder) {
  if (!IsPlainFileName(FileNameOf(source)) || !FileExists(source) || ::access(source.c_str(), R_OK) != 0)
    return TemplateImportCheck::NotFound;
  return FileExists(folder + "/" + TemplateImportName(source)) ? TemplateImportCheck::WouldReplace
                                                         : TemplateImportCheck::Ready;
}

std::string ImportTemplate(const std::string& source, const std::string& folder) {
  const std::string target = folder + "/" + TemplateImportName(source);
  if (!MakeFolders(folder)) return "the folder " + folder + " cannot be made";
  errno = 0;
  if (CopyFile(source, target)) return "";
  const int why = errno;
  return "cannot copy " + source + " to " + target + (why != 0 ? std::string(": ") + std::strerror(why) : "");
}

}  // namespace ar
