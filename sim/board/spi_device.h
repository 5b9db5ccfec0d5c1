// What sits behind a chip select of the simulated SPI0 controller: a device
// sees the select, each byte exchanged (full duplex) and the deselect.
#pragma once
#include <cstdint>

#include "time/clock.h"
#include "time/lock.h"

namespace sim {

class SpiDevice {
 public:
  virtual ~SpiDevice() = default;
  virtual void select(const StandLock&, StandTime) {}
  // Receives one byte from the master and returns the byte shifted out meanwhile.
  virtual uint8_t exchange(const StandLock&, uint8_t mosi, StandTime now) = 0;
  virtual void deselect(const StandLock&, StandTime) {}
};

}  // namespace sim
