#include "content/walker.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "content/animation.h"
#include "content/geometry.h"
#include "content/scene_kit.h"

namespace content {

namespace {

constexpr float kStride = 30.0f; // frames per pair of steps

struct Bone {
    const char* name;
    int parent; // index into kBones, -1 for the root
    Vec3 joint; // where it turns, at rest (the figure stands at the origin facing -Y)
};

enum BoneIndex { kHips, kSpine, kHead, kUpperArmL, kLowerArmL, kUpperArmR, kLowerArmR, kUpperLegL, kLowerLegL, kUpperLegR, kLowerLegR };

const Bone kBones[] = {
    {"Bone hips", -1, {0, 0, 9.5f}},           {"Bone spine", kHips, {0, 0, 10.5f}},
    {"Bone head", kSpine, {0, 0, 15.8f}},      {"Bone arm L", kSpine, {-2.4f, 0, 15.0f}},
    {"Bone forearm L", kUpperArmL, {-2.4f, 0, 12.0f}}, {"Bone arm R", kSpine, {2.4f, 0, 15.0f}},
    {"Bone forearm R", kUpperArmR, {2.4f, 0, 12.0f}},  {"Bone thigh L", kHips, {-1.1f, 0, 9.2f}},
    {"Bone shin L", kUpperLegL, {-1.1f, 0, 4.8f}},     {"Bone thigh R", kHips, {1.1f, 0, 9.2f}},
    {"Bone shin R", kUpperLegR, {1.1f, 0, 4.8f}},
};
constexpr int kBoneCount = sizeof(kBones) / sizeof(kBones[0]);

float Smooth(float t)
{
    t = std::clamp(t, 0.0f, 1.0f);
    return t * t * (3.0f - 2.0f * t);
}

// Influences of one position: a single bone, or two blended across a joint.
kvf::SkinVertex Single(int bone)
{
    kvf::SkinVertex vertex;
    vertex.influences = {kvf::SkinInfluence{bone, 1.0f}};
    return vertex;
}

kvf::SkinVertex Blend(int upper, int lower, float share)
{
    if (share <= 0.0f) {
        return Single(upper);
    }
    if (share >= 1.0f) {
        return Single(lower);
    }
    kvf::SkinVertex vertex;
    vertex.influences = {kvf::SkinInfluence{upper, 1.0f - share}, kvf::SkinInfluence{lower, share}};
    return vertex;
}

class FigureBuilder {
public:
    FigureBuilder(const std::string& name, int32_t skin, int32_t cloth, int32_t shirt)
        : m_mesh(name), m_skin(skin), m_cloth(cloth), m_shirt(shirt)
    {
        m_mesh.SetSmoothing(1);
    }

    // A limb from the upper bone's joint down through the lower bone's joint,
    // then as far again: a tube bending at the middle joint.
    void Limb(int upper, int lower, float radius, int32_t material)
    {
        const Vec3 top = kBones[upper].joint, middle = kBones[lower].joint;
        const float length = top.z - middle.z;
        const Vec3 base = middle - Vec3{0, 0, length};
        m_mesh.SetMaterial(material);
        const uint16_t first = m_mesh.VertexCount();
        m_mesh.AddCylinder(base, radius, 2.0f * length, 10, 12, false);
        Assign(first, [&](Vec3 p) { return Blend(upper, lower, Smooth((middle.z + 0.9f - p.z) / 1.8f)); });
        // The hand or foot at the end.
        const uint16_t end = m_mesh.VertexCount();
        m_mesh.SetMaterial(m_skin);
        m_mesh.AddSphere(base + Vec3{0, material == m_cloth ? -0.6f : 0.0f, 0}, {radius * 1.2f, radius * 1.7f, radius * 1.1f}, 8, 6);
        Assign(end, [&](Vec3) { return Single(lower); });
    }

    void Body()
    {
        m_mesh.SetMaterial(m_cloth);
        uint16_t first = m_mesh.VertexCount();
        m_mesh.AddSphere({0, 0, 9.8f}, {2.3f, 1.5f, 1.4f}, 12, 8); // pelvis
        Assign(first, [](Vec3) { return Single(kHips); });
        first = m_mesh.VertexCount();
        m_mesh.SetMaterial(m_shirt);
        m_mesh.AddSphere({0, 0, 13.2f}, {2.6f, 1.6f, 2.9f}, 14, 10); // torso
        Assign(first, [](Vec3 p) { return Blend(kHips, kSpine, Smooth((p.z - 10.2f) / 1.4f)); });
        first = m_mesh.VertexCount();
        m_mesh.SetMaterial(m_skin);
        m_mesh.AddSphere({0, 0, 17.3f}, {1.35f, 1.5f, 1.7f}, 12, 10); // head
        m_mesh.AddCylinder({0, 0, 15.4f}, 0.6f, 0.8f, 8, 1, false);     // neck
        Assign(first, [](Vec3) { return Single(kHead); });
    }

