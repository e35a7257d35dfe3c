#include "WakeHelper.h"

#include <cerrno>
#include <climits>
#include <spawn.h>
#include <string>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vellomarin {

namespace {

std::optional<WakeHelper> spawn(const std::string& path) {
    int ends[2];
    // Datagrams keep each message whole, and the window's end closes on exec.
    if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0)
        return std::nullopt;
    pid_t pid = -1;
    posix_spawn_file_actions_t actions;
    int failed = posix_spawn_file_actions_init(&actions);
    if (failed == 0) {
        failed = posix_spawn_file_actions_adddup2(&actions, ends[1], kWakeChannelFd);
        char name[] = "vellomarin-wake";
        char* argv[] = {name, nullptr};
        char* envp[] = {nullptr}; // it reads no environment
        if (failed == 0)
            failed = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv, envp);
        posix_spawn_file_actions_destroy(&actions);
    }
    close(ends[1]);
    // Our own child, not yet waited for: its pid cannot pass to another process.
    const int ended = failed == 0 ? static_cast<int>(syscall(SYS_pidfd_open, pid, 0)) : -1;
    if (ended >= 0)
        return WakeHelper{pid, ends[0], ended};
    close(ends[0]);
    if (failed == 0) // it could not be watched (Linux before 5.3): it ends on the closed end
        waitpid(pid, nullptr, 0);
    return std::nullopt;
}

} // namespace

std::optional<WakeHelper> StartWakeHelper() {
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return std::nullopt;
    std::string folder(self, static_cast<std::size_t>(length));
    folder.erase(folder.rfind('/') + 1);
    for (const char* relative : {VELLOMARIN_WAKE_HELPER_FROM_BINDIR "/", ""}) {
        if (auto helper = spawn(folder + relative + "vellomarin-wake"))
            return helper;
    }
    return std::nullopt;
}

} // namespace vellomarin
