#include "spi.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Buffer.h"
#include "bcm2835_ext.h"
#include "exit_codes.h"
#include "link_codes.h"
#include "records.h"

pthread_t spiPthread;

namespace {

std::atomic<bool> exchanging{false};  // a request taken, its reply not yet judged

void queue_reply(const uint8_t (&reply)[_FRAME_BYTES]) {
  buffer_compose(&bufferSPI_MISO, [&](uint8_t* write) {
    std::memcpy(write, reply, _FRAME_BYTES);
    write[_FRAME_SENDTYPE] = 0;
  });
}

// Takes the next request, or resends a cyclic one while nothing else waits.
bool take_request(uint8_t (&request)[_BUFFER_ELEMENTS]) {
  bool cyclic = false;
  {
    std::lock_guard guard(bufferSPI_MOSI.lock);
    if (buffer_read(&bufferSPI_MOSI)) {
      std::memcpy(request, bufferSPI_MOSI.read, _BUFFER_ELEMENTS);
      return true;
    }
    cyclic = bufferSPI_MOSI.backup[_FRAME_SENDTYPE] == SPI_TypeSend_Cycle;
  }
  if (cyclic) SPI_command_Last();  // goes out in the next cycle
  return false;
}

}  // namespace

void SPI_init() {
  SPI_str.speedRead = _SPI_SPEEDREAD;
  SPI_str.maxRepeat = _SPI_MAXREPEAT;
  if (!bcm2835_spi_begin()) {
    std::printf("Ошибка: нет доступа к контроллеру SPI (требуются права root).\n");
    std::exit(EXIT_NO_PERIPHERALS);
  }
  bcm2835_ext_spi_setBitOrder(BCM2835_SPI_BIT_ORDER_MSBFIRST);
  bcm2835_spi_setDataMode(BCM2835_SPI_MODE0);
  bcm2835_spi_setClockDivider(BCM2835_SPI_CLOCK_DIVIDER_889);
  bcm2835_spi_setChipSelectPolarity(BCM2835_SPI_CS0, LOW);
  bcm2835_delay(_SPI_SETTLE_MS);
}

void SPI_settle() {
  auto queued = [] {
    std::lock_guard guard(bufferSPI_MOSI.lock);
    return !buffer_empty(&bufferSPI_MOSI);
  };
  for (unsigned waited = 0; (exchanging || queued()) && waited < _SPI_SETTLE_LIMIT_MS; waited += _SPI_CYCLETIMEPAUSE)
    bcm2835_delay(_SPI_CYCLETIMEPAUSE);
}

void* SPI_th_TxRx(void*) {
  uint8_t TempBufferRead[_FRAME_BYTES];
  uint8_t request[_BUFFER_ELEMENTS];
  uint8_t SPI_mumbRepeat = 0;
  for (;;) {
    if (take_request(request)) {
      exchanging = true;
      bcm2835_spi_transfer_write(request, _FRAME_BYTES);
      uint8_t functionSend = request[1];
      bcm2835_delay(SPI_str.speedRead);
      bcm2835_spi_transfer_read(TempBufferRead, _FRAME_BYTES);
      bcm2835_delay(SPI_str.speedRead);
      bcm2835_spi_transfer_read(TempBufferRead, _FRAME_BYTES);  // the reply; the first read only gave it time
      switch (request[_FRAME_SENDTYPE]) {
        case SPI_TypeSend_ReadFunction:
          if (TempBufferRead[1] == functionSend) {
            SPI_mumbRepeat = 0;
            queue_reply(TempBufferRead);
          } else {
            ++SPI_mumbRepeat;
            SPI_command_Last();
          }
          break;
        case SPI_TypeSend_Cycle:
        case SPI_TypeSend_NoneControl:
          queue_reply(TempBufferRead);
          break;
        default:
          break;  // the reply is not wanted
      }
    }
    if (SPI_mumbRepeat >= SPI_str.maxRepeat) {
      SPI_mumbRepeat = 0;
      menuSt.functionRead = _FUNCTIONREAD_LINKFAILED;
      ++linkEvents.failures;
    }
    SPI_parser();
    exchanging = false;
    bcm2835_delay(_SPI_CYCLETIMEPAUSE);
  }
  return nullptr;
}
