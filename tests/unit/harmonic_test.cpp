// The references and their choice by shield number and edition, the
// tolerance rule, the averaging of captures.
#include "Harmonic.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "HarmonicInit.h"
#include "VariableAverage.h"
#include "console_capture.h"

namespace {

// A reference as "average/delta" per bin; "none" for a missing one.
std::string columns(const harmonic_st* r) {
  std::string out = r ? "" : "none";
  for (int b = 0; b < _NUMB_DETECT_HARMONIC && r; ++b)
    out += std::to_string(r->average[b]) + "/" + std::to_string(r->delta[b]) + " ";
  return out;
}

// An unknown pair zeroes what the previous shield loaded.
TEST(HarmonicInit, LoadsTheReferenceOfNumberAndEditionOrZeroesIt) {
  const harmonic_st zero{};
  for (auto [shield, type, loaded] :
       {std::tuple{26, 0u,
                   "124/10 2/2 3/2 43/6 3/2 2/2 2/1 1/2 1/2 1/2 1/2 1/2 1/2 1/2 1/2 1/2 1/2 0/1 0/1 1/2 1/2 1/2 "},
        {26, 1u, "124/13 1/1 1/1 7/4 1/1 1/1 5/3 1/1 1/1 4/3 1/1 1/1 2/1 1/1 1/1 1/1 1/1 1/1 1/1 1/1 1/1 1/1 "},
        {27, 1u, "137/16 3/2 4/2 47/9 4/3 6/3 27/4 5/2 4/3 9/4 2/2 2/3 4/3 2/2 5/3 4/2 2/2 4/2 3/2 2/2 2/2 1/1 "},
        {27, 0u, ""},
        {26, 2u, ""}}) {
    harmonic_27KE_init();
    shieldSt.shield = uint8_t(shield);
    shieldSt.type = static_cast<typeShield>(type);
    printed([&] { EXPECT_EQ(harmonic_main_init(), !*loaded); });  // the message is the audio check's
    EXPECT_EQ(columns(&harmonic) + "| " + columns(harmonic_find(shieldSt.shield, shieldSt.type)),
              *loaded ? loaded + ("| " + std::string(loaded)) : columns(&zero) + "| none");
  }
}

// Both limits are in the window; no lower limit where the average is not above the delta.
TEST(HarmonicTolerance, AcceptsEachBinWithinItsWindowOnly) {
  for (auto [reference, bin, lowest, highest] : {std::tuple{&HARMONIC_26TALVO, 0, 114u, 134u},
                                                 {&HARMONIC_26TALVO, 17, 0u, 1u},
                                                 {&HARMONIC_26KE, 12, 1u, 3u},
                                                 {&HARMONIC_27KE, 11, 0u, 5u}})
    for (uint32_t v = 0; v < 200; ++v)
      ASSERT_EQ(harmonic_inTolerance(*reference, bin, v), v >= lowest && v <= highest) << bin << " " << v;
}

TEST(VariableAverage, SumsCapturesAveragesThemDroppingTheFractionAndEmptiesTheSum) {
  uint32_t sum[4] = {0xFFFFFFFF, 0, 0, 7}, average[4] = {5, 5, 5, 5};
  const uint32_t capture[4] = {2, 1249, 1250, 9};
  variable_sum(3, capture, sum);
  variable_average(3, 10, sum, average);
  EXPECT_EQ(std::vector<uint32_t>(average, average + 4), (std::vector<uint32_t>{0, 124, 125, 5}));
  EXPECT_EQ(std::vector<uint32_t>(sum, sum + 4), (std::vector<uint32_t>{0, 0, 0, 7}));
}

}  // namespace
