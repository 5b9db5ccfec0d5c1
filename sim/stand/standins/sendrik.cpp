// Stand-in for the uploader ./Sendrik/Sendrik on a simulated stand: it appends
// every line it reads on standard input to sent.txt beside itself, so a test or
// a person sees what would have gone to the server, and ends after "send".
// Its fault comes from the stand's scenario (upload.fault, upload.count): with
// dies it is killed after reading that many lines. (A missing uploader is the
// launcher's doing: it leaves the file out.)
// Leaves out: the server, its protocol and credentials; it never fails to send.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "stand/scenario.h"
#include "stand/stand_files.h"

namespace {

sim::ShieldState stand_state() {
  const char* state = std::getenv("VELK_SIM_STATE");
  std::string path = state && *state ? state : "shield.state";
  sim::Scenario s;
  bool found = false;
  std::string error;
  sim::StandFileLock lock(path, false);
  if (!lock.held()) error = lock.error();
  if (!lock.held() || !sim::scenario_load(path, s, found, error)) {
    std::fprintf(stderr, "Sendrik (stand-in): %s\n", error.c_str());
    std::exit(sim::kExitBadScenario);
  }
  return s.shield;
}

}  // namespace

int main(int, char** argv) {
  auto state = stand_state();
  bool dies = state.upload_fault == sim::UploadFault::dies;
  auto here = std::filesystem::path(argv[0]).parent_path();
  std::string sent_path, error;  // appended to only where the stand would write it
  if (!sim::stand_file_target((here / "sent.txt").string(), sent_path, error)) {
    std::fprintf(stderr, "Sendrik (stand-in): %s\n", error.c_str());
    return sim::kExitBadScenario;
  }
  std::ofstream sent(sent_path, std::ios::app);
  uint32_t read = 0;
  for (std::string line;;) {
    if (dies && read == state.upload_count) std::raise(SIGKILL);
    if (!std::getline(std::cin, line)) return 0;
    sent << line << '\n' << std::flush;
    ++read;
    if (line == "send") return 0;
  }
}
