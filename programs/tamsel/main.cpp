// tamsel: the statistics monitor. An icon in the desktop's notification area with the
// window "Autoresponder Stats"; one monitor per data folder. "/d": debug switch.
#include "monitor/window/MonitorProgram.h"
#include "store/Display.h"

#include <clocale>
#include <csignal>
#include <iostream>

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  std::signal(SIGPIPE, SIG_IGN);
  // The monitor is nothing but its window: without a display it ends as after "Close".
  if (!ar::HasDisplay()) {
    std::cerr << "tamsel: no display for the monitor's window\n";
    return 0;
  }
  return ar::RunMonitor(argc, argv);
}
