#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>

#include "board/board.h"
#include "time/stand_file.h"

namespace sim {
namespace {

// board.lines: a fixed layout, so that a program can keep it mapped and
// change one digit in place.
constexpr std::string_view kBoardHeader =
    "# The Pi's GPIO lines 0..53 as the board keeps them until power-off:\n"
    "# function select (0 input, 1 output, 4 ALT0...) and output latch (0 LOW, 1 HIGH).\n";
constexpr std::string_view kFselRow = "fsel  ";
constexpr std::string_view kLatchRow = "latch ";
constexpr size_t kFselAt = kBoardHeader.size() + kFselRow.size();
constexpr size_t kLatchAt = kFselAt + kGpioLines + 1 + kLatchRow.size();
constexpr size_t kBoardFileSize = kLatchAt + kGpioLines + 1;

std::string board_text(const BoardLines& lines) {
  return std::string(kBoardHeader) + std::string(kFselRow) + std::string(lines.fsel, kGpioLines) + "\n" +
         std::string(kLatchRow) + std::string(lines.latch, kGpioLines) + "\n";
}

bool digits_in(const char* row, char highest) {
  for (size_t g = 0; g < kGpioLines; ++g)
    if (row[g] < '0' || row[g] > highest) return false;
  return true;
}

bool is_board_text(std::string_view text) {
  return text.size() == kBoardFileSize && text.starts_with(kBoardHeader) &&
         text.substr(kBoardHeader.size(), kFselRow.size()) == kFselRow &&
         text.substr(kFselAt + kGpioLines, 1 + kLatchRow.size()) == std::string("\n") + std::string(kLatchRow) &&
         text.back() == '\n' && digits_in(text.data() + kFselAt, '7') && digits_in(text.data() + kLatchAt, '1');
}

}  // namespace

std::string board_lines_path(const std::string& state_path) { return stand_file_beside(state_path, "board.lines"); }

bool board_lines_map(const std::string& state_path, const BoardLines& initial, BoardLines& lines, std::string& error) {
  std::string path = board_lines_path(state_path);
  StandFileLock lock(state_path, true);
  std::string target;
  if (!lock.held()) {
    error = lock.error();
    return false;
  }
  if (!stand_file_target(path, target, error)) return false;
  if (::access(target.c_str(), F_OK) != 0 && !stand_file_update(path, board_text(initial), error)) return false;
  UniqueFd file{::open(target.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)};
  struct stat info;
  if (file.fd < 0 || ::fstat(file.fd, &info) != 0) {
    error = path + ": cannot be opened: " + std::strerror(errno);
    return false;
  }
  StandFileMapping map;
  if (S_ISREG(info.st_mode) && static_cast<size_t>(info.st_size) == kBoardFileSize)
    map = StandFileMapping(file.fd, kBoardFileSize);
  auto* text = reinterpret_cast<char*>(map.bytes().data());
  if (!map || !is_board_text({text, kBoardFileSize})) {
    error = path + ": not the board's lines (remove it to power the board up)";
    return false;
  }
  map.release();  // mapped for the rest of the program
  lines = {text + kFselAt, text + kLatchAt};
  return true;
}

}  // namespace sim
