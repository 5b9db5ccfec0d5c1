#include "shield/shield_firmware.h"

#include <algorithm>

#include "board/board.h"
#include "board/wiring.h"
#include "shield/shield_bootloader.h"

namespace sim {
namespace {

struct LineNominal {
  uint16_t br, imit, od;
};
constexpr LineNominal kGeneralLine{2600, 1850, 2500};
constexpr LineNominal kKordentLine{2600, 2100, 2350};

struct Request {
  const StandLock& lock;
  const Frame& in;
  Frame& out;
};

void read_parameters(Request r) {
  auto& s = shield_state_locked(r.lock);
  r.out[3] = static_cast<uint8_t>(s.firmware >> 8);
  r.out[4] = static_cast<uint8_t>(s.firmware);
  r.out[5] = s.number;
}

void write_number(Request r) {
  shield_set_number_locked(r.lock, r.in[2]);
  for (int i = 2; i < 6; ++i) r.out[i] = r.in[i];
}

template <int Word>
void read_id(Request r) {
  shield_put_be32(r.out, shield_state_locked(r.lock).id[Word]);
}

uint8_t asserted(const StandLock& lock, uint8_t gpio) { return shield_input_asserted_locked(lock, gpio) ? 1 : 0; }

void read_inputs(Request r) {
  auto& l = r.lock;
  r.out[5] = static_cast<uint8_t>(asserted(l, line::ek_out) | asserted(l, line::sel0_out) << 1 |
                                  asserted(l, line::sel1_out) << 2 | asserted(l, line::stm_int) << 3);
  r.out[4] = asserted(l, line::door_out);
}

// A source's value with its offset, within what the ADC can give.
uint16_t offset(uint16_t nominal, int32_t by) { return static_cast<uint16_t>(std::clamp(nominal + by, 0, 0xFFFF)); }

// What the ADC sees on the stand's line, by which sources are switched on.
uint16_t line_value(const StandLock& l) {
  auto& s = shield_state_locked(l);
  auto& nominal = s.edition == Edition::general ? kGeneralLine : kKordentLine;
  if (!board_level_locked(l, line::ln_br)) return 0;
  if (board_level_locked(l, line::ln_imit)) return offset(nominal.imit, s.adc_imit);
  if (board_level_locked(l, line::ln_od)) return offset(nominal.od, s.adc_od);
  return offset(nominal.br, s.adc_br);
}

void read_line(Request r) {
  uint16_t v = line_value(r.lock);
  r.out[4] = static_cast<uint8_t>(v >> 8);
  r.out[5] = static_cast<uint8_t>(v);
}

struct Command {
  uint8_t code;
  void (*handle)(Request);
};

constexpr Command kCommands[] = {
    {command::read_parameters, read_parameters},
    {command::write_number, write_number},
    {command::read_id0, read_id<0>},
    {command::read_id1, read_id<1>},
    {command::read_id2, read_id<2>},
    {command::read_inputs, read_inputs},
    {command::read_line, read_line},
};

}  // namespace

// The shield's own checksum, written apart from the stand program's, so that a
// fault in either shows up as a link that does not work.
void shield_seal(Frame& f) {
  uint16_t crc = shield_crc16(f.data(), 6);
  f[6] = static_cast<uint8_t>(crc >> 8);
  f[7] = static_cast<uint8_t>(crc);
}

bool shield_crc_ok(const Frame& f) { return shield_crc16(f.data(), 6) == (f[6] << 8 | f[7]); }

uint16_t shield_crc16(const uint8_t* bytes, size_t len) {
  uint16_t crc = 0xFFFF;
  for (size_t i = 0; i < len; ++i) {
    crc ^= bytes[i];
    for (int b = 0; b < 8; ++b) crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
  }
  return crc;
}

void ShieldFirmware::hold_reset(const StandLock&) {
  running_ = false;
  reply_.clear();
}

void ShieldFirmware::start(const StandLock& lock) {
  hold_reset(lock);
  running_ = true;
}

void ShieldFirmware::select(const StandLock&, StandTime) { window_len_ = 0; }

uint8_t ShieldFirmware::exchange(const StandLock&, uint8_t mosi, StandTime now) {
  size_t i = window_len_;
  if (window_len_ < window_.size()) window_[window_len_++] = mosi;
  if (!running_ || now < reply_ready_ || i >= reply_.size()) return 0x00;
  return reply_[i];
}

void ShieldFirmware::deselect(const StandLock& lock, StandTime now) {
  // Read windows clock out zeros; a request starts with a non-zero address byte.
  if (!running_ || window_len_ != 8 || window_[0] == 0) return;
  Frame request{};
  std::copy_n(window_.begin(), 8, request.begin());
  handle_request(lock, request, now);
}

bool ShieldFirmware::fault_keeps_silent(const ShieldState& s, uint8_t code) {
  switch (s.link_fault) {
    case LinkFault::silent:
      return true;
    case LinkFault::late:
      if (late_seen_[code]++ < s.link_fault_count) return true;
      late_seen_[code] = 0;
      return false;
    case LinkFault::dies:
      return answered_ >= s.link_fault_count;
    default:
      return false;
  }
}

void ShieldFirmware::handle_request(const StandLock& lock, const Frame& in, StandTime now) {
  if (in[0] != kShieldAddress || !shield_crc_ok(in)) return;
  auto& s = shield_state_locked(lock);
  bool faulty = s.link_fault != LinkFault::none && (s.link_fault_code == 0 || s.link_fault_code == in[1]);
  std::optional<Bytes> reply;
  if (!faulty || !fault_keeps_silent(s, in[1])) {
    Frame out{};
    if (in[1] == command::repeat) {
      out = last_reply_;
    } else {
      out[0] = kShieldAddress;
      out[1] = in[1];
      for (auto& c : kCommands)
        if (c.code == in[1]) c.handle({lock, in, out});
      shield_seal(out);
      last_reply_ = out;
    }
    if (faulty) {
      if (s.link_fault == LinkFault::garbled) out[7] ^= 0x5A;
      if (s.link_fault == LinkFault::wrong_code) out[1] = static_cast<uint8_t>(out[1] + 1), shield_seal(out);
      if (s.link_fault == LinkFault::wrong_address) out[0] = kTrojanAddress, shield_seal(out);
    }
    ++answered_;
    reply.emplace(out.begin(), out.end());
  }
  if (s.lose_at != 0 && in[1] == s.lose_code) {
    uint32_t receipt = ++lose_seen_;
    if (receipt >= s.lose_at && receipt - s.lose_at < s.lose_count) reply.reset();
  }
  request_hook_apply_locked(lock, in, reply);
  reply_ = reply.value_or(Bytes{});
  reply_ready_ = now + kReplyDelayUs;
}

}  // namespace sim
