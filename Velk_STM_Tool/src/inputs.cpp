#include "inputs.h"

#include <bcm2835.h>

#include <cstdio>
#include <iterator>
#include <span>

#include "check.h"
#include "gpio.h"
#include "recorder.h"
#include "records.h"

namespace {

using Field = std::atomic<GPIO_Digital> stend_signal_st::*;

struct Input {
  Field field;
  error_codes code;
  const char* message;
};

constexpr Input kEk{&stend_signal_st::Ek, _ERROR_EK, "Ошибка работы входа Ek."};
constexpr Input kS0{&stend_signal_st::S0, _ERROR_S0, "Ошибка работы входа S0."};
constexpr Input kS1{&stend_signal_st::S1, _ERROR_S1, "Ошибка работы входа S1."};
constexpr Input kEkS{&stend_signal_st::EkS, _ERROR_EKS, "Ошибка работы входа EkS."};
constexpr Input kDoor{&stend_signal_st::DoorDetector, _ERROR_OpenDetector, "Ошибка работы входа OpenDetector."};

struct Comparison {
  const Input* input;
  GPIO_Digital failsWhen;  // the reported level that fails it
};

constexpr uint8_t kThreeLines[] = {PIN_EK_OUT, PIN_SEL0_OUT, PIN_SEL1_OUT};
constexpr uint8_t kFourLines[] = {PIN_EK_OUT, PIN_SEL0_OUT, PIN_SEL1_OUT, PIN_STM_INT};
constexpr uint8_t kDoorLine[] = {PIN_DOORDETECTOR_OUT};
// The most lines a block drives, and the most inputs a step compares.
constexpr size_t kMaxLines = std::size(kFourLines);

struct Step {
  uint8_t levels[kMaxLines];  // in the order of the block's lines
  Comparison comparisons[kMaxLines];
  int count;  // comparisons made, in order
};

struct Block {
  const char* start;
  std::span<const uint8_t> lines;  // written in this order in every step
  unsigned settleMs;               // after the lines are written, before the request
  std::span<const Step> steps;
  uint8_t final[kMaxLines];
};

constexpr Step kThreeSteps[] = {
    {{HIGH, HIGH, HIGH}, {{&kEk, PIN_HIGH}, {&kS0, PIN_HIGH}, {&kS1, PIN_HIGH}}, 3},
    {{LOW, HIGH, HIGH}, {{&kEk, PIN_LOW}}, 1},
    {{HIGH, LOW, HIGH}, {{&kS0, PIN_LOW}}, 1},
    {{HIGH, HIGH, LOW}, {{&kS1, PIN_LOW}}, 1},
};

constexpr Step kFourSteps[] = {
    {{HIGH, HIGH, HIGH, HIGH}, {{&kEk, PIN_HIGH}, {&kS0, PIN_HIGH}, {&kS1, PIN_HIGH}, {&kEkS, PIN_HIGH}}, 4},
    {{LOW, HIGH, HIGH, HIGH}, {{&kEk, PIN_LOW}}, 1},
    {{HIGH, LOW, HIGH, HIGH}, {{&kS0, PIN_LOW}}, 1},
    {{HIGH, HIGH, LOW, HIGH}, {{&kS1, PIN_LOW}}, 1},
    {{HIGH, HIGH, HIGH, LOW}, {{&kEkS, PIN_LOW}}, 1},
};

constexpr Step kDoorSteps[] = {
    {{LOW}, {{&kDoor, PIN_LOW}}, 1},
    {{HIGH}, {{&kDoor, PIN_HIGH}}, 1},
};

constexpr unsigned kInputSettleMs = 100;
constexpr unsigned kDoorSettleMs = 1000;
constexpr unsigned kFinalMs = 50;

constexpr Block kThreeInputs{
    "Идет проверка Ek, S0, S1. Ожидайте...", kThreeLines, kInputSettleMs, kThreeSteps, {HIGH, HIGH, HIGH}};
// EkS is left asserted: PIN_STM_INT is LOW outside this block, the shield's normal start mode.
constexpr Block kFourInputs{
    "Идет проверка Ek, S0, S1, EkS. Ожидайте...", kFourLines, kInputSettleMs, kFourSteps, {HIGH, HIGH, HIGH, LOW}};
constexpr Block kDoorInput{"Идет проверка OpenDetector. Ожидайте...", kDoorLine, kDoorSettleMs, kDoorSteps, {LOW}};

void drive(const Block& block, const uint8_t* levels) {
  for (size_t i = 0; i < block.lines.size(); ++i) bcm2835_gpio_write(block.lines[i], levels[i]);
}

// One pass over the steps; false when the operator asked to start again.
bool run_steps(const Block& block) {
  for (const Step& step : block.steps) {
    drive(block, step.levels);
    bcm2835_delay(block.settleMs);
    bool answered = check_askDI();
    for (int c = 0; c < step.count; ++c) {
      const Comparison& cmp = step.comparisons[c];
      record_level(cmp.input->code, answered, stend_signal.*(cmp.input->field), cmp.failsWhen);
      // No reply to this request fails like a wrong value.
      if (answered && stend_signal.*(cmp.input->field) != cmp.failsWhen) continue;
      if (check_failed(cmp.input->code, cmp.input->message)) return false;
    }
  }
  return true;
}

void run(const Block& block) {
  do std::printf("%s\n", block.start);
  while (!run_steps(block));
  drive(block, block.final);
  bcm2835_delay(kFinalMs);
}

}  // namespace

void menu_block_EK_S0_S1() { run(kThreeInputs); }

void menu_block_EK_S0_S1_EKS() { run(kFourInputs); }

void menu_block_OpenDetector() { run(kDoorInput); }
