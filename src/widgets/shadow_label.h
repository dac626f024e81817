#pragma once

#include <QColor>
#include <QLabel>

namespace zento {

// A label drawn with a dark shadow (field labels) or with an outline
// (headings). It lets the mouse through, so the window under it can be dragged.
class TShadowLabel : public QLabel {
    Q_OBJECT
public:
    enum class Look { Shadow, Outline };

    explicit TShadowLabel(const QString &text, QWidget *parent = nullptr, Look look = Look::Shadow);
    ~TShadowLabel() override;

    Look LabelLook() const { return look_; }
    QColor TextColor() const { return textColor_; }
    void SetTextColor(const QColor &color);
    QColor EdgeColor() const { return edgeColor_; }
    void SetEdgeColor(const QColor &color);
    // A text wider than the label is drawn cut short this way (none: clipped).
    void SetElideMode(Qt::TextElideMode mode);
    // The text as it is drawn.
    QString ShownText() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Look look_;
    QColor textColor_{Qt::white};
    QColor edgeColor_{Qt::black};
    Qt::TextElideMode elide_ = Qt::ElideNone;
};

} // namespace zento
