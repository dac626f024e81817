#include "app/run_reports.h"

#include "convert/encoder_process.h"

#include <QFileInfo>

namespace zento {

QString NotFoundMessage(const QString &programFolder)
{
    return QStringLiteral("エンコーダ %1 が見つかりませんでした。処理を中止します。\n探した場所: %2、PATH のフォルダ")
        .arg(EncoderProgramName(), LocalEncoderPath(programFolder));
}

QString StartFailedMessage(const QString &encoder)
{
    return QStringLiteral("エンコーダ %1 を起動できませんでした。処理を中止します。").arg(encoder);
}

QString FailureReport(const QString &heading, const QList<FailedPass> &failures)
{
    QString text = heading;
    for (const FailedPass &failure : failures) {
        text += QStringLiteral("\n\n") + failure.label;
        if (failure.passCount > 1)
            text += QStringLiteral(" (%1パス目)").arg(failure.pass);
        for (const QString &line : failure.lines)
            text += QStringLiteral("\n  ") + line;
    }
    return text;
}

OutputState StateOf(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return {};
    return {true, info.size(), info.lastModified()};
}

bool WroteNothing(const OutputState &before, const OutputState &after)
{
    return !after.exists || after.size == 0 ||
           (before.exists && before.size == after.size && before.modified == after.modified);
}

QProcess *StartThumbnail(QObject *owner, const QString &encoder, const EncoderCommand &command, PipeFeeder *feeder)
{
    auto *process = new QProcess(owner);
    PrepareDetachedProcess(*process, encoder, command.arguments);
    if (feeder)
        FeedStandardInput(*process, feeder->ChildFd());
    QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
    QObject::connect(process, &QProcess::errorOccurred, process, [process](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            process->deleteLater();
    });
    process->start();
    if (feeder)
        feeder->ChildStarted();
    return process;
}

} // namespace zento
