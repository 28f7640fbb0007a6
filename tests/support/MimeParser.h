#pragma once
// An independent MIME reader for tests: parses a composed message with GMime and gives
// its header texts (decoded) and its tree of parts (contents with the transfer encoding
// undone).
#include <map>
#include <string>
#include <vector>

namespace ar::test {

struct ParsedPart {
  std::string mimeType;                      // "multipart/mixed", "text/plain", ...
  std::map<std::string, std::string> params;  // Content-Type parameters (boundary, charset, name)
  std::string contentId;                     // without "<" and ">"
  std::string transferEncoding;              // "8bit", "base64", empty for multiparts
  std::string filename;                      // Content-Disposition filename
  std::string content;                       // decoded bytes of a leaf part
  std::string text;                          // a text part's content converted to UTF-8
  std::string prologue;                      // a multipart's text before its first boundary
  std::vector<ParsedPart> children;          // parts of a multipart
};

struct ParsedMessage {
  bool parsed = false;
  std::string subject;      // decoded to UTF-8
  std::string fromName;     // decoded to UTF-8
  std::string fromAddress;
  std::string messageId;
  std::map<std::string, std::string> headers;  // raw values of the top-level header fields by name
  ParsedPart root;
};

ParsedMessage ParseMimeMessage(const std::string& text);

// Every leaf of the tree, depth first.
std::vector<const ParsedPart*> Leaves(const ParsedPart& root);

}  // namespace ar::test
