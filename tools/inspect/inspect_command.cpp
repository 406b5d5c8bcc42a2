#include "tools/inspect/inspect_command.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "scene/mesh.h"
#include "scene/node.h"
#include "scene/scene.h"
#include "tools/common/command_line.h"
#include "tools/inspect/json_writer.h"
#include "tools/inspect/scene_json.h"

namespace {

const char kUsage[] = "Usage: zolt-inspect [--pack FILE] [--frame T] [--vertices] [--deformed] SCENE\n";

const char kHelp[] =
    "Loads the KVF scene SCENE from a resource pack (default \"data.pac\" in the\n"
    "working directory), prepares its node controllers, poses every node at\n"
    "frame T (default 0) and prints the scene as one JSON document on standard\n"
    "output. Loading messages go to standard error; the exit status is 1 when\n"
    "the scene cannot be loaded (or, with --deformed, prepared) and 2 for a\n"
    "usage error.\n"
    "\n"
    "Options:\n"
    "  --pack FILE   the ZIP archive to read SCENE from\n"
    "  --frame T     the frame time (a number of frames, may be fractional)\n"
    "  --vertices    also list every mesh's vertices and faces, and skin influences\n"
    "  --deformed    prepare the modifiers as the player does (bones bound by name,\n"
    "                bone meshes hidden, every chain evaluated at frame 0), update\n"
    "                the scene to frame T and evaluate every chain once more; each\n"
    "                mesh with modifiers then carries its deformed vertices and box\n"
    "  --help        show this text\n"
    "\n"
    "Document (matrices are 16 floats _11.._44 in row order; flags are 0 or 1;\n"
    "floats print with %.9g, NaN and infinities as null; name bytes 0x80 and\n"
    "above are written as the Latin-1 characters \\u0080..\\u00ff):\n"
    "{ \"file\": str, \"startFrame\": int, \"endFrame\": int, \"frameRate\": int,\n"
    "  \"ambient\": int (0x00RRGGBB),\n"
    "  \"materials\": [ { \"name\", \"id\", \"ambient\": [r,g,b], \"diffuse\": [r,g,b],\n"
    "      \"specular\": [r,g,b], \"power\", \"transparency\", \"twoSided\", \"wireframe\",\n"
    "      \"blendKind\", \"maps\": [ { \"kind\", \"name\", \"file\" (null without a file),\n"
    "      \"animated\", \"uOffset\", \"vOffset\", \"subMaps\": [...] } ] } ],\n"
    "  \"meshes\": [ { \"name\", \"visible\", \"lighting\", \"positionCount\", \"vertexCount\",\n"
    "      \"faceCount\", \"boxMin\": [3], \"boxMax\": [3], \"pivot\": [3], \"world\": [16],\n"
    "      \"modifiers\": [ { \"type\": int, ...the values read from its record... } ],\n"
    "      \"vertices\": [[x,y,z,nx,ny,nz,colour,u,v], ...],  (only with --vertices)\n"
    "      \"faces\": [[i0,i1,i2,materialId], ...],         (only with --vertices)\n"
    "      \"deformed\": [[x,y,z,nx,ny,nz,colour,u,v], ...],  (only with --deformed,\n"
    "      \"deformedBoxMin\": [3], \"deformedBoxMax\": [3] } ],  for meshes with modifiers)\n"
    "  \"cameras\": [ { \"name\", \"position\": [3], \"target\": [3] or null, \"fov\",\n"
    "      \"world\": [16] } ],\n"
    "  \"lights\": [ { \"name\", \"type\", \"position\": [3], \"target\": [3] or null,\n"
    "      \"colour\": [r,g,b], \"multiplier\", \"hotspot\", \"falloff\", \"rangeFlag\",\n"
    "      \"range\" } ],\n"
    "  \"shapes\": [ { \"name\", \"splines\": [ { \"closed\", \"points\": [[x,y,z], ...] } ] } ],\n"
    "  \"helpers\": [ { \"name\", \"subtype\", \"pivot\": [3], \"world\": [16] } ],\n"
    "  \"nodes\": [ { \"kind\", \"name\", \"depth\", \"bound\": true/false, \"position\": [3],\n"
    "      \"rotation\": [x,y,z,w], \"scale\": [3], \"world\": [16],\n"
    "      \"children\": [ ...nodes... ] } ] }\n"
    "Modifier values: gizmo kinds (0 bend, 1 stretch, 8 wave, 16 ripple, 32 twist)\n"
    "give \"matrix\" and the \"position\", \"offset\", \"scale\" and \"rotation\" tracks,\n"
    "then bend \"axis\", \"angle\", \"direction\"; stretch \"axis\", \"stretch\",\n"
    "\"amplify\"; twist \"axis\", \"angle\", \"bias\"; wave and ripple \"amplitude1\",\n"
    "\"amplitude2\", \"waveLength\", \"phase\", \"decay\". The skin (2) gives\n"
    "\"meshMatrix\", \"bones\": [ { \"name\", \"bind\": [16] } ], \"vertexCount\" and, with\n"
    "--vertices, \"influences\": [ [[bone, weight], ...] per vertex ]. A track is\n"
    "null or { \"kind\": \"tcb\" | \"sampled\", \"keys\": [...] } (TCB keys: \"time\",\n"
    "\"tension\", \"continuity\", \"bias\", \"easeFrom\", \"easeTo\" and the \"value\";\n"
    "rotation keys also \"axis\" and \"angle\"), or { \"kind\": \"angle\", \"track\": ... }.\n";

bool ParseFrame(const char* text, float* frame)
{
    char* end = nullptr;
    const float value = std::strtof(text, &end);
    if (end == text || *end != '\0' || !std::isfinite(value)) {
        return false;
    }
    *frame = value;
    return true;
}

int UsageError(const char* problem)
{
    std::fprintf(stderr, "zolt-inspect: %s\n%s", problem, kUsage);
    return 2;
}

} // namespace

