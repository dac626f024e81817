#include "widgets/spin_edit.h"

#include "platform/dialogs.h"
#include "widgets/handler_guard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QPalette>
#include <QWheelEvent>

#include <algorithm>

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
        const QString pasted = QGuiApplication::clipboard()->text();
        if (!IsNumberText(pasted) || !RoomFor(pasted.size())) {
            Beep();
            event->accept();
            return;
        }
        QSpinBox::keyPressEvent(event);
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
        if (!RoomFor(text.size())) {
            event->accept();
            return;
        }
    }
    QSpinBox::keyPressEvent(event);
}

bool TSpinEdit::RoomFor(qsizetype characters) const
{
    if (d->maxLength <= 0)
        return true;
    const QLineEdit *edit = lineEdit();
    const qsizetype after = edit->text().size() - edit->selectedText().size() + characters;
    return after <= d->maxLength;
}

} // namespace zento
