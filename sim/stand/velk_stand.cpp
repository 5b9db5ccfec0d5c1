// velk-stand: prepares a simulated stand's working directory for a scenario
// and starts a stand program in it, with the caller's terminal (or pipe)
// attached. Its options come from the scenario's key table, so every key of a
// scenario file is also an option and --help lists them all.
#include <getopt.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "stand/scenario.h"
#include "shield/shield_image.h"
#include "stand/stand_files.h"

namespace {

namespace fs = std::filesystem;
using namespace sim;

// Where the stand program runs the ST-Link tool, and the size of the dump the
// stand makes (a modest image; the rest of the area stays erased).
constexpr const char* kStFlashPath = "proj/stlink-repo/build/Release/st-flash";
constexpr size_t kDumpSize = 16 * 1024;

struct Setting {
  const ScenarioKey* key;
  std::string value;
};

struct Request {
  std::string dir = "./stand-run";
  std::string program;
  bool fresh = false;
  std::vector<Setting> settings;
  std::vector<std::string> args;
};

[[noreturn]] void fail(int status, const std::string& why) {
  std::fprintf(stderr, "velk-stand: %s\n", why.c_str());
  std::exit(status);
}

std::string option_name(std::string_view key) {
  std::string name(key);
  for (char& c : name)
    if (c == '.') c = '-';
  return name;
}

void usage(std::FILE* out) {
  std::fprintf(out,
               "Usage: velk-stand [options] [-- program arguments]\n\n"
               "Starts a stand program on a simulated stand in a working directory that holds\n"
               "the shield's lasting state (shield.state: one key=value line per key below).\n\n"
               "Working directory and program:\n"
               "  --dir DIR            working directory (default ./stand-run), created if missing\n"
               "  --program PATH       program to start (default Velk_STM_Tool beside velk-stand)\n"
               "  --fresh              start from the default shield and stand time 0\n"
               "  --set KEY=VALUE      any key below, as a scenario file writes it\n"
               "  -h, --help           this text\n");
  for (auto scope : {KeyScope::lasting, KeyScope::run}) {
    std::fprintf(out, scope == KeyScope::lasting
                          ? "\nThe shield (written into DIR/shield.state over what is there; kept across runs):\n"
                          : "\nThis run only (passed to the program as VELK_SIM_<KEY>):\n");
    Scenario defaults;
    for (auto& k : scenario_keys()) {
      if (k.scope != scope) continue;
      std::string fallback = k.print(defaults);
      std::fprintf(out, "  --%s %.*s\n        %.*s (default %s)\n", option_name(k.name).c_str(),
                   int(k.values.size()), k.values.data(), int(k.help.size()), k.help.data(),
                   fallback.empty() ? "none" : fallback.c_str());
    }
  }
  std::fprintf(out,
               "\nExit status: that of the program; 64 a bad option, 66 no program to start (or no\n"
               "Debian st-flash for stlink.tool=debian), 73 a directory that cannot be written,\n"
               "78 a stand file (scenario, stand.time, lock) that cannot be used.\n"
               "Example: velk-stand --number 31 --link-fault late --link-count 2 --trace traces -- -harmonic\n");
}

std::string absolute(const std::string& path) {
  std::error_code ec;
  auto p = fs::absolute(path, ec);
  return ec ? path : p.lexically_normal().string();
}

// A program installed beside the launcher (the stand program, the flasher,
// the stand-ins).
std::string beside_launcher(const char* name) {
  char self[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return name;
  self[n] = '\0';
  return (fs::path(self).parent_path() / name).string();
}

void add_setting(Request& r, std::string_view name, const std::string& value, const std::string& shown_as) {
  const ScenarioKey* key = scenario_key(name);
  Scenario scratch;
  std::string why = "unknown key \"" + std::string(name) + "\"";
  if (!key || !key->parse(scratch, value, why)) fail(kExitUsage, printable(shown_as) + ": " + why);
  r.settings.push_back({key, value});
}

Request parse_options(int argc, char** argv) {
  enum { kDir = 1000, kProgram, kFresh, kSet, kFirstKey };
  std::vector<std::string> names;
  for (auto& k : scenario_keys()) names.push_back(option_name(k.name));
  std::vector<option> options = {{"dir", required_argument, nullptr, kDir},
                                 {"program", required_argument, nullptr, kProgram},
                                 {"fresh", no_argument, nullptr, kFresh},
                                 {"set", required_argument, nullptr, kSet},
                                 {"help", no_argument, nullptr, 'h'}};
  for (size_t i = 0; i < names.size(); ++i)
    options.push_back({names[i].c_str(), required_argument, nullptr, kFirstKey + static_cast<int>(i)});
  options.push_back({nullptr, 0, nullptr, 0});

  Request r;
  opterr = 0;
  int index = -1;
  for (int c; (c = getopt_long(argc, argv, "+:h", options.data(), &index)) != -1; index = -1) {
    std::string shown = printable(argv[optind - 1]);
    if (optarg && !*optarg && index >= 0)  // an empty directory, program or value names nothing
      fail(kExitUsage, std::string("--") + options[static_cast<size_t>(index)].name + " needs a value (see --help)");
    switch (c) {
      case 'h':
        usage(stdout);
        std::exit(0);
      case ':':
        fail(kExitUsage, shown + " needs a value (see --help)");
      case '?':
        fail(kExitUsage, "unknown option " + shown + " (see --help)");
      case kDir:
        r.dir = optarg;
        break;
      case kProgram:
        r.program = absolute(optarg);
        break;
      case kFresh:
        r.fresh = true;
        break;
      case kSet: {
        std::string pair = optarg;
        auto eq = pair.find('=');
        if (eq == std::string::npos) fail(kExitUsage, "--set wants KEY=VALUE, not \"" + printable(pair) + "\"");
        add_setting(r, pair.substr(0, eq), pair.substr(eq + 1), "--set " + pair.substr(0, eq));
        break;
      }
      default:
        add_setting(r, scenario_keys()[static_cast<size_t>(c - kFirstKey)].name, optarg,
                    "--" + names[static_cast<size_t>(c - kFirstKey)]);
    }
  }
  if (optind < argc && std::strcmp(argv[optind - 1], "--") != 0)
    fail(kExitUsage, "unexpected argument " + printable(argv[optind]) + " (program arguments go after --)");
  r.args.assign(argv + optind, argv + argc);
  return r;
}

void make_directory(const std::string& dir, const char* what) {
  std::error_code ec;
  fs::create_directories(dir, ec);
  std::string cannot = "cannot use " + printable(dir) + " as the " + what + ": ";
  if (ec || !fs::is_directory(dir)) fail(kExitCannotWrite, cannot + (ec ? ec.message() : "not a directory"));
  if (::access(dir.c_str(), W_OK) != 0) fail(kExitCannotWrite, cannot + std::strerror(errno));
}

std::string debian_st_flash();

// What the program would refuse in the working directory, refused before
// anything is written there: the stand time, and a tool the scenario wants.
void check_stand(const Request& r, const Scenario& s, const std::string& state_path) {
  uint64_t time = 0;
  std::string error;
  if (!r.fresh && !stand_time_load(stand_time_path(state_path), time, error)) fail(kExitBadScenario, error);
  if (s.shield.stlink_tool == StlinkTool::debian) debian_st_flash();
}

// The shield's lasting state: the file (unless --fresh), then the options.
// Left alone when nothing is to change, so the program judges it as it is.
// Temporary files that killed programs left are cleared here.
Scenario prepare_state(const Request& r, const std::string& state_path) {
  StandFileLock lock(state_path, true);
  if (!lock.held()) fail(kExitBadScenario, lock.error());
  Scenario s;
  bool found = false;
  std::string error;
  if (!r.fresh && !scenario_load(state_path, s, found, error)) fail(kExitBadScenario, error);
  bool changed = r.fresh || !found;
  bool board_start = false;  // a new starting state for the lines takes effect now
  for (auto& setting : r.settings) {
    if (setting.key->scope != KeyScope::lasting) continue;
    scenario_set(s, setting.key->name, setting.value, error);
    changed = true;
    board_start = board_start || setting.key->name == "board.start";
  }
  check_stand(r, s, state_path);
  if (changed && !scenario_save(state_path, s, error)) fail(kExitCannotWrite, error);
  stand_files_clear_stale(state_path);
  std::error_code ignored;  // no stand time, a powered-up board and the factory's flash is what --fresh wants
  if (r.fresh)
    for (auto& file : {stand_time_path(state_path), flash_area_path(state_path, FlashArea::application),
                       flash_area_path(state_path, FlashArea::bootloader)})
      fs::remove(file, ignored);
  if (r.fresh || board_start) fs::remove(board_lines_path(state_path), ignored);
  return s;
}

// The flasher's images, as the simulated shield knows them; a file already
// there is left as it is.
void provide_images(const std::string& dir) {
  for (auto& image : kStandImages) {
    std::string path = dir + "/" + image.file;
    std::error_code ec;
    if (fs::exists(fs::symlink_status(path, ec))) continue;  // a link, even a dangling one, is never written through
    auto bytes = image_make(image.kind, image.version, image.size);
    std::string error;
    if (!stand_file_write(path, {reinterpret_cast<const char*>(bytes.data()), bytes.size()}, error))
      fail(kExitCannotWrite, error);
  }
}

// A link the launcher keeps at `path` (in the working directory) to
// `target`, or none when `wanted` is false. A file there that is not a link is
// somebody's own and is left alone.
void place_link(const fs::path& path, const fs::path& target, bool wanted, const char* what) {
  std::error_code ec;
  auto status = fs::symlink_status(path, ec);
  if (fs::exists(status) && !fs::is_symlink(status)) return;
  fs::remove(path, ec);
  if (!wanted) return;
  fs::create_directories(path.parent_path(), ec);
  fs::create_symlink(target, path, ec);
  if (ec) fail(kExitCannotWrite, std::string("cannot put the ") + what + " at " + path.string() + ": " + ec.message());
  if (!fs::exists(target, ec))
    std::fprintf(stderr, "velk-stand: note: %s is missing (build it), so %s cannot start\n", target.c_str(),
                 path.c_str());
}

// Debian's st-flash (stlink-tools), found on the PATH as a shell would.
std::string debian_st_flash() {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  for (size_t at = 0; at <= dirs.size();) {
    size_t colon = std::min(dirs.find(':', at), dirs.size());
    std::string tool = (colon == at ? std::string(".") : dirs.substr(at, colon - at)) + "/st-flash";
    if (::access(tool.c_str(), X_OK) == 0) return absolute(tool);
    at = colon + 1;
  }
  fail(kExitNoProgram, "stlink.tool=debian: Debian's st-flash is not on the PATH (apt-get install stlink-tools)");
}

// The outside programs the stand program starts from its working directory:
// the uploader ./Sendrik/Sendrik, the ST-Link tool, and ./Velk_Flasher
// (through sudo). The ST-Link stand-in is there with stlink.fault=missing and a
// count, as it then plays the missing tool for the counted runs itself.
void prepare_programs(const std::string& dir, const ShieldState& shield) {
  fs::path d(dir);
  place_link(d / "Sendrik" / "Sendrik", beside_launcher("velk-sendrik"), shield.upload_fault != UploadFault::missing,
             "uploader");
  bool debian = shield.stlink_tool == StlinkTool::debian;
  bool st_flash = shield.stlink_fault != StlinkFault::missing || (shield.stlink_count != 0 && !debian);
  place_link(d / kStFlashPath, st_flash && debian ? debian_st_flash() : beside_launcher("velk-st-flash"), st_flash,
             "ST-Link tool");
  place_link(d / "Velk_Flasher", beside_launcher("Velk_Flasher"), !shield.flasher_missing, "flasher");
}

// A command the shell is to find nowhere: it says so as the shell does and
// ends with the shell's status for it.
void place_missing(const fs::path& path, bool missing) {
  std::error_code ec;
  fs::remove(path, ec);
  if (!missing) return;
  std::string name = path.filename().string(), error;
  if (!stand_file_write(path.string(), "#!/bin/sh\necho 'sh: 1: " + name + ": not found' >&2\nexit 127\n", error))
    fail(kExitCannotWrite, error);
  fs::permissions(path, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec, ec);
}

// sudo, as the stand program runs the flasher, and the audio tools the
// scenario says are missing: alone in a directory put first on the PATH the
// program gets, so nothing else is shadowed.
void prepare_commands(const std::string& dir, const ShieldState& shield) {
  fs::path commands = fs::path(dir) / "stand-bin";
  place_link(commands / "sudo", beside_launcher("velk-sudo"), true, "sudo stand-in");
  place_missing(commands / "aplay", shield.player_missing);
  place_missing(commands / "arecord", shield.recorder_missing);
  const char* path = std::getenv("PATH");
  std::string rest = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
  ::setenv("PATH", (commands.string() + ":" + rest).c_str(), 1);
}

// The reference dump the ST-Link tool writes, DIR/home/pi/Dump.bin (the
// stand's /home/pi), made from the scenario on every start. A dump there that
// the stand did not make (or a home/pi that is a link) is the user's own and is
// left alone: never written through.
bool stand_made_dump(const fs::path& path) {
  std::error_code ec;
  if (!fs::is_regular_file(fs::symlink_status(path, ec)) || fs::file_size(path, ec) != kDumpSize) return false;
  std::vector<uint8_t> bytes(kDumpSize);
  std::FILE* in = std::fopen(path.c_str(), "rb");
  bool read = in && std::fread(bytes.data(), 1, bytes.size(), in) == bytes.size();
  if (in) std::fclose(in);
  return read &&
         (image_inspect(bytes).kind == ImageKind::firmware || bytes == image_make(ImageKind::none, 0, kDumpSize));
}

void prepare_dump(const std::string& dir, const ShieldState& shield) {
  fs::path home = fs::path(dir) / "home", pi = home / "pi", dump = pi / "Dump.bin";
  std::error_code ec;  // links are looked at before anything is made, so none is followed
  bool own = fs::is_symlink(fs::symlink_status(home, ec)) || fs::is_symlink(fs::symlink_status(pi, ec)) ||
             (fs::exists(fs::symlink_status(dump, ec)) && !stand_made_dump(dump));
  if (own) {
    if (shield.dump == DumpKind::missing)
      std::fprintf(stderr, "velk-stand: note: dump=missing, but %s is not the stand's: left as it is\n", dump.c_str());
    return;
  }
  fs::create_directories(pi, ec);
  if (shield.dump == DumpKind::missing) {
    fs::remove(dump, ec);
    return;
  }
  bool garbage = shield.dump == DumpKind::garbage;
  auto bytes =
      image_make(garbage ? ImageKind::none : ImageKind::firmware, garbage ? 0 : shield.dump_version, kDumpSize);
  std::string error;
  if (!stand_file_write(dump.string(), {reinterpret_cast<const char*>(bytes.data()), bytes.size()}, error))
    fail(kExitCannotWrite, error);
}

// The trace directory is made (or refused) before anything else is written.
void prepare_trace(Request& r) {
  for (auto& setting : r.settings)
    if (setting.key->name == "trace") {
      setting.value = absolute(setting.value);
      make_directory(setting.value, "trace directory");
    }
}

void pass_run_settings(const Request& r) {
  for (auto& setting : r.settings)
    if (setting.key->scope == KeyScope::run)
      ::setenv(scenario_env_name(setting.key->name).c_str(), setting.value.c_str(), 1);
}

}  // namespace

int main(int argc, char** argv) {
  Request r = parse_options(argc, argv);
  std::string program = r.program.empty() ? beside_launcher("Velk_STM_Tool") : r.program;
  if (::access(program.c_str(), X_OK) != 0)
    fail(kExitNoProgram, "no program at " + printable(program) + " (build it first)");

  std::string dir = absolute(r.dir);
  make_directory(dir, "working directory");
  prepare_trace(r);
  std::string state_path = dir + "/shield.state";
  Scenario scenario = prepare_state(r, state_path);
  prepare_programs(dir, scenario.shield);
  prepare_dump(dir, scenario.shield);
  prepare_commands(dir, scenario.shield);
  provide_images(dir);
  pass_run_settings(r);
  ::setenv("VELK_SIM_STATE", state_path.c_str(), 1);
  if (::chdir(dir.c_str()) != 0) fail(kExitCannotWrite, "cannot enter " + dir + ": " + std::strerror(errno));

  std::vector<char*> args = {program.data()};
  for (auto& a : r.args) args.push_back(a.data());
  args.push_back(nullptr);
  ::execv(program.c_str(), args.data());
  fail(kExitNoProgram, "cannot start " + program + ": " + std::strerror(errno));
}
