#pragma once
// How one window of the control program opens another. The main window puts the real
// windows in when it is built; a test puts in its own opener to see what was handed over
// without a modal window. An opener not put in does nothing.
#include "control/events/PageProperties.h"

#include <functional>
#include <optional>
#include <string>

class QWidget;

namespace ar {

// The process-wide values through which the windows hand an autoresponder or an event to
// the next window.
long& CurrentAutoresponderID();
long& CurrentAutoresponderEventID();

// What the autoresponder editor hands to the mailbox test: the settings as typed, not as
// stored.
struct MailboxTestSettings {
  std::string serverType;  // "POP3" or "IMAP4"
  std::string server;      // host, or host ":" port
  std::string username;
  std::string password;
  bool tls = false;
};

struct WindowOpeners {
  // The autoresponder editor, on CurrentAutoresponderID(); `from` is the opening window.
  std::function<void(QWidget* from)> projectDetail;
  std::function<void(QWidget* from, const MailboxTestSettings&)> mailboxTest;
  // The event editor, on CurrentAutoresponderEventID().
  std::function<void(QWidget* from)> eventDetail;
  // The subscriber windows of the editor, on CurrentAutoresponderID().
  std::function<void(QWidget* from)> importSubscribers;
  std::function<void(QWidget* from)> exportSubscribers;
  std::function<void(QWidget* from)> findSubscribers;
  // The template window opened from the event editor: the chosen template's text (read
  // line by line, CR LF after each), or nothing when none was chosen.
  std::function<std::optional<std::string>(QWidget* from)> chooseTemplate;
  // The page-properties window (with its HEAD editor) over the event editor's properties;
  // true when they were saved back.
  std::function<bool(QWidget* from, PageProperties& properties)> pageProperties;
};

WindowOpeners& Openers();

}  // namespace ar
