#include "control/servers/ServerCheckRunner.h"

#include "base/Trace.h"
#include "mail/Addresses.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <utility>
#include <vector>

namespace ar {

std::string ReasonLine(const std::string& description) {
  constexpr std::size_t kShown = 300;
  std::string line = "Reason: " + PrintableText(std::string_view(description).substr(0, kShown));
  if (description.size() > kShown) line += "...";
  return line;
}

struct ServerCheckRunner::State {
  std::mutex mutex;  // held while the listener is called or taken away
  Listener listener;
  std::atomic<bool> ended{false};  // the thread has nothing left to do
};

namespace {

// The threads of abandoned dialogues, joined as they end and at the latest when the
// program ends.
class Abandoned {
 public:
  ~Abandoned() {
    std::vector<Entry> left;
    {
      std::lock_guard lock(mutex_);
      left.swap(entries_);
    }
    left.clear();  // joins
  }

  void Adopt(std::jthread thread, std::shared_ptr<ServerCheckRunner::State> state) {
    std::vector<Entry> ended;
    {
      std::lock_guard lock(mutex_);
      TakeEnded(ended);
      entries_.push_back({std::move(thread), std::move(state)});
    }
  }

  void Ended() {
    { std::lock_guard lock(mutex_); }
    ended_.notify_all();
  }

  int Running() {
    std::lock_guard lock(mutex_);
    int running = 0;
    for (const Entry& e : entries_) running += e.state->ended ? 0 : 1;
    return running;
  }

  bool WaitAll(std::chrono::milliseconds limit) {
    std::vector<Entry> ended;
    std::unique_lock lock(mutex_);
    const bool all = ended_.wait_for(lock, limit, [&] {
      for (const Entry& e : entries_)
        if (!e.state->ended) return false;
      return true;
    });
    TakeEnded(ended);
    lock.unlock();
    return all;  // the ended threads are joined as `ended` goes
  }

 private:
  struct Entry {
    std::jthread thread;
    std::shared_ptr<ServerCheckRunner::State> state;
  };

  // Moves the entries whose dialogue has ended to `ended`, to be joined without the lock.
  void TakeEnded(std::vector<Entry>& ended) {
    for (auto it = entries_.begin(); it != entries_.end();) {
      if (it->state->ended) {
        ended.push_back(std::move(*it));
        it = entries_.erase(it);
      } else {
        ++it;
      }
    }
  }

  std::mutex mutex_;
  std::condition_variable ended_;
  std::vector<Entry> entries_;
};

// Blocks until a stop is requested.
void WaitForStopRequest(std::stop_token stop) {
  std::mutex mutex;
  std::condition_variable_any requested;
  std::unique_lock lock(mutex);
  requested.wait(lock, stop, [] { return false; });
}

Abandoned& AbandonedDialogues() {
  static Abandoned abandoned;
  return abandoned;
}

}  // namespace

ServerCheckRunner::ServerCheckRunner(ServerDialogue dialogue, Listener listener) : state_(std::make_shared<State>()) {
  state_->listener = std::move(listener);
  AbandonedDialogues();  // made before any thread, so that it outlives them all at exit
  thread_ = std::jthread([state = state_, dialogue = std::move(dialogue)](std::stop_token stop) {
    const ListLine list = [&state](const std::string& line) {
      std::lock_guard lock(state->mutex);
      if (state->listener.line) state->listener.line(line);
    };
    try {
      dialogue.run(list, stop);
    } catch (const std::exception&) {
      // The dialogues list their own failures; anything else ends the test without the
      // success line.
    }
    {
      std::lock_guard lock(state->mutex);
      if (state->listener.finished) state->listener.finished();
    }
    if (dialogue.close) {
      WaitForStopRequest(stop);
      try {
        dialogue.close();
      } catch (const std::exception&) {
        // the window is gone: nobody is left to tell
      }
    }
    state->ended = true;
    AbandonedDialogues().Ended();
  });
}

ServerCheckRunner::~ServerCheckRunner() {
  {
    std::lock_guard lock(state_->mutex);
    state_->listener = {};
  }
  thread_.request_stop();
  if (state_->ended) return;  // the thread is at its very end: joined here at once
  AbandonedDialogues().Adopt(std::move(thread_), state_);
}

int ServerCheckRunner::AbandonedRunning() { return AbandonedDialogues().Running(); }

bool ServerCheckRunner::WaitForAbandoned(std::chrono::milliseconds limit) { return AbandonedDialogues().WaitAll(limit); }

std::function<void(const std::string& message, bool force)> ServerTestTrace(bool debugSwitch) {
  return [debugSwitch](const std::string& message, bool force) {
    if (!force && !debugSwitch) return;
    try {
      TraceLog(message, true);
    } catch (const std::exception&) {
      // the trace folder is gone; the test goes on
    }
  };
}

}  // namespace ar
