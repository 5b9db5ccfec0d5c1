#include "shield/shield_flash.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "time/stand_file.h"

namespace sim {
namespace {

struct Area {
  explicit Area(size_t area_size) : size(area_size) {}
  size_t size;
  bool factory = true;
  std::vector<uint8_t> memory;  // the contents while no file is mapped
  uint8_t* mapped = nullptr;    // the area's file, mapped: a word written there is in the file at once
  std::string path;             // its file; empty: in memory only

  std::span<uint8_t> bytes() { return mapped ? std::span(mapped, size) : std::span(memory); }
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

void unmap(Area& a) {
  if (a.mapped) ::munmap(a.mapped, a.size);
  a.mapped = nullptr;
}

// Maps a file of the area's size; false leaves the area as it was.
bool map(Area& a, int fd) {
  void* p = ::mmap(nullptr, a.size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (p == MAP_FAILED) return false;
  unmap(a);
  a.mapped = static_cast<uint8_t*>(p);
  a.memory.clear();
  return true;
}

// A file of another size (not written by this stand) is read, the rest of the
// area erased, and kept in memory until the next erase writes the file anew.
void load(Area& a) {
  unmap(a);
  a.memory.clear();
  // A link is followed only to a file the stand would have written itself.
  std::string target, error;
  bool usable = stand_file_target(a.path, target, error);
  UniqueFd in{usable ? ::open(target.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC) : -1};
  a.factory = usable && in.fd < 0 && errno == ENOENT;
  if (a.factory) return;
  if (!usable) std::fprintf(stderr, "simulated stand: %s; the area reads as erased\n", error.c_str());
  struct stat info {};
  if (in.fd >= 0 && ::fstat(in.fd, &info) == 0 && static_cast<size_t>(info.st_size) == a.size && map(a, in.fd)) return;
  if (usable && in.fd < 0)
    std::fprintf(stderr, "simulated stand: %s: %s; the area reads as erased\n", a.path.c_str(), std::strerror(errno));
  a.memory.assign(a.size, 0xFF);
  size_t done = 0;
  while (in.fd >= 0 && done < a.size) {
    ssize_t n = ::pread(in.fd, a.memory.data() + done, a.size - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
}

// The erased area written to a fresh file that replaces the old one, so that
// no reader ever sees a file half erased, and then mapped.
bool write_erased(Area& a, std::string& error) {
  UniqueFd out;
  if (!stand_file_write(a.path, std::string(a.size, '\xFF'), error, &out)) return false;
  if (map(a, out.fd)) return true;
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
    area_of(area).path = flash_area_path(state_path, area);
    load(area_of(area));
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
    unmap(a);
  }
  a.memory.assign(a.size, 0xFF);
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
