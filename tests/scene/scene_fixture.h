// Loads scenes written with the KVF writer through a real pack, capturing the
// message boxes shown on the way.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/message_box.h"
#include "scene/scene.h"
#include "tests/support/pack_builder.h"
#include "tools/kvf_writer/kvf_writer.h"

class SceneTest : public ::testing::Test {
protected:
    SceneTest()
    {
        SetMessageBoxHook([this](const MessageBoxRecord& box) { boxes.push_back(box); });
    }
    ~SceneTest() override { SetMessageBoxHook(nullptr); }

    std::string Archive() const { return dir.File("data.pac"); }

    // Writes the bytes as "scene.kvf" of a fresh pack and loads them.
    int LoadBytes(const std::vector<uint8_t>& bytes)
    {
        EXPECT_TRUE(WritePack(Archive(), {PackMember{"scene.kvf", bytes}}));
        return scene.LoadScene("scene.kvf", Archive().c_str());
    }

    int Load(const kvf::Scene& description) { return LoadBytes(kvf::WriteScene(description)); }

    std::vector<std::string> Texts() const
    {
        std::vector<std::string> texts;
        for (const MessageBoxRecord& box : boxes) {
            texts.push_back(box.text);
        }
        return texts;
    }

    std::vector<std::string> Titles() const
    {
        std::vector<std::string> titles;
        for (const MessageBoxRecord& box : boxes) {
            titles.push_back(box.title);
        }
        return titles;
    }

    TempDirectory dir;
    CScene scene;
    std::vector<MessageBoxRecord> boxes;
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
