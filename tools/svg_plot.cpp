#include "svg_plot.h"

#include <algorithm>
#include <cstdio>

namespace {

// The plot area's margins, for the axis labels.
constexpr double kLeft = 48, kRight = 12, kTop = 12, kBottom = 28;

std::string number(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", v);
  return text;
}


}  // namespace

std::string html_escape(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

SvgPlot::SvgPlot(double x0, double x1, double y0, double y1, int width, int height)
    : x0_(x0), x1_(x1), y0_(y0), y1_(y1), width_(width), height_(height) {}

double SvgPlot::px(double x) const { return kLeft + (x - x0_) / (x1_ - x0_) * (width_ - kLeft - kRight); }

double SvgPlot::py(double y) const {
  y = std::clamp(y, y0_, y1_);
  return height_ - kBottom - (y - y0_) / (y1_ - y0_) * (height_ - kTop - kBottom);
}

void SvgPlot::bar(double left, double right, double value, std::string_view cls, std::string_view title) {
  double top = py(value), bottom = py(y0_);
  marks_ += "<rect class=\"" + std::string(cls) + "\" x=\"" + number(px(left)) + "\" y=\"" + number(top) +
            "\" width=\"" + number(std::max(1.0, px(right) - px(left) - 1)) + "\" height=\"" + number(bottom - top) +
            "\"><title>" + html_escape(title) + "</title></rect>\n";
}

void SvgPlot::point(double x, double y, std::string_view cls, std::string_view title) {
  marks_ += "<circle class=\"" + std::string(cls) + "\" cx=\"" + number(px(x)) + "\" cy=\"" + number(py(y)) +
            "\" r=\"3.5\"><title>" + html_escape(title) + "</title></circle>\n";
}

void SvgPlot::line(const std::vector<std::pair<double, double>>& points, std::string_view cls) {
  std::string text;
  for (auto& [x, y] : points) text += number(px(x)) + "," + number(py(y)) + " ";
  marks_ += "<polyline class=\"" + std::string(cls) + "\" points=\"" + text + "\"/>\n";
}

void SvgPlot::band(const std::vector<std::pair<double, double>>& low, const std::vector<std::pair<double, double>>& high,
                   std::string_view cls) {
  std::string text;
  for (auto& [x, y] : high) text += number(px(x)) + "," + number(py(y)) + " ";
  for (auto at = low.rbegin(); at != low.rend(); ++at) text += number(px(at->first)) + "," + number(py(at->second)) + " ";
  marks_ += "<polygon class=\"" + std::string(cls) + "\" points=\"" + text + "\"/>\n";
}

void SvgPlot::vertical(double x, std::string_view cls, std::string_view label) {
  marks_ += "<line class=\"" + std::string(cls) + "\" x1=\"" + number(px(x)) + "\" x2=\"" + number(px(x)) + "\" y1=\"" +
            number(kTop) + "\" y2=\"" + number(height_ - kBottom) + "\"><title>" + html_escape(label) +
            "</title></line>\n";
}

void SvgPlot::xLabel(double x, std::string_view text) {
  marks_ += "<text class=\"axis\" text-anchor=\"middle\" x=\"" + number(px(x)) + "\" y=\"" +
            number(height_ - kBottom + 16) + "\">" + html_escape(text) + "</text>\n";
}

void SvgPlot::yLabel(double y, std::string_view text) {
  marks_ += "<line class=\"grid\" x1=\"" + number(kLeft) + "\" x2=\"" + number(width_ - kRight) + "\" y1=\"" +
            number(py(y)) + "\" y2=\"" + number(py(y)) + "\"/>\n<text class=\"axis\" text-anchor=\"end\" x=\"" +
            number(kLeft - 6) + "\" y=\"" + number(py(y) + 4) + "\">" + html_escape(text) + "</text>\n";
}

std::string SvgPlot::svg(std::string_view title) const {
  return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(width_) + "\" height=\"" +
         std::to_string(height_) + "\" role=\"img\"><title>" + html_escape(title) + "</title>\n" + marks_ + "</svg>\n";
}
