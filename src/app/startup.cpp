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
    // Title bars and task switchers use the small sizes. With their sizes
    // given, the images are decoded only when a size is asked for.
    QIcon icon;
    for (const auto &[file, size] :
         {std::pair{u"app.png"_s, 32}, std::pair{u"app-48.png"_s, 48}, std::pair{u"app-64.png"_s, 64},
          std::pair{u"app-128.png"_s, 128}, std::pair{u"app-256.png"_s, 256}})
        icon.addFile(u":/images/"_s + file, QSize(size, size));
    QApplication::setWindowIcon(icon);
    app.setStyle(new ToolTipDelayStyle); // the application owns the style
    QPalette tips = QToolTip::palette();
    tips.setColor(QPalette::ToolTipBase, QColor(QRgb(kToolTipColor)));
    tips.setColor(QPalette::ToolTipText, Qt::black);
    QToolTip::setPalette(tips);
}

} // namespace brindle::app