    kvf::Mesh Finish()
    {
        kvf::Mesh mesh = m_mesh.Build();
        kvf::Modifier skin;
        skin.type = kvf::kSkinCountFirst;
        for (const Bone& bone : kBones) {
            kvf::SkinBone entry;
            entry.name = bone.name;
            // At rest a bone's world matrix is the translation to its joint.
            entry.bind.m[9] = bone.joint.x;
            entry.bind.m[10] = bone.joint.y;
            entry.bind.m[11] = bone.joint.z;
            skin.skin.bones.push_back(entry);
        }
        skin.skin.vertices = m_influences;
        mesh.modifiers.entries = {skin};
        return mesh;
    }

private:
    void Assign(uint16_t first, const std::function<kvf::SkinVertex(Vec3)>& rule)
    {
        const std::vector<Vec3>& positions = m_mesh.Peek().positions;
        for (size_t i = first; i < positions.size(); ++i) {
            m_influences.push_back(rule(positions[i]));
        }
    }

    MeshBuilder m_mesh;
    int32_t m_skin;
    int32_t m_cloth;
    int32_t m_shirt;
    std::vector<kvf::SkinVertex> m_influences; // entry j for position j
};

// The swing of each bone at a frame: a right-handed angle about the file's X
// axis (the figure's side-to-side axis), the stride's phase in radians.
float Swing(int bone, float phase)
{
    switch (bone) {
    case kUpperLegL:
        return 0.5f * std::sin(phase);
    case kUpperLegR:
        return -0.5f * std::sin(phase);
    case kLowerLegL: // knees bend backward only, most as the leg swings forward
        return 0.9f * std::max(0.0f, std::sin(phase + 1.2f));
    case kLowerLegR:
        return 0.9f * std::max(0.0f, std::sin(phase + 1.2f + kPi));
    case kUpperArmL:
        return -0.45f * std::sin(phase);
    case kUpperArmR:
        return 0.45f * std::sin(phase);
    case kLowerArmL:
    case kLowerArmR:
        return -0.5f;
    case kSpine:
        return 0.08f; // leaning into the walk
    case kHead:
        return -0.05f * std::sin(2.0f * phase);
    default:
        return 0.0f;
    }
}

// A stride covers about 17 units; a lap takes as many strides.
float LapFrames(float radius)
{
    return 2.0f * kPi * radius / 17.0f * kStride;
}

} // namespace

Vec3 WalkerHips(float radius, float frame)
{
    const float a = 2.0f * kPi * frame / LapFrames(radius);
    const float bob = 0.35f * std::fabs(std::sin(2.0f * kPi * frame / kStride));
    return Vec3{radius * std::cos(a), radius * std::sin(a), kBones[kHips].joint.z + bob + 0.3f};
}

Walker MakeWalker(const std::string& name, float radius, int frames, int32_t skin, int32_t cloth, int32_t shirt)
{
    FigureBuilder figure(name, skin, cloth, shirt);
    figure.Body();
    figure.Limb(kUpperArmL, kLowerArmL, 0.6f, skin);
    figure.Limb(kUpperArmR, kLowerArmR, 0.6f, skin);
    figure.Limb(kUpperLegL, kLowerLegL, 0.85f, cloth);
    figure.Limb(kUpperLegR, kLowerLegR, 0.85f, cloth);

    Walker walker;
    walker.mesh = figure.Finish();
    // The mesh stays where it was bound; the bones carry all the motion.
    walker.nodes.push_back(MakeNode(0, kvf::kNodeMesh, name, At({0, 0, 0})));

    const float lapFrames = LapFrames(radius);
    const auto angleAt = [lapFrames](float f) { return 2.0f * kPi * f / lapFrames; };
    const auto phaseAt = [](float f) { return 2.0f * kPi * f / kStride; };
    // Depth-first: each bone's children follow it.
    const int order[] = {kHips, kSpine, kHead, kUpperArmL, kLowerArmL, kUpperArmR, kLowerArmR,
                         kUpperLegL, kLowerLegL, kUpperLegR, kLowerLegR};
    for (int bone : order) {
        kvf::Helper helper;
        helper.name = kBones[bone].name;
        walker.bones.push_back(helper);
        int depth = 0;
        for (int p = kBones[bone].parent; p >= 0; p = kBones[p].parent) {
            ++depth;
        }
        if (bone == kHips) {
            const kvf::Controller path = PositionTrackOf(frames, [=](float f) { return WalkerHips(radius, f); });
            // Facing -Y at rest; along the circle's tangent means turned by the
            // angle round the circle plus half a turn.
            const kvf::Controller heading = SampledRotationTrack(frames, [=](float f) {
                return std::pair<Vec3, float>{{0, 0, 1}, angleAt(f) + kPi};
            });
            walker.nodes.push_back(MakeNode(depth, kvf::kNodeHelper, helper.name, path, heading));
            continue;
        }
        const Bone& b = kBones[bone];
        const Vec3 offset = b.joint - kBones[b.parent].joint;
        walker.nodes.push_back(MakeNode(depth, kvf::kNodeHelper, helper.name, At(offset),
                                        SampledRotationTrack(frames, [=](float f) {
                                            return std::pair<Vec3, float>{{1, 0, 0}, Swing(bone, phaseAt(f))};
                                        })));
    }
    return walker;
}

} // namespace content
