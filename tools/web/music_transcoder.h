// The show's music as Ogg Vorbis for the page: the music file decoded as the
// capture decodes its sound track (44100 Hz stereo, tracker modules
// rendered), cut at the length the player gives the music, and encoded with
// libavcodec's Vorbis encoder.
#pragma once

#include <string>

// Writes `outPath`; false with the reason in `error` (nothing is left at
// `outPath` then).
bool TranscodeMusic(const std::string& musicPath, const std::string& outPath, std::string* error);
