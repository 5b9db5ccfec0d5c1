// One capture of the audio check: the test tone is played, the shield's audio
// path recorded through the ALSA tools, 128 samples transformed, and the
// amplitudes of bins 0..63 left in famp.
#pragma once
#include <cstdint>
#include <cstdio>

inline constexpr const char* _AUDIO_PLAYER = "aplay 1kHz_44100Hz_16bit_05sec.wav";
inline constexpr const char* _AUDIO_RECORDER = "arecord -D lp -c1 -r 44100 -f U8";
inline constexpr unsigned _AUDIO_PLAY_LEAD_MS = 2000;  // the tone plays this long before recording
inline constexpr int _AUDIO_SKIP = 1024;               // recorder bytes before the samples
inline constexpr int _AUDIO_SAMPLES = 128;
// The value of samples a recorder's stream ended before delivering: the
// silence level, so a stream cut short reads as a quiet path, never as old data.
inline constexpr uint8_t _AUDIO_SAMPLE_MISSING = 128;

// Skips the first 1024 bytes of the recorder's stream and reads the next 128
// into `samples`; samples past the end of the stream are _AUDIO_SAMPLE_MISSING.
// Returns how many bytes the stream delivered (0 to 1152).
int stand_read_samples(std::FILE* recorder, uint8_t* samples);

// The spectrum of one capture: the samples into fr, fi as the previous capture
// of this measurement left it, the 128-point transform, amplitudes of bins 0..63 into famp.
void stand_spectrum(const uint8_t* samples);

// One capture. A recorder that cannot be started (popen fails, the shell does
// not find or cannot execute it, or it delivers nothing) ends the program with
// status 0 after the message; a player that cannot be started only gets the message.
void stand_read_sinus();
