// The flasher updating a 64 KiB firmware (16385 image frames) on the simulated
// stand: wall time against stand time for the whole run (a shield with
// bootloader 5, so all fifteen steps), and the stand time of one image frame
// against the protocol's floor: 2 ms of pauses and sixteen one-byte transfers
// at the bus clock (divider 889 of 250 MHz). The frame's share is the
// difference to a run with an empty image (one frame). Run by hand:
// build/bench/flasher_bench.
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "shield/shield_image.h"
#include "stand/stand_files.h"

namespace {

namespace fs = std::filesystem;

struct Run {
  int status;
  double wall_s;
  double cpu_s;  // the flasher's own, which a busy machine does not stretch
  double stand_s;
};

double children_cpu_s() {
  rusage usage{};
  ::getrusage(RUSAGE_CHILDREN, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void write(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// One run of the flasher on a fresh stand, in a directory of its own.
Run update(size_t firmware_size) {
  std::string pattern = (fs::temp_directory_path() / "velk_bench_XXXXXX").string();
  fs::path dir = ::mkdtemp(pattern.data());
  for (auto& image : sim::kStandImages) write(dir / image.file, sim::image_make(image.kind, image.version, image.size));
  std::vector<uint8_t> firmware;
  if (firmware_size) firmware = sim::image_make(sim::ImageKind::firmware, 324, firmware_size);
  write(dir / "firmware.bin", firmware);
  std::string command = "cd '" + dir.string() + "' && '" VELK_FLASHER_PATH "' firmware.bin >/dev/null";
  auto start = std::chrono::steady_clock::now();
  double cpu = children_cpu_s();
  int status = std::system(command.c_str());
  cpu = children_cpu_s() - cpu;
  std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
  uint64_t stand_us = 0;
  std::string error;
  if (!sim::stand_time_load((dir / "stand.time").string(), stand_us, error)) std::fprintf(stderr, "%s\n", error.c_str());
  fs::remove_all(dir);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, wall.count(), cpu, static_cast<double>(stand_us) / 1e6};
}

}  // namespace

int main() {
  constexpr double kFloorMs = 2.0 + 16 * 8 * 889 * 4e-6;  // pauses + bits at 4 ns per core clock
  Run full = update(sim::kApplicationSize), empty = update(0);
  if (full.status != 5 || empty.status != 5) {
    std::fprintf(stderr, "flasher_bench: the flasher ended with %d and %d, not 5\n", full.status, empty.status);
    return 1;
  }
  double frame_ms = (full.stand_s - empty.stand_s) * 1000.0 / 16384;
  std::printf("64 KiB update, all fifteen steps: %.3f s stand time, %.3f s wall: %.0f times faster (aim: 500)\n",
              full.stand_s, full.wall_s, full.stand_s / full.wall_s);
  std::printf("  the flasher's CPU time %.3f s: %.0f times faster on an idle machine\n", full.cpu_s,
              full.stand_s / full.cpu_s);
  std::printf("image frame: %.4f ms stand time, floor %.4f ms: %+.2f %% (aim: within 1 %%)\n", frame_ms, kFloorMs,
              (frame_ms / kFloorMs - 1) * 100);
  return 0;
}
