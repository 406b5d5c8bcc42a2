#include "tools/import/model_conversion.h"

#include <new>

#include "tools/import/child_process.h"
#include "tools/import/memory_limit.h"

namespace import {

namespace {

// A model the library has not read by then is given up.
constexpr double kSecondsPerModel = 300.0;

std::string Count(int n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// Converts the model and settles its texture names; run in the child.
ModelResult ConvertHere(const std::string& path, const std::string& sceneName, const ConvertOptions& options,
                        TextureNames textureNames)
{
    ModelResult result;
    try {
        ConvertedModel model;
        const std::string prefix = sceneName.substr(0, sceneName.find_last_of('.'));
        if (!ConvertModel(path, prefix, options, &model, &result.error)) {
            return result;
        }
        textureNames.Settle(&model);
        result.scene = kvf::WriteScene(model.scene);
        result.summary = SummaryLine(sceneName, model.report);
        result.warnings = std::move(model.report.warnings);
        result.textures = std::move(model.textures);
        result.sourceFiles = std::move(model.sourceFiles);
        result.texturesMissing = model.texturesMissing;
        result.converted = true;
    } catch (const std::bad_alloc&) {
        result = ModelResult();
        result.error = "the model needs more memory than the importer may use";
    }
    return result;
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

bool ConvertInChild(const std::string& path, const std::string& sceneName, const ConvertOptions& options,
                    const TextureNames& textureNames, ModelResult* result, std::string* error)
{
    *result = ModelResult();
    std::vector<uint8_t> message;
    std::string reason;
    const bool ran = RunInChild(
        [&] {
            LimitProcessMemory(DefaultMemoryLimit());
            return EncodeModelResult(ConvertHere(path, sceneName, options, textureNames));
        },
        kSecondsPerModel, &message, &reason);
    if (!ran) {
        *error = "reading it " + reason;
        return false;
    }
    if (!DecodeModelResult(message, result)) {
        *result = ModelResult();
        *error = "reading it ended without a result";
        return false;
    }
    if (!result->converted) {
        *error = result->error;
        return false;
    }
    return true;
}

} // namespace import