int RunInspect(int argc, const char* const* argv, std::FILE* out)
{
    std::string pack = kDefaultPackName;
    const char* sceneName = nullptr;
    float frame = 0.0f;
    InspectOptions options;

    tools::CommandLine line;
    line.Flag("--vertices", [&] { options.vertices = true; });
    line.Flag("--deformed", [&] { options.deformed = true; });
    line.Value("--pack", [&](const std::string& value) { pack = value; });
    line.Value("--frame", [&](const std::string& value) {
        if (!ParseFrame(value.c_str(), &frame)) {
            throw tools::BadValue{"--frame needs a number"};
        }
    });
    const tools::CommandLine::Outcome outcome = line.Read(argc - 1, argv + 1);
    for (const std::string& word : line.Words()) {
        if (tools::IsOptionLike(word)) {
            return UsageError("unknown option");
        }
        if (sceneName != nullptr) {
            return UsageError("only one scene can be inspected");
        }
        sceneName = word.c_str();
    }
    switch (outcome) {
    case tools::CommandLine::Outcome::Help:
        std::fputs(kUsage, out);
        std::fputs(kHelp, out);
        return 0;
    case tools::CommandLine::Outcome::BadValue:
        return UsageError(line.Problem().c_str());
    case tools::CommandLine::Outcome::MissingValue:
        return UsageError(line.Problem() == "--pack" ? "--pack needs a file name" : "--frame needs a number");
    case tools::CommandLine::Outcome::Read:
        break;
    }
    if (sceneName == nullptr) {
        return UsageError("no scene given");
    }

    CScene scene;
    if (scene.LoadScene(sceneName, pack.c_str()) != 0) {
        return 1;
    }
    if (options.deformed) {
        // As the player prepares and updates the scene, then one more
        // evaluation at the frame, as drawing would run it.
        if (scene.PrepareModifiers() != 0) {
            return 1;
        }
        scene.Update(frame);
        for (CMesh* mesh : scene.meshes) {
            mesh->DeformVertices();
        }
    } else {
        for (CNode* root : scene.roots) {
            PrepareNode(root);
        }
        for (CNode* root : scene.roots) {
            UpdateNode(root, frame);
        }
    }
    JsonWriter json(out);
    WriteSceneJson(json, scene, sceneName, options);
    json.Finish();
    return 0;
}
