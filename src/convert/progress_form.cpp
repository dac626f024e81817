#include "convert/progress_form.h"

#include "convert/encoder_process.h"
#include "convert/file_size.h"
#include "convert/jpeg_image.h"
#include "platform/dialogs.h"
#include "widgets/color_button.h"
#include "widgets/grad_box.h"
#include "widgets/shadow_label.h"
#include "widgets/ui_font.h"

#include <QApplication>
#include <QCloseEvent>
#include <QImage>
#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <QToolTip>
#include <QWindow>

namespace zento {

namespace {

const QColor kBackground(240, 240, 240);
const QColor kBarText(70, 70, 70);

} // namespace

TProgressFormBar::TProgressFormBar(QWidget *parent) : QProgressBar(parent)
{
    setTextVisible(true);
    setFont(UiFont(11));
    // A click on the bar is the bar's own: it must not start a drag of the window.
    setAttribute(Qt::WA_NoMousePropagation);
}

QString TProgressFormBar::text() const
{
    return PercentText(value(), minimum(), maximum());
}

void TProgressFormBar::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRect all = rect();
    // lowered bevel
    painter.setPen(kGradGrey);
    painter.drawLine(all.topLeft(), all.topRight());
    painter.drawLine(all.topLeft(), all.bottomLeft());
    painter.setPen(Qt::white);
    painter.drawLine(all.bottomLeft(), all.bottomRight());
    painter.drawLine(all.topRight(), all.bottomRight());
    const QRect inner = all.adjusted(1, 1, -1, -1);
    painter.fillRect(inner, kBackground);
    const qint64 range = qint64(maximum()) - minimum();
    if (range > 0 && value() > minimum()) {
        const int filled = int(qint64(inner.width()) * (qint64(value()) - minimum()) / range);
        QLinearGradient gradient(inner.topLeft(), inner.topRight());
        gradient.setColorAt(0, kGradGrey);
        gradient.setColorAt(1, kGradLight);
        painter.fillRect(QRect(inner.left(), inner.top(), qMin(filled, inner.width()), inner.height()), gradient);
    }
    painter.setPen(kBarText);
    painter.setFont(font());
    painter.drawText(inner, Qt::AlignCenter, text());
}

TProgressForm1::TProgressForm1(QWidget *owner)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), owner_(owner)
{
    setObjectName(QStringLiteral("ProgressForm1"));
    // The control the user was on goes back to being focused when the run
    // is over; meanwhile the cancel has the keyboard.
    if (QWidget *focused = QApplication::focusWidget(); owner && focused && focused->window() == owner->window())
        returnFocus_ = focused;
    setFixedSize(401, 72);
    setFont(UiFont(12));
    setAutoFillBackground(false);

    Image1 = new QLabel(this);
    Image1->setGeometry(6, 6, 80, 60);
    Image1->setScaledContents(true);

    // A long name is cut in its middle, so that the output's number and
    // extension stay in sight; the whole shows over it.
    auto *label1 = new TShadowLabel(QStringLiteral("***.*** -> ***.***"), this);
    label1->SetElideMode(Qt::ElideMiddle);
    Label1 = label1;
    Label1->setGeometry(96, 18, 300, 14);
    Label2 = new TShadowLabel(QStringLiteral("0KB -> 0KB"), this);
    Label2->setGeometry(96, 32, 300, 14);
    // From the labels' left edge up to the cancel button.
    Label3 = new TShadowLabel(QString(), this);
    Label3->setGeometry(96, 4, 332 - 96, 14);

    ProgressBar1 = new TProgressFormBar(this);
    ProgressBar1->setGeometry(92, 48, 300, 15);
    ProgressBar1->setRange(0, 10);
    ProgressBar1->setValue(0);

    auto *button = new TdxfColorButton(QStringLiteral("中止"), this);
    button->setGeometry(332, 4, 66, 16);
    button->setToolTip(QStringLiteral(" 変換中止"));
    button->setCursor(Qt::PointingHandCursor);
    button->SetColor(kGradLight);
    button->SetTextColor(kGradGrey);
    button->setFont(UiFont(12));
    CButton1 = button;
    CButton1->raise();
    connect(CButton1, &QPushButton::clicked, this, [this] { CButton1Click(CButton1); });

    Timer1 = new QTimer(this);
    Timer1->setInterval(1000);
    // The sizes are refreshed once a second, not up to a twentieth later.
    Timer1->setTimerType(Qt::PreciseTimer);
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(Timer1); });
}

TProgressForm1::~TProgressForm1() = default;

