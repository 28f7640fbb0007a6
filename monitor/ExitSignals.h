#pragma once
// The requests to end a program that has windows: SIGTERM (the session ends, kill,
// systemctl), SIGINT and SIGHUP (its terminal went away). Each signal writes one byte to
// a pipe whose read end the program watches in its event loop, so that it ends cleanly
// from there rather than inside the signal handler.
namespace ar {

// Installs the handlers (once per process) and returns the pipe's read end, or -1 when
// no pipe could be made.
int ExitSignalPipe();

}  // namespace ar
