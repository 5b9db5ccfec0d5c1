// The Pi's SPI0 controller at register level: CS (with CLEAR, TA, DONE, TXD,
// RXD, CSPOL0..2, CS select), FIFO and CLK. A write to FIFO while TA is set
// shifts the byte out to the selected device at once and queues the byte that
// came back; each byte costs its bit time at the programmed divider, counted
// from the start of the window so that whole-microsecond stand time does not
// drift from the bit clock.
// Leaves out: LoSSI, DMA, interrupts, DLEN, the 16-word FIFO depth limit
// (the FIFO is deep enough for any transfer the programs make).
#pragma once
#include <cstdint>

#include "time/lock.h"
#include "board/spi_device.h"

namespace sim {

void spi0_reset_locked(const StandLock&);  // what bcm2835_spi_begin does to CS
uint32_t spi0_read_locked(const StandLock&, uint32_t offset);
void spi0_write_locked(const StandLock&, uint32_t offset, uint32_t value);

// Level of a chip-select line (0 = CE0, 1 = CE1) as the controller drives it.
uint8_t spi0_chip_select_level_locked(const StandLock&, uint8_t chip_select);

// Plugs a device behind CE0 or CE1 (not owned); nullptr leaves MISO idle (0x00).
void spi0_attach(uint8_t chip_select, SpiDevice* device);

// Back door: the clock divider and data mode last programmed.
uint32_t spi0_clock_divider();
uint32_t spi0_control();

}  // namespace sim
