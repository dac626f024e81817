#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class QProcess;

namespace zento {

// The encoder's bare program name.
QString EncoderProgramName();

// Where the encoder lies next to the program: <program folder>/ffmpeg.
QString LocalEncoderPath(const QString &programFolder);

// The encoder to start: the executable file in the program folder if it is
// there, else the first one on PATH; empty when there is none.
QString FindEncoder(const QString &programFolder);

// Sets up an encoder run: the argument vector as given (no shell), input
// from the null device so a question reads end-of-file, both output channels
// merged into one the caller reads, the given working folder (none: the
// current folder).
void PrepareEncoderProcess(QProcess &process, const QString &program, const QStringList &arguments,
                           const QString &workingFolder = QString());

// Sets up a run nobody waits for (the thumbnail): input from the null device,
// every output into the null device, so no pipe can fill.
void PrepareDetachedProcess(QProcess &process, const QString &program, const QStringList &arguments);

// Makes the child end with the program, however the program ends (a crash,
// a kill, a logout): the system stops it when its parent goes. Every child
// the program starts is set up this way.
void EndWithProgram(QProcess &process);

// The child reads its standard input from fd (the reading end of a pipe the
// program feeds) instead of the null device. Call after the Prepare… function.
void FeedStandardInput(QProcess &process, int fd);

// Stops a child process that still runs and collects it, waiting a second at
// the most, so no process outlives the one that asked it.
void StopProcess(QProcess &process);

// Kills a running child and whatever it started in turn (an encoder that is a
// script starting the real one): every child is the first of a process group
// of its own.
void KillProcess(QProcess &process);

// Keeps the last lines of a process's output. A carriage return ends a line
// as a line feed does (progress lines overwrite themselves with it); empty
// lines are dropped, long lines cut.
//
// It also keeps what the encoder said went wrong, wherever it said it: the
// encoder's statistics after an error push the error out of the last lines.
class OutputTail {
public:
    explicit OutputTail(int maxLines = 3, int maxLineLength = 300);
    void Append(const QByteArray &bytes);
    // The kept lines, oldest first, the unfinished last line included.
    QStringList Lines() const;
    // The last three different lines that told of an error, oldest first,
    // without those Lines() holds.
    QStringList Errors() const;
    // A write failed for want of room, at any time.
    bool NoSpaceLeft() const;
    // The output could not be finished (its index written, the file closed);
    // the encoder may still end with 0.
    bool OutputUnfinished() const;
    // The encoder's input file, whose read failures are looked for: the
    // encoder says "<input>: <why>" and takes the failure for the input's end.
    void WatchInput(const QString &input);
    // The encoder's line saying why the input could not be read to its end;
    // empty while it could.
    QString InputFailure() const;
    void Clear();

private:
    void AddLine(const QByteArray &line);
    int maxLines_;
    int maxLineLength_;
    QList<QByteArray> lines_;
    QList<QByteArray> errors_;
    QByteArray previous_; // the last line before the one in hand
    QByteArray input_;        // "<input>: "
    QByteArray inputFailure_;
    QByteArray partial_;
    bool noSpace_ = false;
    bool unfinished_ = false;
};

// What kept a failed encoder run from writing `output`, in the user's words,
// for the report: a full disk, or an output folder that could not be made
// or takes no writes. Empty when it was none of these.
QStringList OutputFolderFaults(const OutputTail &tail, const QString &output);

// Whether two paths name the same existing file, however each is spelled
// (relative, through links, or a second hard link).
bool IsSameFile(const QString &a, const QString &b);

// A relative folder made absolute against the current folder ("~" and "~/…"
// against the home folder); an absolute or empty one unchanged.
QString AbsoluteFolder(const QString &folder);

} // namespace zento
