#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>

class QSocketNotifier;

namespace vellomarin {

// Tells when the local time zone may have changed: /etc/localtime replaced or removed
// (a new zone; none is UTC), any link on the way from it to the zone file retargeted or
// removed (zone names are often links: Japan -> Asia/Tokyo), or the zone file itself
// changed (a tzdata upgrade renames a new file over it). Nothing else counts.
//
// inotify, read on the event thread through a QSocketNotifier. /etc/localtime is resolved
// one name at a time, as the kernel does (at most 40 links); the folder holding each link,
// and the one holding the name it ends at, are watched for entries that come and go, of
// which only those names are looked at; the zone file is watched for a change or a rename
// over it. All are set afresh whenever the chain is resolved. The events of one wake lead
// to one look at the zone's identity (every link's path and text, and the file's device,
// inode, size and modification time), and the signal comes only when that differs from
// the one seen before.
class ZoneWatch : public QObject {
    Q_OBJECT
public:
    // Where the kernel gives no inotify watch, one line on stderr says so, and nothing
    // is signalled.
    explicit ZoneWatch(QObject* parent = nullptr);
    ~ZoneWatch() override;
    ZoneWatch(const ZoneWatch&) = delete;
    ZoneWatch& operator=(const ZoneWatch&) = delete;

Q_SIGNALS:
    void zoneMayHaveChanged();

private:
    // What /etc/localtime is now; a chain that leads to no file (a missing name, a loop)
    // is "absent" (present false).
    struct Identity {
        QByteArray links; // each link's path and text, NUL after each, in the chain's order
        bool present = false;
        quint64 device = 0;
        quint64 inode = 0;
        qint64 size = 0; // bytes
        qint64 mtimeNs = 0;
        bool operator==(const Identity&) const = default;
    };
    // One inotify watch: a folder, for the entries named, or the zone file.
    struct Watch {
        QList<QByteArray> names;
        bool file = false;
    };

    // Walks the chain, watching each step before it is read, so that no change falls
    // between; drops the watches it no longer needs.
    Identity resolve();
    void watchEntry(QHash<int, Watch>& watches, const QByteArray& folder, const QByteArray& name);
    void onReadable();

    int fd_ = -1;
    QHash<int, Watch> watches_; // by watch descriptor
    QSocketNotifier* notifier_ = nullptr;
    Identity identity_;
};

} // namespace vellomarin
