#include "records_text.h"

#include <algorithm>
#include <map>
#include <string_view>
#include <unordered_map>

namespace {

bool is_test(const PassRow& p) { return p.mode == "test"; }

std::string shield_key(const PassRow& p) {
  if (p.shield && p.shield->idComplete) return records_idText(p.shield->id);
  return p.stand + "#" + std::to_string(p.id);
}

std::string optional_text(const std::optional<int64_t>& v) { return v ? std::to_string(*v) : ""; }

// "2600[2500,2700]" per measurement, "!" after one out of its window.
std::string measured_text(const CheckRow& c) {
  std::string text;
  for (auto& m : c.measurements) {
    if (!text.empty()) text += ' ';
    text += (m.value ? std::to_string(*m.value) : "-") + "[" + optional_text(m.low) + "," + optional_text(m.high) + "]";
    if (m.ok && !*m.ok) text += '!';
  }
  return text;
}

std::string csv_field(std::string_view s) {
  if (s.find_first_of(",\"\n") == std::string_view::npos) return std::string(s);
  std::string quoted = "\"";
  for (char c : s) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

std::string json_string(std::string_view s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string json_number(const std::optional<int64_t>& v) { return v ? std::to_string(*v) : "null"; }

}  // namespace

void records_sort(Loaded& loaded) {
  std::vector<size_t> order(loaded.passes.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return loaded.passes[a].started < loaded.passes[b].started; });
  std::vector<size_t> moved(order.size());
  std::vector<PassRow> passes;
  passes.reserve(order.size());
  for (size_t i = 0; i < order.size(); ++i) {
    moved[order[i]] = i;
    passes.push_back(std::move(loaded.passes[order[i]]));
  }
  loaded.passes = std::move(passes);
  for (auto& c : loaded.checks) c.pass = moved[c.pass];
  std::stable_sort(loaded.checks.begin(), loaded.checks.end(), [](auto& a, auto& b) { return a.pass < b.pass; });
}

YieldFigures records_yield(const Loaded& loaded) {
  YieldFigures y;
  struct Shield {
    const PassRow* first;
    const PassRow* last;
  };
  std::unordered_map<std::string, Shield> shields;
  constexpr std::pair<std::string_view, size_t YieldFigures::*> kOutcomes[] = {
      {"passed", &YieldFigures::passed},        {"failed", &YieldFigures::failed},
      {"operator", &YieldFigures::byOperator}, {"program", &YieldFigures::byProgram},
      {"cut-off", &YieldFigures::cutOff},
  };
  for (auto& p : loaded.passes) {
    if (!is_test(p)) continue;
    ++y.passes;
    for (auto& [name, field] : kOutcomes)
      if (p.outcome == name) ++(y.*field);
    auto [at, added] = shields.try_emplace(shield_key(p), Shield{&p, &p});
    if (!added) at->second.last = &p;  // the passes come oldest first
  }
  y.shields = shields.size();
  for (auto& [key, s] : shields) {
    y.firstPassed += s.first->outcome == "passed";
    y.finalPassed += s.last->outcome == "passed";
  }
  std::map<std::string, size_t> failures;
  for (auto& c : loaded.checks)
    if (c.outcome == "failed" && is_test(loaded.passes[c.pass])) ++failures[c.name];
  y.failuresPerCheck.assign(failures.begin(), failures.end());
  std::stable_sort(y.failuresPerCheck.begin(), y.failuresPerCheck.end(),
                   [](auto& a, auto& b) { return a.second > b.second; });
  return y;
}

std::string records_percent(size_t part, size_t whole) {
  if (whole == 0) return "-";
  char text[16];
  std::snprintf(text, sizeof text, "%.1f %%", 100.0 * static_cast<double>(part) / static_cast<double>(whole));
  return text;
}

void records_printYield(const YieldFigures& y, std::FILE* out) {
  std::fprintf(out, "passes            %zu (passed %zu, failed %zu, ended by the operator %zu, by the program %zu, "
               "cut off %zu)\n", y.passes, y.passed, y.failed, y.byOperator, y.byProgram, y.cutOff);
  std::fprintf(out, "shields           %zu\n", y.shields);
  std::fprintf(out, "first-pass yield  %s (%zu of %zu)\n", records_percent(y.firstPassed, y.shields).c_str(),
               y.firstPassed, y.shields);
  std::fprintf(out, "final yield       %s (%zu of %zu)\n", records_percent(y.finalPassed, y.shields).c_str(),
               y.finalPassed, y.shields);
  std::fprintf(out, "failures per check%s\n", y.failuresPerCheck.empty() ? ": none" : "");
  for (auto& [name, count] : y.failuresPerCheck) std::fprintf(out, "  %-16s%zu\n", name.c_str(), count);
}

void records_printShield(const Loaded& loaded, const uint32_t* id, int64_t number, std::FILE* out) {
  std::multimap<size_t, std::string> failed;
  for (auto& c : loaded.checks)
    if (c.outcome == "failed") failed.emplace(c.pass, c.name);
  std::fprintf(out, "%-12s %5s  %-24s %-8s %-6s %-8s %-10s %-20s %-32s %s\n", "stand", "pass", "started", "mode",
               "number", "firmware", "outcome", "failed", "flashed", "ended");
  for (size_t i = 0; i < loaded.passes.size(); ++i) {
    const PassRow& p = loaded.passes[i];
    if (!p.shield || (id ? !p.shield->idComplete || !std::equal(id, id + 3, p.shield->id) : p.shield->number != number))
      continue;
    std::string checks, flashed;
    for (auto [at, end] = failed.equal_range(i); at != end; ++at) checks += (checks.empty() ? "" : ",") + at->second;
    for (auto& f : p.flashings) flashed += (flashed.empty() ? "" : ", ") + f;
    std::fprintf(out, "%-12s %5lld  %-24s %-8s %-6lld %-8lld %-10s %-20s %-32s %s\n", p.stand.c_str(),
                 static_cast<long long>(p.id), p.started.c_str(), p.mode.c_str(),
                 static_cast<long long>(p.shield->number), static_cast<long long>(p.shield->firmware),
                 p.outcome.c_str(), checks.empty() ? "-" : checks.c_str(), flashed.empty() ? "-" : flashed.c_str(),
                 p.end.c_str());
  }
}

void records_printCsv(const Loaded& loaded, std::FILE* out) {
  std::fprintf(out, "stand,pass,started,mode,edition,number,id,check,outcome,measured\n");
  for (auto& c : loaded.checks) {
    const PassRow& p = loaded.passes[c.pass];
    std::string number = p.shield ? std::to_string(p.shield->number) : "";
    std::string id = p.shield && p.shield->idComplete ? records_idText(p.shield->id) : "";
    std::fprintf(out, "%s,%lld,%s,%s,%s,%s,%s,%s,%s,%s\n", csv_field(p.stand).c_str(), static_cast<long long>(p.id),
                 p.started.c_str(), p.mode.c_str(), p.edition.c_str(), number.c_str(), csv_field(id).c_str(),
                 csv_field(c.name).c_str(), c.outcome.c_str(), csv_field(measured_text(c)).c_str());
  }
}

void records_printJson(const Loaded& loaded, std::FILE* out) {
  std::fprintf(out, "[");
  const char* separator = "\n";
  for (auto& c : loaded.checks) {
    const PassRow& p = loaded.passes[c.pass];
    std::string id = p.shield && p.shield->idComplete ? json_string(records_idText(p.shield->id)) : "null";
    std::fprintf(out, "%s  {\"stand\": %s, \"pass\": %lld, \"started\": %s, \"mode\": %s, \"edition\": %s, ",
                 separator, json_string(p.stand).c_str(), static_cast<long long>(p.id),
                 json_string(p.started).c_str(), json_string(p.mode).c_str(), json_string(p.edition).c_str());
    std::fprintf(out, "\"number\": %s, \"id\": %s, \"check\": %s, \"outcome\": %s, \"measured\": [",
                 p.shield ? std::to_string(p.shield->number).c_str() : "null", id.c_str(),
                 json_string(c.name).c_str(), json_string(c.outcome).c_str());
    for (size_t i = 0; i < c.measurements.size(); ++i) {
      auto& m = c.measurements[i];
      std::fprintf(out, "%s{\"quantity\": %s, \"value\": %s, \"low\": %s, \"high\": %s, \"ok\": %s}", i ? ", " : "",
                   json_string(m.quantity).c_str(), json_number(m.value).c_str(), json_number(m.low).c_str(),
                   json_number(m.high).c_str(), m.ok ? (*m.ok ? "true" : "false") : "null");
    }
    std::fprintf(out, "]}");
    separator = ",\n";
  }
  std::fprintf(out, "\n]\n");
}
