// velk-records' report page: one self-contained HTML file (no scripts, no
// outside resources) with the figures, the yield over time, the failures per
// check as a Pareto chart, a histogram of each ADC reading with its window,
// the last spectra over their reference window, and the latest passes.
#pragma once
#include <string>

#include "records_text.h"

// Writes the page of the passes and checks (with measurements) loaded; false
// with `error` when the file cannot be written.
bool records_writePage(const Loaded& loaded, const std::string& file, std::string& error);
