// A show file, show.toml, as read: the script it describes and what goes
// into the pack, each with the place in the file it came from so that the
// checks of a build can point at the line.
#pragma once

#include <string>
#include <vector>

#include "tools/show/script_model.h"

namespace show {

struct Place {
    int line = 0;
    int column = 0;
};

// One line of a failed or doubtful show: "FILE:LINE:COLUMN: text".
struct Problem {
    Place where;
    std::string text;
};

enum class InputKind { Model, Texture, File };

// One file of the show folder that goes into the pack.
struct PackInput {
    InputKind kind = InputKind::File;
    std::string path;   // relative to the show folder
    std::string member; // its name in the pack
    Place where;
    int fps = 30;       // models only: zolt-import's --fps, --scale and --bare
    float scale = 1.0f;
    bool bare = false;
};

struct EffectPlaces {
    Place record;
    Place start;
    Place end;
    Place scene;
    bool windowChecked = true; // false when a time was given as raw bits
};

struct ShowFile {
    ScriptModel script;
    Place music;
    std::vector<EffectPlaces> effects;
    std::string archive; // an existing pack whose members are kept, or ""
    Place archivePlace;
    std::vector<PackInput> inputs;
    Place packPlace{1, 1};       // the [pack] table, or the top of the file
    bool marble1Images = false;  // the [pack.marble1] table is there
    Place marble1Place;
};

// The pack member names the show's fixed images take.
extern const char* const kSkyFaceKeys[6];    // "front", ... in the player's order
extern const char* const kSkyFaceMembers[6]; // "Otter_FR.JPG", ...
extern const char* const kCaptionMembers[10];
extern const char* const kLogoMember;

} // namespace show
