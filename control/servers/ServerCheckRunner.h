#pragma once
// A server test runs its dialogue on a thread of its own, so that the window that shows
// it stays responsive while the server is waited for. The window hears of every list
// line and of the end of the test through a listener. Destroying the runner (the window
// closing) abandons the test: the listener hears nothing more, the dialogue is asked to
// stop (a socket wait under way ends at once, see StopWakesSocket) and its thread is
// joined in the background.
#include "mail/Socket.h"
#include "mail/StopToken.h"

#include <chrono>
#include <functional>
#include <memory>
#include <stop_token>
#include <string>
#include <thread>

namespace ar {

using ListLine = std::function<void(const std::string& line)>;

// The list line that tells why a check could not go on: "Reason: " and the socket's
// description, control characters shown as \xNN, at most a few hundred characters.
std::string ReasonLine(const std::string& description);

// One test's dialogue. `run` lists its lines until the test is over and gives up when a
// stop is requested; `close`, when given, runs after it once the window has gone, to end
// what `run` left open (a login kept for as long as the window shows it).
struct ServerDialogue {
  std::function<void(const ListLine& list, std::stop_token stop)> run;
  std::function<void()> close;
};

class ServerCheckRunner {
 public:
  // Both are called on the runner's thread, never after the runner is gone.
  struct Listener {
    ListLine line;
    std::function<void()> finished;  // `run` has returned
  };

  ServerCheckRunner(ServerDialogue dialogue, Listener listener);
  ~ServerCheckRunner();
  ServerCheckRunner(const ServerCheckRunner&) = delete;
  ServerCheckRunner& operator=(const ServerCheckRunner&) = delete;

  // Abandoned dialogues whose thread has not ended yet.
  static int AbandonedRunning();
  // Waits until every abandoned dialogue has ended; false when the limit passed first.
  static bool WaitForAbandoned(std::chrono::milliseconds limit);

  struct State;

 private:
  std::shared_ptr<State> state_;
  std::jthread thread_;
};

// Ends a socket's blocking waits once the test's stop is requested, for as long as it
// lives: an abandoned test does not wait for the server's next line or its time-out (a
// server that trickles lines would keep it going for ever).
class StopWakesSocket {
 public:
  StopWakesSocket(Socket& socket, std::stop_token stop)
      : socket_(socket), callback_(std::move(stop), [this] { token_.Request(); }) {
    socket_.SetStopToken(&token_);
  }
  ~StopWakesSocket() { socket_.SetStopToken(nullptr); }
  StopWakesSocket(const StopWakesSocket&) = delete;
  StopWakesSocket& operator=(const StopWakesSocket&) = delete;

 private:
  Socket& socket_;
  StopToken token_;  // made before the callback, which may fire at once
  std::stop_callback<std::function<void()>> callback_;
};

// The trace of a test's dialogue on its thread: unforced lines follow the debug switch as
// it stood when the test started (the window may flip it meanwhile), and a line that
// cannot be written is lost rather than ending the test.
std::function<void(const std::string& message, bool force)> ServerTestTrace(bool debugSwitch);

}  // namespace ar
