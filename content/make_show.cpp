// Puts the show together: the scenes, textures, sky faces and overlay
// pictures go into the pack, the script beside it.
#include <cstdio>

#include "content/show.h"
#include "demo/script_writer.h"

namespace content {

std::vector<NamedScene> ShowScenes()
{
    return {
        {"Plan1_part1.KVF", MarbleHallScene()}, {"Plan1_partotter.KVF", OtterScene()},
        {"Dancer.KVF", DancerScene()},          {"Glass.KVF", GlassScene()},
        {"Lights.KVF", LightsScene()},          {"Flight.KVF", FlightScene()},
    };
}

bool MakeShow(const std::string& folder, const std::string& fontPath, const std::string& musicFile)
{
    std::vector<ShowFile> members;
    for (const NamedScene& scene : ShowScenes()) {
        members.push_back({scene.fileName, kvf::WriteScene(scene.scene)});
    }
    const std::vector<ShowFile> captions = Captions(fontPath);
    if (captions.size() != 11) {
        std::fprintf(stderr, "showgen: the logo and captions could not be drawn\n");
        return false;
    }
    for (const std::vector<ShowFile>& part : {SceneTextures(), SkyFaces(), captions}) {
        members.insert(members.end(), part.begin(), part.end());
    }
    for (const ShowFile& member : members) {
        if (member.bytes.empty()) {
            std::fprintf(stderr, "showgen: could not make %s\n", member.name.c_str());
            return false;
        }
    }
    const std::string pack = folder + "/data.pac";
    std::remove(pack.c_str());
    if (!WritePackArchive(pack, members)) {
        std::fprintf(stderr, "showgen: could not write %s\n", pack.c_str());
        return false;
    }
    ScriptWriter script;
    const std::vector<uint8_t> bytes = ShowScript(musicFile);
    script.WriteBytes(bytes.data(), bytes.size());
    const std::string scriptPath = folder + "/Marble.Spt";
    if (script.SaveToFile(scriptPath.c_str()) != 0) {
        std::fprintf(stderr, "showgen: could not write %s\n", scriptPath.c_str());
        return false;
    }
    return true;
}

} // namespace content
