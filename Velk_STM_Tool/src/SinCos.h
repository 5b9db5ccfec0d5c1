// Whole-degree sine and negated-cosine tables scaled by 10000, for the
// table-driven transform. Built from a quarter table Q of 90 rounded entries:
// Q[j] = 10000 sin((j + 1) deg) for j < 10, 10000 sin(j deg) from 10 on, so
// no entry is 0 or +-10000 (sinTab[0] is 175, sinTab[90] is 9998).
#pragma once
#include <array>
#include <cstdint>

extern const std::array<int32_t, 360> sinTab;  // sine of whole degrees x 10000
extern const std::array<int32_t, 360> cosTab;  // negated cosine of whole degrees x 10000

int32_t sin_calc(uint32_t angle);  // sinTab[angle mod 360]
int32_t cos_calc(uint32_t angle);  // cosTab[angle mod 360]
