#pragma once

#include "widgets/window_drag.h"

#include <QPoint>
#include <QPointer>
#include <QProgressBar>
#include <QString>
#include <QWidget>

class QLabel;
class QProcess;
class QPushButton;
class QTimer;

namespace zento {

struct RgbImage;

// The bar of the progress window: filled from grey to the window's light
// colour on a lowered bevel, its text "N %" with a half rounded to even.
class TProgressFormBar : public QProgressBar {
public:
    explicit TProgressFormBar(QWidget *parent = nullptr);
    QString text() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
};

// The small borderless window that stands over the main window while a
// conversion run goes on: thumbnail, file names, sizes, bar and cancel.
class TProgressForm1 : public QWidget {
    Q_OBJECT
public:
    // A top-level window of its own (so that it stays usable while the main
    // window is disabled), placed centred over owner when shown.
    explicit TProgressForm1(QWidget *owner = nullptr);
    ~TProgressForm1() override;

    QLabel *Image1 = nullptr; // 80 x 60 thumbnail
    QLabel *Label1 = nullptr; // "<source> -> <output>"
    QLabel *Label2 = nullptr; // "<n>KB -> <m>KB"
    QLabel *Label3 = nullptr; // how far the encoder run has come, refreshed with the sizes
    QProgressBar *ProgressBar1 = nullptr;
    QPushButton *CButton1 = nullptr; // "中止"
    QTimer *Timer1 = nullptr;        // size refresh, 1000 ms, off at creation

    // Whether the run keeps the output of the encoder run that has just ended.
    // The run sets it (and clears Cancelled) before every encoder start.
    bool KeepOutput = true;
    // Set when a cancel stopped the encoder run in progress.
    bool Cancelled = false;
    // What Label3 shows at the next refresh; the run keeps it up to date.
    QString ProgressText;
    qint64 SourceSize = -1; // bytes, at the last tick
    // The size of an input that is no one file (a disc title, joined parts):
    // shown instead of the source file's; -1: the source file's.
    qint64 KnownSourceSize = -1;
    qint64 OutputSize = -1;

    // The run state the window reads: the paths of the pass in progress and
    // the encoder started last. They belong to the owner and outlive the window.
    void BindRunState(const QString *sourcePath, const QString *outputPath, const QPointer<QProcess> *encoder);

    void SetPicture(const RgbImage &image); // stretched to 80 x 60
    void ClearPicture();
    bool HasPicture() const;

    QWidget *Owner() const { return owner_; }

    // Closes the window and destroys it once the events queued for it are handled.
    void Release();

    void Timer1Timer(QObject *Sender = nullptr);   // the size refresh
    void CButton1Click(QObject *Sender = nullptr); // the cancel

protected:
    bool event(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    // Only Release closes the window: closed any other way (the window
    // manager's close key) it would hide the cancel for the rest of the run.
    void closeEvent(QCloseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void CentreOverOwner();
    QPointer<QWidget> owner_;
    QPointer<QWidget> returnFocus_;
    const QString *sourcePath_ = nullptr;
    const QString *outputPath_ = nullptr;
    const QPointer<QProcess> *encoder_ = nullptr;
    TWindowDrag drag_;
    bool released_ = false;
};

} // namespace zento
