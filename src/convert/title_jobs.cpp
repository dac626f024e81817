#include "convert/title_jobs.h"

#include <QFile>
#include <QRegularExpression>

namespace zento {

namespace {

QString FolderOf(const QString &path, PathStyle style)
{
    return path.left(path.size() - PathFileName(path, style).size());
}

bool HasLineBreak(const QString &path)
{
    return path.contains(QLatin1Char('\n')) || path.contains(QLatin1Char('\r'));
}

} // namespace

bool ParseTitlePart(const QString &path, QString &titleSet, int &part, PathStyle style)
{
    static const QRegularExpression name(QStringLiteral("^VTS_([0-9]{1,2})_([0-9]{1,2})\\.VOB$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = name.match(PathFileName(path, style));
    if (!match.hasMatch())
        return false;
    titleSet = match.captured(1);
    part = match.captured(2).toInt();
    return true;
}

QList<TitleJob> FormTitleJobs(const QList<SourceEntry> &entries, bool join, PathStyle style)
{
    QList<TitleJob> jobs;
    // What the last job ends with, when the next entry may join it.
    QString lastSet;
    QString lastFolder;
    int lastPart = -1;
    int lastIndex = -2;
    for (int i = 0; i < entries.size(); ++i) {
        const SourceEntry &entry = entries.at(i);
        if (!entry.ticked)
            continue;
        QString set;
        int part = -1;
        const bool titlePart =
            join && ParseTitlePart(entry.path, set, part, style) && part >= 1 && !HasLineBreak(entry.path);
        const QString folder = FolderOf(entry.path, style);
        if (titlePart && lastIndex == i - 1 && part == lastPart + 1 && set == lastSet && folder == lastFolder)
            jobs.last().parts << entry.path;
        else
            jobs.append({i, {entry.path}});
        lastIndex = i;
        lastPart = titlePart ? part : -1;
        lastSet = titlePart ? set : QString();
        lastFolder = folder;
    }
    return jobs;
}

QString JobLabelText(const TitleJob &job, const QString &outputPath, PathStyle style)
{
    QString text = PathFileName(job.parts.value(0), style);
    if (job.parts.size() > 1)
        text += QStringLiteral(" + %1").arg(job.parts.size() - 1);
    return text + QStringLiteral(" -> ") + PathFileName(outputPath, style);
}

bool FitsConcatProtocol(const QStringList &parts)
{
    for (const QString &part : parts)
        if (part.contains(QLatin1Char('|')))
            return false;
    return true;
}

QByteArray ConcatListText(const QStringList &parts)
{
    QByteArray text = "ffconcat version 1.0\n";
    for (const QString &part : parts) {
        QByteArray path = QFile::encodeName(part);
        path.replace('\'', "'\\''");
        text += "file '" + path + "'\n";
    }
    return text;
}

EncoderCommand JoinedEncoderCommand(const EncoderCommand &command, const QStringList &parts, const QString &listPath)
{
    EncoderCommand result = command;
    QStringList &a = result.arguments;
    const qsizetype input = a.indexOf(QStringLiteral("-i"));
    if (parts.size() < 2 || input < 0 || input + 1 >= a.size())
        return result;
    if (FitsConcatProtocol(parts)) {
        a[input + 1] = QStringLiteral("concat:") + parts.join(QLatin1Char('|'));
        return result;
    }
    a[input + 1] = listPath;
    const QStringList demuxer{QStringLiteral("-f"), QStringLiteral("concat"), QStringLiteral("-safe"),
                              QStringLiteral("0")};
    for (qsizetype k = 0; k < demuxer.size(); ++k)
        a.insert(input + k, demuxer.at(k));
    for (int &position : result.quoted)
        if (position >= input)
            position += static_cast<int>(demuxer.size());
    return result;
}

} // namespace zento
