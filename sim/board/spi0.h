// The Pi's SPI0 controller at register level: CS (with CLEAR, TA, DONE, TXD,
// RXD, CSPOL0..2, CS select), FIFO and CLK. A byte written to FIFO while TA is
// set waits in the 16-byte TX FIFO (TXD clear while it is full); the
// controller shifts the bytes out one after another at the bit time of the
// programmed divider, counted from the start of the window so that
// whole-microsecond stand time does not drift from the bit clock. The byte that
// came back is readable (RXD) only once its 8 bit clocks have passed in stand
// time; a full 16-byte RX FIFO holds the next byte back. DONE is set when the
// TX FIFO is empty and the last byte has shifted. Clearing TA lets the bytes
// written go out first, as far as the RX FIFO has room.
// Register accesses take no stand time of their own; a program reading CS a
// third time in a row is polling, and the clock moves on to the controller's
// next change. So a read loop that gives up too early loses bytes here as on
// the Pi, and a polling loop costs a few reads a byte. A million polls with
// nothing under way stop the program: it would poll for ever.
// Leaves out: LoSSI, DMA, interrupts, DLEN, RXR and RXF (no program reads
// them), the stand time a single access takes on the Pi (a few hundred ns).
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
