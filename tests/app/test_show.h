// A show folder for tests of the whole program: generated music, a script
// naming it with a few plain effects, and a pack with the skybox's faces.
#pragma once

#include <string>

struct TestShow {
    double musicSeconds = 1.5;
    // The name the script gives; the file is written only with writeMusic.
    std::string musicName = "music.wav";
    bool writeMusic = true;
    bool writeScript = true;
    bool writePack = true;
};

// Writes the show into `directory`; false when a file could not be made.
bool WriteTestShow(const std::string& directory, const TestShow& show);
