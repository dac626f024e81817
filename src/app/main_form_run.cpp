// The conversion run: every ticked title file through the encoder, one pass
// after the other, with the progress window on top of the disabled main window.
#include "app/main_form.h"
#include "app/run_reports.h"

#include "convert/chapter_cut.h"
#include "convert/command_line.h"
#include "convert/encoder_process.h"
#include "convert/encoder_progress.h"
#include "convert/jpeg_image.h"
#include "convert/pipe_feed.h"
#include "convert/progress_form.h"
#include "convert/title_jobs.h"
#include "convert/title_streams.h"
#include "platform/dialogs.h"
#include "platform/error.h"
#include "platform/process_files.h"
#include "platform/regular_file.h"
#include "platform/run_folder.h"
#include "widgets/check_list_box.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>

namespace zento {

namespace {

constexpr int kWaitSliceMs = 60;        // the encoder is waited for in slices, events handled between
constexpr int kThumbnailPauseMs = 1000; // time the thumbnail run gets before its file is looked for
// The head of a title the thumbnail run may read: enough for its frame five
// seconds in at any rate a disc holds.
constexpr qint64 kThumbnailFeedBytes = 16 * 1024 * 1024;
constexpr int kBarSteps = 1000; // the bar of a title run: the share of its bytes done
// The look for hard telecine: three seconds of picture at three places.
constexpr qint64 kCadenceSampleBytes = 6 * 1024 * 1024;
constexpr int kCadenceSampleFrames = 90;
// A look not done by then is stopped: its stretch of the disc reads too
// slowly (scratched) to tell anything, and the run must not wait it out.
constexpr int kCadenceLimitMs = 10000;

class ConversionRun {
public:
    explicit ConversionRun(TMainForm1 &window) : w_(window) {}
    void Execute();

private:
    bool IsTicked(int index) const;
    // The streams, filters and chapters of a disc title's encoder run.
    PipedStreams TitleStreams(const TitleJob &job, const ConversionSettings &settings);
    // The jobs of this run: one per ticked entry, or the parts of a title joined.
    QList<TitleJob> Jobs(bool join) const;
    // One pass of a job; false when the job's remaining passes are skipped.
    bool RunPass(TitleJob &job, int pass, int passCount, const QString &outputFolder);
    void Pause(int ms);
    // Loads the thumbnail file into the progress window and deletes it. An
    // unreadable file is a failure when `strict`, else it only gives no picture.
    void ShowThumbnail(bool strict);
    // Whether the thumbnail run of this pass is still at work.
    bool ThumbnailRunGoing() const;
    // Shows the picture of a thumbnail run that has just ended.
    void WatchThumbnail();
    void WaitForEncoder(QProcess *process, OutputTail &tail);
    // The encoder's output read so far: into the tail and into the progress line.
    void TakeOutput(QProcess &process, OutputTail &tail);
    // A fed input's share is how much of it the encoder was given.
    void ShowFedShare();
    // A file input's share is how far the encoder has read it.
    void ShowReadShare(const QProcess &process);
    void Release();

