// The records the stand program's modules and its two threads share. All are
// zero at start. Fields written on the exchange thread and read on the main
// thread are atomic, so no reader ever sees half of a multi-byte value.
#pragma once
#include <atomic>
#include <cstdint>

inline constexpr const char* _VERSION = VELK_VERSION;  // "v" and project(VERSION) of the build

// Settings bits of menu_flag_settings, by bit position.
enum menu_flag_bits : uint8_t { FLAGSET_STLINKUPDATE = 0, FLAGSET_HARMONICREAD = 1 };
extern uint8_t menu_flag_settings;

inline bool menu_flag(menu_flag_bits bit) { return (menu_flag_settings >> bit) & 1; }

struct menu_st {
  uint8_t point;
  std::atomic<uint8_t> functionRead;  // reply code (link_codes.h)
  uint8_t functionSend;
};
extern menu_st menuSt;

struct spi_st {
  uint16_t speedRead;
  uint8_t maxRepeat;
  uint8_t flagRepeat;
};
extern spi_st SPI_str;

enum SPI_TypesSend : uint8_t {
  SPI_TypeSend_NoneReadFunction = 0,
  SPI_TypeSend_ReadFunction = 1,
  SPI_TypeSend_Cycle = 2,
  SPI_TypeSend_NoneControl = 3,
};

enum typeShield : uint32_t { TYPESHIELD_TALVO = 0, TYPESGIELD_KORDENT = 1 };

struct shield_st {
  std::atomic<uint8_t> shield;
  std::atomic<uint32_t> id[3];
  std::atomic<uint16_t> firmware;
  uint16_t bootloader;
  typeShield type;
  // Whether each identifier word was answered since the last read began, so
  // that a word left over from the previous shield is never taken for this one's.
  std::atomic<bool> idAnswered[3];
};
extern shield_st shieldSt;

enum GPIO_Digital : uint32_t { PIN_LOW = 0, PIN_HIGH = 1 };

struct stend_signal_st {
  std::atomic<GPIO_Digital> Ek;
  std::atomic<GPIO_Digital> S0;
  std::atomic<GPIO_Digital> S1;
  std::atomic<GPIO_Digital> EkS;
  std::atomic<GPIO_Digital> DoorDetector;
  std::atomic<uint16_t> Line;
  GPIO_Digital REL0;
  GPIO_Digital REL1;
  GPIO_Digital REL2;
  GPIO_Digital REL3;
  GPIO_Digital BR;
};
extern stend_signal_st stend_signal;

inline constexpr uint16_t ADC_TALVO_BR = 2600;
inline constexpr uint16_t ADC_TALVO_IMIT = 1850;
inline constexpr uint16_t ADC_TALVO_OD = 2500;
inline constexpr uint16_t ADC_KORDENT_BR = 2600;
inline constexpr uint16_t ADC_KORDENT_IMIT = 2100;
inline constexpr uint16_t ADC_KORDENT_OD = 2350;

struct stand_adc_st {
  uint16_t BR;
  uint16_t IMIT;
  uint16_t OD;
};
extern stand_adc_st stand_ADC;

// What the link has done since start, counted on the exchange thread: a check
// notes a count before its request, so it never judges a reply that came for
// an earlier one, and the report tells whether the link was marked failed
// during the pass even when a later reply has overwritten the mark.
struct link_events_st {
  std::atomic<uint32_t> repliesDI;  // DI replies decoded into stend_signal
  std::atomic<uint32_t> repliesAI;  // AI replies decoded into stend_signal.Line
  std::atomic<uint32_t> failures;   // times the reply code was set to the failure mark
};
extern link_events_st linkEvents;

// Failure codes: bit n of error_st.stand is set when check n failed at least
// once in this pass. Code 0 marks a failed shield link.
enum error_codes : uint8_t {
  _ERROR_SPI = 0,
  _ERROR_EK = 1,
  _ERROR_S0 = 2,
  _ERROR_S1 = 3,
  _ERROR_OpenDetector = 4,
  _ERROR_REL0 = 5,
  _ERROR_REL1 = 6,
  _ERROR_REL2 = 7,
  _ERROR_REL3 = 8,
  _ERROR_BR = 9,
  _ERROR_ADC_BR = 10,
  _ERROR_ADC_IMIT = 11,
  _ERROR_ADC_OD = 12,
  _ERROR_AUDIO = 13,
  _ERROR_EKS = 14,
};

// The failure register: the checks only set bits, the report clears it.
struct error_st_t {
  uint32_t stand;
};
extern error_st_t error_st;

inline void error_set(error_codes code) { error_st.stand |= 1u << code; }
