// The demo manager's frame on a real device. The music file named by these
// scripts does not exist, so the clock stays at 0 ms and the music's length
// reads 0.
#include "demo/demo_manager.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "demo/effect.h"
#include "demo/frame_counter.h"
#include "demo/script_writer.h"
#include "tests/support/box_capture.h"
#include "tests/support/pack_builder.h"
#include "tests/support/show_device.h"
#include "tests/support/test_images.h"

namespace {

class DemoManagerTest : public ShowDeviceInTempDirTest {
protected:
    void SetUp() override
    {
        ShowDeviceInTempDirTest::SetUp();
        if (HasFatalFailure())
            return;
        std::vector<PackMember> faces;
        for (const char* name :
             {"Otter_FR.JPG", "Otter_BK.JPG", "Otter_DN.JPG", "Otter_UP.JPG", "Otter_LF.JPG", "Otter_RT.JPG"})
            faces.push_back({name, EncodeTga(PatternImage(8, 8), 24, true, TgaRows::TopDown)});
        ASSERT_TRUE(WritePack("data.pac", faces));
    }

    // A script of plain effects with the given windows.
    void WriteScript(std::initializer_list<std::pair<float, float>> windows)
    {
        ScriptWriter writer;
        writer.WriteString("absent.wav");
        writer.WriteByte(0);
        writer.WriteInt32(int32_t(windows.size()));
        for (const auto& window : windows) {
            writer.WriteInt32(0);
            writer.WriteString("plain");
            writer.WriteFloat(window.first);
            writer.WriteFloat(window.second);
        }
        ASSERT_EQ(writer.SaveToFile("Marble.Spt"), 0);
    }

    // Loads the script and draws one frame; returns the messages other than
    // the missing music's.
    std::vector<std::string> RenderOneFrame(DemoManager* manager)
    {
        BoxCapture boxes;
        EXPECT_EQ(manager->Init(), 0);
        EXPECT_EQ(manager->LoadScript("Marble.Spt"), 0);
        manager->Start();
        manager->RenderFrame();
        std::vector<std::string> texts;
        for (const std::string& text : boxes.Texts())
            if (text.rfind("LibSound", 0) != 0)
                texts.push_back(text);
        return texts;
    }

    static int CountNot(const std::vector<uint32_t>& pixels, uint32_t rgb)
    {
        int count = 0;
        for (uint32_t p : pixels)
            count += (p & 0x00FFFFFFu) != rgb;
        return count;
    }
};

TEST_F(DemoManagerTest, NoEffectAtTheTimeShowsDarkBlue)
{
    WriteScript({{100.0f, 200.0f}});
    DemoManager manager(s_device->Layer());
    EXPECT_TRUE(RenderOneFrame(&manager).empty());
    EXPECT_EQ(manager.GetActiveIndex(), -1);
    std::vector<uint32_t> pixels = s_device->ReadBack();
    ASSERT_EQ(pixels.size(), 640u * 480u);
    EXPECT_EQ(CountNot(pixels, 0x000044u), 0);
}

TEST_F(DemoManagerTest, APlainEffectClearsOverTheBackground)
{
    WriteScript({{0.0f, 1000.0f}});
    DemoManager manager(s_device->Layer());
    EXPECT_TRUE(RenderOneFrame(&manager).empty());
    EXPECT_EQ(manager.GetActiveIndex(), 0);
    EXPECT_EQ(manager.GetEffect(0)->GetCurrentTime(), 0.0f);
    EXPECT_EQ(CountNot(s_device->ReadBack(), 0x000000u), 0);
}

TEST_F(DemoManagerTest, OverlappingEffectsGoThroughTheRenderTarget)
{
    // At 0 ms both windows hold the time: the incoming effect is drawn into
    // the target, but the fade amount is 0, so nothing is blended.
    WriteScript({{0.0f, 1000.0f}, {0.0f, 2000.0f}});
    DemoManager manager(s_device->Layer());
    EXPECT_TRUE(RenderOneFrame(&manager).empty());
    EXPECT_EQ(manager.GetActiveIndex(), 0);
    EXPECT_EQ(manager.GetIncomingIndex(), 1);
    EXPECT_EQ(manager.GetEffect(1)->GetCurrentTime(), 0.0f); // the incoming effect was updated
    EXPECT_EQ(CountNot(s_device->ReadBack(), 0x000000u), 0);
}

TEST_F(DemoManagerTest, StatusFollowsStartAndTheMusicLength)
{
    DemoManager manager(s_device->Layer());
    EXPECT_EQ(manager.GetStatus(), -1); // no script: the show is over at once
    manager.Start();
    EXPECT_EQ(manager.GetStatus(), -1);

    WriteScript({});
    BoxCapture boxes;
    ASSERT_EQ(manager.LoadScript("Marble.Spt"), 0);
    manager.Start();
    EXPECT_EQ(manager.GetStatus() & DemoManager::kStatusPlaying, DemoManager::kStatusPlaying);
    // Without a music file the length is 0: over once a millisecond has passed.
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(manager.GetStatus(), 1 | 2 | 4);
}

TEST_F(DemoManagerTest, InitWithoutThePackStillSucceeds)
{
    std::remove("data.pac");
    DemoManager manager(s_device->Layer());
    BoxCapture boxes;
    EXPECT_EQ(manager.Init(), 0);
    ASSERT_EQ(boxes.boxes.size(), 3u); // the first face only: the rest are not attempted
    EXPECT_EQ(boxes.boxes[2].text, "LibDX : Cannot load : Otter_FR.JPG ");
    ASSERT_NE(manager.GetFrameCounter(), nullptr);
    EXPECT_EQ(manager.GetFrameCounter()->GetFramesPerSecond(), 0.0f);
}

} // namespace
