// The sample show drawn by the demo manager as the player draws it, at
// frames of every scene, of the crossfades and of the gap between effects,
// once the straightforward way (vertex buffers kept as a copy in memory
// uploaded on every unlock, modifier chains run one after another, the
// skybox drawn first) and once the way the player runs (buffers rewritten in
// their mapped storage, the chains of a frame's deformed meshes run on two
// threads, the skybox painted behind each effect): the pictures must be the
// same to the byte.
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "content/show.h"
#include "demo/demo_manager.h"
#include "demo/frame_clock.h"
#include "platform/d3d8/d3d8.h"
#include "scene/chains_together.h"
#include "tests/support/box_capture.h"
#include "tests/support/pack_builder.h"
#include "tests/support/show_device.h"

namespace {

// Frames at 60 a second, in runs of consecutive frames so that deformed
// meshes are rewritten between them: the hall, the hall with its otter, the
// hall fading into the walker, the walker, the walker fading into the glass,
// the glass, the gap without an effect, the lights, the lights fading into
// the flight, the flight, and the closing plain effect.
const int64_t kFrames[] = {600,  601,  602,  3590, 3591, 3660, 3661, 4800, 4801, 4802, 5940, 5941,
                           6900, 6901, 8200, 9000, 9001, 10230, 10231, 11100, 11101, 12060};

std::vector<std::vector<uint32_t>> DrawShow(ShowDevice* device, bool straightforward)
{
    ZoltVertexBuffersKeepCopies(straightforward);
    SetChainsRunTogether(!straightforward);
    ZoltAllowPaintingBehind(!straightforward);
    std::vector<std::vector<uint32_t>> pictures;
    {
        BoxCapture boxes;
        FrameClock clock(0.0, 60);
        DemoManager manager(device->Layer());
        manager.SetClock(&clock);
        EXPECT_EQ(manager.Init(), 0);
        EXPECT_EQ(manager.LoadScript("Marble.Spt"), 0);
        for (int64_t frame : kFrames) {
            clock.SetFrame(frame);
            manager.RenderFrame();
            pictures.push_back(device->ReadBack());
        }
        // Nothing may be reported but what the music library has to say.
        for (const std::string& text : boxes.Texts())
            EXPECT_EQ(text.rfind("LibSound", 0), 0u) << text;
    }
    ZoltVertexBuffersKeepCopies(false);
    SetChainsRunTogether(true);
    ZoltAllowPaintingBehind(true);
    return pictures;
}

} // namespace

TEST(ShowPictures, EveryPathDrawsTheSameBytes)
{
    TempDirectory folder;
    ASSERT_TRUE(content::MakeShow(folder.Path(), ZOLT_CAPTION_FONT, ZOLT_MUSIC_SOURCE));
    WorkingDirectory cwd(folder.Path());
    ShowDevice device;
    ASSERT_TRUE(device.Created());

    const std::vector<std::vector<uint32_t>> plain = DrawShow(&device, true);
    const std::vector<std::vector<uint32_t>> fast = DrawShow(&device, false);
    ASSERT_EQ(plain.size(), std::size(kFrames));
    ASSERT_EQ(fast.size(), plain.size());
    std::set<std::vector<uint32_t>> distinct;
    for (size_t i = 0; i < plain.size(); ++i) {
        SCOPED_TRACE("frame " + std::to_string(kFrames[i]));
        ASSERT_EQ(plain[i].size(), 640u * 480u);
        ASSERT_EQ(fast[i].size(), plain[i].size());
        size_t differing = 0;
        for (size_t p = 0; p < plain[i].size(); ++p)
            differing += plain[i][p] != fast[i][p];
        EXPECT_EQ(differing, 0u);
        distinct.insert(plain[i]);
    }
    // Every frame drew a picture of its own: the comparison saw the scenes
    // move, not blank or frozen screens.
    EXPECT_EQ(distinct.size(), plain.size());
}
