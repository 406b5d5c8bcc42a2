#include "tools/view/view_run.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <unistd.h>

#include "app/show_state.h"
#include "app/win_main.h"
#include "demo/demo_manager.h"
#include "platform/win32/window.h"
#include "tools/view/temporary_folder.h"
#include "tools/view/view_show.h"

namespace {

volatile sig_atomic_t g_interrupted = 0;

void OnInterruption(int)
{
    g_interrupted = 1;
}

// While the show is written, Ctrl-C and SIGTERM are noted and acted on once
// it is done, so that the folder is still removed; a second one ends the
// program at once. The player then handles them itself (as closing the
// window).
class InterruptionsNoted {
public:
    InterruptionsNoted()
    {
        struct sigaction action {};
        action.sa_handler = OnInterruption;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESETHAND;
        sigaction(SIGINT, &action, &m_int);
        sigaction(SIGTERM, &action, &m_term);
    }
    ~InterruptionsNoted()
    {
        sigaction(SIGINT, &m_int, nullptr);
        sigaction(SIGTERM, &m_term, nullptr);
    }

private:
    struct sigaction m_int {};
    struct sigaction m_term {};
};

// Plays the show of the working directory as the player does, but in a
// window with the cursor shown; the player's exit status.
int PlayShow()
{
    ShowOpening opening;
    opening.fullScreen = false;
    if (OpenShow(GetModuleHandleA(nullptr), opening) != 0) {
        return 1;
    }
    ShowState& show = TheShow();
    show.running = 1;
    show.manager->Start();
    const int quitCode = RunMainLoop();
    StopShow();
    return quitCode != 0 ? 1 : 0;
}

} // namespace

int RunView(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err)
{
    ViewOptions options;
    if (!ParseViewOptions(arguments, &options, err)) {
        return 2;
    }
    if (options.help) {
        out << kViewUsage << kViewHelp;
        return 0;
    }
    TemporaryFolder folder;
    if (folder.Path().empty()) {
        err << "zolt-view: cannot make a temporary folder: " << std::strerror(errno) << "\n";
        return 1;
    }
    {
        InterruptionsNoted noted;
        if (!WriteViewShow(folder.Path(), options, out, err)) {
            return 1;
        }
    }
    if (g_interrupted != 0) {
        err << "zolt-view: interrupted\n";
        return 1;
    }
    char here[PATH_MAX];
    if (getcwd(here, sizeof here) == nullptr || chdir(folder.Path().c_str()) != 0) {
        err << "zolt-view: cannot enter " << folder.Path() << "\n";
        return 1;
    }
    out.flush();
    const int status = PlayShow();
    if (chdir(here) != 0) {
        // The folder is removed by its full name all the same.
    }
    return status;
}
