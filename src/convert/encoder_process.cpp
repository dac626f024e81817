#include "convert/encoder_process.h"

#include "convert/command_line.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>

#include <algorithm>
#include <iterator>

#ifdef Q_OS_UNIX
#include <csignal>
#include <cstring>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif

namespace zento {

QString EncoderProgramName()
{
#ifdef Q_OS_WIN
    return QStringLiteral("ffmpeg.exe");
#else
    return QStringLiteral("ffmpeg");
#endif
}

QString LocalEncoderPath(const QString &programFolder)
{
    return PathInFolder(programFolder, EncoderProgramName());
}

QString FindEncoder(const QString &programFolder)
{
    if (!programFolder.isEmpty()) {
        const QFileInfo local(LocalEncoderPath(programFolder));
        if (local.isFile() && local.isExecutable())
            return local.absoluteFilePath();
    }
    return QStandardPaths::findExecutable(EncoderProgramName());
}

namespace {

void SetUpChild(QProcess &process, int inputFd)
{
#ifdef Q_OS_LINUX
    const pid_t parent = ::getpid();
    process.setChildProcessModifier([parent, inputFd] {
        // Runs in the child between fork and exec: only async-signal-safe calls.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        // The program may have gone before the request was in place.
        if (::getppid() != parent)
            ::_exit(127);
        // A group of its own: a cancel reaches what the child starts in turn.
        ::setpgid(0, 0);
        // The pipe the program feeds takes the place of the null device.
        if (inputFd >= 0 && ::dup2(inputFd, STDIN_FILENO) < 0)
            ::_exit(127);
    });
#else
    Q_UNUSED(process);
    Q_UNUSED(inputFd);
#endif
}

} // namespace

void EndWithProgram(QProcess &process)
{
    SetUpChild(process, -1);
}

void FeedStandardInput(QProcess &process, int fd)
{
    SetUpChild(process, fd);
}

void PrepareEncoderProcess(QProcess &process, const QString &program, const QStringList &arguments,
                           const QString &workingFolder)
{
    EndWithProgram(process);
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setProcessChannelMode(QProcess::MergedChannels);
    if (!workingFolder.isEmpty())
        process.setWorkingDirectory(workingFolder);
}

void StopProcess(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    KillProcess(process);
    process.waitForFinished(1000);
}

void KillProcess(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
#ifdef Q_OS_UNIX
    // Not yet collected, so its id still names it and its group. A child
    // started elsewhere may lead no group: it alone is killed.
    const qint64 pid = process.processId();
    if (pid > 0 && ::kill(-static_cast<pid_t>(pid), SIGKILL) == 0)
        return;
#endif
    process.kill();
}

void PrepareDetachedProcess(QProcess &process, const QString &program, const QStringList &arguments)
{
    EndWithProgram(process);
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
}

OutputTail::OutputTail(int maxLines, int maxLineLength)
    : maxLines_(maxLines < 1 ? 1 : maxLines), maxLineLength_(maxLineLength < 1 ? 1 : maxLineLength)
{
}

namespace {

// An overlong line keeps its end, where the encoder says what went wrong
// ("…/name.mp4: File name too long"), from the start of a word on.
QByteArray CutLine(const QByteArray &line, int maxLength)
{
    if (line.size() <= maxLength)
        return line;
    const QByteArray mark = QByteArrayLiteral("\xe2\x80\xa6"); // "…"
    QByteArray end = line.right(qMax(1, maxLength - int(mark.size())));
    const qsizetype blank = end.indexOf(' ');
    if (blank >= 0 && blank + 1 < end.size()) {
        end.remove(0, blank + 1);
    } else {
        qsizetype at = 0; // never half a character
        while (at < end.size() && (static_cast<unsigned char>(end.at(at)) & 0xc0) == 0x80)
            ++at;
        end.remove(0, at);
    }
    return mark + end;
}

// A line in which the encoder tells of a failure ("Error …", "… incompatible
// with 2pass.", "…: No such file or directory"); its closing words
// "Conversion failed!" tell nothing of the cause.
bool TellsOfError(const QByteArray &line)
{
    static const char *const kWords[] = {"error",           "invalid",         "incompatible", "no space left",
                                         "denied",          "no such",         "not supported", "not a suitable",
                                         "unknown encoder", "unknown decoder", "unrecognized", "could not",
                                         "cannot",          "can't",           "failed",       "not found",
                                         "not valid",       "not divisible"};
    const QByteArray text = line.trimmed().toLower();
    if (text == "conversion failed!")
        return false;
    return std::any_of(std::begin(kWords), std::end(kWords), [&](const char *word) { return text.contains(word); });
}

// The system's own words for a failed call ("Input/output error"), as the
// encoder gives them, in no language but its own; not its warnings about
// what it read ("corrupt decoded frame in stream 1").
bool IsSystemErrorText(const QByteArray &text)
{
    static const QSet<QByteArray> texts = [] {
        QSet<QByteArray> set;
#ifdef Q_OS_UNIX
        if (const locale_t plain = ::newlocale(LC_ALL_MASK, "C", locale_t(nullptr))) {
            for (int code = 1; code < 256; ++code) {
                const QByteArray text = ::strerror_l(code, plain);
                if (!text.startsWith("Unknown error"))
                    set.insert(text);
            }
            ::freelocale(plain);
        }
#endif
        return set;
    }();
    return texts.contains(text);
}

bool IsNoSpace(const QByteArray &line)
{
    return line.contains("No space left on device");
}

// The encoder could not write the output's index or close it.
bool IsUnfinished(const QByteArray &line)
{
    const QByteArray said = line.trimmed();
    return said.startsWith("Error writing trailer") || said.startsWith("Error closing file");
}

} // namespace

bool OutputTail::NoSpaceLeft() const
{
    return noSpace_ || IsNoSpace(partial_);
}

bool OutputTail::OutputUnfinished() const
{
    return unfinished_ || IsUnfinished(partial_);
}

void OutputTail::AddLine(const QByteArray &line)
{
    if (line.trimmed().isEmpty())
        return;
    const QByteArray kept = CutLine(line, maxLineLength_);
    lines_.append(kept);
    while (lines_.size() > maxLines_)
        lines_.removeFirst();
    if (!input_.isEmpty() && inputFailure_.isEmpty() && line.startsWith(input_) &&
        IsSystemErrorText(line.mid(input_.size()).trimmed()))
        inputFailure_ = kept.trimmed();
    noSpace_ = noSpace_ || IsNoSpace(line);
    unfinished_ = unfinished_ || IsUnfinished(line);
    const auto keep = [this](const QByteArray &error) {
        errors_.removeAll(error); // the same error again counts once, as the latest
        errors_.append(error);
        while (errors_.size() > 3)
            errors_.removeFirst();
    };
    if (TellsOfError(line)) {
        // An encoder that would not open says why in the line before, in
        // words of its own ("… is not valid for the H.263 codec").
        const QByteArray said = line.trimmed();
        if ((said.startsWith("Error initializing output stream") || said.startsWith("Error while opening encoder")) &&
            !previous_.isEmpty() && !errors_.contains(previous_))
            keep(previous_);
        keep(kept);
    }
    previous_ = kept;
}

void OutputTail::Append(const QByteArray &bytes)
{
    for (char c : bytes) {
        if (c == '\n' || c == '\r') {
            AddLine(partial_);
            partial_.clear();
        } else {
            // of an overlong line only its end is of use; keep enough to cut later
            partial_.append(c);
            if (partial_.size() > maxLineLength_ * 8)
                partial_.remove(0, partial_.size() - maxLineLength_ * 4);
        }
    }
}

QStringList OutputTail::Lines() const
{
    QList<QByteArray> all = lines_;
    if (!partial_.trimmed().isEmpty()) {
        all.append(CutLine(partial_, maxLineLength_));
        while (all.size() > maxLines_)
            all.removeFirst();
    }
    QStringList text;
    for (const QByteArray &line : all)
        text << QString::fromLocal8Bit(line).trimmed();
    return text;
}

void OutputTail::WatchInput(const QString &input)
{
    input_ = input.isEmpty() ? QByteArray() : QFile::encodeName(input) + ": ";
}

QString OutputTail::InputFailure() const
{
    QByteArray why = inputFailure_;
    if (why.isEmpty() && !input_.isEmpty() && partial_.startsWith(input_))
        why = CutLine(partial_, maxLineLength_).trimmed();
    return QString::fromLocal8Bit(why);
}

QStringList OutputTail::Errors() const
{
    const QStringList last = Lines();
    QStringList text;
    for (const QByteArray &line : errors_) {
        const QString error = QString::fromLocal8Bit(line).trimmed();
        if (!last.contains(error))
            text << error;
    }
    return text;
}

void OutputTail::Clear()
{
    lines_.clear();
    errors_.clear();
    previous_.clear();
    inputFailure_.clear();
    partial_.clear();
    noSpace_ = unfinished_ = false;
}

bool IsSameFile(const QString &a, const QString &b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    const QFileInfo first(a);
    const QFileInfo second(b);
    if (!first.exists() || !second.exists())
        return false;
#ifdef Q_OS_UNIX
    struct stat sa {};
    struct stat sb {};
    if (::stat(QFile::encodeName(a).constData(), &sa) == 0 && ::stat(QFile::encodeName(b).constData(), &sb) == 0)
        return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
#endif
    return first.canonicalFilePath() == second.canonicalFilePath();
}

QString AbsoluteFolder(const QString &folder)
{
    if (folder.isEmpty() || QDir::isAbsolutePath(folder))
        return folder;
    // "~" is the home folder, as a shell would take it, not a folder named
    // so in whatever folder the program was started from.
    if (folder == QLatin1String("~") || folder.startsWith(QLatin1String("~/")))
        return QDir::cleanPath(QDir::homePath() + folder.mid(1));
    return QDir::cleanPath(QDir::current().absoluteFilePath(folder));
}

QStringList OutputFolderFaults(const OutputTail &tail, const QString &output)
{
    const QString folder = QFileInfo(output).absolutePath();
    const QString shown = QDir::toNativeSeparators(folder);
    if (tail.NoSpaceLeft())
        return {QStringLiteral("出力先の空き容量が足りません: %1").arg(shown)};
    if (!QFileInfo(folder).isDir())
        return {QStringLiteral("出力先フォルダを作れません: %1").arg(shown)};
    if (access(QFile::encodeName(folder).constData(), W_OK | X_OK) != 0)
        return {QStringLiteral("出力先フォルダに書き込めません: %1").arg(shown)};
    return {};
}

} // namespace zento
