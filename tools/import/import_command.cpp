#include "tools/import/import_command.h"

#include <cmath>
#include <cstdlib>
#include <map>

#include "tools/common/command_line.h"
#include "tools/import/model_conversion.h"
#include "tools/import/pack_writer.h"

namespace import {

namespace {

constexpr const char* kUsage =
    "usage: zolt-import [--pack FILE] [--name SCENE.KVF] [--fps N] [--scale S] [--append] [--bare] MODEL...\n";
constexpr const char* kOptionHelp =
    "Turns models (glTF, 3DS, FBX, Collada, OBJ and the other formats the Open Asset Import Library\n"
    "reads) into KVF scenes and writes them with their textures into a pack.\n"
    "  --pack FILE       the pack to write (default data.pac)\n"
    "  --name SCENE.KVF  the scene's name in the pack, for one model (default: the model's base name\n"
    "                    with .KVF)\n"
    "  --fps N           the scenes' frame rate, 1 to 1000 (default 30)\n"
    "  --scale S         multiplies every position and distance (default 1)\n"
    "  --append          keep the members of the pack this run does not replace\n"
    "  --bare            add no camera or lights and keep the file's colours and lights as they are\n"
    "  --help            print this text\n";

struct Options {
    std::string pack = "data.pac";
    std::string name;
    int fps = 30;
    float scale = 1.0f;
    bool append = false;
    bool help = false;
    bool bare = false;
    std::vector<std::string> models;
};

// False after a message on `err`. Only words written as long options are
// taken for options nobody knows; any other word, "-x" too, is a model.
bool Parse(const std::vector<std::string>& arguments, Options* options, std::ostream& err)
{
    tools::CommandLine line;
    line.Flag("--append", [&] { options->append = true; });
    line.Flag("--bare", [&] { options->bare = true; });
    line.Value("--pack", [&](const std::string& value) { options->pack = value; });
    line.Value("--name", [&](const std::string& value) { options->name = value; });
    line.Value("--fps", [&](const std::string& value) {
        char* end = nullptr;
        const long fps = std::strtol(value.c_str(), &end, 10);
        if (*end != '\0' || fps < 1 || fps > 1000) {
            throw tools::BadValue{"--fps takes a whole number of frames per second from 1 to 1000"};
        }
        options->fps = static_cast<int>(fps);
    });
    line.Value("--scale", [&](const std::string& value) {
        char* end = nullptr;
        const float scale = std::strtof(value.c_str(), &end);
        if (*end != '\0' || !std::isfinite(scale) || scale <= 0.0f) {
            throw tools::BadValue{"--scale takes a positive number"};
        }
        options->scale = scale;
    });
    if (!tools::ReadFilesLine(&line, arguments, "zolt-import", kUsage, &options->models, &options->help, err) ||
        options->help) {
        return options->help;
    }
    if (!options->name.empty() && options->models.size() != 1) {
        err << "zolt-import: --name names the scene of one model; " << options->models.size() << " were given\n";
        return false;
    }
    return true;
}

} // namespace

std::string DefaultSceneName(const std::string& modelPath)
{
    const size_t slash = modelPath.find_last_of('/');
    std::string base = slash == std::string::npos ? modelPath : modelPath.substr(slash + 1);
    const size_t dot = base.find_last_of('.');
    if (dot != std::string::npos && dot > 0) {
        base.resize(dot);
    }
    return base + ".KVF";
}

int RunImport(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err)
{
    Options options;
    if (!Parse(arguments, &options, err)) {
        return 2;
    }
    if (options.help) {
        out << kUsage << kOptionHelp;
        return 0;
    }
    ConvertOptions convertOptions;
    convertOptions.framesPerSecond = options.fps;
    convertOptions.scale = options.scale;
    convertOptions.bare = options.bare;

    std::vector<ModelResult> results(options.models.size());
    std::vector<std::string> sceneNames;
    TextureNames textureNames;
    bool failed = false;
    for (size_t i = 0; i < options.models.size(); ++i) {
        const std::string& path = options.models[i];
        const std::string sceneName = options.name.empty() ? DefaultSceneName(path) : options.name;
        std::string error;
        if (!ConvertInChild(path, sceneName, convertOptions, textureNames, &results[i], &error)) {
            err << "zolt-import: " << path << ": " << error << "\n";
            failed = true;
            continue;
        }
        for (const std::string& warning : results[i].warnings) {
            err << "zolt-import: warning: " << path << ": " << warning << "\n";
        }
        textureNames.Record(results[i].textures);
        sceneNames.push_back(sceneName);
    }
    if (failed) {
        // Nothing is written when any model fails.
        return 1;
    }
    for (size_t i = 0; i < sceneNames.size(); ++i) {
        for (size_t j = 0; j < i; ++j) {
            if (UpperCase(sceneNames[i]) == UpperCase(sceneNames[j])) {
                err << "zolt-import: " << options.models[i] << ": its scene name " << sceneNames[i]
                    << " is taken by " << options.models[j] << "\n";
                return 1;
            }
        }
    }

    std::vector<PackEntry> members;
    for (size_t i = 0; i < results.size(); ++i) {
        members.push_back({sceneNames[i], std::move(results[i].scene)});
    }
    std::map<std::string, bool> added;
    for (const ModelResult& result : results) {
        for (const PackEntry& texture : result.textures) {
            if (added.emplace(UpperCase(texture.name), true).second) {
                members.push_back(texture);
            }
        }
    }
    std::string error;
    if (!WritePack(options.pack, members, options.append, &error)) {
        err << "zolt-import: " << error << "\n";
        return 1;
    }
    for (const ModelResult& result : results) {
        out << result.summary << "\n";
    }
    return 0;
}

} // namespace import
