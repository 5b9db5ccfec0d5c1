#include "spectrum_svg.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>

namespace {

constexpr int kWidth = 760, kHeight = 400;
constexpr int kLeft = 60, kRight = 20, kTop = 50, kBottom = 60;
constexpr int kPlotH = kHeight - kTop - kBottom;
constexpr double kBinW = double(kWidth - kLeft - kRight) / _NUMB_DETECT_HARMONIC;
constexpr double kBinHz = 44100.0 / 128;
constexpr uint32_t kTicks[] = {0, 1, 2, 5, 10, 20, 50, 100, 200, 500, 1000};

// Square-root scale: the DC bin (about 130) and the tone (about 45) fit beside
// bins of 1 or 2 without flattening them.
struct Scale {
  double top;
  double y(double v) const { return kTop + kPlotH * (1.0 - std::sqrt(v / top)); }
};

std::string format(const char* fmt, auto... args) {
  char text[1024];
  std::snprintf(text, sizeof text, fmt, args...);
  return text;
}

}  // namespace

std::string spectrum_svg(const uint32_t* average, const harmonic_st* reference, const std::string& title) {
  uint32_t highest = 1;
  for (int b = 0; b < _NUMB_DETECT_HARMONIC; ++b)
    highest = std::max({highest, average[b], reference ? harmonic_high(*reference, b) : 0});
  const Scale scale{highest * 1.1};
  std::string svg = format(
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" font-family=\"sans-serif\" "
      "font-size=\"12\">\n<rect width=\"100%%\" height=\"100%%\" fill=\"white\"/>\n",
      kWidth, kHeight);
  svg += "<text x=\"" + std::to_string(kLeft) + "\" y=\"24\" font-size=\"15\">" + title + "</text>\n";
  for (uint32_t tick : kTicks) {
    if (tick > scale.top) break;
    svg += format(
        "<line x1=\"%d\" x2=\"%d\" y1=\"%.1f\" y2=\"%.1f\" stroke=\"#ddd\"/><text x=\"%d\" y=\"%.1f\" "
        "text-anchor=\"end\">%u</text>\n",
        kLeft, kWidth - kRight, scale.y(tick), scale.y(tick), kLeft - 6, scale.y(tick) + 4, tick);
  }
  int outside = 0;
  for (int b = 0; b < _NUMB_DETECT_HARMONIC; ++b) {
    const double x = kLeft + b * kBinW;
    bool inside = true;
    if (reference) {
      inside = harmonic_inTolerance(*reference, b, average[b]);
      const double y1 = scale.y(harmonic_high(*reference, b)), y0 = scale.y(harmonic_low(*reference, b));
      svg += format("<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"#c8ecc8\"/>\n", x + 2, y1,
                    kBinW - 4, std::max(y0 - y1, 1.0));
    }
    outside += !inside;
    const double y = scale.y(average[b]);
    svg += format(
        "<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"%s\"><title>bin %d, %.0f Hz: %u"
        "</title></rect>\n<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"middle\">%u</text>\n"
        "<text x=\"%.1f\" y=\"%d\" text-anchor=\"middle\">%d</text>\n",
        x + kBinW / 2 - 6, y, 12.0, kTop + kPlotH - y, inside ? "#3465a4" : "#cc0000", b, b * kBinHz, average[b],
        x + kBinW / 2, y - 4, average[b], x + kBinW / 2, kTop + kPlotH + 16, b);
  }
  svg += format("<text x=\"%d\" y=\"%d\">бин (%.1f Гц)%s</text>\n", kLeft, kHeight - 14, kBinHz,
                reference
                    ? format(", зелёным: допуск эталона; вне допуска: %d из %d", outside, _NUMB_DETECT_HARMONIC).c_str()
                    : ", эталона нет");
  return svg + "</svg>\n";
}

bool spectrum_svg_write(const char* path, const uint32_t* average, const harmonic_st* reference,
                        const std::string& title) {
  const std::string temp = std::string(path) + ".new";
  {
    std::ofstream out(temp, std::ios::trunc);
    out << spectrum_svg(average, reference, title);
    if (!out.flush()) return false;
  }
  return std::rename(temp.c_str(), path) == 0;
}
