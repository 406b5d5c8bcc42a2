#include "tools/preview/preview_run.h"

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/show_state.h"
#include "platform/win32/window.h"
#include "tools/preview/command_input.h"
#include "tools/preview/preview_commands.h"
#include "tools/preview/preview_options.h"
#include "tools/preview/preview_session.h"

namespace {

constexpr double kStepMs = 5000.0;
constexpr double kShortStepMs = 1000.0;
// How long a paused preview waits for input between passes.
constexpr int kPausedWaitMs = 10;

void OnKey(PreviewSession* session, WPARAM key)
{
    const bool shift = GetKeyState(VK_SHIFT) < 0;
    const double step = shift ? kShortStepMs : kStepMs;
    std::string problem;
    switch (key) {
    case ' ':
        if (session->Paused()) {
            session->Play();
        } else {
            session->Pause();
        }
        break;
    case VK_LEFT:
        session->SeekTo(session->ShownMs() - step);
        break;
    case VK_RIGHT:
        session->SeekTo(session->ShownMs() + step);
        break;
    case VK_PRIOR:
        session->PreviousEffect();
        break;
    case VK_NEXT:
        session->NextEffect();
        break;
    case VK_HOME:
        session->SeekTo(0.0);
        break;
    case 'R':
        if (!session->Reload(&problem)) {
            std::fprintf(stderr, "zolt-preview: %s\n", problem.c_str());
        }
        break;
    case 'F':
        session->ToggleFullScreen();
        break;
    default:
        break;
    }
}

// Handles the waiting window messages, the preview's keys first; false once
// the window is closed or a quit arrived (Escape).
bool PumpMessages(PreviewSession* session)
{
    MSG message{};
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            return false;
        }
        if (message.message == WM_KEYDOWN) {
            OnKey(session, message.wParam);
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return IsWindow(TheShow().window) != FALSE;
}

std::string WorkingFolder()
{
    std::vector<char> folder(4096);
    return getcwd(folder.data(), folder.size()) != nullptr ? std::string(folder.data()) : std::string(".");
}

}  // namespace

int RunPreview(int argc, char** argv)
{
    PreviewOptions options;
    switch (ParsePreviewOptions(argc, argv, &options)) {
    case ParseResult::Help:
        return 0;
    case ParseResult::Refused:
        return 1;
    case ParseResult::Run:
        break;
    }
    CommandContext context;
    context.startFolder = WorkingFolder();
    if (chdir(options.folder.c_str()) != 0) {
        std::fprintf(stderr, "zolt-preview: cannot open the show folder %s: %s\n", options.folder.c_str(),
                     std::strerror(errno));
        return 1;
    }
    // A reader that goes away must not end the program in the middle of a frame.
    std::signal(SIGPIPE, SIG_IGN);

    PreviewSession session;
    if (!session.Open(options.fromSeconds * 1000.0)) {
        return 1;
    }
    context.session = &session;
    const bool commands = options.commands || ZoltHeadless();
    CommandInput input(STDIN_FILENO);
    bool running = true;
    while (running) {
        running = PumpMessages(&session);
        if (running && commands) {
            const bool more = input.Poll(session.Paused() ? kPausedWaitMs : 0);
            std::string line;
            bool tooLong = false;
            bool quit = false;
            while (!quit && input.TakeLine(&line, &tooLong)) {
                const std::string answer = tooLong ? "error the line is too long" : RunCommand(context, line, &quit);
                std::printf("%s\n", answer.c_str());
                std::fflush(stdout);
            }
            // The end of the commands ends the preview.
            running = !quit && more;
        } else if (running && session.Paused()) {
            usleep(kPausedWaitMs * 1000);
        }
        if (running) {
            session.Step();
        }
    }
    session.Close();
    return 0;
}
