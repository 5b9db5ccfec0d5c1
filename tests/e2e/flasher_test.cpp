// The flasher as the stand starts it: in a stand's working directory, its
// outcome told by the exit status, on a simulated shield whose bootloader and
// trojan may fail any step, and killed in the middle of an image.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <fstream>
#include <sstream>

#include "console_capture.h"
#include "program_run.h"
#include "shield_image.h"

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

// The numbers of the steps the run began: "1 11 12".
std::string steps(const std::string& out) {
  std::string numbers;
  for (size_t at = out.find("\n Step "); at != std::string::npos; at = out.find("\n Step ", at + 1))
    numbers += (numbers.empty() ? "" : " ") + std::to_string(std::stoi(out.substr(at + 7, 3)));
  return numbers;
}

// The run's own lines: without the exchanges' dumps and the image frames' lines.
std::string without_dumps(const std::string& out) {
  std::istringstream in(out);
  std::string kept;
  for (std::string line; std::getline(in, line);)
    if (line == "Посылка:")
      kept.pop_back();  // its empty line
    else if (line.empty() ||
             (line.find_first_not_of("0123456789abcdef ") != std::string::npos && line != "Считывание файла"))
      kept += line + "\n";
  return kept;
}

const std::string kAll = "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15", kKept = "1 11 12 13 14 15";

// The first n steps of `all`: "1 2 3".
std::string first(const std::string& all, int n) {
  size_t end = 0;
  while (n-- > 0) end = all.find(' ', end + 1);
  return all.substr(0, end);
}

