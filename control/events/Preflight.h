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
  std::string id;  // any element's id: a bookmark may lead to it as well as to <A NAME>
};

// Whether a web address (http or https) can be reached. The check asks it only for those:
// a file: address or a plain path counts when the file exists, and every other scheme
// (mailto:, cid:, data:, ...) is passed over. Each address is asked once per run.
using UrlCheck = std::function<bool(const std::string& address)>;
// A result line; error lines are those that report a fault.
using PreflightLine = std::function<void(const std::string& line, bool error)>;

// Runs the check and lists its lines, the completion line last.
void RunPreflightCheck(const std::string& subject, const std::string& smtpServer,
                       const std::vector<PreflightElement>& elements, const UrlCheck& urlResponds,
                       const PreflightLine& list);

}  // namespace ar
