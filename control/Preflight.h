#pragma once
// The preflight check of an event: the subject, the configured outgoing server, and the
// images, hyperlinks and bookmarks of the HTML body, listed line by line. It reports only.
#include <functional>
#include <string>
#include <vector>

namespace ar {

// One element of the body document, in document order, with the attributes the check
// reads, as written in the document.
struct PreflightElement {
  std::string tagName;  // as the document gives it ("IMG", "A", ...)
  std::string src;
  std::string href;
  std::string name;
};

// Whether an address can be reached (images and hyperlinks).
using UrlCheck = std::function<bool(const std::string& address)>;
// A result line; error lines are those that report a fault.
using PreflightLine = std::function<void(const std::string& line, bool error)>;

// Runs the check and lists its lines, the completion line last.
void RunPreflightCheck(const std::string& subject, const std::string& smtpServer,
                       const std::vector<PreflightElement>& elements, const UrlCheck& urlResponds,
                       const PreflightLine& list);

}  // namespace ar
