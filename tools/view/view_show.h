// The show zolt-view plays, written into a folder: the models imported into
// its pack beside six plain sky faces, the music (a link to the file given,
// or a minute of silence), and a script of one Player3D effect per model.
// The effects follow one another, each looping its model's scene for an
// equal share of the music; one model has the whole music.
#pragma once

#include <ostream>
#include <string>

#include "tools/view/view_options.h"

// The show's length in seconds when no music is given.
constexpr int kSilenceSeconds = 60;

// Writes the show into `folder`. The importer's lines go to `out` and `err`
// as zolt-import prints them. False after a message on `err`.
bool WriteViewShow(const std::string& folder, const ViewOptions& options, std::ostream& out, std::ostream& err);
