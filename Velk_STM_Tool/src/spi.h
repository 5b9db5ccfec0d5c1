// The shield link: the SPI0 set-up, the exchange thread that carries one
// request per cycle, and the requests and reply parser it serves.
#pragma once
#include <pthread.h>

#include <cstdint>

inline constexpr unsigned _SPI_CYCLETIMEPAUSE = 100;  // ms at the end of every cycle
inline constexpr uint16_t _SPI_SPEEDREAD = 100;       // ms before each of the two reads
inline constexpr uint8_t _SPI_MAXREPEAT = 5;
inline constexpr unsigned _SPI_SETTLE_MS = 200;

// The longest a reply can take after its request is queued: the cycle under
// way ends, then the request goes out and its reply comes two reads later.
inline constexpr unsigned _SPI_REPLY_WAIT_MS = _SPI_CYCLETIMEPAUSE + 2 * _SPI_SPEEDREAD + 50;

extern pthread_t spiPthread;

// Sets up SPI0 for the link. When the controller cannot be reached (the
// library could not map it), says so and ends the program.
void SPI_init();

// Lets the requests still queued from before run out (answered, or the link
// marked failed), for at most _SPI_SETTLE_LIMIT_MS; at once when none is left.
inline constexpr unsigned _SPI_SETTLE_LIMIT_MS = 10000;
void SPI_settle();

// The exchange thread; never returns.
void* SPI_th_TxRx(void* arg);

// Requests: each builds its frame and queues it; the reply, if any, lands in the
// shared records later, on the exchange thread.
void SPI_command_ShieldRead();
void SPI_command_ShieldWrite(uint8_t version);
void SPI_command_IdRead_1();
void SPI_command_IdRead_2();
void SPI_command_IdRead_3();
void SPI_command_PleaseRepeat();

// Queues the last request taken from the outgoing queue once more.
void SPI_command_Last();

// Takes at most one reply from the incoming queue and acts on it.
void SPI_parser();

// Builds and queues one request frame (address, code, data, checksum, send type).
void SPI_command_queue(uint8_t function, const uint8_t (&data)[4], uint8_t sendType);
