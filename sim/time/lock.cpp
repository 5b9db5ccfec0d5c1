#include "time/lock.h"

namespace sim {

std::mutex& stand_mutex() {
  static auto* m = new std::mutex;
  return *m;
}

std::condition_variable& stand_turn() {
  static auto* cv = new std::condition_variable;
  return *cv;
}

}  // namespace sim
