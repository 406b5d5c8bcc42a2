// Music files for tests, generated with ffmpeg: a stereo sine tone of a given
// length and sample rate, in the format the file name's extension names
// (.wav, .ogg, .mp3, .flac).
#pragma once

#include <string>

// Writes the file at `path`; false when ffmpeg failed.
bool WriteTestMusic(const std::string& path, double seconds, int sampleRate = 44100);

// Writes a four-channel tracker module ("M.K." layout): one pattern of 64
// rows at one tick a row, playing a sine sample from its first row, about
// a second and a quarter long. False when the file could not be written.
bool WriteTestModule(const std::string& path);
