// Judging a measured spectrum: the choice of reference by shield number and
// edition, the tolerance rule and its verdict, and the averaging of captures.
#include "Harmonic.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "HarmonicInit.h"
#include "VariableAverage.h"
#include "console_capture.h"
#include "records.h"

namespace {

const std::string kNoReference =
    "Error: Для данного шилда не найден эталонный спектр частот, тест звука не может быть проведен.\n";

TEST(HarmonicInit, ChoosesTheReferenceByNumberAndEditionAndZeroesItWhenThereIsNone) {
  struct Case {
    uint8_t shield;
    uint32_t type;
    const harmonic_st* reference;
  };
  const Case cases[] = {
      {26, TYPESHIELD_TALVO, &HARMONIC_26TALVO},
      {26, TYPESGIELD_KORDENT, &HARMONIC_26KE},
      {27, TYPESGIELD_KORDENT, &HARMONIC_27KE},
      {27, TYPESHIELD_TALVO, nullptr},
      {26, 2, nullptr},
      {0, TYPESHIELD_TALVO, nullptr},
      {25, TYPESGIELD_KORDENT, nullptr},
      {28, TYPESGIELD_KORDENT, nullptr},
  };
  for (const Case& c : cases) {
    harmonic_27KE_init();  // whatever the previous shield loaded
    shieldSt.shield = c.shield;
    shieldSt.type = static_cast<typeShield>(c.type);
    StdoutCapture out;
    EXPECT_EQ(harmonic_main_init(), c.reference ? 0 : 1) << +c.shield << " " << c.type;
    EXPECT_EQ(out.text(), c.reference ? "" : kNoReference);
    const harmonic_st expected = c.reference ? *c.reference : harmonic_st{};
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&harmonic), sizeof harmonic),
              std::string(reinterpret_cast<const char*>(&expected), sizeof expected))
        << +c.shield << " " << c.type;
  }
  // The references as the stand's reference shields measured them: average/delta of bins 0..21.
  auto columns = [](const harmonic_st& r) {
    std::string out;
    for (int b = 0; b < _NUMB_DETECT_HARMONIC; ++b)
      out += std::to_string(r.average[b]) + "/" + std::to_string(r.delta[b]) + " ";
    return out;
  };
  EXPECT_EQ(columns(HARMONIC_26TALVO),
            "124/10 2/2 3/2 43/6 3/2 2/2 2/1 1/2 1/2 1/2 1/2 1/2 1/2 1/2 1/2 1/2 1/2 0/1 0/1 1/2 1/2 1/2 ");
  EXPECT_EQ(columns(HARMONIC_26KE),
            "124/13 1/1 1/1 7/4 1/1 1/1 5/3 1/1 1/1 4/3 1/1 1/1 2/1 1/1 1/1 1/1 1/1 1/1 1/1 1/1 1/1 1/1 ");
  EXPECT_EQ(columns(HARMONIC_27KE),
            "137/16 3/2 4/2 47/9 4/3 6/3 27/4 5/2 4/3 9/4 2/2 2/3 4/3 2/2 5/3 4/2 2/2 4/2 3/2 2/2 2/2 1/1 ");
  harmonic_NULL();
  harmonic_26KE_init();
  EXPECT_EQ(columns(harmonic), columns(HARMONIC_26KE));
  harmonic_26TALVO_init();
  EXPECT_EQ(columns(harmonic), columns(HARMONIC_26TALVO));
  harmonic_27KE_init();
  EXPECT_EQ(columns(harmonic), columns(HARMONIC_27KE));
}

// Both limits belong to the window; a bin whose average is not above its
// delta has no lower limit.
TEST(HarmonicComparison, AcceptsEachBinWithinItsWindow) {
  struct Case {
    const harmonic_st* reference;
    int bin;
    uint32_t lowest, highest;  // the accepted range
  };
  const Case cases[] = {
      {&HARMONIC_26TALVO, 0, 114, 134}, {&HARMONIC_26TALVO, 1, 0, 4}, {&HARMONIC_26TALVO, 17, 0, 1},
      {&HARMONIC_26TALVO, 6, 1, 3},     {&HARMONIC_26KE, 12, 1, 3},   {&HARMONIC_27KE, 6, 23, 31},
      {&HARMONIC_27KE, 11, 0, 5},       {&HARMONIC_27KE, 21, 0, 2},
  };
  for (const Case& c : cases) {
    for (uint32_t v = 0; v < 200; ++v)
      ASSERT_EQ(harmonic_inTolerance(*c.reference, c.bin, v), v >= c.lowest && v <= c.highest)
          << "bin " << c.bin << " value " << v;
  }
}

// Every bin is judged; the verdict gives the share of bins out of tolerance
// with its fraction dropped, and the result is their number.
TEST(HarmonicComparison, CountsTheBinsOutOfToleranceAndPrintsTheirShare) {
  harmonic_26TALVO_init();
  for (int out : {0, 1, 2, 11, 21, 22}) {
    uint32_t amp[_NUMB_DETECT_HARMONIC];
    std::copy(harmonic.average, harmonic.average + _NUMB_DETECT_HARMONIC, amp);
    for (int b = 0; b < out; ++b) amp[_NUMB_DETECT_HARMONIC - 1 - b] = 1000;  // from the last bin back
    StdoutCapture captured;
    EXPECT_EQ(harmonic_comparison(amp), out);
    EXPECT_EQ(captured.text(), out == 0 ? "Звуковой спектр полностью соответствует.\n"
                                        : "\nНесоответствие спектра :" + std::to_string(out * 100 / 22) + "%\n");
  }
}

TEST(VariableAverage, SumsCapturesAndAveragesThemDroppingTheFractionAndEmptiesTheSum) {
  uint32_t sum[4] = {0xFFFFFFFF, 0, 0, 7};
  const uint32_t capture[4] = {2, 1249, 1250, 9};
  variable_sum(3, capture, sum);  // only the first three
  EXPECT_EQ(std::vector<uint32_t>(sum, sum + 4), (std::vector<uint32_t>{1, 1249, 1250, 7}));
  uint32_t average[4] = {5, 5, 5, 5};
  variable_average(3, 10, sum, average);
  EXPECT_EQ(std::vector<uint32_t>(average, average + 4), (std::vector<uint32_t>{0, 124, 125, 5}));
  EXPECT_EQ(std::vector<uint32_t>(sum, sum + 4), (std::vector<uint32_t>{0, 0, 0, 7}));
}

}  // namespace
