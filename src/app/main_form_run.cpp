// The conversion run: every ticked title file through the encoder, one pass
// after the other, with the progress window on top of the disabled main window.
#include "app/main_form.h"

#include "convert/command_line.h"
#include "convert/encoder_process.h"
#include "convert/jpeg_image.h"
#include "convert/progress_form.h"
#include "platform/dialogs.h"
#include "platform/error.h"
#include "widgets/check_list_box.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

namespace zento {

namespace {

constexpr int kWaitSliceMs = 60;        // the encoder is waited for in slices, events handled between
constexpr int kThumbnailPauseMs = 1000; // time the thumbnail run gets before its file is looked for
constexpr int kThumbnailGraceMs = 1000; // more time for a thumbnail run still going after the pause

const char kAbortMessage[] = "非対応フォーマットが含まれていました。処理を中止します。";

// The encoder cannot be started: the run ends with this message.
class EncoderStartFailure : public Error {
public:
    using Error::Error;
};

struct FailedPass {
    QString source;
    QString output;
    int pass = 1;
    int passCount = 1;
    QStringList lines;
};

QString NotFoundMessage(const QString &programFolder)
{
    return QStringLiteral("エンコーダ %1 が見つかりませんでした。処理を中止します。\n探した場所: %2、PATH のフォルダ")
        .arg(EncoderProgramName(), LocalEncoderPath(programFolder));
}

QString StartFailedMessage(const QString &encoder)
{
    return QStringLiteral("エンコーダ %1 を起動できませんでした。処理を中止します。").arg(encoder);
}

QString FailureReport(const QList<FailedPass> &failures)
{
    QString text = QStringLiteral("変換できなかったファイルがあります。");
    for (const FailedPass &failure : failures) {
        text += QStringLiteral("\n\n") + PathFileName(failure.source) + QStringLiteral(" -> ") +
                PathFileName(failure.output);
        if (failure.passCount > 1)
            text += QStringLiteral(" (%1パス目)").arg(failure.pass);
        for (const QString &line : failure.lines)
            text += QStringLiteral("\n  ") + line;
    }
    return text;
}

// The output file as it stands before and after an encoder run.
struct OutputState {
    bool exists = false;
    qint64 size = -1;
    QDateTime modified;
};

OutputState StateOf(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return {};
    return {true, info.size(), info.lastModified()};
}

// An encoder that ended well but left the output missing, empty or as it
// was before has written nothing.
bool WroteNothing(const OutputState &before, const OutputState &after)
{
    return !after.exists || after.size == 0 ||
           (before.exists && before.size == after.size && before.modified == after.modified);
}

// The short encoder run that writes the thumbnail. Nobody waits for it; the
// process object lives until the run ends (or, at the latest, with the main
// window, which stops it then).
QProcess *StartThumbnail(QObject *owner, const QString &encoder, const EncoderCommand &command)
{
    auto *process = new QProcess(owner);
    PrepareDetachedProcess(*process, encoder, command.arguments);
    QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
    QObject::connect(process, &QProcess::errorOccurred, process, [process](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            process->deleteLater();
    });
    process->start();
    return process;
}

class ConversionRun {
public:
    explicit ConversionRun(TMainForm1 &window) : w_(window) {}
    void Execute();

private:
    bool IsTicked(int index) const;
    // One pass of entry index; false when the entry's remaining passes are skipped.
    bool RunPass(int index, int pass, int passCount, const QString &outputFolder);
    void WaitForEncoder(QProcess *process, OutputTail &tail);
    void Release();

