// Judging a measured spectrum: the references and their choice by shield
// number and edition, the tolerance rule and its verdict, the averaging.
#include "Harmonic.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "HarmonicInit.h"
#include "VariableAverage.h"
#include "console_capture.h"

namespace {

std::string columns(const harmonic_st& r) {
  std::string out;
  for (int b = 0; b < _NUMB_DETECT_HARMONIC; ++b)
    out += std::to_string(r.average[b]) + "/" + std::to_string(r.delta[b]) + " ";
  return out;
}

TEST(HarmonicInit, LoadsTheReferenceOfNumberAndEditionOrZeroesItWithTheMessage) {
  const std::string t26 =
      "124/10 2/2 3/2 43/6 3/2 2/2 2/1 1/2 1/2 1/2 1/2 1/2 1/2 1/2 1/2 1/2 1/2 0/1 0/1 1/2 1/2 1/2 ";
  const std::string k26 = "124/13 1/1 1/1 7/4 1/1 1/1 5/3 1/1 1/1 4/3 1/1 1/1 2/1 1/1 1/1 1/1 1/1 1/1 1/1 1/1 1/1 1/1 ";
  const std::string k27 =
      "137/16 3/2 4/2 47/9 4/3 6/3 27/4 5/2 4/3 9/4 2/2 2/3 4/3 2/2 5/3 4/2 2/2 4/2 3/2 2/2 2/2 1/1 ";
  const std::string zero = columns({});
  for (auto [shield, type, loaded] : {std::tuple{26, 0u, t26},
                                      {26, 1u, k26},
                                      {27, 1u, k27},
                                      {27, 0u, zero},
                                      {26, 2u, zero},
                                      {0, 0u, zero},
                                      {25, 1u, zero},
                                      {28, 1u, zero}}) {
    harmonic_27KE_init();  // what the previous shield loaded
    shieldSt.shield = uint8_t(shield);
    shieldSt.type = static_cast<typeShield>(type);
    StdoutCapture out;
    EXPECT_EQ(harmonic_main_init(), loaded == zero);
    EXPECT_EQ(out.text(), loaded != zero ? ""
                                         : "Error: Для данного шилда не найден эталонный спектр частот, тест "
                                           "звука не может быть проведен.\n");
    EXPECT_EQ(columns(harmonic), loaded) << shield << " " << type;
    EXPECT_EQ(harmonic_find(uint8_t(shield), typeShield(type)) != nullptr, loaded != zero);
  }
}

// Both limits are in the window; no lower limit where the average is not above the delta.
TEST(HarmonicComparison, AcceptsEachBinWithinItsWindowAndCountsTheOthers) {
  struct Case {
    const harmonic_st& reference;
    int bin;
    uint32_t lowest, highest;
  };
  for (const Case& c :
       {Case{HARMONIC_26TALVO, 0, 114, 134}, Case{HARMONIC_26TALVO, 1, 0, 4}, Case{HARMONIC_26TALVO, 17, 0, 1},
        Case{HARMONIC_26KE, 12, 1, 3}, Case{HARMONIC_27KE, 6, 23, 31}, Case{HARMONIC_27KE, 11, 0, 5}})
    for (uint32_t v = 0; v < 200; ++v)
      ASSERT_EQ(harmonic_inTolerance(c.reference, c.bin, v), v >= c.lowest && v <= c.highest) << c.bin << " " << v;
  harmonic_26TALVO_init();
  for (int out : {0, 1, 2, 11, 21, 22}) {
    uint32_t amp[_NUMB_DETECT_HARMONIC];
    for (int b = 0; b < _NUMB_DETECT_HARMONIC; ++b)
      amp[b] = b >= _NUMB_DETECT_HARMONIC - out ? 1000 : harmonic.average[b];
    StdoutCapture captured;
    EXPECT_EQ(harmonic_comparison(amp), out);
    EXPECT_EQ(captured.text(), out == 0 ? "Звуковой спектр полностью соответствует.\n"
                                        : "\nНесоответствие спектра :" + std::to_string(out * 100 / 22) + "%\n");
  }
}

TEST(VariableAverage, SumsCapturesAveragesThemDroppingTheFractionAndEmptiesTheSum) {
  uint32_t sum[4] = {0xFFFFFFFF, 0, 0, 7}, average[4] = {5, 5, 5, 5};
  const uint32_t capture[4] = {2, 1249, 1250, 9};
  variable_sum(3, capture, sum);
  EXPECT_EQ(std::vector<uint32_t>(sum, sum + 4), (std::vector<uint32_t>{1, 1249, 1250, 7}));
  variable_average(3, 10, sum, average);
  EXPECT_EQ(std::vector<uint32_t>(average, average + 4), (std::vector<uint32_t>{0, 124, 125, 5}));
  EXPECT_EQ(std::vector<uint32_t>(sum, sum + 4), (std::vector<uint32_t>{0, 0, 0, 7}));
}

}  // namespace
