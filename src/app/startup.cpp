#include "app/startup.h"

#include <QApplication>
#include <QIcon>
#include <QProxyStyle>
#include <QToolTip>

using namespace Qt::StringLiterals;

namespace brindle::app {

namespace {

// Only the tooltip delay differs from the desktop's style.
class ToolTipDelayStyle final : public QProxyStyle
{
public:
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        if (hint == SH_ToolTip_WakeUpDelay)
            return kToolTipDelayMs;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

void applyApplicationSettings(QApplication &app)
{
    QApplication::setApplicationName(u"Brindle"_s);
    // Title bars and task switchers use the small sizes; every image given
    // here is decoded at start-up, so the large ones stay out.
    QIcon icon;
    for (const QString &file : {u"app.png"_s, u"app-48.png"_s, u"app-64.png"_s})
        icon.addFile(u":/images/"_s + file);
    QApplication::setWindowIcon(icon);
    app.setStyle(new ToolTipDelayStyle); // the application owns the style
    QPalette tips = QToolTip::palette();
    tips.setColor(QPalette::ToolTipBase, QColor(QRgb(kToolTipColor)));
    tips.setColor(QPalette::ToolTipText, Qt::black);
    QToolTip::setPalette(tips);
}

} // namespace brindle::app
