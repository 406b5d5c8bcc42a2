// Cameras: a glTF camera has no target and gets one along its view, turned
// by its roll; 3DS target cameras keep the file's own eye, target and roll
// keys.
#include <cmath>
#include <fstream>
#include <iterator>
#include <random>

#include "scene/camera.h"
#include "scene/controller.h"
#include "tests/import/import_fixture.h"
#include "tools/import/camera_light_converter.h"
#include "tools/import/max3ds_cameras.h"

namespace {

D3DVECTOR Minus(const D3DVECTOR& a, const D3DVECTOR& b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

D3DVECTOR Unit(const D3DVECTOR& v)
{
    const float n = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return {v.x / n, v.y / n, v.z / n};
}

void ExpectVectorNear(const D3DVECTOR& expected, const D3DVECTOR& actual, float tolerance, const std::string& what)
{
    EXPECT_NEAR(expected.x, actual.x, tolerance) << what;
    EXPECT_NEAR(expected.y, actual.y, tolerance) << what;
    EXPECT_NEAR(expected.z, actual.z, tolerance) << what;
}

// The engine's up vector for a view along d with roll r: the second column
// of its yaw-pitch-roll view matrix.
D3DVECTOR EngineUp(const D3DVECTOR& d, float r)
{
    const float a = -std::atan2(d.x, d.z), b = std::asin(d.y);
    const float sa = std::sin(a), ca = std::cos(a), sb = std::sin(b), cb = std::cos(b);
    const float sr = std::sin(r), cr = std::cos(r);
    return {cr * sb * sa - sr * ca, cr * cb, -cr * sb * ca - sr * sa};
}

using CameraTest = ImportTest;

TEST_F(CameraTest, CameraWithoutTargetLooksAlongItsViewWithItsUp)
{
    const std::string path = std::string(kAssimpModels) + "glTF2/cameras/Cameras.gltf";
    REQUIRE_MODEL(path, "assimp-testmodels");
    const ImportRun run = Import({path});
    ASSERT_EQ(0, run.status) << run.err;
    EXPECT_NE(std::string::npos, run.err.find("is orthographic; it becomes a perspective camera")) << run.err;
    const aiScene* source = ReadModel(path);
    ASSERT_NE(nullptr, source);
    std::unique_ptr<CScene> scene = Load("Cameras.KVF");
    ASSERT_EQ(static_cast<int>(source->mNumCameras), scene->cameras.Count());

    const auto worlds = ReferenceWorlds(source, 0.0);
    for (unsigned i = 0; i < source->mNumCameras; ++i) {
        const aiCamera* camera = source->mCameras[i];
        const aiMatrix4x4& world = worlds.at(source->mRootNode->FindNode(camera->mName));
        const CCamera* engine = scene->RetrieveCamera(camera->mName.C_Str());
        ASSERT_NE(nullptr, engine) << camera->mName.C_Str();
        ASSERT_NE(nullptr, engine->target);
        const std::string what = camera->mName.C_Str();
        // The library repeats the node's offset as the camera's position;
        // the camera sits at its node's origin.
        ExpectVectorNear(EnginePoint(world * aiVector3D()), engine->position, 1e-4f, what + " eye");
        const D3DVECTOR view = Minus(engine->target->position, engine->position);
        EXPECT_NEAR(import::kTargetDistance, std::sqrt(view.x * view.x + view.y * view.y + view.z * view.z), 1e-3f);
        const aiVector3D forward = aiMatrix3x3(world) * camera->mLookAt;
        ExpectVectorNear(Unit(EnginePoint(forward)), Unit(view), 1e-5f, what + " view");
        // The roll turns the engine's level view to the camera's up.
        const aiVector3D up = aiMatrix3x3(world) * camera->mUp;
        ExpectVectorNear(Unit(EnginePoint(up)), EngineUp(Unit(view), engine->rotation.w), 1e-4f, what + " up");
        // yfov 0.7 is the engine's vertical angle, 0.8 of its field of
        // view; the orthographic camera gets 45 degrees.
        EXPECT_NEAR(camera->mOrthographicWidth > 0.0f ? 0.785398f / 0.8f : 0.7f / 0.8f, engine->fieldOfView, 1e-6f)
            << what;
    }
}

TEST_F(CameraTest, TargetCamerasOf3dsKeepTheirKeys)
{
    const std::string target = std::string(kAssimpModels) + "3DS/TargetCameraAnim.3ds";
    const std::string roll = std::string(kAssimpModels) + "3DS/CameraRollAnim.3ds";
    REQUIRE_MODEL(target, "assimp-testmodels");
    ASSERT_EQ(0, Import({target, roll}).status);

    // The eye follows the camera node the library reads; the target follows
    // the file's target keys (frames 0, 30, 60), which the library drops.
    const aiScene* source = ReadModel(target);
    ASSERT_NE(nullptr, source);
    std::unique_ptr<CScene> scene = Load("TargetCameraAnim.KVF");
    const CCamera* camera = scene->RetrieveCamera("Camera01");
    ASSERT_NE(nullptr, camera);
    const D3DVECTOR targets[] = {{-14.429f, 0.0f, -28.216f}, {-14.429f, 0.0f, -28.216f}, {-100.41f, 0.0f, -28.216f}};
    for (int frame : {0, 30, 60, 90}) {
        scene->Update(static_cast<float>(frame));
        const auto worlds = ReferenceWorlds(source, TicksAtFrame(source, frame));
        const aiMatrix4x4& eye = worlds.at(source->mRootNode->FindNode("Camera01"));
        const std::string what = "frame " + std::to_string(frame);
        ExpectVectorNear(EnginePoint(eye * aiVector3D()), camera->position, 1e-3f, what);
        ExpectVectorNear(targets[std::min(frame / 30, 2)], camera->target->position, 1e-3f, what);
        EXPECT_EQ(0.0f, camera->rotation.w) << what;
    }
    const CNode* eyeNode = nullptr;
    for (const CNode* root : scene->roots) {
        eyeNode = root->kind == CNode::kCamera ? root : eyeNode;
    }
    ASSERT_NE(nullptr, eyeNode);
    EXPECT_NE(nullptr, dynamic_cast<const CControllerVectorTCB*>(eyeNode->positionController));
    EXPECT_NEAR(2.5f * std::atan(std::tan(0.5f * 45.0f * 0.017453292f) / 1.334f), camera->fieldOfView, 1e-6f);

    // The roll track, in degrees in the file, turns the view in radians.
    scene = Load("CameraRollAnim.KVF");
    camera = scene->RetrieveCamera("Camera01");
    ASSERT_NE(nullptr, camera);
    scene->Update(120.0f);
    EXPECT_NEAR(-77.305f * 0.017453292f, camera->rotation.w, 1e-4f);
}

} // namespace

namespace {

// The 3DS camera reader reads what the library has already accepted, but
// bytes are bytes: every truncation and many random damages of a real file
// read without a fault (the sanitizer build checks the reads).
TEST_F(CameraTest, DamagedThreeDsCamerasReadSafely)
{
    const std::string path = std::string(kAssimpModels) + "3DS/TargetCameraAnim.3ds";
    REQUIRE_MODEL(path, "assimp-testmodels");
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(1u, import::ReadMax3dsCameras(path).size());
    ASSERT_TRUE(import::ReadMax3dsCameras(path)[0].keyed);

    const std::string damaged = dir.File("damaged.3ds");
    auto readAs = [&](const std::vector<char>& content) {
        std::ofstream(damaged, std::ios::binary).write(content.data(), static_cast<std::streamsize>(content.size()));
        for (const import::Max3dsCamera& camera : import::ReadMax3dsCameras(damaged)) {
            EXPECT_LE(camera.eyeKeys.size(), bytes.size());
        }
    };
    for (size_t length = 0; length < bytes.size(); length += 7) {
        readAs(std::vector<char>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length)));
    }
    std::mt19937 random(1234);
    for (int round = 0; round < 300; ++round) {
        std::vector<char> copy = bytes;
        for (int flips = 0; flips < 4; ++flips) {
            copy[random() % copy.size()] = static_cast<char>(random());
        }
        readAs(copy);
    }
}

} // namespace
