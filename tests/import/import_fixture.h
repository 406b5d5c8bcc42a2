// Runs zolt-import into a fresh pack, loads the scenes it wrote with the
// player's loader, and reads the same models with the library to compare.
#pragma once

#include <gtest/gtest.h>

#include <assimp/Importer.hpp>
#include <assimp/scene.h>

#include <memory>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

#include "scene/node.h"
#include "scene/scene.h"
#include "tests/support/box_capture.h"
#include "tests/support/pack_builder.h"

// Where Debian's packages put the real models the tests read.
constexpr const char* kAssimpModels = "/usr/share/assimp/models/";
constexpr const char* kGl117Models = "/usr/share/games/gl-117/models/";

bool FileExists(const std::string& path);

// Skips the test, naming the Debian package, when the model is not there.
#define REQUIRE_MODEL(path, package)                                                               \
    do {                                                                                           \
        if (!FileExists(path)) {                                                                   \
            GTEST_SKIP() << (path) << " is missing: install the Debian package " << (package);    \
        }                                                                                          \
    } while (0)

struct ImportRun {
    int status = 0;
    std::string out;
    std::string err;
};

class ImportTest : public ::testing::Test {
protected:
    std::string Pack() const { return dir.File("data.pac"); }

    // zolt-import with these arguments, the pack in the test's directory
    // unless the arguments name one.
    ImportRun Import(std::vector<std::string> arguments);

    // Loads and prepares a scene of the pack; no message box may show.
    std::unique_ptr<CScene> Load(const std::string& sceneName);

    // The model as the importer reads it.
    const aiScene* ReadModel(const std::string& path);

    TempDirectory dir;
    Assimp::Importer importer;
};

// The mesh or helper node of that name in the scene's tree, or null.
const CNode* FindNode(const CScene& scene, const std::string& name);

// Every node of the model, depth first.
std::vector<const aiNode*> ModelNodes(const aiScene* scene);

// World matrices of every node of the model at `ticks`, evaluated here the
// way the library's players interpolate the first animation's keys.
std::unordered_map<const aiNode*, aiMatrix4x4> ReferenceWorlds(const aiScene* scene, double ticks);

// The engine's (row-vector, left-handed) matrix for a model transform.
D3DMATRIX EngineMatrix(const aiMatrix4x4& m);
// The engine's point or direction for a model one.
D3DVECTOR EnginePoint(const aiVector3D& v);

// Ticks of the first animation at a scene frame (30 frames per second
// unless told).
double TicksAtFrame(const aiScene* scene, double frame, int fps = 30);

// Expects every element of `actual` within 1e-4 of `expected` (relative
// to the largest element of its row when that exceeds 1).
void ExpectMatrixNear(const D3DMATRIX& expected, const D3DMATRIX& actual, const std::string& what);
