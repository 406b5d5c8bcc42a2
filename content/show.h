// The sample show made at build time: the pictures and scenes of the show
// `scripts/play` plays, each made by its own file; content/show.toml puts
// them together.
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

// Writes the scenes into FOLDER/scenes/ and the textures, sky faces, logo
// and captions into FOLDER/images/, under the names content/show.toml
// gives them. False on failure, told on standard error.
bool WriteShowSources(const std::string& folder, const std::string& fontPath);

// Makes a whole show folder: the sources, show.toml, the music copied from
// musicSource, then Marble.Spt and data.pac built by zolt-show's build.
bool MakeShow(const std::string& folder, const std::string& fontPath, const std::string& musicSource);

} // namespace content
