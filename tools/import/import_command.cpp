#include "tools/import/import_command.h"

#include <cmath>
#include <cstdlib>
#include <map>

#include "tools/import/pack_writer.h"
#include "tools/import/scene_converter.h"

namespace import {

namespace {

constexpr const char* kUsage =
    "usage: zolt-import [--pack FILE] [--name SCENE.KVF] [--fps N] [--scale S] [--append] MODEL...\n";

struct Options {
    std::string pack = "data.pac";
    std::string name;
    int fps = 30;
    float scale = 1.0f;
    bool append = false;
    std::vector<std::string> models;
};

// False after a message on `err`.
bool Parse(const std::vector<std::string>& arguments, Options* options, std::ostream& err)
{
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        if (a == "--append") {
            options->append = true;
        } else if ((a == "--pack" || a == "--name" || a == "--fps" || a == "--scale") && !hasValue) {
            err << "zolt-import: " << a << " needs a value\n" << kUsage;
            return false;
        } else if (a == "--pack") {
            options->pack = arguments[++i];
        } else if (a == "--name") {
            options->name = arguments[++i];
        } else if (a == "--fps") {
            char* end = nullptr;
            const long fps = std::strtol(arguments[++i].c_str(), &end, 10);
            if (*end != '\0' || fps < 1 || fps > 1000) {
                err << "zolt-import: --fps takes a whole number of frames per second from 1 to 1000\n";
                return false;
            }
            options->fps = static_cast<int>(fps);
        } else if (a == "--scale") {
            char* end = nullptr;
            const float scale = std::strtof(arguments[++i].c_str(), &end);
            if (*end != '\0' || !std::isfinite(scale) || scale <= 0.0f) {
                err << "zolt-import: --scale takes a positive number\n";
                return false;
            }
            options->scale = scale;
        } else if (a.rfind("--", 0) == 0) {
            err << "zolt-import: unknown option " << a << "\n" << kUsage;
            return false;
        } else {
            options->models.push_back(a);
        }
    }
    if (options->models.empty()) {
        err << kUsage;
        return false;
    }
    if (!options->name.empty() && options->models.size() != 1) {
        err << "zolt-import: --name names the scene of one model; " << options->models.size() << " were given\n";
        return false;
    }
    return true;
}

std::string Count(int n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

} // namespace

std::string SummaryLine(const std::string& sceneName, const ConversionReport& r)
{
    std::string line = sceneName + ": " + Count(r.meshes, "mesh", "meshes") + ", " +
                       Count(r.faces, "face", "faces") + ", " + Count(r.vertices, "vertex", "vertices") + ", " +
                       Count(r.bones, "bone", "bones") + ", " + Count(r.cameras, "camera", "cameras") + ", " +
                       Count(r.lights, "light", "lights") + ", " + Count(r.frames, "frame", "frames");
    for (const std::string& note : r.notes) {
        line += "; " + note;
    }
    return line;
}

void SettleTextureNames(ConvertedModel* model, std::map<std::string, const PackEntry*>* taken)
{
    for (PackEntry& texture : model->textures) {
        std::string name = texture.name;
        for (int n = 2;; ++n) {
            auto found = taken->find(UpperCase(name));
            if (found == taken->end() || found->second->bytes == texture.bytes) {
                break;
            }
            const size_t dot = texture.name.find_last_of('.');
            name = texture.name.substr(0, dot) + "_" + std::to_string(n) +
                   (dot == std::string::npos ? "" : texture.name.substr(dot));
        }
        if (name != texture.name) {
            for (kvf::Material& material : model->scene.materials) {
                for (kvf::TextMap& map : material.maps) {
                    if (map.fileName == texture.name) {
                        map.fileName = name;
                    }
                }
            }
            texture.name = name;
        }
        taken->emplace(UpperCase(name), &texture);
    }
}

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
    ConvertOptions convertOptions;
    convertOptions.framesPerSecond = options.fps;
    convertOptions.scale = options.scale;

    std::vector<ConvertedModel> models(options.models.size());
    std::vector<std::string> sceneNames;
    bool failed = false;
    for (size_t i = 0; i < options.models.size(); ++i) {
        const std::string& path = options.models[i];
        const std::string sceneName = options.name.empty() ? DefaultSceneName(path) : options.name;
        std::string error;
        const std::string prefix = sceneName.substr(0, sceneName.find_last_of('.'));
        if (!ConvertModel(path, prefix, convertOptions, &models[i], &error)) {
            err << "zolt-import: " << path << ": " << error << "\n";
            failed = true;
            continue;
        }
        for (const std::string& warning : models[i].report.warnings) {
            err << "zolt-import: warning: " << path << ": " << warning << "\n";
        }
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
    std::map<std::string, const PackEntry*> taken;
    for (size_t i = 0; i < models.size(); ++i) {
        SettleTextureNames(&models[i], &taken);
    }
    for (size_t i = 0; i < models.size(); ++i) {
        members.push_back({sceneNames[i], kvf::WriteScene(models[i].scene)});
    }
    std::map<std::string, bool> added;
    for (const ConvertedModel& model : models) {
        for (const PackEntry& texture : model.textures) {
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
    for (size_t i = 0; i < models.size(); ++i) {
        out << SummaryLine(sceneNames[i], models[i].report) << "\n";
    }
    return 0;
}

} // namespace import
