#include "source/search_file.h"

#include "platform/error.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace zento {

namespace {

// Sets a busy flag for the lifetime of a search and clears it on every way out.
class BusyScope {
public:
    explicit BusyScope(bool &flag) : flag_(flag) { flag_ = true; }
    ~BusyScope() { flag_ = false; }
    BusyScope(const BusyScope &) = delete;
    BusyScope &operator=(const BusyScope &) = delete;

private:
    bool &flag_;
};

QString SystemErrorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

[[noreturn]] void ThrowReadError(const QString &path, int error)
{
    throw Error(QStringLiteral("フォルダを読み込めません: %1 (%2)").arg(path, SystemErrorText(error)));
}

// Errors that mean "nothing to list here" rather than a failure: the folder is
// gone, is not a folder, or we may not read it.
bool IsQuietOpenError(int error)
{
    return error == ENOENT || error == ENOTDIR || error == EACCES || error == EPERM || error == ENAMETOOLONG ||
           error == ELOOP || error == ENXIO || error == ENOMEDIUM;
}

// The order in which the file systems of a disc (and those of the platform the
// titles come from) list a folder: ASCII letters folded to upper case, then
// byte by byte, which for UTF-8 names is the order of their code points. A
// name that is not valid UTF-8 takes its place by its bytes all the same.
// Names that fold alike ("a" and "A" side by side) keep a fixed order by
// their own bytes.
bool NameBefore(const char *a, const char *b)
{
    const auto fold = [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte >= 'a' && byte <= 'z' ? byte - ('a' - 'A') : byte;
    };
    for (const char *x = a, *y = b;; ++x, ++y) {
        const unsigned fx = fold(*x), fy = fold(*y);
        if (fx != fy)
            return fx < fy;
        if (fx == 0)
            break;
    }
    return std::strcmp(a, b) < 0;
}

// One open directory enumeration, closed whatever way the caller leaves.
// The entries are read in blocks straight from the kernel (the same records
// readdir would hand out, without its buffer allocation and its look-up of
// the open folder), all of them at the first call, and handed out in the
// order of NameBefore.
class DirectoryReader {
public:
    // An enumeration that yields nothing when the folder cannot be listed for
    // an ordinary reason; other failures are thrown.
    explicit DirectoryReader(const QString &path) : path_(path)
    {
        fd_ = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK);
        if (fd_ < 0 && !IsQuietOpenError(errno))
            ThrowReadError(path, errno);
    }
    ~DirectoryReader()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    DirectoryReader(const DirectoryReader &) = delete;
    DirectoryReader &operator=(const DirectoryReader &) = delete;

    // The next entry, "." and ".." left out; null at the end.
    const dirent64 *Next()
    {
        if (fd_ < 0)
            return nullptr;
        if (!read_)
            ReadAll();
        return at_ < entries_.size() ? entries_[at_++] : nullptr;
    }

    int Fd() const { return fd_ >= 0 ? fd_ : AT_FDCWD; }

private:
    void ReadAll()
    {
        alignas(dirent64) char buffer[16384];
        std::vector<size_t> offsets;
        for (;;) {
            const ssize_t read = ::getdents64(fd_, buffer, sizeof buffer);
            if (read < 0)
                ThrowReadError(path_, errno);
            if (read == 0)
                break;
            for (ssize_t at = 0; at < read;) {
                const auto *entry = reinterpret_cast<const dirent64 *>(buffer + at);
                at += entry->d_reclen;
                if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
                    continue;
                offsets.push_back(records_.size());
                const auto *bytes = reinterpret_cast<const std::byte *>(entry);
                records_.insert(records_.end(), bytes, bytes + entry->d_reclen);
            }
        }
        read_ = true;
        entries_.reserve(offsets.size());
        for (const size_t offset : offsets)
            entries_.push_back(reinterpret_cast<const dirent64 *>(records_.data() + offset));
        std::sort(entries_.begin(), entries_.end(),
                  [](const dirent64 *a, const dirent64 *b) { return NameBefore(a->d_name, b->d_name); });
    }

