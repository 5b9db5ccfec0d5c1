// The flasher as the stand starts it: in a stand's working directory, its
// outcome told by the exit status, on a simulated shield whose bootloader and
// trojan may fail any step, and killed in the middle of an image.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <csignal>
#include <cstring>
#include <fstream>
#include <sstream>
#include <tuple>

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

// The flasher in `dir`, on the shield `state` describes, with the stand's images.
ProgramRun flasher(const TempDir& dir, std::vector<std::string> args, const std::string& state = "", Env env = {}) {
  for (auto& image : sim::kStandImages) write_image(dir.file(image.file), image.kind, image.version, image.size);
  if (!state.empty()) std::ofstream(dir.file("shield.state")) << state;
  args.insert(args.begin(), VELK_FLASHER_PATH);
  return run_program(args, dir.path(), "", env);
}

// How often `what` occurs in `text`.
size_t count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// Every exit status (a whole update is the last case's), each through the
// shield or machine that causes it: what the run printed last and how many
// steps it began; until the arguments, the images and the peripherals are
// there, no line of the shield is touched. A bootloader not found was tried
// three times, ten attempts each.
TEST(FlasherE2e, EndsWithTheStatusOfTheStepThatFailedAndFiveWhenAllSucceeded) {
  const std::string refuse = "boot.fault=refuse\nboot.code=", trojan = "boot.program=trojan\n" + refuse;
  const std::string kept = "boot.version=1001\n", no_access = "ERROR: Нет доступа к ", sent = "ERROR: Ошибка передачи ";
  const std::string root = " (требуются права root)", program = "ERROR: Ошибка перехода в режим программирования ";
  // The shield, the arguments, the environment; then the status, the steps begun and the last lines.
  const std::tuple<std::string, std::vector<std::string>, Env, int, size_t, std::string> cases[] = {
      {"", {}, {}, 4, 0, "ERROR:Не хватает аргументов"},
      {"", {"missing.bin"}, {}, 3, 0, "ERROR: Ошибка открытия файла"},
      {"", {kImage}, {{"VELK_SIM_MAPPING", "none"}}, 15, 0, no_access + "периферии Raspberry Pi" + root},
      {"", {kImage}, {{"VELK_SIM_MAPPING", "gpio-only"}}, 15, 0, no_access + "контроллеру SPI" + root},
      {"boot.fault=silent\n", {kImage}, {}, 0, 1, "ERROR: Bootloader не найден"},
      {"boot.fault=garbled\nboot.code=0x64\n", {kImage}, {}, 6, 1, "ERROR: Ошибка считывания версси bootloader"},
      {refuse + "4\n", {kImage}, {}, 1, 2, "ERROR: Ошибка удаления firmware"},
      {refuse + "2\n", {kImage}, {}, 7, 3, program + "trojan"},
      {refuse + "5\nboot.count=1\n", {kImage}, {}, 8, 4, "Ошибка передачи файла\n" + sent + "trojan"},
      {refuse + "6\n", {kImage}, {}, 9, 5, "ERROR: Ошибка окончании записи trojan"},
      {"boot.program=trojan\nboot.fault=silent\n", {kImage}, {}, 10, 6, "ERROR: Trojan не найден"},
      {trojan + "4\n", {kImage}, {}, 11, 7, "ERROR: Ошибка удаления bootloader"},
      {trojan + "2\n", {kImage}, {}, 12, 8, program + "bootloader"},
      {trojan + "5\n", {kImage}, {}, 13, 9, sent + "bootloader"},
      {trojan + "6\n", {kImage}, {}, 14, 10, "ERROR: Ошибка завершении передачи bootloader"},
      {"boot.fault=silent\nboot.code=1\nboot.skip=1\n", {kImage}, {}, 0, 11, "ERROR: Bootloader не найден"},
      {refuse + "4\nboot.skip=1\n", {kImage}, {}, 1, 12, "ERROR: Ошибка удаления firmware"},
      {kept + refuse + "2\n", {kImage}, {}, 2, 4, program + "firmware"},
      {kept + refuse + "5\n", {kImage}, {}, 4, 5, sent + "firmware"},
      {kept, {"."}, {}, 4, 5, "Ошибка чтения файла\n" + sent + "firmware"},
      {kept + refuse + "6\n", {kImage}, {}, 4, 6, "ERROR: Ошибка завершения прошивки"},
      {"", {kImage, "0"}, {}, 5, 6, "Успешно!"},
      {kept, {kImage, "2"}, {}, 5, 15, "Успешно!"},
  };
  for (auto [state, args, env, status, steps, last] : cases) {
    TempDir dir;
    if (steps == 0) env.emplace_back("VELK_SIM_TRACE", dir.path());  // where no line may be touched
    auto run = flasher(dir, args, state, env);
    EXPECT_EQ(std::pair(run.status, count(run.out, "\n Step ")), std::pair(status, steps)) << state;
    EXPECT_TRUE(("\n" + run.out).ends_with("\n" + last + "\n")) << state << "\n" << run.out;
    bool untouched = steps > 0 || trace_lines(read_file(dir.file("Velk_Flasher.log")), " RST ").empty();
    EXPECT_TRUE(untouched && (status != 0 || count(run.out, "CRC") == 30)) << state;
  }
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
  auto run = flasher(dir, {"tiny.bin"}, "boot.version=1001\nboot.fault=silent\nboot.code=1\nboot.count=10\n",
                     {{"VELK_SIM_TRACE", dir.path()}});
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
// The output without the exchanges' dumps and the image frames' lines.
std::string without_dumps(const std::string& out) {
  std::istringstream in(out);
  std::string kept;
  for (std::string line; std::getline(in, line);)
    if (line != "Посылка:" && line != "Считывание файла" && line.find_first_not_of("0123456789abcdef ") != line.npos)
      kept += line + "\n";
  return kept;
}

TEST(FlasherE2e, UpdatesAFreshStandsShieldAndRepairsItAfterARunKilledMidImage) {
  TempDir dir;
  auto launch = [&](std::vector<std::string> args, const std::string& input = "") {
    args.insert(args.begin(), {VELK_LAUNCHER_PATH, "--dir", dir.path()});
    return run_program(args, dir.path(), input);
  };
  auto first_run = launch({"--program", VELK_FLASHER_PATH, "--", kImage});
  EXPECT_EQ(first_run.status, 5);
  EXPECT_EQ(without_dumps(first_run.out),
            " Step 1  Detected Bootloader \nBootloaderVersion: 5\n Step 2  Erase firmware \n"
            " Step 3 Programming trojan \n Step 4 Transmit trojan\nКонец файла\n Step 5 Reset \nУспешно!\n"
            " Step 6  Detected trojan \n Step 7  Erase bootloader \n Step 8 Programming bootloader \n"
            " Step 9 Transmit bootloader\nКонец файла\n Step 10 Reset \nУспешно!\n Step 11  Detected Bootloader \n"
            " Step 12  Erase firmware \n Step 13 Programming firmware \n Step 14 Transmit firmware\nКонец файла\n"
            " Step 15 Reset \nУспешно!\n");
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
