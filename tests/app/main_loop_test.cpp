// The main loop and the window procedure, driven one pass at a time with the
// real device layer and demo manager, offscreen and on the silent audio
// output.
#include "app/win_main.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "app/show_state.h"
#include "app/window_proc.h"
#include "demo/demo_manager.h"
#include "demo/frame_counter.h"
#include "gfx/dx_device.h"
#include "platform/d3d8/d3d8.h"
#include "platform/win32/window.h"
#include "tests/app/test_show.h"
#include "tests/support/box_capture.h"
#include "tests/support/pack_builder.h"

namespace {

using Clock = std::chrono::steady_clock;

// How long a pass that should end the loop may take before the test calls
// the loop hung: far longer than any machine needs, so it never decides a
// result by itself.
constexpr std::chrono::milliseconds kHangGuard(30000);

class MainLoop : public ::testing::Test, protected BoxCapture {
protected:
    void SetUp() override
    {
        ZoltResetWindowSystem();
    }
    void TearDown() override
    {
        if (started) {
            StopShow();
        }
        inFolder.reset();
        ZoltResetWindowSystem();
    }

    void Start(double musicSeconds)
    {
        TestShow show;
        show.musicSeconds = musicSeconds;
        ASSERT_TRUE(WriteTestShow(folder.Path(), show));
        inFolder = std::make_unique<WorkingDirectory>(folder.Path());
        ASSERT_EQ(StartShow(GetModuleHandleA(nullptr)), 0);
        started = true;
        ASSERT_NE(TheShow().window, nullptr);
        ASSERT_EQ(TheShow().running, 1);
    }

    // Runs passes until the loop is left or `limit` has passed.
    LoopPass RunFor(std::chrono::milliseconds limit, int* quitCode)
    {
        const Clock::time_point start = Clock::now();
        while (Clock::now() - start < limit) {
            const LoopPass pass = RunLoopPass(quitCode);
            if (pass != LoopPass::Continue) {
                return pass;
            }
        }
        return LoopPass::Continue;
    }

    // Runs passes until the show's music time has moved past 0, or the loop
    // is left. The deadline only stops a show that hangs.
    LoopPass RunUntilFramesMoved(int* quitCode)
    {
        const Clock::time_point start = Clock::now();
        while (TheShow().manager->GetTime() <= 0.0f && Clock::now() - start < kHangGuard) {
            const LoopPass pass = RunLoopPass(quitCode);
            if (pass != LoopPass::Continue) {
                return pass;
            }
        }
        return LoopPass::Continue;
    }

    HRESULT DeviceState() { return TheShow().device->m_device->TestCooperativeLevel(); }

