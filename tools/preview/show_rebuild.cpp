#include "tools/preview/show_rebuild.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

extern char** environ;

namespace {

// The folder of this program's own executable, or empty.
std::string OwnFolder()
{
    std::vector<char> path(4096);
    const ssize_t length = readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (length <= 0) {
        return std::string();
    }
    const std::string exe(path.data(), static_cast<size_t>(length));
    const size_t slash = exe.rfind('/');
    return slash == std::string::npos ? std::string() : exe.substr(0, slash);
}

}  // namespace

bool HasShowFile(const std::string& folder)
{
    struct stat info {};
    return stat((folder + "/show.toml").c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool RebuildShow(const std::string& folder, std::string* problem)
{
    const std::string program = OwnFolder() + "/zolt-show";
    if (access(program.c_str(), X_OK) != 0) {
        *problem = "cannot rebuild: " + program + " is not there";
        return false;
    }
    // Standard output carries the answers to commands: the builder's own
    // output goes to standard error.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    std::string build = "build";
    std::string target = folder;
    char* arguments[] = {const_cast<char*>(program.c_str()), build.data(), target.data(), nullptr};
    pid_t child = 0;
    const int started = posix_spawn(&child, program.c_str(), &actions, nullptr, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0) {
        *problem = "cannot rebuild: cannot start " + program + ": " + std::strerror(started);
        return false;
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            *problem = "cannot rebuild: lost the builder process";
            return false;
        }
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        *problem = "zolt-show build failed (status " +
                   std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status)) + ")";
        return false;
    }
    return true;
}
