#include "app/application_gui.h"

#include "platform/dialogs.h"
#include "platform/error.h"
#include "widgets/handler_guard.h"
#include "widgets/multi_col_combo_box.h"

#include <QHelpEvent>
#include <QLibraryInfo>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleHintReturnMask>
#include <QStyleOption>
#include <QToolTip>
#include <QTranslator>

#include <exception>

namespace zento {

namespace {

constexpr int kHintRadius = 6;
constexpr int kHintShadow = 3;

QPainterPath HintShape(const QRect &rect)
{
    QPainterPath path;
    path.addRoundedRect(QRectF(rect), kHintRadius, kHintRadius);
    return path;
}

// The look of the hints: a dark rounded panel with a shadow to the lower right,
// white text; and their timing.
class HintStyle : public QProxyStyle {
public:
    HintStyle() : QProxyStyle(QStringLiteral("Fusion")) {}

    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        switch (hint) {
        case SH_ComboBox_Popup:
            // The multi-column boxes drop their list below themselves, the
            // number of rows they are given; other boxes keep the base look.
            if (qobject_cast<const TMultiColComboBox *>(widget))
                return 0;
            break;
        case SH_ToolTip_WakeUpDelay: return TApplication::kHintPause;
        case SH_ToolTip_FallAsleepDelay:
            // Moving on to a neighbour while a hint shows shows its hint at once.
            return 2000;
        case SH_ToolTip_Mask:
            if (option) {
                if (auto *mask = qstyleoption_cast<QStyleHintReturnMask *>(returnData)) {
                    const QRect panel = option->rect.adjusted(0, 0, -kHintShadow, -kHintShadow);
                    QPainterPath shape = HintShape(panel);
                    shape.addPath(HintShape(panel.translated(kHintShadow, kHintShadow)));
                    mask->region = QRegion(shape.toFillPolygon().toPolygon(), Qt::WindingFill);
                    return 1;
                }
            }
            break;
        default: break;
        }
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }

    int pixelMetric(PixelMetric metric, const QStyleOption *option, const QWidget *widget) const override
    {
        if (metric == PM_ToolTipLabelFrameWidth)
            return 5;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }

    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget) const override
    {
        if (element == PE_PanelTipLabel) {
            const QRect panel = option->rect.adjusted(0, 0, -kHintShadow, -kHintShadow);
            painter->save();
            painter->setRenderHint(QPainter::Antialiasing);
            painter->fillPath(HintShape(panel.translated(kHintShadow, kHintShadow)), QColor(0, 0, 0));
            painter->fillPath(HintShape(panel), QColor(48, 48, 56));
            painter->setPen(QPen(QColor(110, 110, 120), 1));
            painter->drawPath(HintShape(panel).translated(0.5, 0.5));
            painter->restore();
            return;
        }
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }
};

// Every hint hides after the same time, whatever the widget says.
class HintTiming : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::ToolTip || !watched->isWidgetType())
            return false;
        for (auto *widget = static_cast<QWidget *>(watched); widget; widget = widget->parentWidget()) {
            if (widget->toolTip().isEmpty()) {
                if (widget->isWindow())
                    break;
                continue;
            }
            const auto *help = static_cast<QHelpEvent *>(event);
            QToolTip::showText(help->globalPos(), widget->toolTip(), widget, QRect(), TApplication::kHintHidePause);
            return true;
        }
        return false;
    }
};

} // namespace

QString ApplicationTitle()
{
    return QStringLiteral("DVD変換Zento");
}

bool InstallStandardDialogTranslation()
{
    static QPointer<QTranslator> installed;
    if (installed)
        return true;
    if (!qApp)
        return false;
    auto *translator = new QTranslator(qApp);
    if (!translator->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return false;
    }
    installed = translator;
    return true;
}

void InstallHintStyle()
{
    QApplication::setStyle(new HintStyle);
    QPalette hintPalette = QToolTip::palette();
    hintPalette.setColor(QPalette::ToolTipBase, QColor(48, 48, 56));
    hintPalette.setColor(QPalette::ToolTipText, Qt::white);
    hintPalette.setColor(QPalette::Window, QColor(48, 48, 56));
    hintPalette.setColor(QPalette::WindowText, Qt::white);
    QToolTip::setPalette(hintPalette);
    QFont hintFont(UiFontFamily());
    hintFont.setPixelSize(16);
    QToolTip::setFont(hintFont);
    // One timing filter per application object.
    static QPointer<QObject> timing;
    if (qApp && !timing) {
        timing = new HintTiming(qApp);
        qApp->installEventFilter(timing);
    }
}

TApplication::TApplication(int &argc, char **argv) : QApplication(argc, argv)
{
    // The title as the application's name, not as its display name: the
    // platform appends a display name to every other window's caption
    // ("名前の入力 — DVD変換Zento"), while the name alone stands in only
    // where a caption is empty.
    setApplicationName(ApplicationTitle());
    // Without the translation the standard dialogs keep their English texts.
    InstallStandardDialogTranslation();
    InstallFontSubstitutes();
    setFont(UiFont(12));
    InstallHintStyle();
}

TApplication::~TApplication() = default;

bool TApplication::notify(QObject *receiver, QEvent *event)
{
    // The last resort for an exception that no control caught at its handler.
    bool handled = false;
    RunGuarded([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

} // namespace zento