    TMainForm1 &w_;
    QPointer<TProgressForm1> form_;
    // The encoder's working folder: two-pass logs go here and vanish with it.
    RunFolder workFolder_;
    QList<FailedPass> failures_;
    QStringList failedOutputs_; // the outputs of those, which were not saved
    QString madeFolder_;        // the output folder, when it was there at the start
    QList<FailedPass> skips_; // converted with unreadable blocks passed over
    // Outputs named anew beside a file already there: "<name> -> <name (2)>",
    // and the path written.
    QList<std::pair<QString, QString>> renamed_;
    QStringList cut_;         // "T01: イメージが途中で…": sources that ended before their titles did
    QStringList written_;     // the outputs of this run's jobs so far, absolute
    QStringList claimed_;     // of those, the ones made empty to hold their names
    QString jobOutput_;       // the output of the job in progress
    // How far the encoder has read its input file (-1: not known), and when it
    // was last asked.
    qint64 readPosition_ = -1;
    qint64 inputSize_ = 0;
    QElapsedTimer readClock_;
    // The feeding of the encoder's input, and of the thumbnail run's.
    std::unique_ptr<PipeFeeder> feeder_;
    std::unique_ptr<PipeFeeder> thumbnailFeeder_;
    QList<QPointer<QProcess>> thumbnailRuns_;
    // The thumbnail run of this pass while its picture is still awaited.
    QPointer<QProcess> thumbnailRun_;
    bool thumbnailPending_ = false;
    QString thumbnailFile_;
    // A pass of the current entry (or joined title) was cancelled.
    bool entryCancelled_ = false;
    // How far the encoder run of the pass in progress has come.
    EncoderProgress progress_;
    QElapsedTimer encoderClock_;
    int pass_ = 1;
    int passCount_ = 1;
    // A title run's bar goes by bytes: all its passes' and those done.
    qint64 runBytes_ = 0;
    qint64 doneBytes_ = 0;
    void ShowBar(int index, qint64 fedBytes);
    // The look for film telecined into a title's picture: encoder runs with
    // the field detector on a few samples, started beside the thumbnail run;
    // the encoder's command line waits for their verdict.
    struct CadenceSample {
        std::unique_ptr<PipeFeeder> feeder;
        std::unique_ptr<QProcess> process;
    };
    std::vector<CadenceSample> cadence_;
    void StartCadenceSamples(const TitleJob &job, const QString &encoder);
    bool CadenceShowsFilm();
};

PipedStreams ConversionRun::TitleStreams(const TitleJob &job, const ConversionSettings &settings)
{
    PipedStreams streams = TitleJobStreams(job, settings, QThread::idealThreadCount());
    // The chapter marks, where the container holds them: a file in the
    // run's working folder, gone with it.
    const DiscTitle &title = job.title;
    if (ContainerHoldsChapters(settings) && !title.chapterStartsMs.isEmpty() && workFolder_.isValid()) {
        const QString file = PathInFolder(workFolder_.path(), QStringLiteral("chapters.txt"));
        QFile out(file);
        if (out.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
            out.write(ChapterMetadata(title.chapterStartsMs, title.durationMs)) >= 0 && out.flush())
            streams.chaptersFile = file;
    }
    return streams;
}

bool ConversionRun::IsTicked(int index) const
{
    return index < w_.CheckListBox2->Count() && w_.CheckListBox2->IsItemChecked(index);
}

QList<TitleJob> ConversionRun::Jobs(bool join) const
{
    const TMainForm1::TitleListing &titles = w_.Titles();
    if (titles.active) {
        QList<TitleJob> jobs;
        for (int i = 0; i < titles.rows.size(); ++i) {
            if (!IsTicked(i))
                continue;
            TitleJob job;
            job.index = i;
            job.discSource = titles.source;
            job.discName = titles.discName;
            job.title = titles.rows.at(i).title;
            job.audioTrack = titles.rows.at(i).audioTrack;
            job.subtitleTrack = titles.rows.at(i).subtitleTrack;
            job.angle = titles.rows.at(i).angle;
            jobs.append(job);
        }
        return jobs;
    }
    QList<SourceEntry> entries;
    for (int i = 0; i < w_.CheckListBox1->Count(); ++i)
        entries.append({w_.CheckListBox1->ItemText(i), IsTicked(i)});
    return FormTitleJobs(entries, join);
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
        if (QDir().mkpath(outputFolder))
            madeFolder_ = outputFolder;
        // What a killed run left: its folder, and the output it had not finished.
        ClearKilledRuns();
        // Every job (a ticked entry, or the parts of a title joined), each pass.
        // The main window is disabled meanwhile: the list cannot change.
        const QList<TitleJob> jobs = Jobs(w_.CheckBox2->isChecked());
        // Titles differ in length: the bar of a title run shows the share
        // of its bytes done; a file run's counts the list's entries.
        QList<qint64> jobBytes;
        for (const TitleJob &job : jobs) {
            jobBytes << (job.IsDiscTitle() ? DiscTitleFeed(job.discSource, job.title, job.angle)->TotalBytes() : 0);
            runBytes_ += jobBytes.constLast() * passCount;
        }
        if (runBytes_ > 0)
            form->ProgressBar1->setMaximum(kBarSteps);
        for (qsizetype j = 0; j < jobs.size() && !w_.EndRequested(); ++j) {
            TitleJob job = jobs.at(j);
            entryCancelled_ = false;
            for (int pass = 1; pass <= passCount; ++pass) {
                const bool goOn = !w_.EndRequested() && RunPass(job, pass, passCount, outputFolder);
                doneBytes_ += jobBytes.at(j);
                if (!goOn) {
                    doneBytes_ += jobBytes.at(j) * (passCount - pass);
                    break;
                }
            }
            ShowBar(job.index, 0);
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
    // The system asked the program to end: nobody is left to tell.
    if (w_.EndRequested()) {
        Release();
        return;
    }
    // The closing steps; failed files are told after them.
    Beep();
    Release();
    QStringList reports;
    if (!failures_.isEmpty())
        reports << FailureReport(QStringLiteral("変換できなかったファイルがあります。"), failures_);
    if (!skips_.isEmpty())
        reports << FailureReport(QStringLiteral("ディスクの読めない部分を飛ばして変換したファイルがあります。"),
                                 skips_);
    if (!cut_.isEmpty())
        reports << QStringLiteral("途中までを変換したファイルがあります。\n\n") + cut_.join(QLatin1Char('\n'));
    QStringList renamed;
    for (const auto &[text, path] : std::as_const(renamed_))
        if (QFileInfo::exists(path) && !failedOutputs_.contains(path))
            renamed << text;
    if (!renamed.isEmpty())
        reports << QStringLiteral("同じ名前のファイルがあったため、次の名前で保存しました。\n\n") +
                       renamed.join(QLatin1Char('\n'));
    if (!reports.isEmpty())
        ShowMessage(reports.join(QStringLiteral("\n\n")));
}

bool ConversionRun::RunPass(TitleJob &job, int pass, int passCount, const QString &outputFolder)
{
    // The run state of this pass. The folder is the one created at the start,
    // made absolute, so that the encoder and the run mean the same file. A
    // joined job is named after its first part; a disc title after the disc.
    ConversionSettings settings = w_.CurrentSettings();
    settings.C1_03 = outputFolder;
    if (job.IsDiscTitle()) {
        w_.CurrentSourcePath = job.discSource;
        w_.CurrentOutputPath = TitleOutputPath(job.discName, job.title.number, settings);
    } else {
        w_.CurrentSourcePath = job.parts.constFirst();
        w_.CurrentOutputPath = BuildOutputPath(w_.CurrentSourcePath, settings);
    }
    // No job overwrites a file that is there already, an earlier run's or
    // an earlier job's: the output takes the next free number, and the
    // report names it. Both passes of a job write the same file.
    if (pass == 1) {
        const QString named = w_.CurrentOutputPath;
        bool there = false;
        // An output named as its source is refused below, not renamed.
        const bool isSource = std::any_of(job.parts.cbegin(), job.parts.cend(),
                                          [&named](const QString &part) { return IsSameFile(part, named); });
        for (int n = 2; !isSource; ++n) {
            const QFileInfo info(w_.CurrentOutputPath);
            const bool ours = written_.contains(info.absoluteFilePath());
            if (!ours && !info.exists() && !info.isSymLink()) {
                // The name is taken at once: another window converting into
                // the same folder meanwhile takes the next one.
                QFile claim(w_.CurrentOutputPath);
                if (claim.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
                    claimed_ << info.absoluteFilePath();
                    break;
                }
                const QFileInfo now(w_.CurrentOutputPath);
                if (!now.exists() && !now.isSymLink())
                    break; // a folder that cannot be written: the encoder says so
            }
            there = there || !ours;
            w_.CurrentOutputPath = NumberedOutputPath(named, n);
        }
        if (there)
            renamed_.append({PathFileName(named) + QStringLiteral(" -> ") + PathFileName(w_.CurrentOutputPath),
                             w_.CurrentOutputPath});
        jobOutput_ = w_.CurrentOutputPath;
        written_ << QFileInfo(jobOutput_).absoluteFilePath();
    }
    w_.CurrentOutputPath = jobOutput_;
    const QString source = w_.CurrentSourcePath;
    const QString output = w_.CurrentOutputPath;
    workFolder_.NoteOutput(output); // unfinished until its encoder has ended
    const QString label = job.IsDiscTitle() ? TitleLabelText(job.title, output) : JobLabelText(job, output);
    // What the encoder reads through its standard input: a title from the
    // disc, or the parts of a title one after the other.
    const bool fed = job.IsDiscTitle() || job.IsJoined();
    const auto makeFeed = [&job](bool soundEncoded = false) {
        return job.IsDiscTitle() ? DiscTitleFeed(job.discSource, job.title, job.angle, 0, soundEncoded)
                                 : FilePartsFeed(job.parts);
    };

    // What the progress window shows of this pass, at once.
    if (form_) {
        ShowBar(job.index, 0);
        form_->Label1->setText(label);
        form_->ProgressText.clear();
        form_->Label3->clear();
        form_->KnownSourceSize = fed ? makeFeed()->TotalBytes() : -1;
        form_->repaint();
    }
    // No source may ever be overwritten or deleted; a title's own sound the container cannot hold makes no file.
    const QString refused = std::any_of(job.parts.cbegin(), job.parts.cend(),
                                        [&output](const QString &part) { return IsSameFile(part, output); })
                                ? QStringLiteral("出力先が変換元と同じファイルのため、変換しませんでした。")
                                : CopiedSoundRefused(job.title.audio.value(job.audioTrack), settings);
    if (!refused.isEmpty()) {
        failures_.append({label, pass, passCount, {refused}});
        return false;
    }

    // The thumbnail: its own short encoder run. One still going when the
    // encoder starts is watched while the encoder works. A disc title's
    // run reads the head of the title through a pipe of its own.
    if (form_)
        form_->ClearPicture();
    const QString encoder = FindEncoder(w_.ProgramFolder());
    EncoderCommand thumbnail =
        BuildThumbnailParameters(job.IsDiscTitle() ? QStringLiteral("-") : source, w_.Places().ThumbnailFolder());
    thumbnailFile_ = thumbnail.arguments.constLast();
    thumbnailRun_ = nullptr;
    thumbnailFeeder_.reset();
    if (!encoder.isEmpty()) {
        if (job.IsDiscTitle()) {
            thumbnailFeeder_ = std::make_unique<PipeFeeder>(makeFeed(), kThumbnailFeedBytes);
            if (thumbnailFeeder_->Start())
                thumbnailRun_ = StartThumbnail(&w_, encoder, PipedEncoderCommand(thumbnail, {.keyFramesOnly = true}),
                                               thumbnailFeeder_.get());
        } else {
            thumbnailRun_ = StartThumbnail(&w_, encoder, thumbnail, nullptr);
        }
        if (thumbnailRun_)
            thumbnailRuns_.append(thumbnailRun_);
        // Film telecined into the picture is looked for meanwhile.
        if (pass == 1 && job.IsDiscTitle() && LookForHardTelecine(job.title, settings))
            StartCadenceSamples(job, encoder);
    }
    // A file's run waits a second for its thumbnail. A disc title's does
    // not: its thumbnail run reads a pipe of its own and is watched while
    // the encoder works, so the encoder starts at once.
    Pause(job.IsDiscTitle() ? 0 : kThumbnailPauseMs);
    if (!cadence_.empty() && CadenceShowsFilm()) {
        job.title.hardTelecine = true;
        w_.SetTitleHardTelecine(job.index);
    }
    // A run still going may be in the middle of writing its file: its
    // picture is taken when it ends.
    thumbnailPending_ = ThumbnailRunGoing();
    if (!thumbnailPending_) {
        ShowThumbnail(true);
        thumbnailFeeder_.reset();
    }

    // Names the installed encoder lacks give way to their successors; a fed
    // job's encoder reads its standard input, a disc title's with the
    // title's video and the chosen audio track.
    EncoderCommand command =
        ApplyEncoderSuccessors(BuildEncoderCommandLine(source, output, settings, pass), w_.Capabilities());
    if (job.IsDiscTitle()) {
        command = PipedEncoderCommand(command, TitleStreams(job, settings));
    } else {
        command = FitSoundToEncoder(command);
        if (fed)
            command = PipedEncoderCommand(command);
    }

    // Two passes keep the first pass's log in the run's temporary folder:
    // without one the second pass has nothing to build on.
    if (passCount > 1 && !workFolder_.isValid()) {
        failures_.append({label,
                          pass,
                          passCount,
                          {QStringLiteral("一時フォルダ %1 に書き込めないため、2パスで変換できません。")
                               .arg(QDir::toNativeSeparators(QDir::tempPath()))}});
        return false;
    }

    if (w_.EndRequested())
        return false;
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
    feeder_.reset();
    if (fed) {
        feeder_ = std::make_unique<PipeFeeder>(makeFeed(SoundEncoded(command.arguments)));
        if (!feeder_->Start())
            throw Error(QStringLiteral("no pipe for the encoder's input"));
        FeedStandardInput(*process, feeder_->ChildFd());
    }
    const OutputState before = StateOf(output);
    progress_ = EncoderProgress();
    readClock_.invalidate();
    readPosition_ = -1;
    inputSize_ = fed ? 0 : QFileInfo(source).size();
    pass_ = pass;
    passCount_ = passCount;
    encoderClock_.start();
    process->start();
    if (feeder_)
        feeder_->ChildStarted();
    if (!process->waitForStarted(-1)) {
        feeder_.reset();
        throw EncoderStartFailure(StartFailedMessage(encoder));
    }

    // Waiting keeps the windows alive: timer, cancel, repaints, moves.
    OutputTail tail;
    if (!fed)
        tail.WatchInput(source);
    WaitForEncoder(process, tail);
    workFolder_.ClearOutput();
    // The encoder has ended: the feeding stops (it may still be waiting for
    // room in the pipe when the encoder ended early).
    bool sourceGone = false, sourceEnded = false;
    QString sourceFailure;
    qint64 skipped = 0, fedShare = 0;
    if (feeder_) {
        feeder_->Stop();
        sourceGone = feeder_->SourceFailed();
        sourceFailure = feeder_->FailureText();
        skipped = feeder_->SkippedBlocks();
        sourceEnded = feeder_->SourceEnded();
        fedShare = feeder_->TotalBytes() > 0 ? feeder_->FedBytes() * 1000 / feeder_->TotalBytes() : 0;
        feeder_.reset();
    }

    // The pass ended before its thumbnail run: that picture belongs to no
    // pass any more, and the next pass writes the same file.
    if (thumbnailPending_) {
        thumbnailPending_ = false;
        if (thumbnailRun_)
            StopProcess(*thumbnailRun_);
        QFile::remove(thumbnailFile_);
    }
    thumbnailFeeder_.reset();

    // A cut-off output goes; a failed run is told at the end. A pass after a
    // cancelled pass of the same entry builds on the cut-off first pass (its
    // log is missing or partial): the user asked for this entry's end, so a
    // failure is not told and what it wrote goes, as a cancelled output does.
    const bool cancelled = form_ && form_->Cancelled;
    const bool afterCancel = entryCancelled_;
    entryCancelled_ = entryCancelled_ || cancelled;
    if ((form_ && !form_->KeepOutput) || afterCancel)
        QFile::remove(output);
    if (cancelled || afterCancel)
        return true;
    // A source that stopped answering (the disc taken out) leaves an output
    // cut short: it goes, as a failed output does, and the run goes on.
    // A failed pass's output was not saved, whatever is left of it.
    // The folder taken away under the encoder (deleted, its drive pulled
    // out) is what the user can put right: it is named.
    const auto failed = [&](QStringList lines) {
        if (!madeFolder_.isEmpty() && !QFileInfo(madeFolder_).isDir())
            lines << QStringLiteral("出力先のフォルダがなくなりました: %1").arg(QDir::toNativeSeparators(madeFolder_));
        failures_.append({label, pass, passCount, lines});
        failedOutputs_ << output;
    };
    if (sourceGone) {
        QFile::remove(output);
        failed({sourceFailure});
        return false;
    }
    // A file the encoder could not read to its end (the disc taken out, a
    // scratch) is told, and its output goes as a fed title's does: the
    // encoder takes the failure for the file's end and ends with 0.
    if (const QString why = tail.InputFailure();
        !why.isEmpty() && process && process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0) {
        QFile::remove(output);
        failed({QStringLiteral("入力元を読めなくなりました。"), why});
        return false;
    }
    // An encoder may end with 0 although it could not finish the output (the
    // disk filled as the index was written): the file is of no use either.
    const bool crashed = process && process->exitStatus() == QProcess::CrashExit;
    const bool encoderFailed = process && (crashed || process->exitCode() != 0 || tail.OutputUnfinished());
    const bool wroteNothing = process && !encoderFailed && WroteNothing(before, StateOf(output));
    // An image or a copy that ends before the title does: the encoder made
    // what there was, which stays; how far it goes is told, as the cause
    // where nothing of it was made.
    QStringList ended;
    if (sourceEnded && pass == passCount) {
        const qint64 reached = progress_.positionMs > 0 ? progress_.positionMs : job.title.durationMs * fedShare / 1000;
        ended << QStringLiteral("%1が途中で終わっています（%2 秒のうち %3 秒まで）")
                     .arg(IsReadAsImage(job.discSource) ? QStringLiteral("イメージ")
                                                        : QStringLiteral("タイトルのファイル"))
                     .arg(QString::number(job.title.durationMs / 1000.0, 'f', 0),
                          QString::number(std::min(reached, job.title.durationMs) / 1000.0, 'f', 1));
        if (!encoderFailed && !wroteNothing)
            cut_ << QStringLiteral("T%1: ").arg(job.title.number, 2, 10, QLatin1Char('0')) + ended.constFirst();
        // Chapters past its end would give the file the whole title's length.
        if (const QString chapters = PathInFolder(workFolder_.path(), QStringLiteral("chapters.txt"));
            !encoderFailed && !wroteNothing && workFolder_.isValid() && ContainerHoldsChapters(settings) &&
            !job.title.chapterStartsMs.isEmpty())
            CutOutputChapters(FindEncoder(w_.ProgramFolder()), output, job.title.chapterStartsMs,
                              std::min(reached, job.title.durationMs), chapters);
    }
    if (skipped > 0)
        skips_.append(
            {label, pass, passCount, {QStringLiteral("読めないブロック %1 個を飛ばしました。").arg(skipped)}});
    if (encoderFailed) {
        QStringList lines;
        if (crashed)
            lines << QStringLiteral("エンコーダが異常終了しました。");
        else if (process->exitCode() != 0)
            lines << QStringLiteral("エンコーダの終了コード: %1").arg(process->exitCode());
        else
            lines << QStringLiteral("エンコーダは出力ファイルを最後まで書けませんでした。");
        // A source cut short, a full disk or a folder that takes no file is
        // told as such, before the encoder's own words: what it said went
        // wrong, then its last lines.
        lines << ended << OutputFolderFaults(tail, output) << tail.Errors() << tail.Lines();
        failed(lines);
    } else if (wroteNothing) {
        failed(QStringList{QStringLiteral("エンコーダは出力ファイルを書きませんでした。")} + ended);
    }
    return true;
}

void ConversionRun::Pause(int ms)
{
    // The pause blocks by design; a question to the encoder still under way
    // gets it too. Should the answer take longer, it is waited for with the
    // windows alive, as the encoder is.
    QElapsedTimer clock;
    clock.start();
    if (ms > 0) {
        w_.AwaitCapabilities(ms);
        if (const qint64 left = ms - clock.elapsed(); left > 0)
            QThread::msleep(static_cast<unsigned long>(left));
    }
    while (!w_.EndRequested() && !w_.AwaitCapabilities(kWaitSliceMs))
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void ConversionRun::ShowThumbnail(bool strict)
{
    if (!QFileInfo::exists(thumbnailFile_))
        return;
    RgbImage picture;
    try {
        picture = DecodeJpegFile(thumbnailFile_);
    } catch (...) {
        // An unreadable file left behind would stop every later run as well.
        QFile::remove(thumbnailFile_);
        if (strict)
            throw;
        return;
    }
    if (form_)
        form_->SetPicture(picture);
    QFile::remove(thumbnailFile_);
}

bool ConversionRun::ThumbnailRunGoing() const
{
    // waitForFinished(0) takes in an end the event loop has not handled yet.
    return thumbnailRun_ && thumbnailRun_->state() != QProcess::NotRunning && !thumbnailRun_->waitForFinished(0);
}

void ConversionRun::WatchThumbnail()
{
    if (!thumbnailPending_ || ThumbnailRunGoing())
        return;
    // The encoder is at work: a picture that cannot be read is no reason to stop it.
    thumbnailPending_ = false;
    ShowThumbnail(false);
}

void ConversionRun::WaitForEncoder(QProcess *process, OutputTail &tail)
{
    const QPointer<QProcess> guard(process);
    while (guard && guard->state() != QProcess::NotRunning) {
        if (guard->waitForFinished(kWaitSliceMs))
            break;
        TakeOutput(*guard, tail);
        ShowFedShare();
        ShowReadShare(*guard);
        WatchThumbnail();
        // a cancel handled in the last round may have ended it already
        if (guard->state() == QProcess::NotRunning)
            break;
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (w_.EndRequested() && form_ && !form_->Cancelled && guard && guard->state() != QProcess::NotRunning)
            form_->CButton1Click();
    }
    if (guard)
        TakeOutput(*guard, tail);
}

void ConversionRun::TakeOutput(QProcess &process, OutputTail &tail)
{
    const QByteArray bytes = process.readAll();
    if (bytes.isEmpty())
        return; // most slices: nothing new to read, nothing to show
    tail.Append(bytes);
    progress_ = ReadEncoderProgress(std::move(progress_), bytes);
    if (form_ && !feeder_ && readPosition_ < 0)
        form_->ProgressText = ProgressLabelText(progress_, encoderClock_.elapsed(), pass_, passCount_);
}

void ConversionRun::ShowReadShare(const QProcess &process)
{
    // A file's share is how far the encoder has read it, which no time stamp
    // inside it can falsify (a file whose times restart, as on many discs,
    // tells a length far too short). Asked a few times a second.
    if (!form_ || feeder_ || inputSize_ <= 0 || (readClock_.isValid() && readClock_.elapsed() < 250))
        return;
    readClock_.start();
    const qint64 position = ProcessReadPosition(process.processId(), w_.CurrentSourcePath);
    if (position < 0)
        return;
    readPosition_ = position;
    EncoderProgress share;
    share.durationMs = inputSize_;
    share.positionMs = position;
    form_->ProgressText = ProgressLabelText(share, encoderClock_.elapsed(), pass_, passCount_);
}

void ConversionRun::StartCadenceSamples(const TitleJob &job, const QString &encoder)
{
    const QStringList arguments{QStringLiteral("-hide_banner"), QStringLiteral("-nostdin"), QStringLiteral("-nostats"),
                                QStringLiteral("-f"),           QStringLiteral("mpeg"),     QStringLiteral("-i"),
                                QStringLiteral("pipe:0"),       QStringLiteral("-map"),     QStringLiteral("0:v:0"),
                                QStringLiteral("-vf"),          QStringLiteral("idet"),     QStringLiteral("-frames:v"),
                                QString::number(kCadenceSampleFrames),
                                QStringLiteral("-f"),           QStringLiteral("null"),     QStringLiteral("-")};
    const qint64 blocks = job.title.BlockCount(job.angle);
    for (const int tenth : {2, 5, 8}) {
        CadenceSample sample;
        sample.feeder = std::make_unique<PipeFeeder>(
            DiscTitleFeed(job.discSource, job.title, job.angle, blocks * tenth / 10), kCadenceSampleBytes);
        if (!sample.feeder->Start())
            break;
        sample.process = std::make_unique<QProcess>();
        PrepareEncoderProcess(*sample.process, encoder, arguments);
        FeedStandardInput(*sample.process, sample.feeder->ChildFd());
        sample.process->start();
        sample.feeder->ChildStarted();
        cadence_.push_back(std::move(sample));
    }
}

bool ConversionRun::CadenceShowsFilm()
{
    FieldRepeats all;
    QElapsedTimer clock;
    clock.start();
    for (CadenceSample &sample : cadence_) {
        // Mostly done by now; what is left is waited for with the windows
        // alive. No encoder of the pass runs yet: a cancel pressed meanwhile
        // waits, and is served once it does, as during a file's pause.
        while (sample.process->state() != QProcess::NotRunning && clock.elapsed() < kCadenceLimitMs &&
               !sample.process->waitForFinished(kWaitSliceMs))
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        const bool done = sample.process->state() == QProcess::NotRunning;
        StopProcess(*sample.process);
        sample.feeder->Stop();
        if (!done)
            continue;
        const FieldRepeats counts = ReadRepeatedFields(sample.process->readAll());
        all.frames += counts.frames;
        all.repeated += counts.repeated;
    }
    cadence_.clear();
    return IsHardTelecine(all);
}

void ConversionRun::ShowBar(int index, qint64 fedBytes)
{
    if (!form_)
        return;
    if (runBytes_ <= 0)
        form_->ProgressBar1->setValue(index);
    else
        form_->ProgressBar1->setValue(int(std::min<qint64>(kBarSteps, (doneBytes_ + fedBytes) * kBarSteps / runBytes_)));
}

void ConversionRun::ShowFedShare()
{
    // The encoder knows no length of a pipe ("Duration: N/A"); the program
    // knows what it has fed of how much there is.
    if (!form_ || !feeder_)
        return;
    if (runBytes_ > 0)
        ShowBar(0, feeder_->FedBytes());
    EncoderProgress share;
    share.durationMs = feeder_->TotalBytes();
    share.positionMs = feeder_->FedBytes();
    form_->ProgressText = ProgressLabelText(share, encoderClock_.elapsed(), pass_, passCount_);
}

void ConversionRun::Release()
{
    // Thumbnail runs still going would write a picture nobody shows, and a
    // hung one would stay as long as the program: they stop now, and a
    // picture that came too late goes with them.
    for (const QPointer<QProcess> &process : thumbnailRuns_)
        if (process)
            StopProcess(*process);
    thumbnailFeeder_.reset();
    feeder_.reset();
    cadence_.clear();
    w_.Places().RemoveThumbnail();
    // A name held for an output that never came is given back.
    for (const QString &path : std::as_const(claimed_))
        if (const QFileInfo info(path); info.isFile() && !info.isSymLink() && info.size() == 0)
            QFile::remove(path);
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
    // Titles are read where their cells lie: on another disc put in the
    // listed one's place they would give pieces of other titles.
    if (!ListedDiscStillThere()) {
        const QString source = Titles().source;
        CButton12Click();
        ShowFailure(QStringLiteral("%1 のディスクが一覧を作ったあとで入れ替わっています。一覧を読み直しました。"
                                   "タイトルを確かめてから、もう一度変換してください。")
                        .arg(QDir::toNativeSeparators(source)));
        return;
    }
    LookAtTickedShortTitles();
    AskEncoderAgainIfUnanswered();
    ConversionRun run(*this);
    run.Execute();
    if (endRequested_)
        EndNow();
}

} // namespace zento
