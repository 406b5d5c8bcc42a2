// The sample show made at build time: the pictures, scenes, script and pack
// that `scripts/play` plays. Each part is made by its own file; MakeShow puts
// them together in a folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/kvf_writer/kvf_writer.h"

namespace content {

struct ShowFile {
    std::string name;
    std::vector<uint8_t> bytes;
};

// The six faces of the sky box, "Otter_FR.JPG" to "Otter_RT.JPG".
std::vector<ShowFile> SkyFaces();
// The textures the scenes name.
std::vector<ShowFile> SceneTextures();
// The logo "Kestrel.TGA" and the captions "Marble01.TGA" to "Marble10.TGA",
// drawn with the TrueType font at fontPath; empty when the font cannot be
// used.
std::vector<ShowFile> Captions(const std::string& fontPath);

// The scenes, by the file name the show gives them.
struct NamedScene {
    std::string fileName;
    kvf::Scene scene;
};
std::vector<NamedScene> ShowScenes();

kvf::Scene MarbleHallScene(); // "Plan1_part1.KVF", the Marble1 main scene
kvf::Scene OtterScene();      // "Plan1_partotter.KVF", its second scene
kvf::Scene DancerScene();
kvf::Scene GlassScene();
kvf::Scene LightsScene();
kvf::Scene FlightScene();

// One effect of the script.
struct ShowEffect {
    int32_t kind = 0; // 0 plain, 1 Player3D, 2 Marble1
    std::string name;
    float start = 0.0f; // ms of music position
    float end = 0.0f;
    std::string sceneFile; // kind 1 only
};
std::vector<ShowEffect> ShowTimeline();
// The bytes of "Marble.Spt" naming the music file.
std::vector<uint8_t> ShowScript(const std::string& musicFile);

// Writes a ZIP archive of the files (deflated). False on failure.
bool WritePackArchive(const std::string& path, const std::vector<ShowFile>& files);

// Writes "Marble.Spt" and "data.pac" into the folder. False on failure, told
// on standard error.
bool MakeShow(const std::string& folder, const std::string& fontPath, const std::string& musicFile);

} // namespace content
