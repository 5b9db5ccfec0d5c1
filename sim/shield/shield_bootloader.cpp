#include "shield/shield_bootloader.h"

#include <cstdio>
#include <optional>

#include "shield/shield_firmware.h"
#include "shield/shield_flash.h"
#include "shield/shield_hooks.h"

namespace sim {

struct ShieldBootloader::Request {
  const StandLock& lock;
  BootProgram role;
  uint32_t version;
  bool& programming;
  size_t& next_word;
  const Frame& in;
  Frame& out;
  StandTime busy = kBootReplyUs;
};

namespace {

using Request = ShieldBootloader::Request;

// The bootloader writes the application area, the trojan the bootloader's.
FlashArea area_of(BootProgram role) {
  return role == BootProgram::bootloader ? FlashArea::application : FlashArea::bootloader;
}

size_t area_size(FlashArea area) { return area == FlashArea::application ? kApplicationSize : kBootloaderSize; }

void accept(Request& r, bool accepted) { r.out[2] = accepted ? 1 : 0; }

void detect(Request& r) { accept(r, true); }

void boot_version(Request& r) {
  shield_put_be32(r.out, r.role == BootProgram::bootloader ? shield_state_locked(r.lock).boot_version : r.version);
}

void firmware_version(Request& r) {
  if (r.role == BootProgram::bootloader) shield_put_be32(r.out, shield_state_locked(r.lock).firmware);
}

void erase(Request& r) {
  auto area = area_of(r.role);
  std::string error;
  bool erased = flash_erase_locked(r.lock, area, error);
  if (!erased) std::fprintf(stderr, "simulated stand: %s\n", error.c_str());
  r.programming = false;
  r.busy = kErasePerKiBUs * (area_size(area) / 1024);
  accept(r, erased);
}

void program_start(Request& r) {
  r.programming = true;
  r.next_word = 0;
  accept(r, true);
}

void word(Request& r) {
  std::span<const uint8_t, 4> data(&r.in[2], 4);
  bool written = r.programming && flash_program_locked(r.lock, area_of(r.role), r.next_word, data);
  if (written) r.next_word += 4;
  accept(r, written);
}

// A complete image of the area's own kind is now what the shield runs: its
// version goes into the lasting state.
void program_end(Request& r) {
  bool was_programming = r.programming;
  r.programming = false;
  auto image = flash_contents_locked(r.lock, area_of(r.role), {});
  if (was_programming && r.role == BootProgram::bootloader && image.kind == ImageKind::firmware)
    shield_set_firmware_locked(r.lock, static_cast<uint16_t>(image.version));
  if (was_programming && r.role == BootProgram::trojan && image.kind == ImageKind::bootloader)
    shield_set_boot_version_locked(r.lock, image.version);
  accept(r, was_programming);
}

struct Command {
  uint8_t code;
  void (*handle)(Request&);
};

constexpr Command kCommands[] = {
    {boot_command::detect, detect},
    {boot_command::boot_version, boot_version},
    {boot_command::firmware_version, firmware_version},
    {boot_command::erase, erase},
    {boot_command::program_start, program_start},
    {boot_command::word, word},
    {boot_command::program_end, program_end},
};

}  // namespace

void ShieldBootloader::hold_reset(const StandLock&) {
  running_ = false;
  received_ = 0;
  reply_left_ = 0;
  ready_ = 0;
  programming_ = false;
}

void ShieldBootloader::start(const StandLock& lock, BootProgram role, uint32_t version) {
  hold_reset(lock);
  running_ = true;
  role_ = role;
  version_ = version;
}

void ShieldBootloader::select(const StandLock&, StandTime) { window_len_ = 0; }

uint8_t ShieldBootloader::exchange(const StandLock&, uint8_t mosi, StandTime now) {
  bool first = window_len_++ == 0;
  if (!running_ || !first || now < ready_) return 0x00;
  if (received_ == 0 && mosi == 0x00) {  // the master clocks the reply out
    if (reply_left_ == 0) return 0x00;
    return reply_[reply_.size() - reply_left_--];
  }
  request_[received_++] = mosi;
  return 0x00;
}

void ShieldBootloader::deselect(const StandLock& lock, StandTime now) {
  if (!running_) return;
  if (window_len_ > 1) received_ = 0;
  if (received_ < request_.size()) return;
  received_ = 0;
  handle_request(lock, now);
}

bool ShieldBootloader::fault_hits(const ShieldState& s, uint8_t code) {
  if (s.boot_fault == BootFault::none || s.boot_program != role_ || (s.boot_code != 0 && s.boot_code != code))
    return false;
  uint32_t n = ++matched_[static_cast<size_t>(role_)];
  return n > s.boot_skip && (s.boot_count == 0 || n - s.boot_skip <= s.boot_count);
}

void ShieldBootloader::handle_request(const StandLock& lock, StandTime now) {
  reply_left_ = 0;
  uint8_t address = role_ == BootProgram::bootloader ? kBootloaderAddress : kTrojanAddress;
  const Frame& in = request_;
  if (in[0] != address || !shield_crc_ok(in)) return;
  auto& s = shield_state_locked(lock);
  BootFault fault = fault_hits(s, in[1]) ? s.boot_fault : BootFault::none;
  std::optional<Bytes> reply;
  StandTime busy = kBootReplyUs;
  if (fault != BootFault::silent) {
    Frame out{address, in[1]};
    Request r{lock, role_, version_, programming_, next_word_, in, out};
    if (fault != BootFault::refuse)
      for (auto& c : kCommands)
        if (c.code == in[1]) c.handle(r);
    busy = r.busy;
    shield_seal(out);
    if (fault == BootFault::garbled) out[7] ^= 0x5A;
    reply.emplace(out.begin(), out.end());
  }
  request_hook_apply_locked(lock, in, reply);
  if (reply) {
    reply_left_ = std::min(reply->size(), reply_.size());
    std::copy_n(reply->begin(), reply_left_, reply_.end() - reply_left_);
  }
  ready_ = now + busy;
}

}  // namespace sim
