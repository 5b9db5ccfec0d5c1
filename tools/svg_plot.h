// Small inline SVG charts for the report page: a plot area with data ranges
// mapped onto it, and the marks the page draws (bars, points, lines, bands,
// axis labels). Each mark carries a class the page's style (and a test) can find.
#pragma once
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Text made safe inside HTML and SVG.
std::string html_escape(std::string_view text);

class SvgPlot {
 public:
  // Data ranges x0..x1 and y0..y1 (each x1 > x0, y1 > y0).
  SvgPlot(double x0, double x1, double y0, double y1, int width = 640, int height = 240);

  void bar(double left, double right, double value, std::string_view cls, std::string_view title);
  void point(double x, double y, std::string_view cls, std::string_view title);
  void line(const std::vector<std::pair<double, double>>& points, std::string_view cls);
  // A band from low to high over x (low and high drawn as one closed shape).
  void band(const std::vector<std::pair<double, double>>& low, const std::vector<std::pair<double, double>>& high,
            std::string_view cls);
  void vertical(double x, std::string_view cls, std::string_view label);
  void xLabel(double x, std::string_view text);
  void yLabel(double y, std::string_view text);  // with a grid line

  std::string svg(std::string_view title) const;

 private:
  double px(double x) const;
  double py(double y) const;
  double x0_, x1_, y0_, y1_;
  int width_, height_;
  std::string marks_;
};
