#include "mail/MimeComposerText.h"

namespace ar {
std::string NormalizeLineEndings(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 32);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r') {
      out += "\r\n";
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (c == '\n') {
      out += "\r\n";
    } else {
      out += c;
    }
  }
  return out;
}

std::string DotStuff(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  bool lineStart = true;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (lineStart && text[i] == '.') out += '.';
    out += text[i];
    lineStart = text[i] == '\n' && i > 0 && text[i - 1] == '\r';
  }
  return out;
}


std::string OneLine(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c == '\r' || c == '\n') c = ' ';
  return out;
}

std::string FileNamePart(std::string_view path) {
  std::size_t cut = path.rfind('\\');
  if (cut == std::string_view::npos) cut = path.rfind('/');
  const std::string_view name = cut == std::string_view::npos ? path : path.substr(cut + 1);
  return std::string(name.substr(0, 200));
}




std::string ReplaceAll(std::string_view text, std::string_view what, std::string_view with) {
  if (what.empty()) return std::string(text);
  std::string out;
  std::size_t from = 0;
  for (std::size_t at; (at = text.find(what, from)) != std::string_view::npos; from = at + what.size()) {
    out.append(text.substr(from, at - from));
    out.append(with);
  }
  out.append(text.substr(from));
  return out;
}

}  // namespace ar
