#include "WakeHelper.h"

#include <cerrno>
#include <csignal>
#include <climits>
#include <spawn.h>
#include <string>

#include <fcntl.h>
#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vellomarin {

namespace {

WakeHelperStart spawn(const std::string& path, int channel) {
    pid_t pid = -1;
    posix_spawn_file_actions_t actions;
    int failed = posix_spawn_file_actions_init(&actions);
    if (failed == 0) {
        failed = posix_spawn_file_actions_adddup2(&actions, channel, kWakeChannelFd);
        char name[] = "vellomarin-wake";
        char* argv[] = {name, nullptr};
        char* envp[] = {nullptr}; // it reads no environment
        if (failed == 0)
            failed = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv, envp);
        posix_spawn_file_actions_destroy(&actions);
    }
    if (failed != 0)
        return {.error = failed};
    // Our own child, not yet waited for: its pid cannot pass to another process.
    const int ended = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (ended >= 0)
        return {.pid = pid, .ended = ended};
    // It could not be watched (Linux before 5.3), and would outlive its use unseen.
    const int error = errno;
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return {.error = error};
}

WakeHelperStart spawnBesideProgram(int channel) {
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return {.error = errno};
    std::string folder(self, static_cast<std::size_t>(length));
    folder.erase(folder.rfind('/') + 1);
    WakeHelperStart started;
    for (const char* relative : {VELLOMARIN_WAKE_HELPER_FROM_BINDIR "/", ""}) {
        started = spawn(folder + relative + "vellomarin-wake", channel);
        if (started.error == 0)
            break;
    }
    return started;
}

bool holdsAmbientWakeAlarm() {
    return prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_IS_SET, CAP_WAKE_ALARM, 0, 0) == 1;
}

// On the calling thread alone (capabilities are a thread's own): CAP_WAKE_ALARM
// permitted, inheritable and so still ambient, nothing effective and nothing else.
void keepOnlyAmbientWakeAlarm() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct sets[_LINUX_CAPABILITY_U32S_3]{};
    const unsigned bit = 1u << (CAP_WAKE_ALARM % 32);
    sets[CAP_WAKE_ALARM / 32].permitted = bit;
    sets[CAP_WAKE_ALARM / 32].inheritable = bit;
    if (syscall(SYS_capset, &header, sets) != 0) {
        // Lowering is never refused; where keeping it was, hold nothing at all.
        sets[CAP_WAKE_ALARM / 32] = {};
        static_cast<void>(syscall(SYS_capset, &header, sets));
    }
}

} // namespace

WakeHelperStarter::WakeHelperStarter() {
    if (pipe2(requests_, O_CLOEXEC) != 0 || pipe2(answers_, O_CLOEXEC | O_NONBLOCK) != 0)
        return; // answers() is then none, and nothing is started
    if (!holdsAmbientWakeAlarm())
        return;
    keeper_ = std::thread([this] {
        keepOnlyAmbientWakeAlarm();
        int channel = -1;
        ssize_t size = 0;
        do
            size = read(requests_[0], &channel, sizeof channel);
        while (size < 0 && errno == EINTR);
        if (size == sizeof channel)
            answer(channel);
        // Ending, the thread takes the capability along.
    });
}

WakeHelperStarter::~WakeHelperStarter() {
    close(requests_[1]); // a keeper still waiting reads the end
    if (keeper_.joinable())
        keeper_.join();
    for (int fd : {requests_[0], answers_[0], answers_[1]})
        close(fd);
}

void WakeHelperStarter::start(int channel) {
    if (keeper_.joinable() && write(requests_[1], &channel, sizeof channel) == sizeof channel)
        return;
    answer(channel);
}

void WakeHelperStarter::answer(int channel) {
    const WakeHelperStart started = spawnBesideProgram(channel);
    close(channel);
    // A few bytes into an empty pipe: written whole at once, or nobody would read them.
    if (write(answers_[1], &started, sizeof started) != sizeof started && started.ended >= 0)
        close(started.ended); // the helper still ends with its channel
}

WakeHelperStart WakeHelperStarter::takeAnswer() {
    WakeHelperStart started;
    if (read(answers_[0], &started, sizeof started) != sizeof started)
        return {.error = EIO};
    return started;
}

} // namespace vellomarin
