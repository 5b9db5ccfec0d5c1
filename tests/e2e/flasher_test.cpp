// The flasher where a transcript cannot tell: its resets and waits in stand
// time, and a run killed in the middle of an image. (Its outcome for every step
// that fails is in the catalogue of sessions, flasher-*.)
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <csignal>
#include <cstring>
#include <fstream>
#include <sstream>

#include "console_capture.h"
#include "program_run.h"
#include "shield/shield_image.h"
#include "test_stand.h"

namespace {

const std::string kImage = "Osmu_v324.bin";

void write_image(const std::string& path, sim::ImageKind kind, uint32_t version, size_t size) {
  auto bytes = sim::image_make(kind, version, size);
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// The run's control lines and requests in stand time (ms), from its trace:
// "2010.000 RST 1", "4015.000 A1 01 x10" (a request to the bootloader, sent
// that often in a row).
std::string schedule(const std::string& trace) {
  std::istringstream in(trace);
  std::string out, last, mosi, at;
  int repeats = 0;
  auto flush = [&] { out += (repeats > 1 ? " x" + std::to_string(repeats) : "") + (repeats ? "\n" : ""), repeats = 0; };
  for (std::string time, ms, name, rest; in >> time >> ms >> name && std::getline(in, rest);) {
    if (name == "RST" || name == "STM_INT") flush(), last.clear(), out += time + " " + name + " " + rest.back() + "\n";
    if (!rest.starts_with("  MOSI")) continue;
    std::string request = "A1 " + rest.substr(7, 2);
    if (mosi == "A1" && request != last) flush(), out += at + " " + (last = request);
    repeats += mosi == "A1";
    mosi = rest.substr(7, 2), at = time;
  }
  flush();
  return out;
}

// Each reset holds the shield 2000 ms, sets the start mode 10 ms before
// releasing it and gives it 2000 ms; requests go 5 ms after the previous
// exchange, replies are read 5 ms (presence), 100 ms or 10 s (erase) after the
// request and image frames go 1 ms apart; each byte takes 29 us on the bus.
// A shield answering only at the second try of step 1 is reset twice before
// its version is asked.
TEST(FlasherE2e, ResetsTheShieldAndWaitsForItsRepliesInStandTime) {
  SKIP_IF_CLOCK_RUNS_FREE();
  TempDir dir;
  std::ofstream(dir.file("tiny.bin")) << "12345";
  auto run =
      run_program({VELK_LAUNCHER_PATH, "--dir", ".", "--trace", ".", "--boot-version", "1001", "--boot-fault", "silent",
                   "--boot-code", "1", "--boot-count", "10", "--program", VELK_FLASHER_PATH, "--", "tiny.bin"},
                  dir.path(), "");
  EXPECT_EQ(run.status, 5);
  EXPECT_EQ(schedule(read_file(dir.file("Velk_Flasher.log"))),
            "0.000 STM_INT 0\n0.000 RST 0\n2000.000 STM_INT 1\n2010.000 RST 1\n4015.000 A1 01 x10\n4114.640 RST "
            "0\n6124.640 RST 1\n8129.640 A1 01\n8140.104 A1 64\n8240.568 RST 0\n10250.568 RST 1\n12255.568 A1 "
            "01\n12266.032 A1 04\n22271.496 A1 02\n22372.960 A1 05 x2\n22381.888 A1 06\n22482.352 RST 0\n24482.352 "
            "STM_INT 0\n24492.352 RST 1\n");
}

// As a new user would: the launcher gives a stand directory the images; a
// shield with bootloader 5 gets the bootloader 1001 and the firmware. Killed in
// the middle of a large image (its output on a pipe the test stops reading, so
// it is held back), the flasher leaves the words written so far in the shield's
// flash and the rest erased: the firmware is incomplete, the shield does not
// start it and the stand program reads nothing. The bootloader still answers;
// the next run keeps it and repairs the firmware, even when nobody reads its log.
TEST(FlasherE2e, UpdatesAFreshStandsShieldAndRepairsItAfterARunKilledMidImage) {
  TempDir dir;
  auto launch = [&](std::vector<std::string> args, const std::string& input = "") {
    args.insert(args.begin(), {VELK_LAUNCHER_PATH, "--dir", dir.path()});
    return run_program(args, dir.path(), input);
  };
  auto first_run = launch({"--program", VELK_FLASHER_PATH, "--", kImage});
  EXPECT_EQ(first_run.status, 5);
  write_image(dir.file("big.bin"), sim::ImageKind::firmware, 325, sim::kApplicationSize);
  std::FILE* in = popen(("cd " + dir.path() + " && echo $$ && exec " VELK_FLASHER_PATH " big.bin").c_str(), "r");
  char line[256];
  pid_t pid = std::fgets(line, sizeof line, in) ? std::atoi(line) : 0;
  ASSERT_GT(pid, 0);
  for (int frames = 200, in_step = 0; frames > 0 && std::fgets(line, sizeof line, in);)
    if ((in_step = in_step || std::strstr(line, "Step 14")) && std::strstr(line, "Считывание файла")) --frames;
  kill(pid, SIGKILL);
  pclose(in);
  auto flash = read_file(dir.file("shield.application.bin")), image = read_file(dir.file("big.bin"));
  size_t written = std::mismatch(flash.begin(), flash.end(), image.begin()).first - flash.begin();
  EXPECT_TRUE(written >= 200 * 4 && written < image.size() / 2) << written;
  EXPECT_EQ(flash.find_first_not_of('\xFF', written), std::string::npos) << "the rest erased";
  EXPECT_NE(launch({}, "1\nexit\n").out.find(shield_parameters(0, 0)), std::string::npos);
  // Its log goes to a reader that stops at once: the update goes on all the same.
  const std::string bootloader = read_file(dir.file("shield.bootloader.bin"));
  std::system(("cd " + dir.path() + " && { " VELK_LAUNCHER_PATH " --dir . --program " VELK_FLASHER_PATH " -- " +
               kImage + "; echo $? >status; } | head -c 1 >/dev/null")
                  .c_str());
  EXPECT_EQ(read_file(dir.file("status")), "5\n");
  EXPECT_EQ(read_file(dir.file("shield.bootloader.bin")), bootloader) << "kept";
  EXPECT_NE(launch({}, "1\nexit\n").out.find(shield_parameters(324, 26)), std::string::npos);
}

}  // namespace
