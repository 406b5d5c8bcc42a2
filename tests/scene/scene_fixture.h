// Loads scenes written with the KVF writer through a real pack, capturing the
// message boxes shown on the way.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scene/scene.h"
#include "tests/support/box_capture.h"
#include "tests/support/pack_builder.h"
#include "tools/kvf_writer/kvf_writer.h"

class SceneTest : public ::testing::Test, protected BoxCapture {
protected:

    std::string Archive() const { return dir.File("data.pac"); }

    // Writes the bytes as "scene.kvf" of a fresh pack and loads them.
    int LoadBytes(const std::vector<uint8_t>& bytes)
    {
        EXPECT_TRUE(WritePack(Archive(), {PackMember{"scene.kvf", bytes}}));
        return scene.LoadScene("scene.kvf", Archive().c_str());
    }

    int Load(const kvf::Scene& description) { return LoadBytes(kvf::WriteScene(description)); }

    TempDirectory dir;
    CScene scene;
};

inline kvf::Node MakeNode(int32_t depth, int32_t kind, const std::string& name)
{
    kvf::Node node;
    node.depth = depth;
    node.kind = kind;
    node.name = name;
    return node;
}

inline kvf::Helper MakeHelper(const std::string& name)
{
    kvf::Helper helper;
    helper.name = name;
    return helper;
}

// A skin whose every one of `positions` vertices follows the one bone fully.
inline kvf::Modifier SkinOnOneBone(const std::string& bone, int32_t type, size_t positions)
{
    kvf::Modifier skin;
    skin.type = type;
    skin.skin.bones = {kvf::SkinBone{bone, kvf::Matrix43{}}};
    kvf::SkinVertex vertex;
    vertex.influences = {kvf::SkinInfluence{0, 1.0f}};
    skin.skin.vertices.assign(positions, vertex);
    return skin;
}
