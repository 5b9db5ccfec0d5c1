// Bringing the stand up: version line, option, peripherals, lines, shield
// reset, SPI0 and the exchange thread, in the order the wiring needs.
#pragma once

void stand_startup(int argc, char** argv);
