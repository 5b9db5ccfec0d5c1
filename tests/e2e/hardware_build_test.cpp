// The programs built for the Pi, started on a machine without the Pi's
// peripherals: each prints the library's message and stops at once with its
// status, and the working directory stays as it was. Only run where the
// library cannot reach real peripherals: as root it would map physical memory.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "program_run.h"

namespace {

bool on_a_pi() {
  std::ifstream model("/proc/device-tree/model");
  std::string text;
  std::getline(model, text);
  return text.find("Raspberry Pi") != std::string::npos || std::filesystem::exists("/dev/mem") ||
         std::filesystem::exists("/dev/gpiomem");
}

std::string listing(const TempDir& dir) {
  std::string all;
  for (auto& e : std::filesystem::recursive_directory_iterator(dir.path()))
    all += e.path().string() + " " + std::to_string(e.is_regular_file() ? e.file_size() : 0) + "\n";
  return all;
}

TEST(HardwareBuild, StopsAtOnceWithItsStatusWhereThePeripheralsCannotBeReached) {
  if (std::string(VELK_STM_TOOL_HW_PATH).empty()) GTEST_SKIP() << "no hardware build in this configuration";
  if (on_a_pi()) GTEST_SKIP() << "this machine has /dev/mem, /dev/gpiomem or is a Pi: the library would map it";
  struct Case {
    std::vector<std::string> argv;
    int status;
    const char* last_line;
  };
  const Case cases[] = {
      {{VELK_STM_TOOL_HW_PATH}, 2, "Ошибка: нет доступа к периферии Raspberry Pi (требуются права root).\n"},
      {{VELK_FLASHER_HW_PATH, "Osmu_v324.bin"},
       15,
       "ERROR: Нет доступа к периферии Raspberry Pi (требуются права root)\n"},
  };
  for (auto& c : cases) {
    TempDir dir;
    for (auto name : {"Osmu_Trojan.bin", "Velk_BootLoaderSPI_v1001.bin", "Osmu_v324.bin"})
      std::ofstream(dir.file(name)) << "image";
    std::string before = listing(dir);
    auto run = run_program(c.argv, dir.path(), "1\n", {}, 10);
    EXPECT_EQ(run.status, c.status) << c.argv.back();
    EXPECT_TRUE(run.out.ends_with(c.last_line)) << run.out;
    EXPECT_NE(run.err.find("bcm2835_init: Unable to open /dev/"), std::string::npos) << run.err;
    EXPECT_EQ(listing(dir), before) << "the working directory was changed";
  }
}

}  // namespace
