// Videos of the generated show, decoded again: every frame is there at its
// music time, the picture switches on the frame its time says, and the sound
// track starts with the first picture, so the click lands on the frame that
// shows the switch made at the same music time.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

#include "tests/capture/capture_fixture.h"

extern char** environ;

namespace {

// Checks a capture of music time [from, to) at fps frames a second. Times
// are taken from the first picture's: a container may start both tracks a
// little after zero to hold the sound encoder's lead-in.
void ExpectInStep(const DecodedMedia& media, int fps, double from, double to)
{
    ASSERT_TRUE(media.opened);
    const double frame = 1.0 / fps;
    const int frames = static_cast<int>(std::lround((to - from) * fps));
    ASSERT_EQ(static_cast<int>(media.frameTimes.size()), frames);
    EXPECT_EQ(media.width, 640);
    EXPECT_EQ(media.height, 480);
    const double start = media.frameTimes[0];
    EXPECT_LT(start, 0.05);
    for (int n = 0; n < frames; ++n) {
        ASSERT_NEAR(media.frameTimes[n] - start, n * frame, 1e-3) << "frame " << n;
    }
    EXPECT_NEAR(media.duration, to - from, frame);
    // The music time of frame n is from + n / fps, so a switch at s shows
    // first on frame ceil((s - from) * fps).
    int searchFrom = 1;
    for (double s : {1.0, 1.5, 2.5}) {
        if (s <= from || s >= to) {
            continue;
        }
        const int expected = static_cast<int>(std::ceil((s - from) * fps - 1e-9));
        const int change = media.NextChange(searchFrom);
        EXPECT_EQ(change, expected) << "switch at " << s << " s";
        searchFrom = change + 1;
    }

    // The sound lasts as long as the pictures (to within the encoder's last
    // block) and its samples sit where the pictures of the same music time
    // do: the click at 1.5 s is heard on the frame that first shows the
    // switch made at 1.5 s.
    EXPECT_NEAR(media.sound.size() / double(kSampleRate), to - from, frame + 1024.0 / kSampleRate);
    const double click = media.soundStart + media.ClickTime() - start;
    const int switchFrame = static_cast<int>(std::ceil((kClickSeconds - from) * fps - 1e-9));
    EXPECT_NEAR(click, kClickSeconds - from, 0.002);
    EXPECT_NEAR(click, media.frameTimes[switchFrame] - start, frame);
}

}  // namespace

TEST_F(CaptureTest, VideoAtThirtyAndSixtyFramesASecondKeepsPictureAndSoundInStep)
{
    for (int fps : {30, 60}) {
        SCOPED_TRACE(fps);
        const std::string name = "show" + std::to_string(fps) + ".mp4";
        const ProgramRun run = Capture("--fps " + std::to_string(fps) + " " + name);
        ASSERT_EQ(run.status, 0) << run.errors;
        // Standard error is not a terminal: no bar, only the summary line.
        EXPECT_EQ(run.errors.find('\r'), std::string::npos);
        EXPECT_NE(run.errors.find("zolt-capture: " + std::to_string(3 * fps) + " frames, 3.00 s, "),
                  std::string::npos)
            << run.errors;
        ExpectInStep(DecodeMedia(File(name)), fps, 0.0, kMusicSeconds);
    }
}

TEST_F(CaptureTest, RangeOfTheMusicInAMatroskaFileStartsSoundAndPictureTogether)
{
    // Encoded with another preset than the default.
    const ProgramRun run = Capture("--quiet --fps 30 --preset ultrafast --from 0.5 --to 2.2 part.mkv");
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(run.errors, "");
    ExpectInStep(DecodeMedia(File("part.mkv")), 30, 0.5, 2.2);
}

TEST_F(CaptureTest, MonoMusicAtAnotherRateIsConvertedInStep)
{
    ASSERT_TRUE(UseMusic("music.mp3", "-ac 1 -ar 22050"));
    const ProgramRun run = Capture("--quiet --fps 30 mono.mp4");
    ASSERT_EQ(run.status, 0) << run.errors;
    const DecodedMedia media = DecodeMedia(File("mono.mp4"));
    ExpectInStep(media, 30, 0.0, kMusicSeconds);
    // One channel plays at full level on both sides.
    const float peak = *std::max_element(media.sound.begin(), media.sound.end());
    EXPECT_GT(peak, 0.8f);
}

TEST_F(CaptureTest, InterruptedCaptureLeavesAVideoThatPlays)
{
    // Twenty-one seconds of the same music, so that there is time to interrupt.
    ASSERT_TRUE(UseMusic("long.wav", "-filter:a aloop=loop=6:size=132300"));
    const std::string program = CaptureProgram();
    const std::string output = File("cut.mp4");
    const char* argv[] = {program.c_str(), "--quiet", output.c_str(), nullptr};
    pid_t child = 0;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, File("stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addchdir_np(&actions, m_dir.Path().c_str());
    ASSERT_EQ(posix_spawn(&child, program.c_str(), &actions, nullptr, const_cast<char**>(argv), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    // Interrupt once frames are being written.
    struct stat info {};
    for (int i = 0; i < 600 && (stat(output.c_str(), &info) != 0 || info.st_size < 1); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    kill(child, SIGINT);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);

    const DecodedMedia media = DecodeMedia(output);
    ASSERT_TRUE(media.opened);
    ASSERT_GT(media.frameTimes.size(), 0u);
    EXPECT_LT(media.frameTimes.size(), 1200u);
    EXPECT_NEAR(media.sound.size() / double(kSampleRate), media.frameTimes.size() / 60.0,
                1.0 / 60.0 + 1024.0 / kSampleRate);
}
