#include "processor/StopSignals.h"

#include <csignal>

namespace ar {
namespace {

StopToken* g_token = nullptr;

void OnStopSignal(int) {
  if (g_token) g_token->Request();
}

}  // namespace

void RequestStopOnSignals(StopToken& token) {
  g_token = &token;
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  // SA_RESETHAND: the handler serves once, so a second signal ends the program.
  action.sa_flags = SA_RESTART | SA_RESETHAND;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

void IgnoreBrokenPipes() { std::signal(SIGPIPE, SIG_IGN); }

}  // namespace ar