void TProgressForm1::BindRunState(const QString *sourcePath, const QString *outputPath,
                                  const QPointer<QProcess> *encoder)
{
    sourcePath_ = sourcePath;
    outputPath_ = outputPath;
    encoder_ = encoder;
}

void TProgressForm1::SetPicture(const RgbImage &image)
{
    if (image.isNull() || image.rgb.size() < qsizetype(image.width) * image.height * 3) {
        ClearPicture();
        return;
    }
    const QImage view(reinterpret_cast<const uchar *>(image.rgb.constData()), image.width, image.height,
                      image.width * 3, QImage::Format_RGB888);
    Image1->setPixmap(QPixmap::fromImage(view.scaled(80, 60, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
}

void TProgressForm1::ClearPicture()
{
    Image1->clear();
}

bool TProgressForm1::HasPicture() const
{
    return !Image1->pixmap().isNull();
}

void TProgressForm1::Release()
{
    released_ = true;
    close();
    deleteLater();
    // once the run has enabled the owner again
    if (QWidget *target = returnFocus_)
        QTimer::singleShot(0, target, [target] {
            if (target->isEnabled()) {
                target->activateWindow();
                target->setFocus(Qt::OtherFocusReason);
            }
        });
}

bool TProgressForm1::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto *help = static_cast<QHelpEvent *>(event);
        if (Label1->geometry().contains(help->pos()) &&
            static_cast<TShadowLabel *>(Label1)->ShownText() != Label1->text()) {
            QToolTip::showText(help->globalPos(), Label1->text(), this);
            return true;
        }
    }
    return QWidget::event(event);
}

void TProgressForm1::Timer1Timer(QObject *)
{
    Label3->setText(ProgressText);
    // A failure of the refresh leaves the label as it was and shows nothing.
    try {
        const qint64 source =
            KnownSourceSize >= 0 ? KnownSourceSize : FileSize(sourcePath_ ? *sourcePath_ : QString());
        const qint64 output = FileSize(outputPath_ ? *outputPath_ : QString());
        SourceSize = source;
        OutputSize = output;
        Label2->setText(SizeLabelText(source, output));
    } catch (...) {
    }
}

void TProgressForm1::CButton1Click(QObject *)
{
    QProcess *process = encoder_ ? encoder_->data() : nullptr;
    bool stopped = false;
    if (process && process->state() != QProcess::NotRunning) {
        KillProcess(*process);
        if (process->waitForFinished(5000)) {
            // An encoder that had ended on its own before the kill reached it
            // (its end not yet noticed) reports its own normal exit: nothing
            // was stopped, and its output may be complete.
            stopped = process->exitStatus() == QProcess::CrashExit;
        } else {
            stopped = process->state() != QProcess::NotRunning; // killed, still going down
        }
    }
    if (stopped) {
        // The cut-off output is of no use: the run deletes it.
        Cancelled = true;
        KeepOutput = false;
        return;
    }
    // Nothing stopped: the output stays, unless an earlier cancel already cut
    // this very encoder run off.
    if (!Cancelled)
        KeepOutput = true;
    ShowFailure(QStringLiteral("変換を中止できませんでした。"));
}

void TProgressForm1::CentreOverOwner()
{
    if (!owner_)
        return;
    const QWidget *top = owner_->window();
    const QRect frame = top->frameGeometry();
    move(frame.center() - QPoint(width() / 2, height() / 2));
}

void TProgressForm1::showEvent(QShowEvent *event)
{
    CentreOverOwner();
    if (owner_ && windowHandle() && owner_->window()->windowHandle())
        windowHandle()->setTransientParent(owner_->window()->windowHandle());
    QWidget::showEvent(event);
    activateWindow();
    CButton1->setFocus(Qt::ActiveWindowFocusReason);
}

void TProgressForm1::closeEvent(QCloseEvent *event)
{
    if (released_)
        event->accept();
    else
        event->ignore();
}

void TProgressForm1::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), kBackground);
    PaintGradBox(painter, rect());
    // the frame of the picture
    painter.setPen(Qt::white);
    painter.setBrush(Qt::black);
    painter.drawRect(5, 5, 81, 61);
}

void TProgressForm1::mousePressEvent(QMouseEvent *event)
{
    if (!drag_.Press(*this, event))
        QWidget::mousePressEvent(event);
}

void TProgressForm1::mouseMoveEvent(QMouseEvent *event)
{
    if (!drag_.Move(*this, event))
        QWidget::mouseMoveEvent(event);
}

void TProgressForm1::mouseReleaseEvent(QMouseEvent *event)
{
    if (!drag_.Release(event))
        QWidget::mouseReleaseEvent(event);
}

} // namespace zento