// Every exit status, each through the shield or machine that causes it: what
// the run printed last and which steps it began; until the arguments, the
// images and the peripherals are there, no line of the shield is touched.
TEST(FlasherE2e, EndsWithTheStatusOfTheStepThatFailedAndFiveWhenAllSucceeded) {
  struct Case {
    std::string state;
    std::vector<std::string> args;
    int status;
    std::string steps, last;
    Env env = {};
  };
  const std::string refuse = "boot.fault=refuse\nboot.code=", trojan = "boot.program=trojan\n" + refuse;
  const std::string kept = "boot.version=1001\n", no_access = "ERROR: Нет доступа к ";
  const std::string root = " (требуются права root)", program = "программирования ", sent = "Ошибка передачи ";
  const Case cases[] = {
      {"", {}, 4, "", "ERROR:Не хватает аргументов"},
      {"", {"missing.bin"}, 3, "", "ERROR: Ошибка открытия файла"},
      {"", {kImage}, 15, "", no_access + "периферии Raspberry Pi" + root, {{"VELK_SIM_MAPPING", "none"}}},
      {"", {kImage}, 15, "", no_access + "контроллеру SPI" + root, {{"VELK_SIM_MAPPING", "gpio-only"}}},
      {"boot.fault=silent\n", {kImage}, 0, "1", "ERROR: Bootloader не найден"},
      {"boot.fault=garbled\nboot.code=0x64\n", {kImage}, 6, "1", "ERROR: Ошибка считывания версси bootloader"},
      {refuse + "4\n", {kImage}, 1, first(kAll, 2), "ERROR: Ошибка удаления firmware"},
      {refuse + "2\n", {kImage}, 7, first(kAll, 3), "ERROR: Ошибка перехода в режим " + program + "trojan"},
      {refuse + "5\nboot.count=1\n", {kImage}, 8, first(kAll, 4), "Ошибка передачи файла\nERROR: " + sent + "trojan"},
      {refuse + "6\n", {kImage}, 9, first(kAll, 5), "ERROR: Ошибка окончании записи trojan"},
      {"boot.program=trojan\nboot.fault=silent\n", {kImage}, 10, first(kAll, 6), "ERROR: Trojan не найден"},
      {trojan + "4\n", {kImage}, 11, first(kAll, 7), "ERROR: Ошибка удаления bootloader"},
      {trojan + "2\n", {kImage}, 12, first(kAll, 8), "ERROR: Ошибка перехода в режим " + program + "bootloader"},
      {trojan + "5\n", {kImage}, 13, first(kAll, 9), "ERROR: " + sent + "bootloader"},
      {trojan + "6\n", {kImage}, 14, first(kAll, 10), "ERROR: Ошибка завершении передачи bootloader"},
      {"boot.fault=silent\nboot.code=1\nboot.skip=1\n", {kImage}, 0, first(kAll, 11), "ERROR: Bootloader не найден"},
      {refuse + "4\nboot.skip=1\n", {kImage}, 1, first(kAll, 12), "ERROR: Ошибка удаления firmware"},
      {kept + refuse + "2\n", {kImage}, 2, first(kKept, 4), "ERROR: Ошибка перехода в режим " + program + "firmware"},
      {kept + refuse + "5\n", {kImage}, 4, first(kKept, 5), "ERROR: " + sent + "firmware"},
      {kept, {"."}, 4, first(kKept, 5), "Ошибка чтения файла\nERROR: " + sent + "firmware"},
      {kept + refuse + "6\n", {kImage}, 4, kKept, "ERROR: Ошибка завершения прошивки"},
      {"", {kImage}, 5, kAll, "Успешно!"},
      {"", {kImage, "0"}, 5, kKept, "Успешно!"},
      {kept, {kImage, "2"}, 5, kAll, "Успешно!"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    Env env = c.env;  // a trace where the shield must be left untouched
    if (c.steps.empty()) env.emplace_back("VELK_SIM_TRACE", dir.path());
    auto run = flasher(dir, c.args, c.state, env);
    EXPECT_EQ(run.status, c.status) << c.state;
    EXPECT_EQ(steps(run.out), c.steps) << c.state;
    EXPECT_TRUE(("\n" + run.out).ends_with("\n" + c.last + "\n")) << c.state << "\n" << run.out;
    bool untouched = read_file(dir.file("Velk_Flasher.log")).find(" RST ") == std::string::npos;
    EXPECT_TRUE(untouched || !c.steps.empty()) << c.state;
    size_t failed = 0;  // attempts; a bootloader not found was tried three times, ten attempts each
    for (auto at = run.out.find("CRC"); at != std::string::npos; at = run.out.find("CRC", at + 1)) ++failed;
    EXPECT_TRUE(c.status != 0 || failed == 30) << failed;
  }
}

// The run's control lines and requests in stand time (ms), from its trace:
// "2010.000 RST 1", "4015.000 A1 01 x10" (a request, sent that often in a row).
std::string schedule(const std::string& trace) {
  std::istringstream in(trace);
  std::string out, request, last;
  int left = 0, repeats = 0;
  auto flush = [&] { out += (repeats > 1 ? " x" + std::to_string(repeats) : "") + (repeats ? "\n" : ""), repeats = 0; };
  for (std::string time, ms, name, rest; in >> time >> ms >> name && std::getline(in, rest);) {
    if (name == "RST" || name == "STM_INT") flush(), last.clear(), out += time + " " + name + " " + rest.back() + "\n";
    if (!rest.starts_with("  MOSI") || (left == 0 && rest.substr(7, 2) == "00")) continue;
    left = left == 0 ? 7 : left - 1;  // bytes of the request still to come
    if (left == 7) request = time + " " + rest.substr(7, 2);
    if (left != 6) continue;
    std::string what = request.substr(request.find(' ')) + " " + rest.substr(7, 2);
    if (what != last) flush(), out += request + " " + rest.substr(7, 2);
    last = what, ++repeats;
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
  TempDir dir;
  std::ofstream(dir.file("tiny.bin")) << "12345";
  auto run = flasher(dir, {"tiny.bin"}, "boot.version=1001\nboot.fault=silent\nboot.code=1\nboot.count=10\n",
                     {{"VELK_SIM_TRACE", dir.path()}});
  EXPECT_EQ(run.status, 5);
  EXPECT_EQ(schedule(read_file(dir.file("Velk_Flasher.log"))),
            "0.000 STM_INT 0\n0.000 RST 0\n2000.000 STM_INT 1\n2010.000 RST 1\n4015.000 A1 01 x10\n"
            "4114.640 RST 0\n6124.640 RST 1\n8129.640 A1 01\n8140.104 A1 64\n"
            "8240.568 RST 0\n10250.568 RST 1\n12255.568 A1 01\n12266.032 A1 04\n22271.496 A1 02\n"
            "22372.960 A1 05 x2\n22381.888 A1 06\n22482.352 RST 0\n24482.352 STM_INT 0\n24492.352 RST 1\n");
}

// Runs the flasher with its output on a pipe and kills it once `count` image
// frames of step 14 have been reported. The pipe holds the flasher back when
// the test stops reading, so it is killed well inside a large image.
int kill_in_step_14(const TempDir& dir, const std::string& image, int count) {
  int out[2];
  if (pipe(out) != 0) return -1;
  pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    if (chdir(dir.path().c_str()) == 0) execl(VELK_FLASHER_PATH, "Velk_Flasher", image.c_str(), nullptr);
    _exit(127);
  }
  close(out[1]);
  std::FILE* in = fdopen(out[0], "r");
  char line[256];
  for (bool in_step = false; count > 0 && std::fgets(line, sizeof line, in);)
    if ((in_step = in_step || std::strstr(line, "Step 14")) && std::strstr(line, "Считывание файла")) --count;
  kill(pid, SIGKILL);
  std::fclose(in);
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFSIGNALED(status) ? WTERMSIG(status) : -1;
}

// As a new user would: the launcher gives a stand directory the images; a
// shield with bootloader 5 gets the bootloader 1001 and the firmware. Killed in
// the middle of a large image, the flasher leaves the words written so far in
// the shield's flash and the rest erased: the firmware is incomplete, the
// shield does not start it and the stand program reads nothing. The bootloader
// still answers; the next run keeps it and repairs the firmware.
TEST(FlasherE2e, UpdatesAFreshStandsShieldAndRepairsItAfterARunKilledMidImage) {
  TempDir dir;
  auto launch = [&](std::vector<std::string> args, const std::string& input = "") {
    args.insert(args.begin(), {VELK_LAUNCHER_PATH, "--dir", dir.path()});
    return run_program(args, dir.path(), input);
  };
  auto first_run = launch({"--program", VELK_FLASHER_PATH, "--", kImage});
  EXPECT_EQ(first_run.status, 5);
  EXPECT_EQ(without_dumps(first_run.out),
            "\n Step 1  Detected Bootloader \n\nBootloaderVersion: 5\n\n Step 2  Erase firmware \n\n Step 3 "
            "Programming trojan \n\n Step 4 Transmit trojan\nКонец файла\n\n Step 5 Reset \nУспешно!\n\n Step 6  "
            "Detected trojan \n\n Step 7  Erase bootloader \n\n Step 8 Programming bootloader \n\n Step 9 Transmit "
            "bootloader\nКонец файла\n\n Step 10 Reset \nУспешно!\n\n Step 11  Detected Bootloader \n\n Step 12  "
            "Erase firmware \n\n Step 13 Programming firmware \n\n Step 14 Transmit firmware\nКонец файла\n\n Step 15 "
            "Reset \nУспешно!\n");
  write_image(dir.file("big.bin"), sim::ImageKind::firmware, 325, sim::kApplicationSize);
  ASSERT_EQ(kill_in_step_14(dir, "big.bin", 200), SIGKILL);
  auto flash = read_file(dir.file("shield.application.bin")), image = read_file(dir.file("big.bin"));
  size_t written = std::mismatch(flash.begin(), flash.end(), image.begin()).first - flash.begin();
  EXPECT_TRUE(written >= 200 * 4 && written < image.size() / 2) << written;
  EXPECT_EQ(flash.find_first_not_of('\xFF', written), std::string::npos) << "the rest erased";
  auto silent = launch({}, "1\nexit\n");
  EXPECT_EQ(silent.status, 1) << silent.err;
  EXPECT_NE(silent.out.find(shield_parameters(0, 0)), std::string::npos);
  auto repaired = launch({"--program", VELK_FLASHER_PATH, "--", kImage});
  EXPECT_EQ(repaired.status, 5);
  EXPECT_EQ(steps(repaired.out), kKept);
  EXPECT_NE(repaired.out.find("BootloaderVersion: 1001\n\nПерепрошивка буда отключена\n"), std::string::npos);
  EXPECT_NE(launch({}, "1\nexit\n").out.find(shield_parameters(324, 26)), std::string::npos);
}

}  // namespace
