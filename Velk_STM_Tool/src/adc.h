// The shield's ADC on the stand's line: three sources switched on in turn, each
// reading printed and judged against the nominal value of the edition on test.
#pragma once
#include <cstdint>

inline constexpr int32_t kAdcTolerance = 100;  // counts either side of the nominal value
inline constexpr int32_t kAdcMin = 100;        // a lower reading is no reading at all

// The readings a check accepts for `nominal`, bounds included: within the
// tolerance and at least kAdcMin. Worked in 32-bit signed arithmetic: no sum wraps.
struct AdcWindow {
  int32_t low;
  int32_t high;
};
AdcWindow adc_window(uint16_t nominal);

// True when `reading` lies within the window of `nominal`.
bool adc_readingOk(uint16_t reading, uint16_t nominal);

void menu_block_ADC();
