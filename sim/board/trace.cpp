#include "board/trace.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "board/trace_vcd.h"
#include "board/wiring.h"
#include "time/stand_file.h"

namespace sim {
namespace {

// A trace file written as events happen. Kept open until the process ends.
struct Sink {
  std::string path;
  int fd = -1;

  void write(const std::string& text) {
    size_t done = 0;
    while (fd >= 0 && done < text.size()) {
      ssize_t n = ::write(fd, text.data() + done, text.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        std::fprintf(stderr, "simulated stand: trace %s: %s; the rest of the run is not in it\n", path.c_str(),
                     std::strerror(errno));
        fd = -1;
        return;
      }
      done += static_cast<size_t>(n);
    }
  }
};

struct TraceState {
  bool keep = false;
  std::vector<LineEvent> lines;
  std::vector<SpiWindow> windows;
  Sink vcd, log;
  VcdWriter vcd_writer;
  bool window_open = false;
  std::vector<LineEvent> held;  // line changes while a window is open
};

// Never destroyed: a thread may still be inside the stand when the process exits.
TraceState& state() {
  static auto* s = new TraceState;
  return *s;
}

bool writing() { return !state().log.path.empty(); }  // since trace_open

std::string stamp(StandTime time) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "%12.3f ms  ", static_cast<double>(time) / 1000.0);
  return buf;
}

std::string log_text(const LineEvent& e) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%-12s %u\n", trace_line_name(e.gpio).c_str(), e.level);
  return stamp(e.time) + buf;
}

std::string hex_bytes(const std::vector<uint8_t>& bytes) {
  std::string out;
  char buf[4];
  for (auto b : bytes) {
    std::snprintf(buf, sizeof buf, " %02X", b);
    out += buf;
  }
  return out;
}

std::string log_text(const SpiWindow& w) {
  return stamp(w.time) + "CE" + std::to_string(w.chip_select) + "  MOSI" + hex_bytes(w.mosi) + "  MISO" +
         hex_bytes(w.miso) + "\n";
}

UniqueFd create(const std::string& path) { return UniqueFd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644)); }

}  // namespace

bool trace_open(const std::string& dir, const std::string& program, std::string& error) {
  StandLock lock(stand_mutex());
  auto& s = state();
  if (writing()) return error = "the trace is already written to " + s.log.path, false;
  if (program.empty() || program.find('/') != std::string::npos)
    return error = "cannot name a trace after \"" + program + "\"", false;
  std::string base = (dir.empty() ? "." : dir) + "/" + program;
  for (int n = 1; n < 1000; ++n) {
    std::string stem = n == 1 ? base : base + "." + std::to_string(n);
    UniqueFd vcd = create(stem + ".vcd");
    if (vcd.fd < 0 && errno == EEXIST) continue;
    if (vcd.fd < 0) return error = stem + ".vcd: " + std::strerror(errno), false;
    UniqueFd log = create(stem + ".log");
    if (log.fd < 0) {
      int e = errno;
      ::unlink((stem + ".vcd").c_str());
      if (e == EEXIST) continue;
      return error = stem + ".log: " + std::strerror(e), false;
    }
    s.vcd = {stem + ".vcd", vcd.release()};
    s.log = {stem + ".log", log.release()};
    s.vcd.write(s.vcd_writer.header(clock_now_locked(lock)));
    return true;
  }
  return error = "no free trace file name for " + base, false;
}

std::string trace_vcd_path() {
  StandLock lock(stand_mutex());
  return state().vcd.path;
}

std::string trace_log_path() {
  StandLock lock(stand_mutex());
  return state().log.path;
}

void trace_keep_in_memory(bool keep) {
  StandLock lock(stand_mutex());
  auto& s = state();
  s.keep = keep;
  if (!keep) {
    std::vector<LineEvent>().swap(s.lines);
    std::vector<SpiWindow>().swap(s.windows);
  }
}

std::vector<LineEvent> trace_lines() {
  StandLock lock(stand_mutex());
  return state().lines;
}

std::vector<SpiWindow> trace_windows() {
  StandLock lock(stand_mutex());
  return state().windows;
}

std::string trace_line_name(uint8_t gpio) {
  auto* l = wiring_line(gpio);
  return l ? l->name : "gpio" + std::to_string(gpio);
}

void trace_line_locked(StandTime time, uint8_t gpio, uint8_t level) {
  auto& s = state();
  LineEvent e{time, gpio, level};
  if (s.keep) s.lines.push_back(e);
  if (!writing()) return;
  if (s.window_open) return s.held.push_back(e);
  s.log.write(log_text(e));
  s.vcd.write(s.vcd_writer.line(e));
}

void trace_note_locked(StandTime time, const std::string& text) {
  if (writing() && !state().window_open) state().log.write(stamp(time) + "-- " + text + "\n");
}

void trace_window_begin_locked() { state().window_open = true; }

void trace_window_locked(SpiWindow window) {
  auto& s = state();
  s.window_open = false;
  if (writing()) {
    // The window goes before the line changes held while it was open, except
    // those at its very start (its own chip select going active).
    std::string log;
    auto later = std::find_if(s.held.begin(), s.held.end(), [&](auto& e) { return e.time > window.time; });
    for (auto e = s.held.begin(); e != later; ++e) log += log_text(*e);
    log += log_text(window);
    for (auto e = later; e != s.held.end(); ++e) log += log_text(*e);
    s.log.write(log);
    s.vcd.write(s.vcd_writer.window(window, s.held));
    s.held.clear();
  }
  if (s.keep) s.windows.push_back(std::move(window));
}

}  // namespace sim
