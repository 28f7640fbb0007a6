// tamsel_screenshot DATAFOLDER OUT.png: a picture of the monitor's window over a data
// folder, after its first refresh, for the documentation.
#include "monitor/window/MonitorProgram.h"

#include <clocale>
#include <iostream>

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  if (argc != 3) {
    std::cerr << "usage: tamsel_screenshot DATAFOLDER OUT.png\n";
    return 2;
  }
  return ar::SaveMonitorScreenshot(argc, argv, argv[1], argv[2]);
}
