// zolt-show unpack: writes the show.toml of a show folder's Marble.Spt, from
// which build makes the same script again byte for byte.
#pragma once

#include <ostream>
#include <string>

namespace show {

struct UnpackOptions {
    bool extract = false; // write the pack's members into pack/ and list them
    bool force = false;   // replace an existing show.toml
};

// The exit status: 0 written, 1 refused (told on `err`, nothing written).
int RunUnpack(const std::string& folder, const UnpackOptions& options, std::ostream& out, std::ostream& err);

} // namespace show