    TempDirectory folder;
    std::unique_ptr<WorkingDirectory> inFolder;
    bool started = false;
};

TEST_F(MainLoop, EscapeDestroysTheWindowAndQuitsWithCodeZero)
{
    Start(30.0);
    const HWND window = TheShow().window;
    int quitCode = -1;
    EXPECT_EQ(RunUntilFramesMoved(&quitCode), LoopPass::Continue);
    EXPECT_GT(TheShow().manager->GetTime(), 0.0f);  // frames were drawn

    PostMessageA(window, WM_CHAR, 27, 0);
    EXPECT_EQ(RunFor(kHangGuard, &quitCode), LoopPass::Quit);
    EXPECT_EQ(quitCode, 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_TRUE(boxes.empty());
}

TEST_F(MainLoop, OtherCharactersAreIgnoredAndClosingTheWindowQuits)
{
    Start(30.0);
    const HWND window = TheShow().window;
    int quitCode = -1;
    PostMessageA(window, WM_CHAR, 'q', 0);
    PostMessageA(window, WM_CHAR, 13, 0);
    EXPECT_EQ(RunFor(std::chrono::milliseconds(200), &quitCode), LoopPass::Continue);
    EXPECT_TRUE(IsWindow(window));

    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(RunFor(kHangGuard, &quitCode), LoopPass::Quit);
    EXPECT_EQ(quitCode, 0);
}

TEST_F(MainLoop, TheShowEndsOnceTheMusicLengthHasPassed)
{
    // Measured from before the start, so that the music's length has surely
    // passed by this clock once the show is over.
    const Clock::time_point start = Clock::now();
    Start(0.6);
    int quitCode = -1;
    EXPECT_EQ(RunFor(kHangGuard, &quitCode), LoopPass::ShowOver);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(599));
    EXPECT_TRUE(IsWindow(TheShow().window));  // left for the process to end
}

// While inactive, no frame is drawn and the end is not checked, though the
// music's length passes; on reactivation the show ends at the first pass.
TEST_F(MainLoop, InactiveMeansNoFramesAndNoEndOfShow)
{
    Start(0.4);
    const HWND window = TheShow().window;
    PostMessageA(window, WM_ACTIVATEAPP, 0, 0);
    int quitCode = -1;
    ASSERT_EQ(RunLoopPass(&quitCode), LoopPass::Continue);  // takes the message
    ASSERT_EQ(TheShow().active, 0);
    const int32_t framesBefore = TheShow().manager->GetFrameCounter()->GetFrames();
    const float timeBefore = TheShow().manager->GetTime();

    EXPECT_EQ(RunFor(std::chrono::milliseconds(800), &quitCode), LoopPass::Continue);
    EXPECT_EQ(TheShow().manager->GetFrameCounter()->GetFrames(), framesBefore);
    EXPECT_EQ(TheShow().manager->GetTime(), timeBefore);

    PostMessageA(window, WM_ACTIVATEAPP, 1, 0);
    EXPECT_EQ(RunLoopPass(&quitCode), LoopPass::Continue);  // takes the message
    EXPECT_EQ(RunLoopPass(&quitCode), LoopPass::ShowOver);
    EXPECT_EQ(TheShow().manager->GetFrameCounter()->GetFrames(), framesBefore);
}

// A minimised full-screen window loses the device. Activation waits until
// the window is back and resets the device, but only once the show runs.
TEST_F(MainLoop, ActivationRestoresALostDevice)
{
    Start(30.0);
    const HWND window = TheShow().window;
    int quitCode = -1;
    RunFor(std::chrono::milliseconds(100), &quitCode);
    ZoltSetWindowMinimized(window, true);
    RunFor(std::chrono::milliseconds(100), &quitCode);
    EXPECT_EQ(TheShow().active, 0);
    ASSERT_EQ(DeviceState(), D3DERR_DEVICELOST);

    // Before the show runs, activation only sets the flag.
    TheShow().running = 0;
    PostMessageA(window, WM_ACTIVATEAPP, 1, 0);
    ASSERT_EQ(RunLoopPass(&quitCode), LoopPass::Continue);
    EXPECT_EQ(TheShow().active, 1);
    EXPECT_EQ(DeviceState(), D3DERR_DEVICELOST);

    // Running: the activation waits for the window to come back (restored
    // here from another thread, as the user would), then resets the device.
    TheShow().running = 1;
    const Clock::time_point start = Clock::now();
    std::thread user([window] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        ZoltSetWindowMinimized(window, false);
    });
    PostMessageA(window, WM_ACTIVATEAPP, 1, 0);
    ASSERT_EQ(RunLoopPass(&quitCode), LoopPass::Continue);  // dispatched, no frame drawn
    user.join();
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(200));
    EXPECT_EQ(DeviceState(), D3D_OK);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(MainLoop, ShutDownReleasesEverythingAndShowsTheCursor)
{
    Start(30.0);
    EXPECT_EQ(ShowCursor(FALSE), -2);  // hidden once by the start-up
    ShowCursor(TRUE);
    StopShow();
    started = false;
    EXPECT_EQ(TheShow().manager, nullptr);
    EXPECT_EQ(TheShow().device, nullptr);
    EXPECT_EQ(ShowCursor(TRUE), 1);
}

TEST(WindowProcedure, MovesReachTheDeviceOnlyWhileRunning)
{
    // Windowed device layer, so that moves change its client rectangle.
    ZoltResetWindowSystem();
    ShowState& show = TheShow();
    show = ShowState();
    DXDevice device;
    show.device = &device;
    device.m_fullScreen = false;
    device.m_clientRect = RECT{0, 0, 0, 0};
    device.m_width = 600;
    device.m_height = 400;
    const LPARAM position = static_cast<LPARAM>((static_cast<uint32_t>(static_cast<uint16_t>(-30)) << 16) | 75u);
    WindowProc(nullptr, WM_MOVE, 0, position);
    EXPECT_EQ(device.m_clientRect.left, 0);

    show.running = 1;
    WindowProc(nullptr, WM_MOVE, 0, position);
    EXPECT_EQ(device.m_clientRect.left, 75);
    EXPECT_EQ(device.m_clientRect.top, -30);
    EXPECT_EQ(device.m_clientRect.right, 675);
    EXPECT_EQ(device.m_clientRect.bottom, 370);
    show = ShowState();
}

}  // namespace
