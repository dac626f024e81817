#include "widgets/spin_edit.h"

#include "platform/dialogs.h"
#include "widgets/handler_guard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QPalette>
#include <QPointer>
#include <QWheelEvent>

#include <algorithm>
#include <limits>

namespace zento {

namespace {

bool IsNumberCharacter(QChar c)
{
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('+') || c == QLatin1Char('-');
}

bool IsNumberText(const QString &text)
{
    for (QChar c : text) {
        if (!IsNumberCharacter(c))
            return false;
    }
    return true;
}

// Decimal digits with an optional sign; false for anything else.
bool ParseNumber(const QString &text, int &value)
{
    bool ok = false;
    const int parsed = text.toInt(&ok, 10);
    if (ok)
        value = parsed;
    return ok;
}

} // namespace

struct TSpinEdit::Private {
    int maxLength = 0; // 0: no limit
    QColor color{192, 192, 192};
    QString lastText;
};

TSpinEdit::TSpinEdit(QWidget *parent) : QSpinBox(parent), d(std::make_unique<Private>())
{
    setRange(0, 100);
    setSingleStep(1);
    setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    setKeyboardTracking(true);
    setAccelerated(false);
    // A wheel passing over the field must not change it or take the focus.
    setFocusPolicy(Qt::StrongFocus);
    SetColor(d->color);
    d->lastText = lineEdit()->text();
    // Typed text arrives from the field; stepped and put-in values from the
    // spin box, which updates the field quietly. Either way one change event
    // per new text.
    auto textChanged = [this] {
        const QString text = lineEdit()->text();
        if (text == d->lastText)
            return;
        d->lastText = text;
        if (OnChange)
            RunGuarded([this] { OnChange(*this); });
    };
    connect(lineEdit(), &QLineEdit::textChanged, this, textChanged);
    lineEdit()->installEventFilter(this);
    connect(this, &QSpinBox::textChanged, this, textChanged);
}

TSpinEdit::~TSpinEdit() = default;

int TSpinEdit::Value() const
{
    return valueFromText(lineEdit()->text());
}

void TSpinEdit::SetValue(int value)
{
    setValue(std::clamp(value, minimum(), maximum()));
    // The field may still show a typed text that the old value did not match.
    const QString text = textFromValue(this->value());
    if (lineEdit()->text() != text)
        lineEdit()->setText(text);
}

void TSpinEdit::SetRange(int minimum, int maximum)
{
    setRange(minimum, maximum);
}

void TSpinEdit::SetMaxLength(int characters)
{
    d->maxLength = std::max(0, characters);
}

int TSpinEdit::MaxLength() const
{
    return d->maxLength;
}

QColor TSpinEdit::Color() const
{
    return d->color;
}

void TSpinEdit::SetColor(const QColor &color)
{
    d->color = color;
    QPalette pal = palette();
    pal.setColor(QPalette::Base, color);
    setPalette(pal);
    QPalette editPalette = lineEdit()->palette();
    editPalette.setColor(QPalette::Base, color);
    lineEdit()->setPalette(editPalette);
    update();
}

QValidator::State TSpinEdit::validate(QString &input, int &) const
{
    const QString text = input.trimmed();
    if (!IsNumberText(text))
        return QValidator::Invalid;
    int value = 0;
    if (ParseNumber(text, value) && value >= minimum() && value <= maximum())
        return QValidator::Acceptable;
    return QValidator::Intermediate;
}

void TSpinEdit::fixup(QString &input) const
{
    input = textFromValue(valueFromText(input));
}

// The number a text shows, in range; an empty or unreadable text counts as 0.
int TSpinEdit::valueFromText(const QString &text) const
{
    int value = 0;
    if (!ParseNumber(text.trimmed(), value))
        value = 0;
    return std::clamp(value, minimum(), maximum());
}

QString TSpinEdit::textFromValue(int value) const
{
    return QString::number(value);
}

void TSpinEdit::wheelEvent(QWheelEvent *event)
{
    if (!hasFocus()) {
        event->ignore();
        return;
    }
    QSpinBox::wheelEvent(event);
}

void TSpinEdit::keyPressEvent(QKeyEvent *event)
{
    const Qt::KeyboardModifiers commandModifiers = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    if (event == QKeySequence::Paste) {
        if (!lineEdit()->isReadOnly())
            InsertText(QGuiApplication::clipboard()->text());
        event->accept();
        return;
    }
    const QString text = event->text();
    const bool printable = !text.isEmpty() && text.at(0).isPrint() && !(event->modifiers() & commandModifiers);
    if (printable) {
        if (!IsNumberText(text)) {
            Beep();
            event->accept();
            return;
        }
        if (text.size() > Room()) {
            event->accept();
            return;
        }
    }
    QSpinBox::keyPressEvent(event);
}

qsizetype TSpinEdit::Room() const
{
    if (d->maxLength <= 0)
        return std::numeric_limits<qsizetype>::max();
    const QLineEdit *edit = lineEdit();
    return std::max<qsizetype>(d->maxLength - (edit->text().size() - edit->selectedText().size()), 0);
}

QString TSpinEdit::Admitted(const QString &text) const
{
    if (!IsNumberText(text)) {
        Beep();
        return QString();
    }
    return text.left(Room());
}

void TSpinEdit::InsertText(const QString &text)
{
    if (text.isEmpty())
        return;
    const QString admitted = Admitted(text);
    if (!admitted.isEmpty())
        lineEdit()->insert(admitted);
}

std::unique_ptr<QInputMethodEvent> TSpinEdit::AdmittedCommit(const QInputMethodEvent &event) const
{
    const QString commit = event.commitString();
    if (commit.isEmpty())
        return nullptr;
    const QString taken = Admitted(commit);
    if (taken == commit)
        return nullptr;
    // The composition under way stays as it is; only the committed text changes.
    auto admitted = std::make_unique<QInputMethodEvent>(event.preeditString(), event.attributes());
    admitted->setCommitString(taken, event.replacementStart(), event.replacementLength());
    return admitted;
}

bool TSpinEdit::event(QEvent *event)
{
    if (event->type() == QEvent::InputMethod) {
        if (const auto admitted = AdmittedCommit(*static_cast<QInputMethodEvent *>(event))) {
            const bool handled = QSpinBox::event(admitted.get());
            event->setAccepted(admitted->isAccepted());
            return handled;
        }
    }
    return QSpinBox::event(event);
}

void TSpinEdit::focusOutEvent(QFocusEvent *event)
{
    // The field's own context menu does not leave the field: what was typed
    // stays as typed until the field is really left.
    if (event->reason() == Qt::PopupFocusReason) {
        QWidget::focusOutEvent(event);
        return;
    }
    QSpinBox::focusOutEvent(event);
}

void TSpinEdit::contextMenuEvent(QContextMenuEvent *event)
{
    // The field's own menu and the two step commands, as a spin box shows
    // them; its paste takes the clipboard by the rules above.
    QPointer<QMenu> menu = lineEdit()->createStandardContextMenu();
    if (!menu)
        return;
    const QString pasteText = QCoreApplication::translate("QLineEdit", "&Paste");
    for (QAction *action : menu->actions()) {
        if (action->text().section(QLatin1Char('\t'), 0, 0) != pasteText)
            continue;
        disconnect(action, &QAction::triggered, lineEdit(), nullptr);
        connect(action, &QAction::triggered, this, [this] { InsertText(QGuiApplication::clipboard()->text()); });
    }
    menu->addSeparator();
    const StepEnabled steps = stepEnabled();
    QAction *up = menu->addAction(QCoreApplication::translate("QAbstractSpinBox", "&Step up"));
    up->setEnabled(steps.testFlag(StepUpEnabled));
    QAction *down = menu->addAction(QCoreApplication::translate("QAbstractSpinBox", "Step &down"));
    down->setEnabled(steps.testFlag(StepDownEnabled));
    const QPoint at = event->reason() == QContextMenuEvent::Mouse ? event->globalPos()
                                                                  : mapToGlobal(QPoint(width() / 2, height() / 2));
    const QAction *chosen = menu->exec(at);
    delete menu;
    if (chosen == up)
        stepBy(1);
    else if (chosen == down)
        stepBy(-1);
    event->accept();
}

bool TSpinEdit::eventFilter(QObject *watched, QEvent *event)
{
    QLineEdit *edit = lineEdit();
    if (watched != edit || edit->isReadOnly())
        return QSpinBox::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        QClipboard *clipboard = QGuiApplication::clipboard();
        if (mouse->button() != Qt::MiddleButton || !clipboard->supportsSelection())
            break;
        // The selection's text is pasted where the button is let go.
        if (event->type() == QEvent::MouseButtonRelease) {
            edit->deselect();
            edit->setCursorPosition(edit->cursorPositionAt(mouse->position().toPoint()));
            InsertText(clipboard->text(QClipboard::Selection));
        }
        return true;
    }
    case QEvent::InputMethod: {
        const auto admitted = AdmittedCommit(*static_cast<QInputMethodEvent *>(event));
        if (!admitted)
            break;
        QCoreApplication::sendEvent(edit, admitted.get());
        return true;
    }
    default: break;
    }
    return QSpinBox::eventFilter(watched, event);
}

} // namespace zento
