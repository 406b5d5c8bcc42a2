// Scene effects on the show's device, in a fresh working directory whose
// "data.pac" holds scenes written with the KVF writer and caption images.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "demo/effect.h"
#include "demo/script_reader.h"
#include "demo/script_writer.h"
#include "scene/helper_object.h"
#include "scene/node.h"
#include "scene/scene.h"
#include "tests/support/box_capture.h"
#include "tests/support/show_device.h"
#include "tests/support/test_images.h"
#include "tools/kvf_writer/kvf_writer.h"

// A scene whose helper "clock" sits at engine x = its frame time, so where
// it is tells the time the scene was last updated to; with a camera at
// (1, 2, 3) looking at (4, 5, 6) and one triangle.
inline kvf::Scene ClockScene(int32_t endFrame, int32_t frameRate)
{
    kvf::Scene scene;
    scene.endFrame = endFrame;
    scene.frameRate = frameRate;
    kvf::Camera camera;
    camera.name = "camera";
    camera.position = kvf::ToFileAxes(1, 2, 3);
    camera.target = kvf::ToFileAxes(4, 5, 6);
    kvf::Helper clock;
    clock.name = "clock";
    kvf::Mesh triangle;
    triangle.name = "triangle";
    triangle.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    triangle.faces = {kvf::Face{0, 1, 2, 0, -1}};
    scene.objects = {camera, clock, triangle};

    kvf::Node node;
    node.kind = CNode::kHelper;
    node.name = "clock";
    kvf::Key first;
    kvf::Key last;
    last.time = static_cast<float>(endFrame);
    last.value[0] = -static_cast<float>(endFrame); // engine x = frame
    node.position.keys = {first, last};
    scene.nodes = {node};
    return scene;
}

// Where the clock of a ClockScene says the scene was last updated to.
inline float ClockTime(const CScene* scene)
{
    return scene->RetrieveHelper("clock")->world._41;
}

inline PackMember SceneMember(const std::string& name, const kvf::Scene& scene)
{
    return PackMember{name, kvf::WriteScene(scene)};
}

// A solid 32-bit TGA image.
inline PackMember ImageMember(const std::string& name, uint32_t argb)
{
    return PackMember{name, EncodeTga(TestImage{4, 4, std::vector<uint32_t>(16, argb)}, 32, false, TgaRows::TopDown)};
}

class SceneEffectTest : public ShowDeviceInTempDirTest {
protected:
    // Reads the record (the bytes after the kind code) into the effect,
    // returning Read's result.
    static int ReadRecord(Effect* effect, const ScriptWriter& record)
    {
        ScriptReader reader(record.Bytes().data(), record.Bytes().size());
        return effect->Read(&reader);
    }

    static ScriptWriter Record(const std::string& name, float start, float end)
    {
        ScriptWriter record;
        record.WriteString(name);
        record.WriteFloat(start);
        record.WriteFloat(end);
        return record;
    }

    // The messages shown, the missing music's left out.
    std::vector<std::string> Texts() const
    {
        std::vector<std::string> texts;
        for (const std::string& text : boxes.Texts())
            if (text.rfind("LibSound", 0) != 0)
                texts.push_back(text);
        return texts;
    }

    BoxCapture boxes;
};