    QString path_;
    int fd_ = -1;
    bool read_ = false;
    // The records as the kernel gave them, one after the other: the kernel
    // pads each record so that the next one stays aligned.
    std::vector<std::byte> records_;
    std::vector<const dirent64 *> entries_;
    size_t at_ = 0;
};

constexpr unsigned StatxFields =
    STATX_TYPE | STATX_MODE | STATX_INO | STATX_SIZE | STATX_ATIME | STATX_MTIME | STATX_BTIME;

// Looks an entry up, following a link to what it points at; a dangling link is
// described as the link itself.
bool StatEntry(int dirFd, const char *name, struct statx &result)
{
    if (::statx(dirFd, name, AT_STATX_SYNC_AS_STAT, StatxFields, &result) == 0)
        return true;
    return ::statx(dirFd, name, AT_STATX_SYNC_AS_STAT | AT_SYMLINK_NOFOLLOW, StatxFields, &result) == 0;
}

const qint64 DateTimeEpochJulianDay = QDate(1899, 12, 30).toJulianDay();

// A file time (UTC) as the date-time value: local time, cut to the two-second
// steps of a DOS time stamp, valid for the years 1980 to 2107 only.
bool ConvertFileTimeUncached(const struct statx_timestamp &stamp, double &result)
{
    const time_t seconds = static_cast<time_t>(stamp.tv_sec);
    if (static_cast<decltype(stamp.tv_sec)>(seconds) != stamp.tv_sec)
        return false;
    struct tm local {};
    if (!::localtime_r(&seconds, &local))
        return false;
    const int year = local.tm_year + 1900;
    if (year < 1980 || year > 2107)
        return false;
    const QDate date(year, local.tm_mon + 1, local.tm_mday);
    if (!date.isValid())
        return false;
    const int second = std::min(local.tm_sec, 59) / 2 * 2; // a leap second stays in its minute
    const double dayFraction = (local.tm_hour * 3600 + local.tm_min * 60 + second) / 86400.0;
    result = static_cast<double>(date.toJulianDay() - DateTimeEpochJulianDay) + dayFraction;
    return true;
}

// The files of one folder mostly share their time stamps (a disc is written
// at once): the conversion of the last second asked for is kept.
bool ConvertFileTime(const struct statx_timestamp &stamp, double &result)
{
    struct Last {
        bool filled = false;
        decltype(stamp.tv_sec) seconds = 0;
        bool valid = false;
        double value = 0;
    };
    thread_local Last last;
    if (!last.filled || last.seconds != stamp.tv_sec) {
        last.valid = ConvertFileTimeUncached(stamp, last.value);
        last.seconds = stamp.tv_sec;
        last.filled = true;
    }
    if (last.valid)
        result = last.value;
    return last.valid;
}

void FillFromStat(const struct statx &st, TSearchFileData &data)
{
    const bool isDirectory = S_ISDIR(st.stx_mode);
    data.IsDirectory = isDirectory;
    data.IsReadOnly = (st.stx_mode & S_IWUSR) == 0;
    data.IsSystem = false;
    data.IsArchive = S_ISREG(st.stx_mode);
    data.Size = isDirectory ? 0 : static_cast<qint64>(st.stx_size);
    if (st.stx_mask & STATX_BTIME)
        data.CreationTimeValid = ConvertFileTime(st.stx_btime, data.CreationTime);
    if (st.stx_mask & STATX_MTIME)
        data.WriteTimeValid = ConvertFileTime(st.stx_mtime, data.WriteTime);
    if (st.stx_mask & STATX_ATIME)
        data.AccessTimeValid = ConvertFileTime(st.stx_atime, data.AccessTime);
}

void SetNames(const QString &name, TSearchFileData &data)
{
    data.LongName = name;
    data.ShortName = name; // no 8.3 aliases here
    data.IsHidden = name.startsWith(QLatin1Char('.'));
}

