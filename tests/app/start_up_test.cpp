// Start-up of the program: each failure shows the failing step's message and
// then the entry's own, releases what was made and ends with status 1.
#include "app/win_main.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/show_state.h"
#include "demo/demo_manager.h"
#include "gfx/dx_device.h"
#include "platform/d3d8/d3d8.h"
#include "platform/win32/program_resources.h"
#include "platform/win32/report_box.h"
#include "platform/win32/window.h"
#include "tests/app/test_show.h"
#include "tests/support/box_capture.h"
#include "tests/support/pack_builder.h"

namespace {

const char kStartFailed[] = "DemoManager : Cannot Initialize the Demo properly";

class StartUp : public ::testing::Test, protected BoxCapture {
protected:
    void SetUp() override
    {
        ZoltResetWindowSystem();
    }
    void TearDown() override
    {
        ZoltForceDirect3DCreateFailure(false);
        ZoltForceCreateDeviceFailure(0);
        ZoltResetWindowSystem();
    }

    // Runs the whole program in a show folder written with `show`.
    int RunProgram(const TestShow& show)
    {
        TempDirectory folder;
        EXPECT_TRUE(WriteTestShow(folder.Path(), show));
        WorkingDirectory inFolder(folder.Path());
        return WinMain(GetModuleHandleA(nullptr), nullptr, nullptr, 0);
    }

    void ExpectErrorsOnly() const
    {
        for (const MessageBoxRecord& box : boxes) {
            EXPECT_EQ(box.title, "Zolt Engine Error") << box.text;
            EXPECT_EQ(box.type, MB_ICONERROR) << box.text;
        }
    }

    // Nothing is left behind and the cursor was never hidden.
    void ExpectNothingHeld() const
    {
        EXPECT_EQ(TheShow().device, nullptr);
        EXPECT_EQ(TheShow().manager, nullptr);
        EXPECT_EQ(ShowCursor(TRUE), 1);
    }
};

TEST_F(StartUp, WindowClassRefusedEndsSilentlyWithFailure)
{
    ZoltForceRegisterClassFailure(true);
    EXPECT_EQ(RunProgram(TestShow()), 1);
    EXPECT_TRUE(boxes.empty());
    ExpectNothingHeld();
}

TEST_F(StartUp, WindowCreationFailure)
{
    ZoltForceCreateWindowFailure(true);
    EXPECT_EQ(RunProgram(TestShow()), 1);
    EXPECT_EQ(Texts(), (std::vector<std::string>{"LibDX\t:\tDisplaying window impossible.", kStartFailed}));
    ExpectErrorsOnly();
    ExpectNothingHeld();
}

TEST_F(StartUp, Direct3DCreationFailure)
{
    ZoltForceDirect3DCreateFailure(true);
    EXPECT_EQ(RunProgram(TestShow()), 1);
    EXPECT_EQ(Texts(), (std::vector<std::string>{"LibDX\t:\tDirect3D Creation Impossible.", kStartFailed}));
    ExpectErrorsOnly();
    ExpectNothingHeld();
}

TEST_F(StartUp, DeviceCreationFailsForBothVertexProcessingKinds)
{
    ZoltForceCreateDeviceFailure(D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_SOFTWARE_VERTEXPROCESSING);
    EXPECT_EQ(RunProgram(TestShow()), 1);
    EXPECT_EQ(Texts(), (std::vector<std::string>{"LibDX\t:\tCreateDevice Impossible.\n Impossible to initialize "
                                                 "either Hardware or Software VertexProcessing",
                                                 kStartFailed}));
    ExpectErrorsOnly();
    ExpectNothingHeld();
}

TEST_F(StartUp, SoftwareVertexProcessingStandsInWithoutAMessage)
{
    ZoltForceCreateDeviceFailure(D3DCREATE_HARDWARE_VERTEXPROCESSING);
    TestShow show;
    show.musicSeconds = 0.5;
    EXPECT_EQ(RunProgram(show), 0);
    EXPECT_TRUE(boxes.empty()) << (boxes.empty() ? "" : boxes[0].text);
}

// Without the font resource and without "font1.bmp" beside the program.
TEST_F(StartUp, FontFailureFollowsTheFontsOwnWarning)
{
    SetProgramResourcesForTesting(nullptr, 0);
    const int status = RunProgram(TestShow());
    RestoreProgramResources();
    EXPECT_EQ(status, 1);
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].title, "Zolt Engine Warning");
    EXPECT_EQ(boxes[1].text, "LibDX\t:\tCannot create font, Problem with texture : font1.bmp");
    EXPECT_EQ(boxes[1].title, "Zolt Engine Error");
    EXPECT_EQ(boxes[2].text, kStartFailed);
    EXPECT_EQ(boxes[2].title, "Zolt Engine Error");
    ExpectNothingHeld();
}

TEST_F(StartUp, MissingScript)
{
    TestShow show;
    show.writeScript = false;
    EXPECT_EQ(RunProgram(show), 1);
    EXPECT_EQ(Texts(), (std::vector<std::string>{"LibDemo\t:\tError while loading Spt File : Marble.Spt", kStartFailed}));
    ExpectErrorsOnly();
    ExpectNothingHeld();
}

// The music stream reports the file and posts quit code 1; loading goes on,
// and the loop ends at its first pass with status 1.
TEST_F(StartUp, MissingMusicEndsAtTheFirstPassWithFailure)
{
    TestShow show;
    show.writeMusic = false;
    EXPECT_EQ(RunProgram(show), 1);
    EXPECT_EQ(Texts(),
              (std::vector<std::string>{"LibSound\t:\tCannot initialize the stream, does the file music.wav exist ?"}));
    ExpectErrorsOnly();
    EXPECT_EQ(TheShow().manager, nullptr);
    EXPECT_EQ(TheShow().device, nullptr);
    EXPECT_EQ(ShowCursor(TRUE), 1);  // shown again after the show
}

// Boxes before the window exists have no owner; later ones belong to it.
TEST_F(StartUp, MessageBoxOwnerIsTheShowWindowOnceItExists)
{
    ZoltForceDirect3DCreateFailure(true);
    RunProgram(TestShow());
    EXPECT_EQ(GetErrorBoxOwner(), nullptr);

    ZoltForceDirect3DCreateFailure(false);
    ZoltResetWindowSystem();
    TestShow show;
    show.writeScript = false;
    RunProgram(show);
    EXPECT_NE(GetErrorBoxOwner(), nullptr);
}

}  // namespace
