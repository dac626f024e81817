#pragma once

// Pieces of the conversion run: its failures, the reports made of them, the
// output's state around an encoder run, and the thumbnail run.
#include "convert/command_line.h"
#include "convert/pipe_feed.h"
#include "platform/error.h"

#include <QDateTime>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace zento {

inline constexpr char kAbortMessage[] = "非対応フォーマットが含まれていました。処理を中止します。";

// The encoder cannot be started: the run ends with this message.
class EncoderStartFailure : public Error {
public:
    using Error::Error;
};

struct FailedPass {
    QString label; // what the progress window named the job: "VTS_01_1.VOB -> VTS_01_1.mp4"
    int pass = 1;
    int passCount = 1;
    QStringList lines;
};

QString NotFoundMessage(const QString &programFolder);
QString StartFailedMessage(const QString &encoder);
// The heading, then each failed pass with its lines.
QString FailureReport(const QString &heading, const QList<FailedPass> &failures);

// The output file as it stands before and after an encoder run.
struct OutputState {
    bool exists = false;
    qint64 size = -1;
    QDateTime modified;
};

OutputState StateOf(const QString &path);

// An encoder that ended well but left the output missing, empty or as it
// was before has written nothing.
bool WroteNothing(const OutputState &before, const OutputState &after);

// The short encoder run that writes the thumbnail. Nobody waits for it; the
// process object lives until the run ends (or, at the latest, with the main
// window, which stops it then).
QProcess *StartThumbnail(QObject *owner, const QString &encoder, const EncoderCommand &command, PipeFeeder *feeder);

} // namespace zento
