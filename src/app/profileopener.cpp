#include "app/profileopener.h"

#include "app/commandline.h"
#include "app/singleinstance.h"
#include "base/dialogs.h"
#include "ui/mainwindow.h"

#include <QApplication>

#include <utility>

namespace brindle::app {

ProfileOpener::ProfileOpener(ui::Tovalinform *window, QObject *parent) : QObject(parent), m_window(window)
{
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &ProfileOpener::tryOpen);
    connect(window, &ui::Tovalinform::profileDropped, this, &ProfileOpener::request);
}

void ProfileOpener::request(const QString &path)
{
    if (path.isEmpty())
        return;
    m_pending = path;
    // From the event loop: the hand-over that brought the request is answered
    // first, and a drop finishes before any question is asked.
    m_retry.start(0);
}

void ProfileOpener::openFromLaterCopies(TOvRunOnce &guard)
{
    connect(&guard, &TOvRunOnce::OnOtherInstance, this,
            [this](QObject *, unsigned, const QStringList &arguments) {
                const QString path = profileArgument(arguments);
                if (path.isEmpty())
                    return;
                m_raise = true;
                request(path);
            });
}

void ProfileOpener::tryOpen()
{
    if (!m_window || m_pending.isEmpty())
        return;
    // Not inside another flow, a modal window or a menu: the Open flow may
    // ask its own questions and must not change the inputs under them.
    if (userActionRunning() || QApplication::activeModalWidget() || QApplication::activePopupWidget()) {
        m_retry.start(kRetryMs);
        return;
    }
    const QString path = std::exchange(m_pending, QString());
    if (std::exchange(m_raise, false)) {
        // Shown for the file it was asked to open, so out of the task bar too.
        if (m_window->isMinimized())
            m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
        m_window->raise();
        m_window->activateWindow();
    }
    m_window->openProfile(path);
}

} // namespace brindle::app