// The entry's name as text; false when that text names another entry, or
// none: bytes that are not UTF-8 (a folder unpacked with Shift-JIS names)
// are decoded with stand-ins.
bool NameAsText(const char *rawName, QString &name)
{
    name = QFile::decodeName(rawName);
    return QFile::encodeName(name) == rawName;
}

// Describes one enumerated entry. When the entry cannot be looked up (it went
// away meanwhile) the record holds what the enumeration itself says.
TSearchFileData DescribeEntry(int folderFd, const char *rawName, unsigned char type, const QString &name,
                              struct statx *statOut = nullptr, bool *statOk = nullptr)
{
    TSearchFileData data;
    SetNames(name, data);
    struct statx st {};
    const bool ok = StatEntry(folderFd, rawName, st);
    if (ok)
        FillFromStat(st, data);
    else
        data.IsDirectory = type == DT_DIR;
    if (statOut)
        *statOut = st;
    if (statOk)
        *statOk = ok;
    return data;
}

// "/a" + "/" + name, with one separator when the folder already ends in one.
QString WithSeparator(const QString &folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

// The absolute form of a path, "." and ".." resolved by text; a trailing
// separator is kept.
QString AbsolutePath(const QString &path)
{
    if (path.isEmpty())
        return QDir::currentPath();
    QString absolute = QDir::isAbsolutePath(path) ? path : WithSeparator(QDir::currentPath()) + path;
    QString cleaned = QDir::cleanPath(absolute);
    if (path.endsWith(QLatin1Char('/')) && !cleaned.endsWith(QLatin1Char('/')))
        cleaned += QLatin1Char('/');
    return cleaned;
}

// Identifies a directory on the machine, whatever path leads to it.
struct DirectoryKey {
    quint64 device;
    quint64 inode;
    bool operator==(const DirectoryKey &other) const = default;
};

size_t qHash(const DirectoryKey &key, size_t seed = 0)
{
    return qHashMulti(seed, key.device, key.inode);
}

DirectoryKey KeyOf(const struct statx &st)
{
    return {(static_cast<quint64>(st.stx_dev_major) << 32) | st.stx_dev_minor, st.stx_ino};
}

// Case folding per character, on whole code points.
QList<uint> FoldedCodePoints(const QString &text)
{
    QList<uint> points = text.toUcs4();
    for (uint &point : points)
        point = QChar::toCaseFolded(static_cast<char32_t>(point));
    return points;
}

bool MatchesFolded(const uint *name, qsizetype nameSize, const uint *mask, qsizetype maskSize)
{
    qsizetype n = 0, m = 0;
    qsizetype starMask = -1, starName = 0;
    while (n < nameSize) {
        if (m < maskSize && mask[m] == '*') {
            starMask = m++;
            starName = n;
        } else if (m < maskSize && (mask[m] == '?' || mask[m] == name[n])) {
            ++m;
            ++n;
        } else if (starMask >= 0) {
            m = starMask + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (m < maskSize && mask[m] == '*')
        ++m;
    return m == maskSize;
}

// A mask folded once and matched against many names. A name that the file
// system gives in plain ASCII (nearly every name on a disc) is folded in
// place, without becoming a text first.
class MaskMatcher {
public:
    explicit MaskMatcher(const QString &mask)
        : mask_(FoldedCodePoints(mask)), dotStar_(mask.endsWith(QLatin1String(".*")))
    {
        // The literal start that every accepted name begins with (of the
        // shorter form when the ".*" rule applies).
        const qsizetype usable = dotStar_ ? mask_.size() - 2 : mask_.size();
        while (prefix_ < usable && mask_[prefix_] != '*' && mask_[prefix_] != '?')
            ++prefix_;
    }

    bool Matches(const QString &name) const
    {
        const QList<uint> folded = FoldedCodePoints(name);
        return Matches(folded.constData(), folded.size(), name.contains(QLatin1Char('.')));
    }

    // A name as the file system stores it (NUL-terminated bytes).
    bool MatchesEntryName(const char *bytes) const
    {
        uint folded[256];
        qsizetype size = 0;
        bool dot = false;
        for (const char *at = bytes; *at; ++at) {
            const auto c = static_cast<unsigned char>(*at);
            if (c >= 0x80 || size == qsizetype(std::size(folded)))
                return Matches(QFile::decodeName(bytes));
            const uint point = (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
            if (size < prefix_ && point != mask_[size])
                return false; // most names part at their first letters
            folded[size++] = point;
            dot = dot || c == '.';
        }
        return size >= prefix_ && Matches(folded, size, dot);
    }

private:
    bool Matches(const uint *name, qsizetype size, bool hasDot) const
    {
        if (MatchesFolded(name, size, mask_.constData(), mask_.size()))
            return true;
        // A mask ending in ".*" also accepts a name without any dot ("*.*"
        // takes every name, "VTS*.*" takes VTS_LIST).
        return dotStar_ && !hasDot && MatchesFolded(name, size, mask_.constData(), mask_.size() - 2);
    }

    QList<uint> mask_;
    bool dotStar_;
    qsizetype prefix_ = 0;
};

} // namespace

bool MatchesMask(const QString &name, const QString &mask)
{
    return MaskMatcher(mask).Matches(name);
}

// ---------------------------------------------------------------------------

TSearchDir::TSearchDir() = default;
TSearchDir::~TSearchDir() = default;

void TSearchDir::DoFind(const QString &Name, const TSearchFileData &Data, bool &IgnoreSubDir, bool &Continue)
{
    if (OnFind)
        OnFind(*this, Name, Data, IgnoreSubDir, Continue);
}

bool TSearchDir::Search()
{
    if (busy_ || !OnFind)
        return false;

    const QString base = AbsolutePath(BaseDir);
    struct statx baseStat {};
    if (!StatEntry(AT_FDCWD, QFile::encodeName(base).constData(), baseStat))
        return false;

    BusyScope busy(busy_);
    pending_.clear();
    unnamed_.clear();
    // The queue is emptied on every way out, an exception included.
    struct QueueReset {
        QStringList &queue;
        ~QueueReset() { queue.clear(); }
    } queueReset{pending_};

    bool Continue = true;
    bool IgnoreSubDir = false;

    // Every directory is walked once, however many links lead to it, so the
    // walk ends on trees with loops of links.
    QSet<DirectoryKey> seen;

    TSearchFileData baseData;
    QString baseName = base;
    while (baseName.size() > 1 && baseName.endsWith(QLatin1Char('/')))
        baseName.chop(1);
    baseName = baseName.mid(baseName.lastIndexOf(QLatin1Char('/')) + 1);
    SetNames(baseName, baseData);
    FillFromStat(baseStat, baseData);
    if (S_ISDIR(baseStat.stx_mode))
        seen.insert(KeyOf(baseStat));

    DoFind(base, baseData, IgnoreSubDir, Continue);
    if (!Continue)
        return false;
    if (!IgnoreSubDir)
        pending_.append(base);

    while (!pending_.isEmpty()) {
        const QString folder = WithSeparator(pending_.takeFirst());
        DirectoryReader reader(folder);
        if (entryObserver_)
            entryObserver_(folder, reader.Fd(), nullptr, 0);
        while (const dirent64 *entry = reader.Next()) {
            if (entryObserver_)
                entryObserver_(folder, reader.Fd(), entry->d_name, entry->d_type);
            // Only entries that are or may be directories need a look-up.
            if (entry->d_type != DT_DIR && entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN)
                continue;
            struct statx st {};
            bool statOk = false;
            QString name;
            const bool named = NameAsText(entry->d_name, name);
            const TSearchFileData data = DescribeEntry(reader.Fd(), entry->d_name, entry->d_type, name, &st, &statOk);
            if (!statOk || !S_ISDIR(st.stx_mode))
                continue;
            if (seen.contains(KeyOf(st)))
                continue;
            seen.insert(KeyOf(st));

            const QString path = folder + name;
            if (!named) {
                unnamed_.append(path);
                continue;
            }
            IgnoreSubDir = false;
            DoFind(path, data, IgnoreSubDir, Continue);
            if (!Continue)
                return false;
            if (!IgnoreSubDir)
                pending_.append(path);
        }
    }
    return true;
}

// ---------------------------------------------------------------------------

TSearchFile::TSearchFile() : searchDir_(std::make_unique<TSearchDir>())
{
    searchDir_->OnFind = [this](TSearchDir &Sender, const QString &Name, const TSearchFileData &Data,
                                bool &IgnoreSubDir,
                                bool &Continue) { SearchDirOnFind(Sender, Name, Data, IgnoreSubDir, Continue); };
}

TSearchFile::~TSearchFile() = default;

void TSearchFile::DoFind(const QString &Name, const TSearchFileData &Data, bool &Continue)
{
    if (OnFind)
        OnFind(*this, Name, Data, Continue);
}

void TSearchFile::DoFindDir(const QString &Name, const TSearchFileData &Data, bool &Skip, bool &IgnoreSubDir)
{
    if (OnFindDir)
        OnFindDir(*this, Name, Data, Skip, IgnoreSubDir);
}

void TSearchFile::SearchDirOnFind(TSearchDir &, const QString &Name, const TSearchFileData &Data, bool &IgnoreSubDir,
                                  bool &)
{
    bool Skip = false;
    DoFindDir(Name, Data, Skip, IgnoreSubDir);
    if (!Skip)
        directories_.append(Name);
}

bool TSearchFile::Search()
{
    if (busy_ || !OnFind)
        return false;

    BusyScope busy(busy_);
    directories_.clear();
    unnamed_.clear();
    bool Continue = true;
    const MaskMatcher mask(SearchName.isEmpty() ? QStringLiteral("*.*") : SearchName);

    // The walk enumerates every folder it collects anyway; the matching
    // entries are taken from that enumeration, described as it sees them,
    // and reported once every folder is collected. A folder the walk did not
    // enumerate (one whose subfolders a handler kept out) is enumerated by
    // the listing itself.
    struct Match {
        QString name;
        TSearchFileData data;
    };
    QHash<QString, QList<Match>> enumerated;
    if (Recursive) {
        QList<Match> *current = nullptr;
        searchDir_->entryObserver_ = [&](const QString &folder, int folderFd, const char *rawName, unsigned char type) {
            if (!rawName) {
                current = &enumerated[folder];
                current->clear();
                return;
            }
            if (!current || !mask.MatchesEntryName(rawName))
                return;
            QString name;
            if (!NameAsText(rawName, name)) {
                unnamed_.append(folder + name);
                return;
            }
            current->append({name, DescribeEntry(folderFd, rawName, type, name)});
        };
        struct ObserverReset {
            TSearchDir &walk;
            ~ObserverReset() { walk.entryObserver_ = nullptr; }
        } observerReset{*searchDir_};
        searchDir_->BaseDir = Directory;
        searchDir_->Search();
        unnamed_ += searchDir_->unnamed_;
    } else {
        directories_.append(AbsolutePath(Directory));
    }

    const qsizetype count = directories_.size();
    for (qsizetype i = 0; i < count; ++i) {
        const QString folder = WithSeparator(directories_.at(i));
        if (const auto found = enumerated.constFind(folder); found != enumerated.cend()) {
            for (const Match &match : *found) {
                DoFind(folder + match.name, match.data, Continue);
                if (!Continue)
                    return false;
            }
            continue;
        }
        DirectoryReader reader(folder);
        while (const dirent64 *entry = reader.Next()) {
            if (!mask.MatchesEntryName(entry->d_name))
                continue;
            QString name;
            if (!NameAsText(entry->d_name, name)) {
                unnamed_.append(folder + name);
                continue;
            }
            const TSearchFileData data = DescribeEntry(reader.Fd(), entry->d_name, entry->d_type, name);
            DoFind(folder + name, data, Continue);
            if (!Continue)
                return false;
        }
    }
    return true;
}

} // namespace zento
