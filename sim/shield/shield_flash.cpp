#include "shield/shield_flash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "time/stand_file.h"

namespace sim {
namespace {

struct Area {
  explicit Area(size_t area_size, std::string file = {}) : size(area_size), path(std::move(file)) {}
  size_t size;
  std::string path;             // its file; empty: in memory only
  bool factory = true;
  // The area's file, when it has one of the area's size: a word written there
  // is in the file at once.
  StandFileMapping mapped;
  std::vector<uint8_t> memory;  // the contents while no file is mapped

  std::span<uint8_t> bytes() { return mapped ? mapped.bytes() : std::span(memory); }
  void erase_in_memory() {
    mapped = {};
    memory.assign(size, 0xFF);
  }
};

struct Flash {
  std::string state_path;
  Area areas[2] = {Area(kApplicationSize), Area(kBootloaderSize)};
};

// Never destroyed: a thread may still be inside the stand when the process exits.
Flash& flash() {
  static auto* f = new Flash;
  return *f;
}

Area& area_of(FlashArea a) { return flash().areas[static_cast<size_t>(a)]; }

bool all_erased(std::span<const uint8_t> bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0xFF; });
}

Area erased_with_message(Area a, const std::string& message) {
  std::fprintf(stderr, "simulated stand: %s; the area reads as erased\n", message.c_str());
  a.factory = false;
  a.erase_in_memory();
  return a;
}

// The area as its file holds it. No file: the factory's program. A file of
// another size (not written by this stand) is read, the rest of the area
// erased, and kept in memory until the next erase writes the file anew.
Area read_area(size_t size, const std::string& path) {
  Area a(size, path);
  // A link is followed only to a file the stand would have written itself.
  std::string target, error;
  if (!stand_file_target(path, target, error)) return erased_with_message(std::move(a), error);
  UniqueFd in{::open(target.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)};
  if (in.fd < 0 && errno == ENOENT) return a;
  a.factory = false;
  if (in.fd < 0) return erased_with_message(std::move(a), path + ": " + std::strerror(errno));
  struct stat info {};
  if (::fstat(in.fd, &info) == 0 && static_cast<size_t>(info.st_size) == size) a.mapped = StandFileMapping(in.fd, size);
  if (a.mapped) return a;
  a.erase_in_memory();
  std::string held;
  stand_file_read(in.fd, held, size);  // what cannot be read reads as erased
  std::copy(held.begin(), held.end(), a.memory.begin());
  return a;
}

// The erased area written to a fresh file that replaces the old one, so that
// no reader ever sees a file half erased, and then mapped.
bool write_erased(Area& a, std::string& error) {
  UniqueFd out;
  if (!stand_file_write(a.path, std::string(a.size, '\xFF'), error, &out)) return false;
  a.mapped = StandFileMapping(out.fd, a.size);
  a.memory.clear();
  if (a.mapped) return true;
  error = "cannot map " + a.path + ": " + std::strerror(errno);
  return false;
}

}  // namespace

void flash_reload_locked(const StandLock&, const std::string& state_path) {
  auto& f = flash();
  f.state_path = state_path;
  if (state_path.empty()) return;
  StandFileLock lock(state_path, false);
  if (!lock.held()) std::fprintf(stderr, "simulated stand: %s\n", lock.error().c_str());
  for (auto area : {FlashArea::application, FlashArea::bootloader}) {
    auto& a = area_of(area);
    a = read_area(a.size, flash_area_path(state_path, area));
  }
}

ImageInfo flash_contents_locked(const StandLock&, FlashArea area, ImageInfo factory) {
  auto& a = area_of(area);
  return a.factory ? factory : image_inspect(a.bytes());
}

bool flash_erase_locked(const StandLock&, FlashArea area, std::string& error) {
  auto& a = area_of(area);
  a.factory = false;
  if (!a.path.empty()) {
    StandFileLock lock(flash().state_path, true);
    if (!lock.held()) error = lock.error();
    if (lock.held() && write_erased(a, error)) return true;
  }
  a.erase_in_memory();
  return a.path.empty();
}

bool flash_program_locked(const StandLock&, FlashArea area, size_t offset, std::span<const uint8_t, 4> word) {
  if (all_erased(word)) return true;
  auto& a = area_of(area);
  if (a.factory || offset > a.size - word.size()) return false;
  auto target = a.bytes().subspan(offset, word.size());
  if (!all_erased(target)) return false;
  std::copy(word.begin(), word.end(), target.begin());
  return true;
}

}  // namespace sim
