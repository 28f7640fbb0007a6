#include "control/events/HtmlBodyFile.h"

#include "base/Text.h"

namespace ar {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string TrimSpaceAndBreaks(std::string_view text) {
  size_t begin = 0, end = text.size();
  while (begin < end && IsSpace(text[begin])) ++begin;
  while (end > begin && IsSpace(text[end - 1])) --end;
  return std::string(text.substr(begin, end - begin));
}

// Where the body tag starts, or npos: "<body" followed by white space.
size_t BodyTagStart(std::string_view document) {
  for (size_t at = FindNoCase(document, "<body"); at != std::string_view::npos;
       at = FindNoCase(document, "<body", at + 1)) {
    const size_t after = at + 5;
    if (after < document.size() && IsSpace(document[after])) return at;
  }
  return std::string_view::npos;
}

// A double quote ends the value in the tag, so one inside a value is written as an entity.
std::string AttributeValue(const std::string& value) {
  std::string out;
  for (char c : value) {
    if (c == '"') out += "&quot;";
    else out += c;
  }
  return out;
}

}  // namespace

std::string ReadPageProperty(std::string_view document, std::string_view attribute) {
  const size_t tag = BodyTagStart(document);
  if (tag == std::string_view::npos) return "";
  const size_t tagEnd = document.find('>', tag);
  for (size_t at = FindNoCase(document, attribute, tag); at != std::string_view::npos && at < tagEnd;
       at = FindNoCase(document, attribute, at + 1)) {
    // The name stands on its own: white space before it, "=" (after any blanks) behind it.
    if (!IsSpace(document[at - 1])) continue;
    size_t equals = at + attribute.size();
    while (equals < document.size() && IsSpace(document[equals])) ++equals;
    if (equals >= document.size() || document[equals] != '=') continue;
    size_t open = equals + 1;
    while (open < document.size() && IsSpace(document[open])) ++open;
    if (open >= document.size() || document[open] != '"') return "";
    const size_t close = document.find('"', open + 1);
    if (close == std::string_view::npos) return "";
    return TrimBlanks(document.substr(open + 1, close - open - 1));
  }
  return "";
}

std::string ReadHeadText(std::string_view document) {
  const size_t open = FindNoCase(document, "<head>");
  if (open == std::string_view::npos) return "";
  const size_t start = open + 6;
  const size_t close = FindNoCase(document, "</head>", start);
  if (close == std::string_view::npos) return "";
  return TrimSpaceAndBreaks(document.substr(start, close - start));
}

PageProperties ReadPageProperties(std::string_view document) {
  PageProperties p;
  p.head = ReadHeadText(document);
  p.backgroundColor = ReadPageProperty(document, "bgcolor");
  p.background = ReadPageProperty(document, "background");
  p.link = ReadPageProperty(document, "link");
  p.alink = ReadPageProperty(document, "alink");
  p.vlink = ReadPageProperty(document, "vlink");
  return p;
}

std::string BodyTag(const PageProperties& p) {
  std::string tag = "<BODY";
  const std::pair<const char*, const std::string*> attributes[] = {
      {"bgcolor", &p.backgroundColor}, {"background", &p.background}, {"link", &p.link},
      {"alink", &p.alink},             {"vlink", &p.vlink},
  };
  for (const auto& [name, value] : attributes)
    if (!value->empty()) tag += std::string(" ") + name + "=\"" + AttributeValue(*value) + "\"";
  return tag + ">";
}

std::string BuildHtmlBodyFile(const PageProperties& p, std::string_view bodyHtml) {
  // Read back, the line end after the body tag and the one after "</BODY>" come out as
  // white space at both ends of the body: left there, every save would add two lines.
  for (const std::string_view end : {"\r\n", "\n"})
    if (bodyHtml.substr(0, end.size()) == end) {
      bodyHtml.remove_prefix(end.size());
      break;
    }
  for (const std::string_view end : {"\r\n", "\n"})
    if (bodyHtml.size() >= end.size() && bodyHtml.substr(bodyHtml.size() - end.size()) == end) {
      bodyHtml.remove_suffix(end.size());
      break;
    }
  std::string file = "<HEAD>\r\n" + TrimBlanks(p.head) + "\r\n</HEAD>\r\n" + BodyTag(p) + "\r\n";
  file.append(bodyHtml);
  return file + "</BODY>\r\n";
}

std::string HtmlOnlyBodyFile(std::string_view html) {
  // Text read from a file ends with its last line's CR LF already: one more on every save
  // would add a line each time.
  if (!html.empty() && html.back() == '\n') return std::string(html);
  return std::string(html) + "\r\n";
}

}  // namespace ar
