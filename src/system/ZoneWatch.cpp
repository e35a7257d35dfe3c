#include "ZoneWatch.h"

#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <utility>

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vellomarin {

namespace {

constexpr char kLocaltime[] = "/etc/localtime";
// As many links as the kernel follows in one path before it gives ELOOP.
constexpr int kMaxLinks = 40;

// Only what can put another entry at a name, or take one away, and the folder itself gone
// or moved; nothing written inside it.
constexpr uint32_t kFolderEvents = IN_CREATE | IN_MOVED_TO | IN_DELETE | IN_MOVED_FROM |
                                   IN_DELETE_SELF | IN_MOVE_SELF | IN_DONT_FOLLOW | IN_ONLYDIR;
// The zone file rewritten in place, renamed over (its link count drops: IN_ATTRIB), removed
// or moved away.
constexpr uint32_t kFileEvents = IN_MODIFY | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF;

void ReportUnseen(const char* call, int error) {
    std::fprintf(stderr, "vellomarin: a change of time zone may go unseen (%s: %s)\n", call,
                 std::strerror(error));
}

// The names of a path, put before those still to be walked; "" and "." name nothing.
void Prepend(QList<QByteArray>& rest, const QByteArray& path) {
    QList<QByteArray> names = path.split('/');
    names.removeIf([](const QByteArray& name) { return name.isEmpty() || name == "."; });
    rest = names + rest;
}

} // namespace

ZoneWatch::ZoneWatch(QObject* parent) : QObject(parent) {
    fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0) {
        ReportUnseen("inotify_init1", errno);
        return;
    }
    identity_ = resolve();
    notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &ZoneWatch::onReadable);
}

ZoneWatch::~ZoneWatch() {
    delete notifier_; // before the descriptor it watches
    if (fd_ >= 0)
        close(fd_);
}

// inotify gives the same watch again for the same folder, which keeps every name asked of it.
void ZoneWatch::watchEntry(QHash<int, Watch>& watches, const QByteArray& folder,
                           const QByteArray& name) {
    const int watch = inotify_add_watch(fd_, folder.constData(), kFolderEvents);
    if (watch < 0) {
        const int error = errno;
        if (error != ENOENT && error != ENOTDIR) // gone since: its parent's watch saw that
            ReportUnseen(("inotify_add_watch " + folder).constData(), error);
        return;
    }
    QList<QByteArray>& names = watches[watch].names;
    if (!names.contains(name))
        names.append(name);
}

// Names are taken one at a time from a folder with no link in its path, so ".." after a
// link is the link's folder's parent, as for the kernel. A name the chain passes is
// watched before it is read, so that a change after the read wakes us.
ZoneWatch::Identity ZoneWatch::resolve() {
    Identity identity;
    QHash<int, Watch> watches;
    QByteArray folder; // empty is the root
    QList<QByteArray> rest;
    Prepend(rest, kLocaltime);
    int links = 0;
    while (!rest.isEmpty()) {
        const QByteArray name = rest.takeFirst();
        if (name == "..") {
            folder.truncate(std::max(folder.lastIndexOf('/'), qsizetype(0)));
            continue;
        }
        const bool last = rest.isEmpty();
        const QByteArray path = folder + '/' + name;
        struct stat entry {};
        bool found = lstat(path.constData(), &entry) == 0;
        // A folder on the way is no link of the chain; anything else is, or ends it.
        if (!found || last || !S_ISDIR(entry.st_mode)) {
            watchEntry(watches, folder.isEmpty() ? QByteArray("/") : folder, name);
            found = lstat(path.constData(), &entry) == 0;
        }
        if (!found)
            break; // no file: UTC
        if (S_ISLNK(entry.st_mode)) {
            char target[PATH_MAX];
            const ssize_t length = readlink(path.constData(), target, sizeof target);
            if (++links > kMaxLinks || length <= 0 || length == ssize_t(sizeof target))
                break; // a loop, or gone since
            const QByteArray text(target, qsizetype(length));
            identity.links += path + '\0' + text + '\0';
            if (text.startsWith('/'))
                folder.clear();
            Prepend(rest, text);
        } else if (!last) {
            if (!S_ISDIR(entry.st_mode))
                break;
            folder = path;
        } else if (S_ISREG(entry.st_mode)) {
            // Anything but a file, a folder say, is read as no zone.
            const int watch =
                inotify_add_watch(fd_, path.constData(), kFileEvents | IN_DONT_FOLLOW);
            if (watch >= 0)
                watches[watch].file = true;
            else if (const int error = errno; error != ENOENT && error != ENOTDIR)
                ReportUnseen(("inotify_add_watch " + path).constData(), error);
            // Read once watched, so that a write in between is seen.
            struct stat file {};
            if (lstat(path.constData(), &file) == 0 && S_ISREG(file.st_mode)) {
                identity.present = true;
                identity.device = file.st_dev;
                identity.inode = file.st_ino;
                identity.size = file.st_size;
                identity.mtimeNs =
                    qint64(file.st_mtim.tv_sec) * 1'000'000'000 + file.st_mtim.tv_nsec;
            }
        }
    }
    // EINVAL: the kernel has dropped it already, with its file or folder.
    for (auto it = watches_.cbegin(); it != watches_.cend(); ++it)
        if (!watches.contains(it.key()) && inotify_rm_watch(fd_, it.key()) != 0 && errno != EINVAL)
            ReportUnseen("inotify_rm_watch", errno);
    watches_ = std::move(watches);
    return identity;
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
        const auto watch = watches_.constFind(event->wd);
        if (event->mask & IN_Q_OVERFLOW) { // events were lost
            mayHaveChanged = true;
        } else if (watch != watches_.cend()) {
            // Anything of the zone file; of a folder, itself gone (IN_IGNORED: unmounted,
            // say) or moved, or an entry at one of its names on the chain.
            mayHaveChanged |= watch->file ||
                              (event->mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF)) ||
                              (event->len > 0 && watch->names.contains(QByteArray(event->name)));
        }
        // Any other watch is one given up for a file or folder no longer on the chain.
    }
    if (!mayHaveChanged)
        return;
    const Identity now = resolve();
    if (now == identity_)
        return;
    identity_ = now;
    Q_EMIT zoneMayHaveChanged();
}

} // namespace vellomarin
