// zolt-show build: makes Marble.Spt and data.pac from a show folder's
// show.toml, after checking everything the player will need.
#pragma once

#include <ostream>
#include <string>

namespace show {

// The exit status: 0 written, 1 a problem (told on `err`, nothing written).
// With scriptOnly only Marble.Spt is written, from show.toml alone: the
// music and the pack are neither checked nor touched.
int RunBuild(const std::string& folder, std::ostream& out, std::ostream& err, bool scriptOnly = false);

} // namespace show
