// The sample show's load: every scene of the generated pack read and
// prepared on a headless device (textures loaded from the pack), and one
// frame's update of every scene, nodes and modifiers. The show must
// load well within two seconds and update far within a 60 Hz frame.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "content/show.h"
#include "scene/scene.h"
#include "tests/support/headless_device.h"
#include "tests/support/pack_builder.h"

namespace {

const TempDirectory& ShowFolder()
{
    static TempDirectory folder;
    static const bool made = content::MakeShow(folder.Path(), ZOLT_CAPTION_FONT, ZOLT_MUSIC_SOURCE);
    (void)made;
    return folder;
}

void BM_LoadEveryScene(benchmark::State& state)
{
    // Textures are looked up in "data.pac" of the working directory.
    WorkingDirectory cwd(ShowFolder().Path());
    HeadlessDeviceOptions options;
    options.width = 640;
    options.height = 480;
    HeadlessDevice device(options);
    if (!device) {
        state.SkipWithError("no device");
        return;
    }
    for (auto _ : state) {
        for (const content::NamedScene& named : content::ShowScenes()) {
            CScene scene;
            if (scene.LoadScene(named.fileName.c_str()) != 0 || scene.Prepare(device.get()) != 0) {
                state.SkipWithError("load failed");
                return;
            }
        }
    }
}
BENCHMARK(BM_LoadEveryScene)->Unit(benchmark::kMillisecond);

void BM_UpdateEveryScene(benchmark::State& state)
{
    const std::string archive = ShowFolder().File("data.pac");
    std::vector<std::unique_ptr<CScene>> scenes;
    for (const content::NamedScene& named : content::ShowScenes()) {
        scenes.push_back(std::make_unique<CScene>());
        if (scenes.back()->LoadScene(named.fileName.c_str(), archive.c_str()) != 0 || scenes.back()->Prepare(nullptr) != 0) {
            state.SkipWithError("load failed");
            return;
        }
    }
    float frame = 0.0f;
    for (auto _ : state) {
        for (const auto& scene : scenes) {
            scene->Update(frame);
        }
        frame += 0.5f;
    }
}
BENCHMARK(BM_UpdateEveryScene)->Unit(benchmark::kMicrosecond);

void BM_MakeShow(benchmark::State& state)
{
    for (auto _ : state) {
        TempDirectory folder;
        content::MakeShow(folder.Path(), ZOLT_CAPTION_FONT, ZOLT_MUSIC_SOURCE);
    }
}
BENCHMARK(BM_MakeShow)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
