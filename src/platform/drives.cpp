#include "platform/drives.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStorageInfo>

#include <algorithm>

namespace zento {

DriveProvider::~DriveProvider() = default;

QString DriveRowText(const DriveInfo &drive)
{
    const auto volumePart = [&] { return QLatin1Char('[') + drive.label.toLower() + QLatin1Char(']'); };
    switch (drive.type) {
    case TDriveType::dtRemovable: return drive.id; // the medium is not touched
    case TDriveType::dtNetwork:
        return drive.id + QLatin1Char(' ') +
               (drive.networkShare.isEmpty() ? volumePart() : drive.networkShare.toLower());
    case TDriveType::dtFixed:
    case TDriveType::dtCDROM:
    case TDriveType::dtRAM: return drive.id + QLatin1Char(' ') + volumePart();
    case TDriveType::dtUnknown:
    case TDriveType::dtNoRoot: break;
    }
    return QString();
}

namespace {

QByteArray ReadSysFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll().trimmed();
}

// File systems that hold no user's files: the kernel's views, control groups,
// the system's image layers and the like.
bool IsPseudoFileSystem(const QByteArray &type)
{
    static const QSet<QByteArray> pseudo{
        "proc",       "sysfs",           "cgroup",      "cgroup2",    "devpts",      "devtmpfs",
        "securityfs", "pstore",          "bpf",         "debugfs",    "tracefs",     "configfs",
        "fusectl",    "mqueue",          "hugetlbfs",   "autofs",     "binfmt_misc", "efivarfs",
        "nsfs",       "rpc_pipefs",      "selinuxfs",   "overlay",    "squashfs",    "aufs",
        "nfsd",       "fuse.gvfsd-fuse", "fuse.portal", "fuse.lxcfs", "tmpfs",       "ramfs",
        "zram",       "ecryptfs",
    };
    return pseudo.contains(type);
}

bool IsNetworkFileSystem(const QByteArray &type)
{
    static const QSet<QByteArray> network{"nfs",        "nfs4",        "cifs",        "smb3",  "smbfs",
                                          "ncpfs",      "afs",         "ceph",        "9p",    "glusterfs",
                                          "fuse.sshfs", "fuse.davfs2", "fuse.rclone", "davfs", "lustre"};
    return network.contains(type);
}

bool IsRamFileSystem(const QByteArray &type)
{
    return type == "tmpfs" || type == "ramfs";
}

bool IsDiscFileSystem(const QByteArray &type)
{
    return type == "iso9660" || type == "udf";
}

// Folders that belong to the running system rather than to a user's volume.
// Where the desktop mounts a user's sticks and images under /run, they are
// the user's.
bool IsSystemFolder(const QString &root)
{
    if (root.startsWith(QLatin1String("/run/media/")))
        return false;
    for (const char *prefix : {"/proc", "/sys", "/dev", "/run", "/snap", "/var/lib/docker", "/var/snap"}) {
        const QString p = QLatin1String(prefix);
        if (root == p || root.startsWith(p + QLatin1Char('/')))
            return true;
    }
    return false;
}

// The block device name (sda for /dev/sda1, sr0 for /dev/sr0), resolving
// links such as /dev/cdrom and /dev/disk/by-label/...
QString KernelDeviceName(const QString &device)
{
    if (!device.startsWith(QLatin1String("/dev/")))
        return QString();
    const QString resolved = QFileInfo(device).canonicalFilePath();
    const QString path = resolved.isEmpty() ? device : resolved;
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

// The whole disk that holds a block device: sda for the partition sda1.
QString WholeDiskOf(const QString &name)
{
    if (QFileInfo::exists(QStringLiteral("/sys/class/block/%1/partition").arg(name))) {
        const QString parent = QFileInfo(QStringLiteral("/sys/class/block/%1/..").arg(name)).canonicalFilePath();
        return parent.mid(parent.lastIndexOf(QLatin1Char('/')) + 1);
    }
    return name;
}

bool IsOpticalDisk(const QString &disk)
{
    // SCSI peripheral type 5 is a CD/DVD unit.
    return !disk.isEmpty() && (disk.startsWith(QLatin1String("sr")) ||
                               ReadSysFile(QStringLiteral("/sys/block/%1/device/type").arg(disk)) == "5");
}

bool IsRemovableDisk(const QString &disk)
{
    return !disk.isEmpty() && ReadSysFile(QStringLiteral("/sys/block/%1/removable").arg(disk)) == "1";
}

// Natural order for device names: sr2 before sr10.
bool DeviceLess(const QString &a, const QString &b)
{
    if (a.size() != b.size())
        return a.size() < b.size();
    return a < b;
}

QString MountedDeviceName(const MountEntry &mount)
{
    return KernelDeviceName(QString::fromLocal8Bit(mount.device));
}

QString MountedDeviceName(const QStorageInfo &volume)
{
    return KernelDeviceName(QString::fromLocal8Bit(volume.device()));
}

QByteArray Unescaped(const QByteArray &field)
{
    QByteArray text;
    text.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const auto octal = [&](qsizetype at) { return field.at(at) >= '0' && field.at(at) <= '7'; };
        if (field.at(i) == '\\' && i + 3 < field.size() && octal(i + 1) && octal(i + 2) && octal(i + 3)) {
            text.append(char(((field.at(i + 1) - '0') << 6) | ((field.at(i + 2) - '0') << 3) | (field.at(i + 3) - '0')));
            i += 3;
        } else {
            text.append(field.at(i));
        }
    }
    return text;
}

QList<MountEntry> MountTable()
{
    QFile file(QStringLiteral("/proc/self/mountinfo"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return ParseMountTable(file.readAll());
}

// Asking a volume for its size or label goes to the file system itself: a
// network share that has gone, or a user-space file system that hangs, would
// hold the window for good. Only the machine's own disks and memory are asked.
bool MayBeAsked(const MountEntry &mount)
{
    return mount.device.startsWith("/dev/") || IsRamFileSystem(mount.type);
}

class SystemDrives final : public DriveProvider {
public:
    QList<DriveInfo> Drives() const override
    {
        const QList<MountEntry> mounts = MountTable();

        // One row per optical drive, disc or no disc.
        QStringList opticalNames;
        const QStringList blocks = QDir(QStringLiteral("/sys/block")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        for (const QString &block : blocks)
            if (IsOpticalDisk(block))
                opticalNames << block;
        std::sort(opticalNames.begin(), opticalNames.end(), DeviceLess);

        QList<DriveInfo> drives;
        for (const QString &name : opticalNames) {
            DriveInfo drive;
            drive.id = QStringLiteral("/dev/") + name;
            drive.type = TDriveType::dtCDROM;
            for (const MountEntry &mount : mounts)
                if (MountedDeviceName(mount) == name)
                    if (const QStorageInfo volume(mount.root); volume.isValid() && volume.isReady())
                        drive.label = volume.name();
            drives << drive;
        }

        // Then one row per mounted volume, by folder.
        QList<DriveInfo> folders;
        QSet<QString> seenRoots;
        for (const MountEntry &mount : mounts) {
            DriveInfo drive;
            if (seenRoots.contains(mount.root) || !Describe(mount, drive))
                continue;
            seenRoots.insert(drive.id);
            folders << drive;
        }
        std::sort(folders.begin(), folders.end(), [](const DriveInfo &a, const DriveInfo &b) { return a.id < b.id; });
        return drives + folders;
    }

    QString CurrentRoot(const QString &drive) const override
    {
        if (!drive.startsWith(QLatin1String("/dev/")))
            return drive;
        const QString name = KernelDeviceName(drive);
        if (name.isEmpty())
            return QString();
        for (const MountEntry &mount : MountTable())
            if (MountedDeviceName(mount) == name)
                return mount.root;
        return QString(); // no disc mounted
    }

    QString DriveOf(const QString &folder) const override
    {
        const QStorageInfo volume(folder);
        if (!volume.isValid())
            return QString();
        // A folder on a disc belongs to the optical drive's row.
        const QString name = MountedDeviceName(volume);
        if (IsOpticalDisk(WholeDiskOf(name)))
            return QStringLiteral("/dev/") + name;
        return volume.rootPath();
    }

private:
    // A mounted volume as a folder row; false when it gets no row.
    static bool Describe(const MountEntry &mount, DriveInfo &drive)
    {
        const QByteArray type = mount.type;
        const QString root = mount.root;
        const QString disk = WholeDiskOf(MountedDeviceName(mount));
        if (IsOpticalDisk(disk))
            return false; // the optical drive's own row stands for it

        drive.id = root;
        if (IsNetworkFileSystem(type)) {
            drive.type = TDriveType::dtNetwork;
            drive.networkShare = QString::fromLocal8Bit(mount.device);
            return true;
        }
        // The system's own root stays a drive even when it is an overlay.
        if (root != QLatin1String("/") &&
            (IsSystemFolder(root) || (IsPseudoFileSystem(type) && !IsRamFileSystem(type))))
            return false;
        if (!MayBeAsked(mount)) {
            drive.type = TDriveType::dtFixed; // a file system in user space: taken as it is
            return true;
        }
        // Volumes of no size are the kernel's own views.
        const QStorageInfo volume(root);
        if (!volume.isValid() || (volume.bytesTotal() <= 0 && root != QLatin1String("/")))
            return false;
        if (!QFileInfo(root).isDir())
            return false; // a single file bound into place
        if (IsRamFileSystem(type)) {
            if (volume.isReadOnly())
                return false; // nothing a user could keep there
            drive.type = TDriveType::dtRAM;
            return true;
        }
        drive.label = volume.name();
        if (IsDiscFileSystem(type)) {
            drive.type = TDriveType::dtCDROM; // a disc image mounted from a file
            return true;
        }
        drive.type = IsRemovableDisk(disk) ? TDriveType::dtRemovable : TDriveType::dtFixed;
        return true;
    }
};

} // namespace

std::shared_ptr<DriveProvider> SystemDriveProvider()
{
    return std::make_shared<SystemDrives>();
}

QList<MountEntry> ParseMountTable(const QByteArray &table)
{
    // "36 35 98:0 /mnt1 /mnt/parent rw,noatime master:1 - ext3 /dev/root rw":
    // the mount point is the fifth field; type and source follow the "-".
    QList<MountEntry> mounts;
    for (const QByteArray &line : table.split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        const qsizetype dash = fields.indexOf("-", 6);
        if (dash < 0 || dash + 2 >= fields.size())
            continue;
        mounts.append({QFile::decodeName(Unescaped(fields.at(4))), Unescaped(fields.at(dash + 2)),
                       Unescaped(fields.at(dash + 1))});
    }
    return mounts;
}

} // namespace zento
