// A show folder for tests of the whole program: generated music, a script
// naming it with a few plain effects (or effects of every kind), and a pack
// with the skybox's faces (and what the scene effects load).
#pragma once

#include <string>

struct TestShow {
    double musicSeconds = 1.5;
    // The name the script gives; the file is written only with writeMusic.
    std::string musicName = "music.wav";
    bool writeMusic = true;
    bool writeScript = true;
    bool writePack = true;
    // A plain effect, a Player3D effect and the Marble1 sequence overlapping
    // in turn, with their scenes and images in the pack.
    bool everyEffectKind = false;
};

// Writes the show into `directory`; false when a file could not be made.
bool WriteTestShow(const std::string& directory, const TestShow& show);
