#include "ZoneWatch.h"

#include <QSocketNotifier>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vellomarin {

namespace {

constexpr char kEtc[] = "/etc";
constexpr char kLocaltime[] = "/etc/localtime";
constexpr char kLocaltimeName[] = "localtime";

// Only what can put another entry at a name, or take one away; not the link itself.
constexpr uint32_t kEtcEvents =
    IN_CREATE | IN_MOVED_TO | IN_DELETE | IN_MOVED_FROM | IN_DONT_FOLLOW | IN_ONLYDIR;
// The zone file rewritten in place, renamed over (its link count drops: IN_ATTRIB), removed
// or moved away.
constexpr uint32_t kFileEvents = IN_MODIFY | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF;

void ReportUnseen(const char* call, int error) {
    std::fprintf(stderr, "vellomarin: a change of time zone may go unseen (%s: %s)\n", call,
                 std::strerror(error));
}

} // namespace

ZoneWatch::ZoneWatch(QObject* parent) : QObject(parent) {
    fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0) {
        ReportUnseen("inotify_init1", errno);
        return;
    }
    etcWatch_ = inotify_add_watch(fd_, kEtc, kEtcEvents);
    if (etcWatch_ < 0) {
        ReportUnseen("inotify_add_watch /etc", errno);
        return;
    }
    watchZoneFile();
    identity_ = current(); // after the watches, so that no change falls between
    notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &ZoneWatch::onReadable);
}

ZoneWatch::~ZoneWatch() {
    delete notifier_; // before the descriptor it watches
    if (fd_ >= 0)
        close(fd_);
}

ZoneWatch::Identity ZoneWatch::current() {
    Identity identity;
    // No link (EINVAL: a plain file; ENOENT: none) leaves the text empty; the file's own
    // identity still tells one plain file from another.
    char target[PATH_MAX];
    const ssize_t length = readlink(kLocaltime, target, sizeof target);
    if (length > 0)
        identity.target = QByteArray(target, static_cast<qsizetype>(length));
    struct stat file {};
    if (stat(kLocaltime, &file) == 0) {
        identity.present = true;
        identity.device = file.st_dev;
        identity.inode = file.st_ino;
        identity.size = file.st_size;
        identity.mtimeNs = qint64(file.st_mtim.tv_sec) * 1'000'000'000 + file.st_mtim.tv_nsec;
    }
    return identity;
}

// inotify_add_watch follows the link to the file, and gives the same watch again for the
// same file.
void ZoneWatch::watchZoneFile() {
    const int watch = inotify_add_watch(fd_, kLocaltime, kFileEvents);
    // No file (no link, or one that leads nowhere) is a zone too: UTC. The watch on /etc
    // sees a file come.
    if (watch < 0 && errno != ENOENT && errno != ENOTDIR && errno != ELOOP)
        ReportUnseen("inotify_add_watch /etc/localtime", errno);
    // EINVAL: the kernel has dropped it already, with the file.
    if (fileWatch_ >= 0 && fileWatch_ != watch && inotify_rm_watch(fd_, fileWatch_) != 0 &&
        errno != EINVAL)
        ReportUnseen("inotify_rm_watch", errno);
    fileWatch_ = watch < 0 ? -1 : watch;
}

void ZoneWatch::onReadable() {
    // Room for many events, and at least one with the longest name.
    alignas(inotify_event) char buffer[4096];
    ssize_t length = -1;
    do
        length = read(fd_, buffer, sizeof buffer);
    while (length < 0 && errno == EINTR);
    if (length < 0 && errno == EAGAIN)
        return;
    if (length <= 0) {
        // A descriptor gone wrong would wake the thread again at once, for ever.
        ReportUnseen("read inotify", length < 0 ? errno : EIO);
        notifier_->setEnabled(false);
        return;
    }
    bool mayHaveChanged = false;
    for (ssize_t at = 0; at + ssize_t(sizeof(inotify_event)) <= length;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        at += ssize_t(sizeof(inotify_event) + event->len);
        if (event->mask & IN_Q_OVERFLOW) { // events were lost
            mayHaveChanged = true;
        } else if (event->wd == etcWatch_) {
            // IN_IGNORED: /etc itself gone, unmounted say.
            mayHaveChanged |= (event->mask & IN_IGNORED) ||
                              (event->len > 0 && std::strcmp(event->name, kLocaltimeName) == 0);
        } else if (event->wd == fileWatch_) {
            mayHaveChanged = true;
            if (event->mask & IN_IGNORED)
                fileWatch_ = -1;
        }
        // Any other watch is one given up for a file no longer the zone's.
    }
    if (!mayHaveChanged)
        return;
    watchZoneFile();
    const Identity now = current();
    if (now == identity_)
        return;
    identity_ = now;
    Q_EMIT zoneMayHaveChanged();
}

} // namespace vellomarin
