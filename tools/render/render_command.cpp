#include "tools/render/render_command.h"

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "scene/scene.h"
#include "tools/common/png_file.h"
#include "tools/render/render_options.h"
#include "tools/render/scene_renderer.h"

namespace {

const char kUsage[] =
    "Usage: zolt-render [--pack FILE] [--frame T] [--out FILE.png] [--clear 0xRRGGBB] [--skybox] SCENE\n"
    "       zolt-render [--pack FILE] --frames FIRST:LAST:STEP --out PATTERN [--clear 0xRRGGBB] [--skybox] SCENE\n"
    "       zolt-render [--pack FILE] --bench N [--frame T] SCENE\n";

const char kHelp[] =
    "Draws the KVF scene SCENE of a resource pack the way the player draws it:\n"
    "on a 640 x 480 device made as the player makes it (drawing offscreen), with\n"
    "the player's texture-stage defaults. Each frame clears the picture and the\n"
    "depth buffer, with --skybox draws the skybox of the pack's Otter_*.JPG faces\n"
    "turned by the scene's first camera, poses the scene at the frame time and\n"
    "draws it. Pictures are 8-bit RGB PNG files of 640 x 480, top row first,\n"
    "written whole or not at all.\n"
    "\n"
    "Options:\n"
    "  --pack FILE       the ZIP archive holding SCENE and its textures\n"
    "                    (default \"data.pac\" in the working directory)\n"
    "  --frame T         the frame time, in frames; fractions allowed (default 0)\n"
    "  --out FILE.png    where the picture goes (default \"frame.png\")\n"
    "  --frames FIRST:LAST:STEP\n"
    "                    one picture per time FIRST, FIRST+STEP, ... up to LAST;\n"
    "                    --out is then a pattern with one integer field such as\n"
    "                    \"out/%04d.png\" (%% for a percent sign), numbered from 0\n"
    "  --clear 0xRRGGBB  the colour the picture is cleared to (default 0x000000)\n"
    "  --skybox          draw the skybox behind the scene\n"
    "  --bench N         draw N frames from T, one frame further each time and\n"
    "                    back to 0 at the scene's end frame as the player loops,\n"
    "                    each finished by the rasteriser before the next; write\n"
    "                    nothing and print \"frames N ms TOTAL fps RATE\"\n"
    "  --help            show this text\n"
    "\n"
    "The engine's messages go to standard error as \"title: text\" lines. Exit\n"
    "status: 0 on success, 1 when the scene cannot be loaded or prepared or a\n"
    "picture cannot be written, 2 for a usage error.\n";

int UsageError(const std::string& problem)
{
    std::fprintf(stderr, "zolt-render: %s\n%s", problem.c_str(), kUsage);
    return 2;
}

bool WritePicture(SceneRenderer* renderer, const std::string& path, std::vector<uint32_t>* pixels,
                  PngFileWriter* png)
{
    UINT width = 0;
    UINT height = 0;
    std::string problem = "cannot read the picture back";
    if (!renderer->ReadPicture(pixels, &width, &height) ||
        !png->Write(path, static_cast<int>(width), static_cast<int>(height), pixels->data(), pixels->size(),
                    &problem)) {
        std::fprintf(stderr, "zolt-render: cannot write %s: %s\n", path.c_str(), problem.c_str());
        return false;
    }
    return true;
}

int RunSequence(SceneRenderer* renderer, const RenderOptions& options)
{
    std::vector<uint32_t> pixels;
    PngFileWriter png;
    for (int i = 0; i < options.pictureCount; ++i) {
        // Each time from the first, so that steps add no rounding.
        const float frameTime = static_cast<float>(options.first + options.step * i);
        renderer->DrawFrame(frameTime, options.clearColour);
        if (!WritePicture(renderer, options.pattern.Expand(i), &pixels, &png))
            return 1;
    }
    return 0;
}

int RunBench(SceneRenderer* renderer, const RenderOptions& options, std::FILE* out)
{
    const int32_t endFrame = renderer->Scene()->endFrame;
    float frameTime = options.frame;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < options.benchFrames; ++i) {
        frameTime = LoopFrameTime(frameTime, endFrame);
        renderer->DrawFrame(frameTime, options.clearColour);
        renderer->FinishDrawing();
        frameTime += 1.0f;
    }
    const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
    const double milliseconds = elapsed.count();
    const double rate = milliseconds > 0.0 ? options.benchFrames * 1000.0 / milliseconds : 0.0;
    std::fprintf(out, "frames %d ms %.0f fps %.1f\n", options.benchFrames, milliseconds, rate);
    return 0;
}

} // namespace

int RunRender(int argc, const char* const* argv, std::FILE* out)
{
    RenderOptions options;
    std::string problem;
    switch (ParseRenderOptions(argc, argv, &options, &problem)) {
    case ParseOutcome::Help:
        std::fputs(kUsage, out);
        std::fputs(kHelp, out);
        return 0;
    case ParseOutcome::UsageError:
        return UsageError(problem);
    case ParseOutcome::Run:
        break;
    }

    // Draw offscreen even on a desktop: a batch tool should neither cover
    // the screen with a full-screen window nor wait on modal message boxes.
    // A video driver chosen explicitly is kept.
    setenv("SDL_VIDEODRIVER", "offscreen", 0);

    SceneRenderer renderer;
    if (renderer.Open(options.pack, options.scene, options.skybox) != 0)
        return 1;

    switch (options.mode) {
    case RenderMode::Picture: {
        std::vector<uint32_t> pixels;
        PngFileWriter png;
        renderer.DrawFrame(options.frame, options.clearColour);
        return WritePicture(&renderer, options.out, &pixels, &png) ? 0 : 1;
    }
    case RenderMode::Sequence:
        return RunSequence(&renderer, options);
    case RenderMode::Bench:
        return RunBench(&renderer, options, out);
    }
    return 0;
}
