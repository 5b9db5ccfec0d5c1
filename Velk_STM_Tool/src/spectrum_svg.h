// A picture of a measured audio spectrum for the stand engineer: the averaged
// amplitude of each judged bin against the reference window of the shield.
#pragma once
#include <cstdint>
#include <string>

#include "Harmonic.h"

inline constexpr const char* _SPECTRUM_SVG = "audio_spectrum.svg";

// The SVG text: bins 0..21 of `average`, each with its window from `reference`
// (none when nullptr) and drawn red when outside it. `title` heads the picture.
std::string spectrum_svg(const uint32_t* average, const harmonic_st* reference, const std::string& title);

// Writes the picture to `path` whole (a temporary file renamed over the old
// one). Returns false when it cannot be written; the stand prints nothing about it.
bool spectrum_svg_write(const char* path, const uint32_t* average, const harmonic_st* reference,
                        const std::string& title);
