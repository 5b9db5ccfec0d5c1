// What the fuzz targets share: the input read front to back, a check whose
// failure is a finding, standard input fed from the input, a process end caught
// and handed back as a status, and the few bcm2835 calls the fuzzed modules
// make, answered in-process (no simulated stand: a run takes microseconds).
#pragma once
#include <bcm2835.h>

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#define FUZZ_CHECK(condition) ((condition) ? void(0) : fuzz::fail(#condition, __FILE__, __LINE__))

namespace fuzz {

[[noreturn]] inline void fail(const char* what, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: does not hold: %s\n", file, line, what);
  std::abort();
}

// The input, read front to back; past its end every byte reads 0.
class Input {
 public:
  Input(const uint8_t* data, size_t size) : text_(reinterpret_cast<const char*>(data), size) {}
  bool empty() const { return text_.empty(); }
  uint8_t byte() {
    if (text_.empty()) return 0;
    auto b = static_cast<uint8_t>(text_.front());
    text_.remove_prefix(1);
    return b;
  }
  std::string_view rest() const { return text_; }

 private:
  std::string_view text_;
};

// Standard input reads `text` while the object lives.
class FedStdin {
 public:
  explicit FedStdin(std::string_view text)
      : saved_(stdin), file_(fmemopen(const_cast<char*>(text.empty() ? "" : text.data()), text.size(), "r")) {
    stdin = file_;
  }
  ~FedStdin() {
    std::fclose(file_);
    stdin = saved_;
  }
  FedStdin(const FedStdin&) = delete;
  FedStdin& operator=(const FedStdin&) = delete;

 private:
  FILE* saved_;
  FILE* file_;
};

inline std::jmp_buf* exitTrap;
inline int exitStatus;

// Runs `body`; the status of an exit() inside it, or nothing when it returned.
// The fuzzed code only has plain arrays on the stack, so the jump back skips
// no destructor.
template <typename Body>
std::optional<int> catch_exit(Body body) {
  std::jmp_buf trap;
  if (setjmp(trap)) {
    exitTrap = nullptr;
    return exitStatus;
  }
  exitTrap = &trap;
  body();
  exitTrap = nullptr;
  return std::nullopt;
}

// The shield's side of the flasher's one-byte transfers: an exchange is 8
// bytes out, kept in `sent`, then 8 clocked back, which `reply` gives.
struct Wire {
  std::vector<uint8_t> sent;
  std::function<uint8_t(size_t exchange, size_t index)> reply = [](size_t, size_t) { return uint8_t{0}; };
  size_t transfers = 0;
  size_t exchanges() const { return (transfers + 15) / 16; }
};
inline Wire wire;

}  // namespace fuzz

// The targets link with --wrap=exit, so that a prompt that ends the program
// returns to the target instead (these names are the linker's).
extern "C" [[noreturn]] void __real_exit(int status);
extern "C" [[noreturn]] void __wrap_exit(int status) {
  if (fuzz::exitTrap) {
    fuzz::exitStatus = status;
    std::longjmp(*fuzz::exitTrap, 1);
  }
  __real_exit(status);
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  return std::freopen("/dev/null", "w", stdout) ? 0 : 1;  // the programs' dialogue and dumps
}

void bcm2835_delay(unsigned int) {}
uint8_t bcm2835_gpio_lev(uint8_t) { return LOW; }
uint8_t bcm2835_spi_transfer(uint8_t value) {
  size_t at = fuzz::wire.transfers++;
  if (at % 16 < 8) {
    fuzz::wire.sent.push_back(value);
    return 0;
  }
  return fuzz::wire.reply(at / 16, at % 16 - 8);
}
