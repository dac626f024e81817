#pragma once

#include <QColor>
#include <QPushButton>
#include <functional>

namespace zento {

// A flat coloured button with a hand cursor.
class TdxfColorButton : public QPushButton {
    Q_OBJECT
public:
    explicit TdxfColorButton(const QString &caption, QWidget *parent = nullptr);
    ~TdxfColorButton() override;

    QColor Color() const;
    void SetColor(const QColor &color);
    QColor TextColor() const;
    void SetTextColor(const QColor &color);

    std::function<void(TdxfColorButton &Sender)> OnClick;

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QColor color_;
    QColor textColor_;
};

} // namespace zento
