#pragma once
// Hears a mail session's dialogue line by line, for a window that shows it to the
// operator. Lines come without their line end and already hidden where they carry a
// secret: a password or an authentication payload never reaches an observer.
#include <string_view>

namespace ar {

struct DialogueObserver {
  virtual ~DialogueObserver() = default;
  // A line about to go out. Throwing a SocketError keeps it (and the rest of the
  // dialogue) from the wire, as a lost connection would.
  virtual void Sent(std::string_view line) = 0;
  virtual void Received(std::string_view line) = 0;
  // The dialogue broke off without an answer: the socket failed (refused or lost
  // connection, time-out, stop) or a command could not be sent as it stood.
  virtual void Failed(std::string_view description) = 0;
};

}  // namespace ar
