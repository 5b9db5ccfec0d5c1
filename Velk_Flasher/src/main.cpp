// Velk_Flasher FIRMWARE-IMAGE [POLICY]: brings the shield's SPI bootloader and
// firmware up to date; the exit status says how it went (5 = success).
#include "update.h"

int main(int argc, char** argv) { return flasher_main(argc, argv); }
