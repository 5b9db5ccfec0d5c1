#include "shield_flash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "stand_files.h"

namespace sim {
namespace {

struct Area {
  explicit Area(size_t area_size) : size(area_size) {}
  size_t size;
  bool factory = true;
  std::vector<uint8_t> bytes;  // size bytes unless factory
  std::string path;            // its file; empty: in memory only
  int fd = -1;                 // open for the words programmed into it
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

void close_file(Area& a) {
  if (a.fd >= 0) ::close(a.fd);
  a.fd = -1;
}

void load(Area& a) {
  close_file(a);
  a.fd = ::open(a.path.c_str(), O_RDWR | O_CLOEXEC);
  if (a.fd < 0) {
    if (errno != ENOENT)
      std::fprintf(stderr, "simulated stand: %s: %s; the area reads as erased\n", a.path.c_str(), std::strerror(errno));
    a.factory = errno == ENOENT;
    a.bytes.assign(a.factory ? 0 : a.size, 0xFF);
    return;
  }
  a.factory = false;
  a.bytes.assign(a.size, 0xFF);
  size_t done = 0;
  while (done < a.size) {
    ssize_t n = ::pread(a.fd, a.bytes.data() + done, a.size - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // a short file: the rest is erased
    done += static_cast<size_t>(n);
  }
}

// The erased area written to a fresh file that replaces the old one, so that
// no reader ever sees a file half erased.
bool write_erased(Area& a, std::string& error) {
  std::string temp = a.path + ".XXXXXX";
  int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  bool ok = fd >= 0 && ::fchmod(fd, 0644) == 0 &&
            ::pwrite(fd, a.bytes.data(), a.size, 0) == static_cast<ssize_t>(a.size) && ::fsync(fd) == 0 &&
            ::rename(temp.c_str(), a.path.c_str()) == 0;
  if (!ok) {
    error = "cannot write " + a.path + ": " + std::strerror(errno);
    if (fd >= 0) ::close(fd), ::unlink(temp.c_str());
    return false;
  }
  close_file(a);
  a.fd = fd;
  return true;
}

}  // namespace

void flash_reload_locked(const StandLock&, const std::string& state_path) {
  auto& f = flash();
  f.state_path = state_path;
  if (state_path.empty()) return;
  StandFileLock lock(state_path, false);
  for (auto area : {FlashArea::application, FlashArea::bootloader}) {
    area_of(area).path = flash_area_path(state_path, area);
    load(area_of(area));
  }
}

ImageInfo flash_contents_locked(const StandLock&, FlashArea area, ImageInfo factory) {
  auto& a = area_of(area);
  return a.factory ? factory : image_inspect(a.bytes);
}

bool flash_erase_locked(const StandLock&, FlashArea area, std::string& error) {
  auto& a = area_of(area);
  a.factory = false;
  a.bytes.assign(a.size, 0xFF);
  if (a.path.empty()) return true;
  StandFileLock lock(flash().state_path, true);
  return write_erased(a, error);
}

bool flash_program_locked(const StandLock&, FlashArea area, size_t offset, std::span<const uint8_t, 4> word) {
  if (all_erased(word)) return true;
  auto& a = area_of(area);
  if (a.factory || offset > a.size - word.size()) return false;
  auto target = std::span(a.bytes).subspan(offset, word.size());
  if (!all_erased(target)) return false;
  std::copy(word.begin(), word.end(), target.begin());
  return a.fd < 0 || ::pwrite(a.fd, word.data(), word.size(), static_cast<off_t>(offset)) == 4;
}

}  // namespace sim
