#include "shield/shield.h"

#include <cstdio>
#include <iterator>

#include "board/board.h"
#include "shield/shield_bootloader.h"
#include "shield/shield_firmware.h"
#include "shield/shield_flash.h"
#include "board/spi0.h"
#include "board/wiring.h"

namespace sim {
namespace {

void line_changed_locked(const StandLock&, uint8_t gpio, uint8_t level);
uint8_t readback_locked(const StandLock&, uint8_t gpio, uint8_t healthy_level);

struct Shield {
  ShieldState state;
  std::string path;
  ShieldStore* store = nullptr;
  uint8_t stm_int = 0;
  ShieldFirmware firmware;
  ShieldBootloader loader;  // the bootloader, or the trojan
  SpiDevice* running = nullptr;
};

// What answers on CE0: the program the shield started, if any.
class ShieldBus : public SpiDevice {
 public:
  explicit ShieldBus(SpiDevice*& running) : running_(running) {}
  void select(const StandLock& lock, StandTime now) override {
    if (running_) running_->select(lock, now);
  }
  uint8_t exchange(const StandLock& lock, uint8_t mosi, StandTime now) override {
    return running_ ? running_->exchange(lock, mosi, now) : 0x00;
  }
  void deselect(const StandLock& lock, StandTime now) override {
    if (running_) running_->deselect(lock, now);
  }

 private:
  SpiDevice*& running_;
};

Shield& shield() {
  static auto* s = new Shield;
  return *s;
}

ShieldBus& bus() {
  static auto* b = new ShieldBus(shield().running);
  return *b;
}

// The shield at the far side of the stand's wiring.
class ShieldLines : public LinePeer {
 public:
  void line_changed_locked(const StandLock& lock, uint8_t gpio, uint8_t level) override {
    sim::line_changed_locked(lock, gpio, level);
  }
  uint8_t readback_locked(const StandLock& lock, uint8_t gpio, uint8_t healthy_level) override {
    return sim::readback_locked(lock, gpio, healthy_level);
  }
};

ShieldLines& lines() {
  static auto* l = new ShieldLines;
  return *l;
}

// The shield boots what its lasting state holds now: another program (a
// flasher, a second stand program) may have changed it since.
void reload_locked() {
  auto& s = shield();
  if (s.store) s.store->load(s.state);
}

template <typename Change>
void save_change_locked(const std::string& what, Change change) {
  auto& s = shield();
  change(s.state);
  std::string error;
  if (s.store && !s.store->change(s.state, change, error))
    std::fprintf(stderr, "simulated stand: the shield's new %s is not saved: %s\n", what.c_str(), error.c_str());
}

// What the shield runs when it leaves reset: with the start-mode line high its
// bootloader, else the program in its application area, the firmware or the
// trojan. An area without a complete program of its kind starts nothing, so
// the shield stays silent.
void start_program_locked(const StandLock& lock) {
  auto& s = shield();
  flash_reload_locked(lock, s.path);
  s.running = nullptr;
  if (s.stm_int) {
    auto boot = flash_contents_locked(lock, FlashArea::bootloader, {ImageKind::bootloader, s.state.boot_version});
    if (boot.kind == ImageKind::bootloader) {
      s.loader.start(lock, BootProgram::bootloader, boot.version);
      s.running = &s.loader;
    }
    return;
  }
  auto app = flash_contents_locked(lock, FlashArea::application, {ImageKind::firmware, s.state.firmware});
  if (app.kind == ImageKind::firmware) {
    s.firmware.start(lock);
    s.running = &s.firmware;
  } else if (app.kind == ImageKind::trojan) {
    s.loader.start(lock, BootProgram::trojan, app.version);
    s.running = &s.loader;
  }
}

}  // namespace

void shield_set_firmware_locked(const StandLock&, uint16_t version) {
  save_change_locked("firmware version " + std::to_string(version),
                     [version](ShieldState& s) { s.firmware = version; });
}

void shield_set_boot_version_locked(const StandLock&, uint32_t version) {
  save_change_locked("bootloader version " + std::to_string(version),
                     [version](ShieldState& s) { s.boot_version = version; });
}

void shield_install(const ShieldState& state, const std::string& state_path, ShieldStore* store) {
  spi0_attach(0, &bus());
  wiring_attach(&lines());
  StandLock lock(stand_mutex());
  shield().state = state;
  shield().path = state_path;
  shield().store = store;
}

ShieldState shield_state() {
  StandLock lock(stand_mutex());
  return shield().state;
}

ShieldState& shield_state_locked(const StandLock&) { return shield().state; }

void shield_set_number_locked(const StandLock&, uint8_t number) {
  save_change_locked("number " + std::to_string(number), [number](ShieldState& s) { s.number = number; });
}

namespace {

struct Channel {
  uint8_t out, in;
  Stuck ShieldState::*fault;
};

// The relay channels by number, then the line relay.
constexpr Channel kChannels[] = {
    {line::rel0_out, line::rel0_in, &ShieldState::relay_rel0},
    {line::rel1_out, line::rel1_in, &ShieldState::relay_rel1},
    {line::rel2_out, line::rel2_in, &ShieldState::relay_rel2},
    {line::rel3_out, line::rel3_in, &ShieldState::relay_rel3},
    {line::ln_br, line::br_in, &ShieldState::relay_line},
};
constexpr size_t kRelayChannels = 4;

struct Input {
  uint8_t gpio;
  Stuck ShieldState::*fault;
};

constexpr Input kInputs[] = {
    {line::ek_out, &ShieldState::input_ek},     {line::sel0_out, &ShieldState::input_s0},
    {line::sel1_out, &ShieldState::input_s1},   {line::stm_int, &ShieldState::input_eks},
    {line::door_out, &ShieldState::input_door},
};

// A stuck line shows its stuck level; any other shows `level`.
uint8_t apply(Stuck stuck, uint8_t level, uint8_t on_level, uint8_t off_level) {
  return stuck == Stuck::on ? on_level : stuck == Stuck::off ? off_level : level;
}

void line_changed_locked(const StandLock& lock, uint8_t gpio, uint8_t level) {
  auto& s = shield();
  if (gpio == line::stm_int) s.stm_int = level;
  if (gpio != line::rst) return;
  if (level == 0) {
    s.firmware.hold_reset(lock);
    s.loader.hold_reset(lock);
  } else {
    reload_locked();
    start_program_locked(lock);
  }
}

// A read-back is LOW while its channel is on. Two channels switching together:
// each is on while either is driven.
uint8_t readback_locked(const StandLock& lock, uint8_t gpio, uint8_t healthy_level) {
  auto& s = shield().state;
  for (size_t i = 0; i < std::size(kChannels); ++i) {
    auto& c = kChannels[i];
    if (c.in != gpio) continue;
    uint8_t level = healthy_level;
    bool coupled = i < kRelayChannels && (s.relays_together >> i & 1);
    for (size_t j = 0; coupled && j < kRelayChannels; ++j)
      if (j != i && (s.relays_together >> j & 1) && board_level_locked(lock, kChannels[j].out)) level = 0;
    return apply(s.*c.fault, level, 0, 1);
  }
  return healthy_level;
}

}  // namespace

bool shield_input_asserted_locked(const StandLock& lock, uint8_t gpio) {
  bool asserted = board_level_locked(lock, gpio) == 0;  // LOW asserts
  for (auto& input : kInputs)
    if (input.gpio == gpio) asserted = apply(shield().state.*input.fault, asserted, true, false);
  return asserted;
}

}  // namespace sim
