// zolt-show build: makes Marble.Spt and data.pac from a show folder's
// show.toml, after checking everything the player will need.
#pragma once

#include <ostream>
#include <string>

namespace show {

// The exit status: 0 written, 1 a problem (told on `err`, nothing written).
int RunBuild(const std::string& folder, std::ostream& out, std::ostream& err);

} // namespace show
