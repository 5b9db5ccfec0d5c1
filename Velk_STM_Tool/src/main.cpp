#include <bcm2835.h>

#include "menu.h"
#include "prompts.h"
#include "recorder.h"
#include "startup.h"

namespace {
constexpr unsigned kPassPauseMs = 100;
}

int main(int argc, char** argv) {
  stand_startup(argc, argv);
  record_open();
  menu_main();
  warning_stlinkon();
  warning_SelectTypeShield();
  for (;;) {
    menu();
    bcm2835_delay(kPassPauseMs);
  }
}
