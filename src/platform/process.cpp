#include "platform/process.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <thread>

extern char** environ;

namespace vistrel {

namespace {

bool start(const std::vector<std::string>& args, pid_t& pid) {
    if (args.empty() || args[0].empty()) return false;
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    return posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) == 0;
}

}  // namespace

bool spawn_process(const std::vector<std::string>& args) {
    pid_t pid = 0;
    if (!start(args, pid)) return false;
    // Nobody waits for the child; a detached reaper keeps it from lingering as a zombie.
    std::thread([pid] {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return true;
}

int run_process(const std::vector<std::string>& args) {
    pid_t pid = 0;
    if (!start(args, pid)) return -1;
    int status = 0;
    pid_t r;
    do {
        r = waitpid(pid, &status, 0);
    } while (r < 0 && errno == EINTR);
    if (r < 0 || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

}  // namespace vistrel
