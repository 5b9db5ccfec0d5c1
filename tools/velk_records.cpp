// velk-records: the stand engineer's view of the stands' pass databases
// (stand-records.sqlite): the yield, a shield's history, the check results as
// CSV or JSON, and a report page. Exit status: 0 done, 1 a database cannot be
// read, 2 bad options.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <string>
#include <vector>

#include "records_load.h"
#include "records_page.h"
#include "records_text.h"

namespace {

constexpr int kBadDatabase = 1;
constexpr int kBadOptions = 2;

int refuse(const std::string& message, int status) {
  std::fprintf(stderr, "velk-records: %s\n", message.c_str());
  return status;
}

bool load(const std::vector<std::string>& files, const PassFilter& filter, CheckRows which, bool flashings,
          Loaded& loaded, std::string& error) {
  for (auto& file : files) {
    Database db = records_open(file, error);
    size_t first = loaded.passes.size();
    if (!db || !records_passes(db, filter, loaded.passes, error) ||
        !records_checks(db, loaded.passes, first, which, loaded.checks, error) ||
        (flashings && !records_flashings(db, loaded.passes, first, error))) {
      if (db) error = file + ": " + error;
      return false;
    }
  }
  records_sort(loaded);  // a clock set back on a stand, several stands
  return true;
}

// A shield number (1 to 99) or its identifier.
bool parse_shield(const std::string& text, uint32_t (&id)[3], int64_t& number) {
  number = 0;
  if (!text.empty() && text.size() <= 2 && text.find_first_not_of("0123456789") == std::string::npos) {
    number = std::stoi(text);
    return number > 0;
  }
  return records_parseId(text, id);
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"The stands' pass databases: yield, a shield's history, the check results, a report page."};
  app.fallthrough();
  app.require_subcommand(1);
  std::vector<std::string> files{RECORD_FILE};
  app.add_option("--db", files, "a stand's pass database; several are read together")
      ->default_str(RECORD_FILE)
      ->take_all();
  PassFilter filter;
  auto add_filter = [&](CLI::App* command) {
    command->add_option("--since", filter.since, "passes started on or after DATE (YYYY-MM-DD[THH:MM[:SS]], UTC)");
    command->add_option("--until", filter.until, "passes started up to DATE, that day included");
    command->add_option("--edition", filter.edition, "general or kordent")->check(CLI::IsMember({"general", "kordent"}));
  };
  auto* yield = app.add_subcommand("yield", "passes, shields, first-pass and final yield, failures per check");
  add_filter(yield);
  auto* shield = app.add_subcommand("shield", "one shield's passes in order, what failed and what was flashed");
  std::string shieldText;
  shield->add_option("SHIELD", shieldText, "its identifier W0,W1,W2 (hexadecimal) or its number")->required();
  auto* exported = app.add_subcommand("export", "one row per check result");
  add_filter(exported);
  bool csv = false, json = false;
  auto* csvFlag = exported->add_flag("--csv", csv, "as CSV");
  exported->add_flag("--json", json, "as JSON")->excludes(csvFlag);
  auto* report = app.add_subcommand("report", "a page with the yield, the failures and the measurements");
  add_filter(report);
  std::string page;
  report->add_option("--html", page, "the page to write")->required();
  try {
    app.parse(argc, argv);
    if (exported->parsed() && !csv && !json) throw CLI::RequiredError("--csv or --json");
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return kBadOptions;
  }
  for (auto* date : {&filter.since, &filter.until})
    if (!date->empty() && !records_dateValid(*date))
      return refuse(*date + ": not a date (YYYY-MM-DD, or YYYY-MM-DDTHH:MM[:SS])", kBadOptions);
  uint32_t id[3] = {};
  int64_t number = 0;
  if (shield->parsed() && !parse_shield(shieldText, id, number))
    return refuse(shieldText + ": not a shield number (1 to 99) nor three hexadecimal words W0,W1,W2", kBadOptions);

  Loaded loaded;
  std::string error;
  CheckRows which = exported->parsed() || report->parsed() ? CheckRows::measured : CheckRows::failed;
  if (!load(files, filter, which, shield->parsed(), loaded, error)) return refuse(error, kBadDatabase);
  if (yield->parsed()) records_printYield(records_yield(loaded), stdout);
  if (shield->parsed()) records_printShield(loaded, number ? nullptr : id, number, stdout);
  if (exported->parsed()) (csv ? records_printCsv : records_printJson)(loaded, stdout);
  if (report->parsed() && !records_writePage(loaded, page, error)) return refuse(page + ": " + error, kBadDatabase);
  return 0;
}
