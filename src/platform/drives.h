#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <memory>

namespace zento {

// Drive kinds as the drive selector knows them.
enum class TDriveType {
    dtUnknown = 0,
    dtNoRoot = 1,
    dtRemovable = 2,
    dtFixed = 3,
    dtNetwork = 4,
    dtCDROM = 5,
    dtRAM = 6
};

// One drive of the machine. On Linux a drive is identified by text: the root
// folder of a mounted volume, or an optical drive's device (/dev/sr0), which
// stands for whatever disc is in it.
struct DriveInfo {
    QString id;
    TDriveType type = TDriveType::dtUnknown;
    QString label;        // volume label; empty when there is none or no disc
    QString networkShare; // for network volumes: the share (//server/share)
};

// Where the drive selector gets its drives from; tests give their own.
class DriveProvider {
public:
    virtual ~DriveProvider();
    // The drives, in a stable order.
    virtual QList<DriveInfo> Drives() const = 0;
    // The drive's root folder now: the mount point of an optical device (empty
    // when no disc is mounted), the identifier itself for a folder.
    virtual QString CurrentRoot(const QString &drive) const = 0;
    // The drive that holds a folder (the root of its volume).
    virtual QString DriveOf(const QString &folder) const = 0;
};

// The machine's own drives.
std::shared_ptr<DriveProvider> SystemDriveProvider();

// One line of the kernel's mount table (/proc/self/mountinfo), its escapes
// ("\040" for a blank) undone.
struct MountEntry {
    QString root;      // where it is mounted
    QByteArray device; // what is mounted: "/dev/sr0", "server:/share"
    QByteArray type;   // "ext4", "fuse.sshfs"
};
QList<MountEntry> ParseMountTable(const QByteArray &table);

// The row text of a drive: the identifier, a blank and "[label]" in lower case;
// removable drives show the identifier alone; a network drive shows its share.
QString DriveRowText(const DriveInfo &drive);

} // namespace zento
