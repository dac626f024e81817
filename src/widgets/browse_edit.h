#pragma once

#include <QWidget>
#include <functional>

class QLineEdit;
class QToolButton;

namespace zento {

// A one-line text field with a browse button that opens the folder chooser.
class TBrowseEdit : public QWidget {
    Q_OBJECT
public:
    explicit TBrowseEdit(QWidget *parent = nullptr);
    ~TBrowseEdit() override;

    QString Text() const;
    void SetText(const QString &text); // raises OnChange when the text differs
    QString Hint() const;
    void SetHint(const QString &hint);
    QLineEdit *Edit() const;
    QToolButton *BrowseButton() const;

    // Opens the folder chooser at the field's folder; a folder chosen with OK
    // replaces the text.
    void Browse();

    // Raised whenever the text changes: typed, pasted, browsed or set by code.
    std::function<void(TBrowseEdit &Sender)> OnChange;

private:
    QLineEdit *edit_ = nullptr;
    QToolButton *button_ = nullptr;
};

} // namespace zento
