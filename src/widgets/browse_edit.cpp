#include "widgets/browse_edit.h"

#include "widgets/handler_guard.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QToolButton>

namespace zento {

TBrowseEdit::TBrowseEdit(QWidget *parent) : QWidget(parent)
{
    edit_ = new QLineEdit(this);
    edit_->setFrame(true);
    button_ = new QToolButton(this);
    button_->setText(QStringLiteral("..."));
    button_->setCursor(Qt::PointingHandCursor);
    button_->setFocusPolicy(Qt::TabFocus); // the chooser by the keyboard too: Tab, then Space
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(edit_, 1);
    layout->addWidget(button_);
    setFocusProxy(edit_);
    setToolTipDuration(2000);
    connect(edit_, &QLineEdit::textChanged, this, [this](const QString &) {
        if (OnChange)
            RunGuarded([this] { OnChange(*this); });
    });
    connect(button_, &QToolButton::clicked, this, [this] { RunGuarded([this] { Browse(); }); });
}

TBrowseEdit::~TBrowseEdit() = default;

QString TBrowseEdit::Text() const
{
    return edit_->text();
}

void TBrowseEdit::SetText(const QString &text)
{
    // QLineEdit raises textChanged only when the text differs.
    edit_->setText(text);
}

QString TBrowseEdit::Hint() const
{
    return toolTip();
}

void TBrowseEdit::SetHint(const QString &hint)
{
    // The field and its button are the children under the mouse; they show the
    // hint of this control.
    setToolTip(hint);
}

QLineEdit *TBrowseEdit::Edit() const
{
    return edit_;
}

QToolButton *TBrowseEdit::BrowseButton() const
{
    return button_;
}

void TBrowseEdit::Browse()
{
    const QString start = edit_->text();
    const QString chosen = QFileDialog::getExistingDirectory(this, QString(), start, QFileDialog::ShowDirsOnly);
    if (!chosen.isEmpty())
        SetText(chosen);
}

} // namespace zento
