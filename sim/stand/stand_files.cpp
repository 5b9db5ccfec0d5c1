#include "stand/stand_files.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>

#include "shield/shield_image.h"

namespace sim {
namespace {

std::string base_name(const std::string& path) { return path.substr(path.rfind('/') + 1); }

// NAME.XXXXXX, as mkostemp names the temporary file of NAME.
bool is_temporary_of(std::string_view file, std::string_view name) {
  constexpr size_t kSuffix = 6;
  if (file.size() != name.size() + 1 + kSuffix || !file.starts_with(name) || file[name.size()] != '.') return false;
  return std::all_of(file.end() - kSuffix, file.end(),
                     [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
}

}  // namespace

void stand_files_clear_stale(const std::string& state_path) {
  std::string dir = stand_file_directory(state_path), target;
  std::string error;
  std::string state = base_name(stand_file_target(state_path, target, error) ? target : state_path);
  const std::string names[] = {state, "shield.state", "stand.time", "board.lines", base_name(
      flash_area_path(state_path, FlashArea::application)), base_name(flash_area_path(state_path, FlashArea::bootloader))};
  DIR* listing = ::opendir(dir.c_str());
  if (!listing) return;
  while (const dirent* entry = ::readdir(listing)) {
    std::string_view file = entry->d_name;
    struct stat info;
    std::string path = dir + "/" + entry->d_name;
    if (std::any_of(std::begin(names), std::end(names), [&](auto& n) { return is_temporary_of(file, n); }) &&
        ::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode))
      ::unlink(path.c_str());
  }
  ::closedir(listing);
}

bool scenario_load(const std::string& path, Scenario& s, bool& found, std::string& error) {
  std::string text;
  if (!stand_file_load(path, text, found, error)) return false;
  if (!found) return true;
  if (text.empty()) {
    error = path + ": empty (a shield state holds key=value lines; remove the file for the default shield)";
    return false;
  }
  return scenario_parse(text, path, s, error);
}

bool scenario_save(const std::string& path, const Scenario& s, std::string& error) {
  if (!stand_file_update(path, scenario_text(s), error)) return false;
  stand_files_clear_stale(path);
  return true;
}

std::string stand_time_path(const std::string& state_path) { return stand_file_beside(state_path, "stand.time"); }

bool stand_time_load(const std::string& path, uint64_t& time_us, std::string& error) {
  time_us = 0;
  std::string text;
  bool found = false;
  constexpr size_t kLongest = 32;  // more than any stand time's digits
  if (!stand_file_load(path, text, found, error, kLongest)) return false;
  if (!found) return true;
  std::string_view digits = text;
  if (digits.ends_with('\n')) digits.remove_suffix(1);
  if (!decimal_value(digits, kLatestStandTime, time_us)) {
    error = path + ": \"" + printable(text) + "\" is not a stand time (decimal microseconds in 0.." +
            std::to_string(kLatestStandTime) + " and a line end; remove the file to start at 0)";
    return false;
  }
  return true;
}

size_t stand_time_text(uint64_t time_us, char* text) {
  char reversed[20];
  size_t n = 0;
  do reversed[n++] = static_cast<char>('0' + time_us % 10);
  while ((time_us /= 10) != 0);
  for (size_t i = 0; i < n; ++i) text[i] = reversed[n - 1 - i];
  text[n] = '\n';
  return n + 1;
}

bool stand_time_save(const std::string& path, uint64_t time_us, std::string& error) {
  char text[21];
  // Written at every start of a child program, so not synced: a time lost in
  // a crash only restarts the axis.
  return stand_file_update(path, {text, stand_time_text(time_us, text)}, error, Sync::no);
}

}  // namespace sim
