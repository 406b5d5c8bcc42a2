// Puts the show together: the generator writes the scenes and pictures into
// the show folder; show.toml (content/show.toml) names them and times the
// effects, and zolt-show's build makes the script and the pack from it.
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <iostream>

#include "content/show.h"
#include "tools/show/show_build.h"

namespace content {

namespace {

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

bool CopyFile(const std::string& from, const std::string& to)
{
    std::ifstream in(from, std::ios::binary);
    std::ofstream out(to, std::ios::binary);
    out << in.rdbuf();
    out.close();
    return in && out;
}

} // namespace

std::vector<NamedScene> ShowScenes()
{
    return {
        {"Plan1_part1.KVF", MarbleHallScene()}, {"Plan1_partotter.KVF", OtterScene()},
        {"Dancer.KVF", DancerScene()},          {"Glass.KVF", GlassScene()},
        {"Lights.KVF", LightsScene()},          {"Flight.KVF", FlightScene()},
    };
}

bool WriteShowSources(const std::string& folder, const std::string& fontPath)
{
    const std::vector<ShowFile> captions = Captions(fontPath);
    if (captions.size() != 11) {
        std::fprintf(stderr, "showgen: the logo and captions could not be drawn\n");
        return false;
    }
    mkdir((folder + "/scenes").c_str(), 0777);
    mkdir((folder + "/images").c_str(), 0777);
    for (const NamedScene& scene : ShowScenes()) {
        const std::string path = folder + "/scenes/" + scene.fileName;
        if (!WriteFile(path, kvf::WriteScene(scene.scene))) {
            std::fprintf(stderr, "showgen: could not write %s\n", path.c_str());
            return false;
        }
    }
    for (const std::vector<ShowFile>& part : {SceneTextures(), SkyFaces(), captions}) {
        for (const ShowFile& image : part) {
            const std::string path = folder + "/images/" + image.name;
            if (image.bytes.empty() || !WriteFile(path, image.bytes)) {
                std::fprintf(stderr, "showgen: could not make %s\n", path.c_str());
                return false;
            }
        }
    }
    return true;
}

bool MakeShow(const std::string& folder, const std::string& fontPath, const std::string& musicSource)
{
    const std::string music = folder + "/" + musicSource.substr(musicSource.find_last_of('/') + 1);
    if (!WriteShowSources(folder, fontPath) || !CopyFile(ZOLT_SHOW_FILE, folder + "/show.toml") ||
        !CopyFile(musicSource, music)) {
        std::fprintf(stderr, "showgen: could not make the show folder %s\n", folder.c_str());
        return false;
    }
    return show::RunBuild(folder, std::cout, std::cerr) == 0;
}

} // namespace content
