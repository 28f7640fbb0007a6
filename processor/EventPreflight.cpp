#include "processor/EventPreflight.h"

#include "base/Text.h"
#include "base/Trace.h"
#include "mail/Addresses.h"
#include "mail/BodyFile.h"
#include "mail/MimeComposerImages.h"
#include "store/DataFolder.h"

#include <unistd.h>

namespace ar {
namespace {

std::string Text(const RowSet& row, const char* column) { return NullToDefault(row.Field(column), ""); }

bool Readable(const std::string& path) { return FileExists(path) && ::access(path.c_str(), R_OK) == 0; }

// The text of a body file, or nothing after adding why it cannot be used.
std::optional<std::string> BodyText(const char* what, const std::string& path, std::vector<std::string>& faults) {
  if (path.empty()) {
    faults.push_back(std::string("no ") + what + " file is named");
    return std::nullopt;
  }
  if (!FileExists(path)) {
    faults.push_back(std::string("the ") + what + " file " + path + " does not exist");
    return std::nullopt;
  }
  try {
    return ReadBodyFile(path);
  } catch (const std::exception& e) {
    faults.push_back(std::string("the ") + what + " file cannot be read: " + e.what());
    return std::nullopt;
  }
}

// The local images the composer would embed from the HTML body.
void CheckImages(const std::string& body, std::vector<std::string>& faults) {
  try {
    for (const std::string& reference : CollectImageReferences(body)) {
      const std::string path = ImagePathOf(reference);
      if (!Readable(path)) faults.push_back("the image file " + path + " does not exist or cannot be read");
    }
  } catch (const ComposeError& e) {
    faults.push_back(std::string("the HTML body cannot be composed: ") + e.what());
  }
}

std::string Joined(const std::vector<std::string>& parts) {
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : "; ") + part;
  return text;
}

}  // namespace

std::string EventHtmlBodyFile(const RowSet& event, const std::string& dataFolder) {
  if (NullToDefault(event.Field("UseFilesForMessageBodies"), false)) return Text(event, "HTMLMessageFile");
  return dataFolder + "/content/" + std::to_string(event.Field("AutoresponderEventID").AsInteger()) + ".html";
}

std::vector<std::string> EventPreflightFaults(const RowSet& event, const std::string& dataFolder) {
  std::vector<std::string> faults;
  if (TrimBlanks(Text(event, "Subject")).empty()) faults.push_back("the subject is empty");

  const std::string attachment = TrimBlanks(Text(event, "AttachmentFilename"));
  if (!attachment.empty() && !Readable(attachment))
    faults.push_back("the attachment " + attachment + " does not exist or cannot be read");

  // A plain-text-only message carries no HTML part, and so none of its images.
  if (!NullToDefault(event.Field("PlainTextOnly"), false)) {
    if (std::optional<std::string> body = BodyText("HTML body", EventHtmlBodyFile(event, dataFolder), faults))
      CheckImages(*body, faults);
  }
  if (NullToDefault(event.Field("UseFilesForMessageBodies"), false))
    BodyText("plain text body", Text(event, "PlainTextMessageFile"), faults);
  return faults;
}

bool EventPassesPreflight(const RunContext& ctx, const RowSet& event) {
  const std::vector<std::string> faults = EventPreflightFaults(event, ctx.dataFolder);
  if (faults.empty()) return true;
  const std::string name = Text(event, "EventName");
  const std::string why = PrintableText(Joined(faults));
  TracePop("frmProcess/ProcessEvents: event " + event.Field("AutoresponderEventID").AsText() + " (" +
               PrintableText(name) + ") not sent, the preflight check found: " + why,
           true);
  ctx.LogStatus("Error: event " + PrintableText(name) + " not sent, the preflight check found: " + why);
  ctx.SetLastAutoresponderStatus(kStatusPreflightFailed);
  return false;
}

}  // namespace ar
