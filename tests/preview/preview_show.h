// The show the preview tests play, and the means to run zolt-preview and
// zolt-capture in it without a display.
//
// Fourteen seconds of music and three effects:
//   plain "opening"   [0, 3)     s
//   Player3D "turning" [2.5, 9.5) s: a bar bent further and turned over a
//                                 loop of one second (30 frames at 30 fps)
//   Marble1 "hall"    [9, 14)    s: the same bar; from 11 s the first
//                                 caption fades in, the second scene is
//                                 drawn from 11.98 s (frame 1490 at 500 fps)
// so the first two and the last two overlap and crossfade.
#pragma once

#include <string>
#include <vector>

constexpr double kShowSeconds = 14.0;

// Writes the show into `folder`; `turningName` names the Player3D effect.
bool WritePreviewShow(const std::string& folder, const std::string& turningName = "turning");
// Writes only the script, as WritePreviewShow does.
bool WritePreviewScript(const std::string& path, const std::string& turningName);

struct ProgramRun {
    int status = -1;
    std::vector<std::string> answers;  // standard output, one line each
    std::string errors;                // standard error
};

// Runs `zolt-preview ARGUMENTS` in `folder`, offscreen and silent, with the
// shell commands `feed` writing its standard input (for example
// "echo pause; sleep 0.3; echo 'shot a.png'").
ProgramRun RunPreview(const std::string& folder, const std::string& arguments, const std::string& feed);
// Runs the player `zolt` in `folder` the same way.
ProgramRun RunPlayer(const std::string& folder);
// Runs `zolt-capture --quiet --from SECONDS OUTPUT` in `folder`.
ProgramRun RunCapture(const std::string& folder, double seconds, const std::string& output);

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;
};
// A PNG file's pixels; width 0 when it cannot be read.
Picture ReadPicture(const std::string& path);
// How many pixels differ between two pictures of the same size (-1 when the
// sizes differ or one is missing).
long DifferingPixels(const Picture& a, const Picture& b);
