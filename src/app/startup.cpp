#include "app/startup.h"

#include "buildinfo.h"
#include "widgets/images.h"

#include <QApplication>
#include <QIcon>
#include <QIconEngine>
#include <QPointer>
#include <QProxyStyle>
#include <QToolTip>

#include <fontconfig/fontconfig.h>

#include <system_error>

using namespace Qt::StringLiterals;

namespace brindle::app {

namespace {

// A standard icon of `style`, fetched when it is first drawn or measured.
class LazyStandardIconEngine final : public QIconEngine
{
public:
    LazyStandardIconEngine(QProxyStyle *style, QStyle::StandardPixmap which) : m_style(style), m_which(which)
    {}

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().pixmap(size, mode, state);
    }
    QSize actualSize(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        return icon().availableSizes(mode, state);
    }
    bool isNull() override { return icon().isNull(); }
    QString key() const override { return u"brindle.lazystandard"_s; }
    QIconEngine *clone() const override { return new LazyStandardIconEngine(m_style, m_which); }

private:
    const QIcon &icon()
    {
        if (!m_loaded && m_style)
            m_icon = m_style->QProxyStyle::standardIcon(m_which, nullptr, nullptr);
        m_loaded = true;
        return m_icon;
    }

    QPointer<QProxyStyle> m_style;
    QStyle::StandardPixmap m_which;
    QIcon m_icon;
    bool m_loaded = false;
};

// The desktop's style with the program's tooltip delay, and the menu bar's
// overflow arrows read only when they are drawn.
class ApplicationStyle final : public QProxyStyle
{
public:
    QIcon standardIcon(StandardPixmap which, const QStyleOption *option, const QWidget *widget) const override
    {
        // Every menu bar asks for its overflow arrow at creation, though it
        // shows only when the menus do not fit. Reading it at once would load
        // every image format plug-in on the system (Qt guesses the format of
        // the style's images) before the first frame.
        if (which == SP_ToolBarHorizontalExtensionButton || which == SP_ToolBarVerticalExtensionButton)
            return QIcon(new LazyStandardIconEngine(const_cast<ApplicationStyle *>(this), which));
        return QProxyStyle::standardIcon(which, option, widget);
    }

    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        if (hint == SH_ToolTip_WakeUpDelay)
            return kToolTipDelayMs;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

// The application is asked for so that it exists; the settings are static.
void applyApplicationSettings(QApplication & /*app*/)
{
    QApplication::setApplicationName(u"Brindle"_s);
    QApplication::setApplicationVersion(QStringLiteral(BRINDLE_VERSION));
    // Lets the desktop match the windows with the installed desktop entry.
    QGuiApplication::setDesktopFileName(QStringLiteral(BRINDLE_APP_ID));
    // Title bars and task switchers use the small sizes; every image given
    // here is decoded at start-up, so the large ones stay out.
    QIcon icon;
    for (const QString &file : {u"app.png"_s, u"app-48.png"_s, u"app-64.png"_s})
        icon.addPixmap(widgets::loadImage(u":/images/"_s + file));
    QApplication::setWindowIcon(icon);
    QApplication::setStyle(new ApplicationStyle); // the application owns the style
    QPalette tips = QToolTip::palette();
    tips.setColor(QPalette::ToolTipBase, QColor(QRgb(kToolTipColor)));
    tips.setColor(QPalette::ToolTipText, Qt::black);
    QToolTip::setPalette(tips);
}

FontConfigWarmUp::FontConfigWarmUp()
{
    try {
        m_thread = std::thread([] { FcInit(); });
    } catch (const std::system_error &) {
        // No thread to spare: the configuration is read when first needed.
    }
}

FontConfigWarmUp::~FontConfigWarmUp()
{
    wait();
}

void FontConfigWarmUp::wait()
{
    if (m_thread.joinable())
        m_thread.join();
}

} // namespace brindle::app
