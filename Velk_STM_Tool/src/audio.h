// The audio check of a test pass, and the spectrum reading of the "-harmonic" mode.
#pragma once

inline constexpr int _AUDIO_CAPTURES = 10;  // captures averaged into one measurement

// Judges the averaged spectrum of ten captures against the shield's reference;
// a failure sets _ERROR_AUDIO and asks the operator (repeat, continue, abort).
void menu_block_AudioTest();

// Measures and prints the averaged spectrum; no judgement, no failure bit.
void menu_block_HarmonicRead();
