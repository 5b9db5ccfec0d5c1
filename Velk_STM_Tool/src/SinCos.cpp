#include "SinCos.h"

#include "const_trig.h"

namespace {

constexpr int32_t rounded(double v) { return static_cast<int32_t>(v < 0 ? v - 0.5 : v + 0.5); }

constexpr std::array<int32_t, 360> make_sin() {
  std::array<int32_t, 90> q{};
  for (int j = 0; j < 90; ++j) q[j] = rounded(10000.0 * const_sin((j < 10 ? j + 1 : j) * kConstPi / 180));
  std::array<int32_t, 360> t{};
  for (int j = 0; j < 90; ++j) {
    t[j] = q[j];
    t[90 + j] = q[89 - j];
    t[180 + j] = -q[j];
    t[270 + j] = -q[89 - j];
  }
  return t;
}

constexpr std::array<int32_t, 360> make_cos(const std::array<int32_t, 360>& sine) {
  std::array<int32_t, 360> t{};
  for (int i = 0; i < 360; ++i) t[i] = -sine[(i + 90) % 360];
  return t;
}

}  // namespace

constexpr std::array<int32_t, 360> sinTab = make_sin();
constexpr std::array<int32_t, 360> cosTab = make_cos(sinTab);
static_assert(sinTab[0] == 175 && sinTab[9] == 1736 && sinTab[10] == 1736 && sinTab[89] == 9998);
static_assert(cosTab[0] == -9998 && cosTab[90] == 175 && cosTab[180] == 9998);

int32_t sin_calc(uint32_t angle) { return sinTab[angle % 360]; }
int32_t cos_calc(uint32_t angle) { return cosTab[angle % 360]; }
