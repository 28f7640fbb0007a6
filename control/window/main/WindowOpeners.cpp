#include "control/window/main/WindowOpeners.h"

namespace ar {

long& CurrentAutoresponderID() {
  static long id = 0;
  return id;
}

long& CurrentAutoresponderEventID() {
  static long id = 0;
  return id;
}

WindowOpeners& Openers() {
  static WindowOpeners openers;
  return openers;
}

}  // namespace ar
