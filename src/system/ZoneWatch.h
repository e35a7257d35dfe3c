#pragma once

#include <QByteArray>
#include <QObject>

class QSocketNotifier;

namespace vellomarin {

// Tells when the local time zone may have changed: /etc/localtime replaced or removed
// (a new zone; none is UTC), or the zone file it names changed (a tzdata upgrade renames
// a new file over it). Nothing else in /etc counts.
//
// inotify, read on the event thread through a QSocketNotifier: a watch on /etc for the
// entries that come and go, of which only "localtime" is looked at, and one on the file
// /etc/localtime resolves to, moved to the new file whenever it is resolved afresh. The
// events of one wake lead to one look at the zone's identity (the link's text, and the
// file's device, inode, size and modification time), and the signal comes only when that
// differs from the one seen before.
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
    // What /etc/localtime is now; a missing link or file is "absent" (present false).
    struct Identity {
        QByteArray target; // the link's text; empty for a plain file or none
        bool present = false;
        quint64 device = 0;
        quint64 inode = 0;
        qint64 size = 0; // bytes
        qint64 mtimeNs = 0;
        bool operator==(const Identity&) const = default;
    };
    static Identity current();

    void onReadable();
    void watchZoneFile();

    int fd_ = -1;
    int etcWatch_ = -1;
    int fileWatch_ = -1; // -1 while /etc/localtime resolves to no file
    QSocketNotifier* notifier_ = nullptr;
    Identity identity_;
};

} // namespace vellomarin
