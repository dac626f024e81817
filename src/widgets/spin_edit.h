#pragma once

#include <QColor>
#include <QLineEdit>
#include <QSpinBox>
#include <functional>
#include <memory>

namespace zento {

// A whole-number field with spin buttons: typed characters limited to digits,
// "+" and "-" (others refused with a beep) and to a typed length; steps of 1
// (buttons, arrow keys) and 10 (Page Up/Down); a typed value is brought into
// range on leaving the field.
class TSpinEdit : public QSpinBox {
    Q_OBJECT
public:
    explicit TSpinEdit(QWidget *parent = nullptr);
    ~TSpinEdit() override;

    // The number the text shows; an empty or unreadable text counts as 0.
    int Value() const;
    // Puts a value in, moved into the range first. Raises OnChange only when
    // the shown text changes.
    void SetValue(int value);
    void SetRange(int minimum, int maximum);
    void SetMaxLength(int characters);             // typed characters at most
    int MaxLength() const;                         // 0: no limit
    QLineEdit *Edit() const { return lineEdit(); } // the text field inside

    // The colour the field is painted with.
    QColor Color() const;
    void SetColor(const QColor &color);

    // Raised whenever the text changes: typed, stepped or put in by code.
    std::function<void(TSpinEdit &Sender)> OnChange;

protected:
    // Any run of digits and signs is accepted while typing; it is brought into
    // range when the field is left.
    QValidator::State validate(QString &input, int &pos) const override;
    void fixup(QString &input) const override;
    int valueFromText(const QString &text) const override;
    QString textFromValue(int value) const override;
    void keyPressEvent(QKeyEvent *event) override;
    // The wheel steps the value only while the field has the focus.
    void wheelEvent(QWheelEvent *event) override;
    // Text that arrives whole (pasted, middle-clicked, committed by an input
    // method) follows the typing rules too. The field takes no drops.
    void contextMenuEvent(QContextMenuEvent *event) override;
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    // How many characters the field takes in place of its selection: the
    // character count less what stays; unlimited without a count.
    qsizetype Room() const;
    // What of a text the field takes: empty, after a beep, when the text holds
    // anything but digits and signs; else as much as the room left allows.
    QString Admitted(const QString &text) const;
    // Puts the admitted part of a text in at the cursor, over the selection.
    void InsertText(const QString &text);
    // An input method's commit with its text admitted; null when it needs no
    // change.
    std::unique_ptr<QInputMethodEvent> AdmittedCommit(const QInputMethodEvent &event) const;
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace zento
