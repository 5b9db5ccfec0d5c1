// Stand-in for the ST-Link tool ./proj/stlink-repo/build/Release/st-flash on a
// simulated stand. "st-flash write FILE 0x8000000" writes FILE into the
// simulated shield's application flash, as the real tool writes it into the
// microcontroller through the programmer: the whole area at once (the file,
// the rest erased), atomically and under the stand's lock; the shield's
// lasting firmware version becomes the one the image carries, so the shield
// boots it at its next reset. A file that is no firmware image is written all
// the same, and the shield then holds no program. An absolute FILE
// ("/home/pi/Dump.bin") is read inside the stand's working directory (the
// directory of the state file), never from the machine's own root.
//
// It prints what Debian's st-flash 1.7.0 prints (its version on standard
// output, its log on standard error), with time stamps of a fixed date plus
// stand time so that a session gives the same bytes on every run, and moves
// stand time on by as long as its run takes. Its faults come from the
// scenario: stlink.fault hits runs 1..stlink.count of the stand (every run at
// 0), which it counts in stlink.runs.
// Leaves out: the other commands and options, addresses other than the
// application area's start, the md5 line, the trim of trailing erased bytes,
// page-wise erase, and a pace that depends on the file's size.
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "stand/scenario.h"
#include "shield/shield_image.h"
#include "stand/stand_files.h"