    TMainForm1 &w_;
    QPointer<TProgressForm1> form_;
    // The encoder's working folder: two-pass logs go here and vanish with it.
    QTemporaryDir workFolder_;
    QList<FailedPass> failures_;
    QList<QPointer<QProcess>> thumbnailRuns_;
};

bool ConversionRun::IsTicked(int index) const
{
    return index < w_.CheckListBox2->Count() && w_.CheckListBox2->IsItemChecked(index);
}

void ConversionRun::Execute()
{
    // The progress window over the disabled main window.
    auto *form = new TProgressForm1(&w_);
    form_ = form;
    w_.ProgressForm1 = form;
    form->BindRunState(&w_.CurrentSourcePath, &w_.CurrentOutputPath, &w_.EncoderProcess);
    form->ProgressBar1->setMaximum(w_.CheckListBox1->Count());
    form->ProgressBar1->setValue(0);
    form->show();
    form->Timer1->start();
    w_.setEnabled(false);
    // Messages of the run belong to the window the user can still work with.
    SetDialogParent(form);

    try {
        const ConversionSettings settings = w_.CurrentSettings();
        const int passCount = settings.C4_C1 ? 2 : 1;
        // The output folder with its parents; a folder that cannot be made
        // shows itself as failed encoder runs.
        if (settings.C1_03.isEmpty())
            throw Error(QStringLiteral("empty output folder"));
        const QString outputFolder = AbsoluteFolder(settings.C1_03);
        QDir().mkpath(outputFolder);
        // Every ticked entry, each pass; the list is counted afresh before every entry.
        for (int i = 0; i < w_.CheckListBox1->Count(); ++i) {
            if (!IsTicked(i))
                continue;
            for (int pass = 1; pass <= passCount; ++pass)
                if (!RunPass(i, pass, passCount, outputFolder))
                    break;
        }
    } catch (const EncoderStartFailure &failure) {
        ShowFailure(failure.message());
        Release();
        return;
    } catch (...) {
        ShowFailure(QString::fromUtf8(kAbortMessage));
        Release();
        return;
    }
    // The closing steps; failed files are told after them.
    Beep();
    Release();
    if (!failures_.isEmpty())
        ShowMessage(FailureReport(failures_));
}

bool ConversionRun::RunPass(int index, int pass, int passCount, const QString &outputFolder)
{
    // The run state of this pass. The folder is the one created at the start,
    // made absolute, so that the encoder and the run mean the same file.
    w_.CurrentSourcePath = w_.CheckListBox1->ItemText(index);
    ConversionSettings settings = w_.CurrentSettings();
    settings.C1_03 = outputFolder;
    w_.CurrentOutputPath = BuildOutputPath(w_.CurrentSourcePath, settings);
    const QString source = w_.CurrentSourcePath;
    const QString output = w_.CurrentOutputPath;

    // What the progress window shows of this pass, at once.
    if (form_) {
        form_->ProgressBar1->setValue(index);
        form_->Label1->setText(PathFileName(source) + QStringLiteral(" -> ") + PathFileName(output));
        form_->repaint();
    }
    // Names the installed encoder lacks give way to their successors.
    const EncoderCommand command =
        ApplyEncoderSuccessors(BuildEncoderCommandLine(source, output, settings, pass), w_.Capabilities());

    // The source itself must never be overwritten, nor deleted afterwards.
    if (IsSameFile(source, output)) {
        failures_.append({source,
                          output,
                          pass,
                          passCount,
                          {QStringLiteral("出力先が変換元と同じファイルのため、変換しませんでした。")}});
        return false;
    }

    // The thumbnail: its own short encoder run, given a second.
    if (form_)
        form_->ClearPicture();
    const QString encoder = FindEncoder(w_.ProgramFolder());
    const EncoderCommand thumbnail = BuildThumbnailParameters(source, w_.ProgramFolder());
    QPointer<QProcess> thumbnailRun;
    if (!encoder.isEmpty()) {
        thumbnailRun = StartThumbnail(&w_, encoder, thumbnail);
        thumbnailRuns_.append(thumbnailRun);
    }
    QThread::msleep(kThumbnailPauseMs);
    const QString thumbnailFile = thumbnail.arguments.constLast();
    // A thumbnail run still going may be in the middle of writing its file:
    // judged now, a healthy source would stop the whole run as unreadable.
    // It gets a little longer; one that is still not done gives no picture.
    if (thumbnailRun && thumbnailRun->state() != QProcess::NotRunning &&
        !thumbnailRun->waitForFinished(kThumbnailGraceMs)) {
        StopProcess(*thumbnailRun);
        QFile::remove(thumbnailFile);
    }
    if (QFileInfo::exists(thumbnailFile)) {
        RgbImage picture;
        try {
            picture = DecodeJpegFile(thumbnailFile);
        } catch (...) {
            // An unreadable file left behind would stop every later run as well.
            QFile::remove(thumbnailFile);
            throw;
        }
        if (form_)
            form_->SetPicture(picture);
        QFile::remove(thumbnailFile);
    }

    // Only a cancel of the coming encoder run changes these.
    if (form_) {
        form_->KeepOutput = true;
        form_->Cancelled = false;
    }

    // The encoder, as a child process of its own. The object of the
    // previous pass has ended and goes now: a cancel reaches only this one.
    if (encoder.isEmpty())
        throw EncoderStartFailure(NotFoundMessage(w_.ProgramFolder()));
    delete w_.EncoderProcess.data();
    QPointer<QProcess> process = new QProcess(&w_);
    w_.EncoderProcess = process;
    PrepareEncoderProcess(*process, encoder, command.arguments, workFolder_.isValid() ? workFolder_.path() : QString());
    const OutputState before = StateOf(output);
    process->start();
    if (!process->waitForStarted(-1))
        throw EncoderStartFailure(StartFailedMessage(encoder));

    // Waiting keeps the windows alive: timer, cancel, repaints, moves.
    OutputTail tail;
    WaitForEncoder(process, tail);

    // A cut-off output goes; a failed run is told at the end.
    const bool cancelled = form_ && form_->Cancelled;
    const bool keep = !form_ || form_->KeepOutput;
    if (!keep)
        QFile::remove(output);
    if (process && !cancelled && (process->exitStatus() == QProcess::CrashExit || process->exitCode() != 0)) {
        QStringList lines;
        if (process->exitStatus() == QProcess::CrashExit)
            lines << QStringLiteral("エンコーダが異常終了しました。");
        else
            lines << QStringLiteral("エンコーダの終了コード: %1").arg(process->exitCode());
        lines << tail.Lines();
        failures_.append({source, output, pass, passCount, lines});
    } else if (process && !cancelled && WroteNothing(before, StateOf(output))) {
        failures_.append(
            {source, output, pass, passCount, {QStringLiteral("エンコーダは出力ファイルを書きませんでした。")}});
    }
    return true;
}

void ConversionRun::WaitForEncoder(QProcess *process, OutputTail &tail)
{
    const QPointer<QProcess> guard(process);
    while (guard && guard->state() != QProcess::NotRunning) {
        if (guard->waitForFinished(kWaitSliceMs))
            break;
        tail.Append(guard->readAll());
        // a cancel handled in the last round may have ended it already
        if (guard->state() == QProcess::NotRunning)
            break;
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    if (guard)
        tail.Append(guard->readAll());
}

void ConversionRun::Release()
{
    // Thumbnail runs still going would write a picture nobody shows, and a
    // hung one would stay as long as the program: they stop now, and a
    // picture that came too late goes with them.
    for (const QPointer<QProcess> &process : thumbnailRuns_)
        if (process)
            StopProcess(*process);
    QFile::remove(ThumbnailPath(w_.ProgramFolder()));
    if (form_) {
        form_->Timer1->stop();
        form_->Release();
    }
    w_.ProgressForm1 = nullptr;
    w_.setEnabled(true);
    SetDialogParent(&w_);
}

} // namespace

void TMainForm1::CButton10Click(QObject *)
{
    // Nothing to convert; and never a second run inside a running one.
    if (CheckListBox1->Count() == 0 || ProgressForm1)
        return;
    ConversionRun run(*this);
    run.Execute();
}

} // namespace zento
