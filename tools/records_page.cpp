#include "records_page.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <tuple>

#include "svg_plot.h"

namespace {

constexpr size_t kSpectra = 5;         // the last spectra drawn
constexpr size_t kLatestPasses = 20;   // rows of the table
constexpr int kHistogramBins = 24;
constexpr size_t kDateLabels = 8;      // at most, under the yield over time
constexpr const char* kReadings[] = {"ADC BR", "ADC IMIT", "ADC OD"};

constexpr const char* kStyle = R"css(
body { font: 14px sans-serif; margin: 2em; color: #222; }
h2 { margin-top: 1.6em; font-size: 1.1em; }
.figures b { font-size: 1.3em; margin-right: 1.5em; }
svg { background: #fafafa; border: 1px solid #ddd; }
.axis { font-size: 11px; fill: #555; }
.grid { stroke: #e4e4e4; }
.bar { fill: #4a7ab5; }
.trend, .cumulative-line { fill: none; stroke: #c0392b; stroke-width: 1.5; }
.point, .cumulative { fill: #c0392b; }
.window { stroke: #2e8b57; stroke-width: 2; stroke-dasharray: 5 3; fill: rgba(46, 139, 87, 0.15); }
.spectrum { fill: none; stroke-width: 1.5; opacity: 0.8; }
figure { display: inline-block; margin: 0 1em 1em 0; }
figcaption { font-weight: bold; margin-bottom: 0.3em; }
table { border-collapse: collapse; }
td, th { border-bottom: 1px solid #ddd; padding: 3px 10px; text-align: left; }
.failed, .operator, .program, .cut-off { color: #b03030; }
.passed { color: #2e7d32; }
)css";

constexpr const char* kSpectrumColours[] = {"#1f77b4", "#ff7f0e", "#9467bd", "#8c564b", "#e377c2"};
static_assert(std::size(kSpectrumColours) == kSpectra);

std::string empty(const char* what) { return std::string("<p class=\"empty\">No ") + what + " recorded.</p>\n"; }

std::string figures(const YieldFigures& y) {
  return "<p class=\"figures\">passes <b id=\"passes\">" + std::to_string(y.passes) + "</b> shields <b id=\"shields\">" +
         std::to_string(y.shields) + "</b> first-pass yield <b id=\"first-pass-yield\">" +
         records_percent(y.firstPassed, y.shields) + "</b> final yield <b id=\"yield\">" +
         records_percent(y.finalPassed, y.shields) + "</b></p>\n";
}

// The share of each day's test passes that passed.
std::string yield_over_time(const Loaded& loaded) {
  std::map<std::string, std::pair<size_t, size_t>> days;  // passed, passes
  for (auto& p : loaded.passes)
    if (p.mode == "test") {
      auto& [passed, passes] = days[p.started.substr(0, 10)];
      passed += p.outcome == "passed";
      ++passes;
    }
  if (days.empty()) return empty("test passes");
  SvgPlot plot(-0.5, static_cast<double>(days.size()) - 0.5, 0, 100);
  for (int share : {0, 50, 100}) plot.yLabel(share, std::to_string(share) + " %");
  std::vector<std::pair<double, double>> points;
  std::vector<std::string> titles;
  size_t step = (days.size() + kDateLabels - 1) / kDateLabels;
  for (auto& [day, counts] : days) {
    auto x = static_cast<double>(points.size());
    if (points.size() % step == 0) plot.xLabel(x, day);
    points.emplace_back(x, 100.0 * static_cast<double>(counts.first) / static_cast<double>(counts.second));
    titles.push_back(day + ": " + std::to_string(counts.first) + " of " + std::to_string(counts.second) + " passed");
  }
  plot.line(points, "trend");  // under the points
  for (size_t i = 0; i < points.size(); ++i) plot.point(points[i].first, points[i].second, "point", titles[i]);
  return plot.svg("The share of each day's test passes that passed");
}

std::string pareto(const YieldFigures& y) {
  if (y.failuresPerCheck.empty()) return empty("failures");
  double most = static_cast<double>(y.failuresPerCheck.front().second), total = 0, sum = 0;
  for (auto& f : y.failuresPerCheck) total += static_cast<double>(f.second);
  constexpr size_t kFewestSlots = 8;  // a bar or two are not drawn page-wide
  SvgPlot plot(0, static_cast<double>(std::max(y.failuresPerCheck.size(), kFewestSlots)), 0, most);
  plot.yLabel(0, "0");
  plot.yLabel(most, std::to_string(y.failuresPerCheck.front().second));
  std::vector<std::pair<double, double>> cumulative;
  for (size_t i = 0; i < y.failuresPerCheck.size(); ++i) {
    auto& [name, count] = y.failuresPerCheck[i];
    double x = static_cast<double>(i);
    plot.bar(x + 0.1, x + 0.9, static_cast<double>(count), "bar", name + ": " + std::to_string(count));
    plot.xLabel(x + 0.5, name);
    sum += static_cast<double>(count);
    cumulative.emplace_back(x + 0.5, sum / total * most);  // 100 % at the top
  }
  plot.line(cumulative, "cumulative-line");
  for (auto& [x, v] : cumulative) plot.point(x, v, "cumulative", records_percent(static_cast<size_t>(v / most * 1000), 1000));
  return plot.svg("Failures per check, largest first, with their cumulative share");
}

std::string histogram(const std::string& name, int64_t low, int64_t high, const std::vector<int64_t>& values) {
  int64_t lo = std::min(low, *std::min_element(values.begin(), values.end()));
  int64_t hi = std::max(high, *std::max_element(values.begin(), values.end()));
  double pad = std::max<double>(1.0, static_cast<double>(hi - lo) * 0.1);
  double x0 = static_cast<double>(lo) - pad, x1 = static_cast<double>(hi) + pad, width = (x1 - x0) / kHistogramBins;
  std::vector<size_t> bins(kHistogramBins);
  for (int64_t v : values) ++bins[std::min<size_t>(kHistogramBins - 1, static_cast<size_t>((static_cast<double>(v) - x0) / width))];
  size_t most = *std::max_element(bins.begin(), bins.end());
  SvgPlot plot(x0, x1, 0, static_cast<double>(most), 420, 160);
  plot.yLabel(static_cast<double>(most), std::to_string(most));
  for (int b = 0; b < kHistogramBins; ++b) {
    if (!bins[b]) continue;
    double left = x0 + b * width;
    plot.bar(left, left + width, static_cast<double>(bins[b]), "bar",
             std::to_string(static_cast<int64_t>(left)) + "..." + std::to_string(static_cast<int64_t>(left + width)) +
                 ": " + std::to_string(bins[b]));
  }
  plot.vertical(static_cast<double>(low), "window", "lower limit " + std::to_string(low));
  plot.vertical(static_cast<double>(high), "window", "upper limit " + std::to_string(high));
  plot.xLabel(static_cast<double>(low), std::to_string(low));
  plot.xLabel(static_cast<double>(high), std::to_string(high));
  return "<figure><figcaption>" + html_escape(name) + ", window " + std::to_string(low) + " to " +
         std::to_string(high) + " (" + std::to_string(values.size()) + " readings)</figcaption>\n" +
         plot.svg(name + " readings against their window") + "</figure>\n";
}

std::string histograms(const Loaded& loaded) {
  std::map<std::tuple<std::string, int64_t, int64_t>, std::vector<int64_t>> readings;  // by reading and window
  for (auto& c : loaded.checks)
    for (auto& m : c.measurements)
      if (m.quantity == "ADC" && m.value && m.low && m.high) readings[{c.name, *m.low, *m.high}].push_back(*m.value);
  std::string out;
  for (const char* name : kReadings)
    for (auto& [key, values] : readings)
      if (std::get<0>(key) == name) out += histogram(name, std::get<1>(key), std::get<2>(key), values);
  return out.empty() ? empty("ADC readings") : out;
}

std::string spectra(const Loaded& loaded) {
  std::vector<const CheckRow*> last;
  for (auto at = loaded.checks.rbegin(); at != loaded.checks.rend() && last.size() < kSpectra; ++at)
    if (at->name == "audio" && !at->measurements.empty()) last.push_back(&*at);
  if (last.empty()) return empty("spectra");
  int64_t most = 1;
  for (auto* c : last)
    for (auto& m : c->measurements) most = std::max({most, m.value.value_or(0), m.high.value_or(0)});
  SvgPlot plot(-0.5, static_cast<double>(last.front()->measurements.size()) - 0.5, 0, static_cast<double>(most));
  plot.yLabel(0, "0");
  plot.yLabel(static_cast<double>(most), std::to_string(most));
  std::vector<std::pair<double, double>> low, high;
  for (size_t b = 0; b < last.front()->measurements.size(); ++b) {
    auto& m = last.front()->measurements[b];
    if (m.low && m.high) low.emplace_back(b, *m.low), high.emplace_back(b, *m.high);
    if (b % 3 == 0) plot.xLabel(static_cast<double>(b), std::to_string(b));
  }
  if (!low.empty()) plot.band(low, high, "window");
  std::string legend;
  for (size_t i = 0; i < last.size(); ++i) {
    std::vector<std::pair<double, double>> points;
    for (size_t b = 0; b < last[i]->measurements.size(); ++b)
      points.emplace_back(b, static_cast<double>(last[i]->measurements[b].value.value_or(0)));
    plot.line(points, std::string("spectrum\" style=\"stroke:") + kSpectrumColours[i]);
    const PassRow& p = loaded.passes[last[i]->pass];
    legend += "<span style=\"color:" + std::string(kSpectrumColours[i]) + "\">&#9632; " + html_escape(p.stand) +
              " pass " + std::to_string(p.id) + " (" + html_escape(p.started) + ")</span> ";
  }
  return plot.svg("The last spectra over the reference window of the latest") + "<p>" + legend + "</p>\n";
}

std::string latest(const Loaded& loaded) {
  if (loaded.passes.empty()) return empty("passes");
  std::multimap<size_t, std::string> failed;
  for (auto& c : loaded.checks)
    if (c.outcome == "failed") failed.emplace(c.pass, c.name);
  std::string out = "<table id=\"latest\"><tr><th>stand</th><th>pass</th><th>started (UTC)</th><th>mode</th>"
                    "<th>shield</th><th>identifier</th><th>outcome</th><th>ended</th><th>failed</th></tr>\n";
  size_t shown = 0;
  for (size_t i = loaded.passes.size(); i-- > 0 && shown < kLatestPasses; ++shown) {
    const PassRow& p = loaded.passes[i];
    std::string checks;
    for (auto [at, end] = failed.equal_range(i); at != end; ++at) checks += (checks.empty() ? "" : ", ") + at->second;
    out += "<tr><td>" + html_escape(p.stand) + "</td><td>" + std::to_string(p.id) + "</td><td>" +
           html_escape(p.started) + "</td><td>" + html_escape(p.mode) + "</td><td>" +
           (p.shield ? std::to_string(p.shield->number) : "") + "</td><td>" +
           (p.shield && p.shield->idComplete ? records_idText(p.shield->id) : "") + "</td><td class=\"" +
           html_escape(p.outcome) + "\">" + html_escape(p.outcome) + "</td><td>" + html_escape(p.end) + "</td><td>" +
           html_escape(checks) + "</td></tr>\n";
  }
  return out + "</table>\n";
}

}  // namespace

bool records_writePage(const Loaded& loaded, const std::string& file, std::string& error) {
  YieldFigures y = records_yield(loaded);
  std::ofstream page(file, std::ios::binary | std::ios::trunc);
  page << "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>Stand records</title><style>"
       << kStyle << "</style></head>\n<body>\n<h1>Stand records</h1>\n"
       << figures(y) << "<h2>Yield over time</h2>\n" << yield_over_time(loaded)
       << "<h2>Failures per check</h2>\n" << pareto(y) << "<h2>ADC readings</h2>\n" << histograms(loaded)
       << "<h2>Spectra of the last passes</h2>\n" << spectra(loaded) << "<h2>Latest passes</h2>\n" << latest(loaded)
       << "</body></html>\n";
  page.close();
  if (page) return true;
  error = std::strerror(errno);
  return false;
}