namespace {

using namespace sim;

constexpr unsigned kFlashBase = 0x08000000;
constexpr unsigned kPageSize = 1024;
constexpr int kFailed = 255;                     // the real tool's status for every failure
constexpr std::time_t kStandEpoch = 1740988800;  // stand time 0: 2025-03-03T08:00:00 UTC
constexpr const char* kToolName = "st-flash (stand-in)";

// When its lines appear and how long a run lasts, in ms of stand time after
// its start: a successful write of the whole area takes some three seconds.
constexpr uint32_t kConnected = 200, kWriting = 300, kErased = 1000, kLoader = 1100, kVerifying = 2900,
                   kVerified = 3100, kWritten = 3200;
constexpr uint32_t kRefusedAt = 1300, kRefused = 1400;  // error-words
constexpr uint32_t kNoProgrammer = 20, kNoFile = 400, kKilled = 500;

std::string stamp(uint64_t t_us) {
  std::time_t seconds = kStandEpoch + static_cast<std::time_t>(t_us / 1000000);
  std::tm utc{};
  ::gmtime_r(&seconds, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
  return text;
}

std::string format(const char* pattern, auto... values) {
  char text[256];
  std::snprintf(text, sizeof text, pattern, values...);
  return text;
}

// The tool's output: every line written as it happens, stdout flushed, so that
// through "2>&1" the lines keep their order.
class Output {
 public:
  explicit Output(uint64_t start) : start_(start) {}
  void plain(std::FILE* to, const std::string& line) const {
    std::fputs((line + "\n").c_str(), to);
    std::fflush(to);
  }
  void log(uint32_t at_ms, const char* level, const char* source, const std::string& text) const {
    plain(stderr, stamp(at(at_ms)) + " " + level + " " + source + ": " + text);
  }
  uint64_t at(uint32_t ms) const { return start_ + uint64_t{ms} * 1000; }

 private:
  uint64_t start_;
};

[[noreturn]] void invalid_command_line(const char* why) {
  if (*why) std::fprintf(stderr, "*** Error: %s\n", why);
  std::printf(
      "invalid command line\n"
      "command line:   ./st-flash write <path> <addr>   (the simulated stand's stand-in knows only this)\n"
      "   <addr>: Use hex format.\n");
  std::exit(kFailed);
}

struct Request {
  std::string file;  // as given: named so in the output
};

Request parse_arguments(int argc, char** argv) {
  if (argc < 2 || std::string(argv[1]) != "write") invalid_command_line("");
  if (argc != 4) invalid_command_line("Expected args for this command: write <path> <addr>");
  std::string addr = argv[3];
  char* end = nullptr;
  unsigned long value = std::strtoul(addr.c_str(), &end, 16);
  if (addr.empty() || addr[0] == '-' || *end != '\0') invalid_command_line("Invalid value for addr");
  if (value != kFlashBase) {
    std::fprintf(stderr, "%s: ERROR: only 0x8000000, the start of the shield's application area, is simulated\n",
                 kToolName);
    std::exit(kFailed);
  }
  return {argv[2]};
}

// What the stand's files are and where it stands.
struct Stand {
  std::string state_path;
  Scenario scenario;
};

[[noreturn]] void stop(int status, const std::string& why) {
  std::fprintf(stderr, "%s: %s\n", kToolName, why.c_str());
  std::exit(status);
}

void save(const Stand& stand) {
  std::string error;
  if (!scenario_save(stand.state_path, stand.scenario, error)) stop(kExitCannotWrite, "ERROR: " + error);
}

// The file's bytes; false when it is not a regular file with bytes in it
// (`missing` when it cannot be opened at all).
bool read_dump(const std::string& path, std::vector<uint8_t>& bytes, bool& missing) {
  struct stat info {};
  missing = ::stat(path.c_str(), &info) != 0;
  if (missing || !S_ISREG(info.st_mode) || info.st_size == 0) return false;
  if (static_cast<size_t>(info.st_size) > kApplicationSize) {
    bytes.resize(static_cast<size_t>(info.st_size));  // only its size counts
    return true;
  }
  std::ifstream in(path, std::ios::binary);
  bytes.assign(std::istreambuf_iterator<char>(in), {});
  missing = !in && !in.eof();
  return !missing && !bytes.empty();
}

struct Outcome {
  int status;
  uint32_t end;  // ms of stand time it took
  bool killed = false;
};

// The error words of a failed write: two words holding "ERROR" (one inside a
// longer word) and one holding "Invalid"; the same letters in lower case count
// for nothing.
Outcome refuse(const Output& out) {
  out.log(kRefusedAt - 100, "WARN", "usb.c", "status signature was invalid: 0x53425354");
  out.plain(stderr, "[!] send_recv send request failed: LIBUSB_ERROR_PIPE");
  out.log(kRefusedAt, "ERROR", "flash_loader.c", "Flash loader run error");
  out.log(kRefusedAt, "WARN", "common.c", "Invalid flash type, please check device declaration");
  out.plain(stdout, "stlink_fwrite_flash() == -1");
  return {kFailed, kRefused};
}

// The area as the dump leaves it, and the firmware version it carries.
void write_area(Stand& stand, const std::vector<uint8_t>& dump) {
  std::vector<uint8_t> area(kApplicationSize, 0xFF);
  std::copy(dump.begin(), dump.end(), area.begin());
  std::string error;
  if (!stand_file_write(flash_area_path(stand.state_path, FlashArea::application),
                        {reinterpret_cast<const char*>(area.data()), area.size()}, error))
    stop(kFailed, "ERROR: " + error);
  auto image = image_inspect(area);
  if (image.kind != ImageKind::firmware) return;
  stand.scenario.shield.firmware = static_cast<uint16_t>(image.version);
  save(stand);
}

// A run on a stand whose programmer answers.
Outcome flash(Stand& stand, const Output& out, const std::string& file, StlinkFault fault) {
  out.log(kConnected, "INFO", "common.c",
          format("F1xx Medium-density: 20 KiB SRAM, %zu KiB flash in at least 1 KiB pages.", kApplicationSize / 1024));
  if (fault == StlinkFault::killed) return {0, kKilled, true};
  std::vector<uint8_t> dump;
  bool missing = false;
  if (!read_dump(file.starts_with('/') ? stand_file_beside(stand.state_path, file.substr(1)) : file, dump, missing)) {
    out.log(kWriting, "ERROR", "common.c",
            missing ? "open(" + file + ") == -1" : "mmap() == MAP_FAILED for file " + file);
    out.log(kWriting, "ERROR", "common.c", "map_file() == -1");
    out.plain(stdout, "stlink_fwrite_flash() == -1");
    return {kFailed, kNoFile};
  }
  size_t size = dump.size();
  out.log(
      kWriting, "INFO", "common.c",
      format("Attempting to write %zu (%#zx) bytes to stm32 address: %u (%#x)", size, size, kFlashBase, kFlashBase));
  if (fault == StlinkFault::error_words) return refuse(out);
  if (size > kApplicationSize) {
    out.log(kWriting, "ERROR", "common.c", "Invalid flash address");
    out.plain(stdout, "stlink_fwrite_flash() == -1");
    return {kFailed, kNoFile};
  }
  size_t pages = (size + kPageSize - 1) / kPageSize;
  for (size_t page = 0; page < pages; ++page)
    out.plain(stdout, format("Flash page at addr: 0x%08zx erased", kFlashBase + page * kPageSize));
  out.log(kErased, "INFO", "common.c",
          format("Finished erasing %zu pages of %u (%#x) bytes", pages, kPageSize, kPageSize));
  if (fault != StlinkFault::no_effect) write_area(stand, dump);
  out.log(kErased, "INFO", "common.c", "Starting Flash write for VL/F0/F3/F1_XL");
  out.log(kLoader, "INFO", "flash_loader.c", "Successfully loaded flash loader in sram");
  out.plain(stdout, format("%3zu/%3zu pages written", pages, pages));
  out.log(kVerifying, "INFO", "common.c", "Starting verification of write complete");
  out.log(kVerified, "INFO", "common.c", "Flash written and verified! jolly good!");
  return {0, kWritten};
}

// The fault of this run, counted on the stand's runs; the count is kept first,
// so that a run killed half-way is counted too.
StlinkFault count_run(Stand& stand) {
  auto& shield = stand.scenario.shield;
  bool hit = shield.stlink_count == 0 || shield.stlink_runs < shield.stlink_count;
  if (shield.stlink_runs < UINT32_MAX) ++shield.stlink_runs;
  save(stand);
  return hit ? shield.stlink_fault : StlinkFault::none;
}

}  // namespace

int main(int argc, char** argv) {
  Request request = parse_arguments(argc, argv);
  const char* state = std::getenv("VELK_SIM_STATE");
  Stand stand{state && *state ? state : "shield.state", {}};
  StandFileLock lock(stand.state_path, true);
  bool found = false;
  std::string error;
  if (!lock.held()) stop(kExitBadScenario, lock.error());
  if (!scenario_load(stand.state_path, stand.scenario, found, error)) stop(kExitBadScenario, error);
  StlinkFault fault = count_run(stand);
  if (fault == StlinkFault::missing) {  // as the shell says it of a tool that is not there
    std::fprintf(stderr, "sh: 1: %s: not found\n", argv[0]);
    return 127;
  }

  std::string time_path = stand_time_path(stand.state_path);
  uint64_t start = 0;
  if (!stand_time_load(time_path, start, error)) stop(kExitBadScenario, error);
  Output out(start);
  out.plain(stdout, "st-flash 1.7.0");
  Outcome outcome{kFailed, kNoProgrammer};
  if (fault == StlinkFault::no_programmer)
    out.log(0, "WARN", "usb.c", "Couldn't find any ST-Link devices");
  else
    outcome = flash(stand, out, request.file, fault);
  if (!stand_time_save(time_path, out.at(outcome.end), error)) std::fprintf(stderr, "%s\n", error.c_str());
  if (outcome.killed) std::raise(SIGKILL);
  return outcome.status;
}
