// A scene of 20 skinned grid meshes and the 30 animated helper bones that
// move them, for the benchmarks of deformation and of drawing.
#pragma once

#include <random>
#include <string>

#include "tools/kvf_writer/kvf_writer.h"

constexpr int kSkinnedSceneBones = 30;
constexpr int kSkinnedSceneGrid = 100; // 101 x 101 positions

// 30 helper bones on animated nodes and 20 grid meshes of 101 x 101
// positions, each skinned by all the bones with one to four influences.
inline kvf::Scene SkinnedScene()
{
    kvf::Scene scene;
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> boneOf(0, kSkinnedSceneBones - 1);
    kvf::Mesh grid;
    for (int y = 0; y <= kSkinnedSceneGrid; ++y) {
        for (int x = 0; x <= kSkinnedSceneGrid; ++x) {
            grid.positions.push_back({0.1f * static_cast<float>(x), 0.1f * static_cast<float>(y), 0.0f});
        }
    }
    auto at = [](int x, int y) { return static_cast<uint16_t>(y * (kSkinnedSceneGrid + 1) + x); };
    for (int y = 0; y < kSkinnedSceneGrid; ++y) {
        for (int x = 0; x < kSkinnedSceneGrid; ++x) {
            grid.faces.push_back({at(x, y), at(x + 1, y), at(x + 1, y + 1), 1, -1});
            grid.faces.push_back({at(x, y), at(x + 1, y + 1), at(x, y + 1), 1, -1});
        }
    }
    kvf::Modifier skin;
    skin.type = kvf::kSkinCountFirst;
    for (int b = 0; b < kSkinnedSceneBones; ++b) {
        skin.skin.bones.push_back({"bone" + std::to_string(b), kvf::Matrix43{}});
    }
    for (size_t j = 0; j < grid.positions.size(); ++j) {
        kvf::SkinVertex v;
        const int count = 1 + static_cast<int>(j % 4);
        for (int k = 0; k < count; ++k) {
            v.influences.push_back({boneOf(rng), 1.0f / static_cast<float>(count)});
        }
        skin.skin.vertices.push_back(v);
    }
    grid.modifiers.entries = {skin};
    for (int m = 0; m < 20; ++m) {
        grid.name = "mesh" + std::to_string(m);
        scene.objects.push_back(grid);
    }
    for (int b = 0; b < kSkinnedSceneBones; ++b) {
        kvf::Helper helper;
        helper.name = "bone" + std::to_string(b);
        scene.objects.push_back(helper);
        kvf::Node node;
        node.kind = 4;
        node.name = helper.name;
        kvf::Key start;
        kvf::Key end;
        end.time = 100;
        end.value[0] = static_cast<float>(b % 5);
        end.value[2] = 1.0f;
        node.position.keys = {start, end};
        kvf::Key turned;
        turned.time = 100;
        turned.value[2] = 1.0f;
        turned.value[3] = 0.5f + 0.01f * static_cast<float>(b);
        node.rotation.keys = {kvf::ConstantRotation(0, 0, 1, 0).keys[0], turned};
        scene.nodes.push_back(node);
    }
    return scene;
}

