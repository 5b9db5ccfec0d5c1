// The shield's ADC on the stand's line: three sources switched on in turn, each
// reading printed and judged against the nominal value of the edition on test.
#pragma once
#include <algorithm>
#include <cstdint>

inline constexpr int32_t kAdcTolerance = 100;  // counts either side of the nominal value
inline constexpr int32_t kAdcMin = 100;        // a lower reading is no reading at all

// The readings a check accepts for `nominal`, bounds included: within the
// tolerance and at least kAdcMin. Worked in 32-bit signed arithmetic: no sum wraps.
struct AdcWindow {
  int32_t low;
  int32_t high;
};
constexpr AdcWindow adc_window(uint16_t nominal) {
  int32_t n = nominal;
  return {std::max(n - kAdcTolerance, kAdcMin), n + kAdcTolerance};
}

// True when `reading` lies within the window of `nominal`.
constexpr bool adc_readingOk(uint16_t reading, uint16_t nominal) {
  AdcWindow w = adc_window(nominal);
  return reading >= w.low && reading <= w.high;
}

void menu_block_ADC();
